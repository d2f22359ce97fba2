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
 *     (in C++, declare them inside extern "C", as this header does). Every export is
 *     optional: a missing one is skipped and the program uses the default stated.
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
 */
#ifndef VIDORRA_PVR_H
#define VIDORRA_PVR_H

#include <gst/gst.h>
#include <stdint.h>

#define PVR_API_VERSION 1
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
int32_t pi_apiversion(void);

/* Writes the name of the device the plug-in serves, NUL-terminated, into buffer (size bytes,
 * PVR_NAME_BUFFER_SIZE). It must equal the device's name as the program lists it (the
 * sources panel shows it; the built-in test pattern is "Mire de test"). Missing: empty name,
 * which serves no device. Called when the plug-in folder is searched and again when the
 * device is created. */
void pi_drivername(char* buffer, int32_t size);

/* Writes the name shown to the user for the device, as pi_drivername. Missing: empty. */
void pi_friendlyname(char* buffer, int32_t size);

/* Creates the state for one device and stores its handle in *instance; stores 0 (or leaves
 * it 0) on failure, and the device is then not listed. Missing: no instance, no device. */
void pi_create(pvr_instance* instance);

/* Releases what pi_create made. Called once, after the branches and the source were taken
 * out, when the device goes (the program ends, the device is unplugged, the plug-in folder
 * changes). */
void pi_destroy(pvr_instance* instance);

/* Stores the plug-in's source element in *result (null while it is not in the graph).
 * Called after pi_create and after pi_setsourcegraph: the program needs the source element
 * of a device that is in the graph. Missing: none, and the device cannot be shown. */
void pi_sourcefilter(pvr_instance* instance, GstElement** result);

/* The number of video streams (*count) and of sound streams the device offers; each
 * becomes a source of the sources panel. Missing: 0. */
void pi_nbfluxvideo(pvr_instance* instance, int32_t* count);
void pi_nbfluxaudio(pvr_instance* instance, int32_t* count);

/* Puts the source part of the device into graph; *result is 0 on failure, anything else on
 * success (the program clears it before the call). */
void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph);

/* Takes the source part out of graph again. */
void pi_killsourcegraph(pvr_instance* instance, GstBin* graph);

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
void pi_setvideograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      int* sourceFlipped, GstElement** tee, uint8_t* formatA, uint8_t* formatB);

/* Takes the video branch out. *pin holds the pad pi_setvideograph reported; the program
 * clears it afterwards, and forgets the tee. */
void pi_killvideograph(pvr_instance* instance, GstPad** pin, GstBin* graph);

/* Builds the sound branch of stream number `stream` (1-based):
 *   *pin  the src pad delivering raw sound (audio/x-raw), not linked; cleared before the
 *         call, left null when the branch failed;
 *   *tee  a tee carrying the device's own sound stream, or null. */
void pi_setaudiograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      GstElement** tee);

/* Takes the sound branch out; *pin as for pi_killvideograph. */
void pi_killaudiograph(pvr_instance* instance, GstPad** pin, GstBin* graph);

/* Starts writing the device's own recording format (PVR_FORMAT_DV_TYPE1) into the file
 * fileName (UTF-8, NUL-terminated): the plug-in adds the elements that write it to graph,
 * which is playing, and brings them to its state. Returns nothing: the program learns of a
 * failure through the error messages the elements post. */
void pi_buildmuxgraph(pvr_instance* instance, GstBin* graph, const char* fileName);

/* Ends that file: the plug-in sends the end of stream into its writing elements, waits for
 * it to reach the file (at most 3 s), then takes the elements out of graph. When it returns
 * the file must be complete; the program may open it at once. A cut of the recording is a
 * pi_killmuxgraph followed by a pi_buildmuxgraph with the next file's name. */
void pi_killmuxgraph(pvr_instance* instance, GstBin* graph);

#ifdef __cplusplus
}
#endif

#endif /* VIDORRA_PVR_H */
