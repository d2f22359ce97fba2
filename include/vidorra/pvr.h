/*
 * Vidorra capture plug-ins: the interface between the program and a "*.pvr" library.
 *
 * A capture plug-in takes over one capture device: when the program lists the devices of the
 * system and meets one whose name equals the name the plug-in declares (pi_drivername), the
 * device is served by the plug-in, and every operation the program does on its pipeline for
 * that device (putting the source in, building the video and sound branches, writing the
 * device's own recording format, taking all that out again) is done by the plug-in's
 * functions below.
 *
 * The library
 *   - is an ELF shared library whose file name ends in ".pvr", put in the plug-in folder of
 *     the program (folders panel, "Plugins Dir"; the program's own folder by default);
 *   - is loaded with dlopen(RTLD_NOW | RTLD_LOCAL): every symbol it needs must resolve at
 *     load time, and it sees none of the program's symbols but those of the libraries it
 *     links itself (link it with GStreamer: pkg-config gstreamer-1.0);
 *   - exports the functions below with C linkage and the platform's C calling convention
 *     (in C++, declare them inside extern "C", as this header does) and default visibility
 *     (PVR_EXPORT, below). Every export is optional: a missing one is skipped and the
 *     program uses the default stated.
 *
 * Threads: the program calls every function on its user-interface thread, one at a time.
 * A function must not block for long (the window waits for it), with the one exception of
 * pi_killmuxgraph, which waits for its file to be complete (at most 3 s).
 *
 * The graph. On this platform the graph is the program's GStreamer pipeline, passed as a
 * GstBin*. The plug-in adds its elements to it (gst_bin_add), links them, brings them to the
 * bin's state (gst_element_sync_state_with_parent) and removes them again (state NULL,
 * gst_bin_remove). It never changes the state of the bin itself, never removes elements it
 * did not add, and never keeps a reference to the bin beyond the call. Pads and elements it
 * reports back must be inside that bin: the program checks every one (that it is a pad or an
 * element of its bin, of the right direction) before it uses it; a plug-in that reports
 * anything else is taken as broken: its device is dropped and the plug-in is shown as not
 * enabled on the system page of the help panel.
 *
 * Names and text are UTF-8. Name buffers hold PVR_NAME_BUFFER_SIZE (65 537) bytes; the
 * program keeps at most PVR_NAME_MAX (255) characters of a name and compares names on those
 * characters only, exactly (case counts).
 *
 * The instance. pi_create stores a handle of the plug-in's own choice (a pointer to its state,
 * typically) in a pvr_instance, 0 meaning failure. Every other function but pi_drivername,
 * pi_friendlyname and pi_apiversion receives the address of that handle first. A uintptr_t
 * holds a pointer on every platform the program runs on.
 *
 * Versions. A plug-in may export pi_apiversion to tell which version of this interface it was
 * written for (PVR_API_VERSION when it was built); the program refuses a plug-in written for
 * a version above its own. Without the export, version 1 is assumed.
 *
 * Building. `pkg-config --cflags vidorra-pvr` gives the folder holding this header and
 * GStreamer's flags (the file requires gstreamer-1.0; `--libs` gives GStreamer's libraries).
 * Every function below is declared with PVR_EXPORT, which makes it visible from the library
 * even when the plug-in is compiled with -fvisibility=hidden: with GCC and Clang the
 * declaration's visibility carries to the definition, so including this header before
 * defining the functions is all it takes. Build hidden by default: then nothing but the pi_
 * functions leaves the library, and the plug-in's own helpers can never collide with another
 * library's. Writing PVR_EXPORT on the definitions as well does no harm.
 *
 * The source and its streams.
 *   - pi_setsourcegraph may be called once for each stream of the device that is connected:
 *     once when the device's picture is connected, and again when its sound is, while
 *     pi_killsourcegraph is called once, when the last of them goes. It must therefore be
 *     idempotent: a call while the plug-in's source is already in the graph adds nothing and
 *     answers success (*result non-zero).
 *   - pi_sourcefilter reports one element. For a device with both picture and sound it is the
 *     element that produces the picture, the one the program asks for first; the sound is
 *     reported through the pad of pi_setaudiograph only.
 *   - Sound (pi_setaudiograph's pad) is raw: audio/x-raw, interleaved, S16LE or F32LE, at any
 *     rate and channel count that audioconvert and audioresample take.
 *   - Timestamps follow the pipeline's clock: a live source either timestamps its buffers
 *     itself with the running time of the pipeline clock or sets do-timestamp to true.
 *     Timestamps never start again from zero after a pause.
 *   - The clock is the program's: a plug-in never sets the pipeline's clock (nor its base
 *     time or start time). A source of a live device is live (is-live=true where the element
 *     has the property).
 *
 * How the program protects itself. The plug-in folder is searched in a separate helper
 * process (the program's own executable, run with the hidden option --examiner-plugins): a
 * library that crashes, or hangs for more than 5 seconds, while it is loaded or while
 * pi_drivername or pi_friendlyname run is refused there without harming the program.
 * The answer is kept in a cache keyed by the library's path, modification time and size; a
 * changed file is examined again. Every call into a plug-in is guarded: a C++ exception
 * escaping a pi_ function is caught, the plug-in is disabled for the rest of the run and the
 * user is told. A crash of the program while it was inside a plug-in call on the window
 * thread, or with a frame of the plug-in on the crashing thread's stack (its streaming
 * threads included), is noticed at the next start: the plug-in is set aside, its device is
 * not selected, and the user can enable it again from the system page of the help panel. A
 * new build of the library (another modification time or size) gets a new chance by
 * itself. Refused plug-ins (a newer interface version, an unresolved symbol, not a library,
 * crashed or hung while examined) are listed in red on that page with their reason.
 *
 * While it streams. The program keeps track of the elements each call adds to the graph.
 * Before the graph stops, a plug-in's elements are stopped apart, with a time limit (2 s):
 * a plug-in whose streaming thread never comes back is abandoned, not waited for. Its
 * elements leave the graph unlinked and are never released, none of its functions is called
 * again (not even pi_destroy), its library is never unloaded, the recording is finished
 * from what reached the file, and the user is told. Elements a plug-in leaves in the graph
 * after pi_killsourcegraph are taken out by the program. A picture smaller than its caps say,
 * or a buffer without memory, is dropped at the plug-in's pad and counted as a lost frame;
 * sound buffers without samples are dropped. A plug-in source during which the program's
 * resident memory grows by more than 1 GiB (or past three quarters of the machine's) is
 * stopped at once, its recording ended and its device dropped for the run.
 */
#ifndef VIDORRA_PVR_H
#define VIDORRA_PVR_H

#include <gst/gst.h>
#include <stdint.h>

#define PVR_API_VERSION 1

/* Marks the pi_ functions as exported from the plug-in's library, whatever the default
 * visibility it is compiled with (-fvisibility=hidden). A plug-in may define PVR_EXPORT
 * itself before including this header. */
#ifndef PVR_EXPORT
#if defined(__GNUC__) || defined(__clang__)
#define PVR_EXPORT __attribute__((visibility("default")))
#else
#define PVR_EXPORT
#endif
#endif

#define PVR_NAME_BUFFER_SIZE 65537
#define PVR_NAME_MAX 255

/* The capture formats a plug-in may offer for recording the device's stream as it comes
 * (pi_setvideograph's bytes A and B); 0 offers nothing. */
#define PVR_FORMAT_NONE 0
#define PVR_FORMAT_DV_TYPE1 1 /* "dv type 1 natif": written by pi_buildmuxgraph */
#define PVR_FORMAT_DV_TYPE2 2 /* "dv type 2 natif": the branch tee carries DV frames */
#define PVR_FORMAT_MPEG2 3    /* "flux mpeg2 natif": the branch tee carries MPEG-2 video */
#define PVR_FORMAT_MPEG1 4    /* "flux mpeg1 natif": the branch tee carries MPEG-1 video */
#define PVR_FORMAT_AVI 5      /* "avi natif": the branch tee's stream goes into an AVI file */

typedef uintptr_t pvr_instance;

#ifdef __cplusplus
extern "C" {
#endif

/* The interface version the plug-in was written for. Missing: 1. */
PVR_EXPORT int32_t pi_apiversion(void);

/* Writes the name of the device the plug-in serves, NUL-terminated, into buffer (size bytes,
 * PVR_NAME_BUFFER_SIZE). It must equal the device's name as the program lists it (the
 * sources panel shows it; the built-in test pattern is "Mire de test"). Missing: empty name,
 * which serves no device. Called when the plug-in folder is searched and again when the
 * device is created. */
PVR_EXPORT void pi_drivername(char* buffer, int32_t size);

/* Writes the name shown to the user for the device, as pi_drivername. Missing: empty. */
PVR_EXPORT void pi_friendlyname(char* buffer, int32_t size);

/* Creates the state for one device and stores its handle in *instance; stores 0 (or leaves
 * it 0) on failure, and the device is then not listed. Missing: no instance, no device. */
PVR_EXPORT void pi_create(pvr_instance* instance);

/* Releases what pi_create made. Called once, after the branches and the source were taken
 * out, when the device goes (the program ends, the device is unplugged, the plug-in folder
 * changes). */
PVR_EXPORT void pi_destroy(pvr_instance* instance);

/* Stores the plug-in's source element in *result (null while it is not in the graph).
 * Called after pi_create and after pi_setsourcegraph: the program needs the source element
 * of a device that is in the graph. For a device with picture and sound, the element that
 * produces the picture. Missing: none, and the device cannot be shown. */
PVR_EXPORT void pi_sourcefilter(pvr_instance* instance, GstElement** result);

/* The number of video streams (*count) and of sound streams the device offers; each
 * becomes a source of the sources panel. Missing: 0. */
PVR_EXPORT void pi_nbfluxvideo(pvr_instance* instance, int32_t* count);
PVR_EXPORT void pi_nbfluxaudio(pvr_instance* instance, int32_t* count);

/* Puts the source part of the device into graph; *result is 0 on failure, anything else on
 * success (the program clears it before the call). Called for each stream connected (the
 * picture, then the sound): while the source part is already in graph it adds nothing and
 * answers success. */
PVR_EXPORT void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph);

/* Takes the source part out of graph again; once, however many pi_setsourcegraph calls
 * there were. */
PVR_EXPORT void pi_killsourcegraph(pvr_instance* instance, GstBin* graph);

/* Builds the video branch of stream number `stream` (1-based) behind the source:
 *   *pin          the src pad of an element in graph that delivers the picture as raw video
 *                 (video/x-raw, any format the program's videoconvert takes), not linked:
 *                 the program links its preview to it. Cleared by the program before the
 *                 call; left null, the branch failed.
 *   *sourceFlipped set to 1 when the rows of the picture come bottom row first (the
 *                 program's overlay then turns them); 0 before the call.
 *   *tee          a tee element in graph carrying the device's own stream (the stream the
 *                 native formats record: raw, DV, MPEG...). Recordings request "src_%u" pads
 *                 from it and link them while it runs. Cleared before the call; may be left
 *                 null when the device offers no native format.
 *   *formatA      a second native capture format (PVR_FORMAT_...), 0 for none.
 *   *formatB      the device's first native capture format, 0 for none. PVR_FORMAT_DV_TYPE1
 *                 is recorded by pi_buildmuxgraph; the others from *tee.
 * Missing: the device has no picture. */
PVR_EXPORT void pi_setvideograph(pvr_instance* instance, int32_t stream, GstPad** pin,
                                 GstBin* graph, int* sourceFlipped, GstElement** tee,
                                 uint8_t* formatA, uint8_t* formatB);

/* Takes the video branch out. *pin holds the pad pi_setvideograph reported; the program
 * clears it afterwards, and forgets the tee. */
PVR_EXPORT void pi_killvideograph(pvr_instance* instance, GstPad** pin, GstBin* graph);

/* Builds the sound branch of stream number `stream` (1-based):
 *   *pin  the src pad delivering raw sound (audio/x-raw, interleaved, S16LE or F32LE, any
 *         rate and channels audioconvert and audioresample take), not linked; cleared
 *         before the call, left null when the branch failed;
 *   *tee  a tee carrying the device's own sound stream, or null. */
PVR_EXPORT void pi_setaudiograph(pvr_instance* instance, int32_t stream, GstPad** pin,
                                 GstBin* graph, GstElement** tee);

/* Takes the sound branch out; *pin as for pi_killvideograph. */
PVR_EXPORT void pi_killaudiograph(pvr_instance* instance, GstPad** pin, GstBin* graph);

/* Starts writing the device's own recording format (PVR_FORMAT_DV_TYPE1) into the file
 * fileName (UTF-8, NUL-terminated): the plug-in adds the elements that write it to graph,
 * which is playing, and brings them to its state. Returns nothing: the program learns of a
 * failure through the error messages the elements post. */
PVR_EXPORT void pi_buildmuxgraph(pvr_instance* instance, GstBin* graph, const char* fileName);

/* Ends that file: the plug-in sends the end of stream into its writing elements, waits for
 * it to reach the file (at most 3 s), then takes the elements out of graph. When it returns
 * the file must be complete; the program may open it at once. A cut of the recording is a
 * pi_killmuxgraph followed by a pi_buildmuxgraph with the next file's name. */
PVR_EXPORT void pi_killmuxgraph(pvr_instance* instance, GstBin* graph);

#ifdef __cplusplus
}
#endif

#endif /* VIDORRA_PVR_H */
