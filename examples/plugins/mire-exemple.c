/*
 * mire-exemple.c: a complete Vidorra capture plug-in, written to be read and copied.
 *
 * It takes over the program's built-in test pattern, the device named "Mire de test" that
 * every machine has, and serves another picture in its place: a ball moving over black,
 * 640 x 480 at 25 pictures a second, made by GStreamer's videotestsrc. The user sees the
 * device as "Mire de test (plug-in d'exemple)", with one video stream, no sound, and "avi
 * natif" among its recording formats.
 *
 * What it puts into the program's pipeline (the "graph"):
 *
 *       source part: pi_setsourcegraph       video branch: pi_setvideograph
 *   +--------------+   +------------+      +-----+   +-------+
 *   | videotestsrc |-->| capsfilter |----->| tee |-->| queue |--> src pad reported as *pin
 *   +--------------+   +------------+      +-----+   +-------+    (the program's preview)
 *     reported by                             |
 *     pi_sourcefilter                         +--> src_%u pads the program requests for
 *                                                  "avi natif" recordings (tee = *tee)
 *
 * It needs nothing but <vidorra/pvr.h> and GStreamer. Build it with the CMakeLists.txt
 * beside this file; docs/plugins.md tells the whole story.
 *
 * Rules this file keeps, and a plug-in of yours should keep too:
 *   - All the plug-in's state lives behind the pvr_instance handle: the program may create
 *     an instance, destroy it and create another, and it unloads the library after looking
 *     at its name, so nothing may outlive the calls but what the handle points to.
 *   - Every element is held with a reference of the plug-in's own from its creation to its
 *     removal: the plug-in can always take out what it put in, and a failed gst_bin_add
 *     never destroys an element under its feet.
 *   - A missing GStreamer element or a refused link gives the failure answer the header
 *     describes (0, a null pad) and leaves the graph as it was; nothing ever aborts.
 *   - pi_setsourcegraph may come once for each stream connected: while the source is in the
 *     graph, another call answers success and adds nothing.
 *   - Nothing but the pi_ functions is exported (hidden visibility, PVR_EXPORT in the
 *     header), and no C++ exception ever leaves one (this file is C; one in C++ catches
 *     everything at its pi_ boundary).
 */
#include <vidorra/pvr.h>

#include <gst/gst.h>

/* The device this plug-in serves: its name exactly as the program lists it (case counts,
 * only the first PVR_NAME_MAX characters are compared). */
static const char kDriverName[] = "Mire de test";

/* The name the user sees for the device while this plug-in serves it. */
static const char kFriendlyName[] = "Mire de test (plug-in d'exemple)";

/* The picture: raw video the program's videoconvert takes as it is. Fixing every field
 * here means the source never has to negotiate anything with what the program links. */
static const char kPictureCaps[] = "video/x-raw,format=I420,width=640,height=480,"
                                   "framerate=25/1,pixel-aspect-ratio=1/1";

/* The state of one device. Each element pointer holds a reference of the plug-in's own
 * (taken with gst_object_ref_sink when the element is made); null means "not in the graph". */
typedef struct {
    /* The source part: between pi_setsourcegraph and pi_killsourcegraph. */
    GstElement* source; /* videotestsrc, what pi_sourcefilter reports */
    GstElement* filter; /* capsfilter fixing kPictureCaps */

    /* The video branch: between pi_setvideograph and pi_killvideograph. */
    GstElement* tee;   /* the device's own stream, reported as *tee */
    GstPad* tee_pad;   /* the tee's request pad feeding the queue (a reference) */
    GstElement* queue; /* its src pad is the *pin the program links its preview to */
} MireState;

/* ----------------------------------------------------------------------------------------
 * Helpers (static: nothing but the pi_ functions leaves the library).
 */

/* The state behind a handle, or null for a null address or a failed pi_create. */
static MireState* state_of(pvr_instance* instance) {
    if (instance == NULL || *instance == 0)
        return NULL;
    return (MireState*)*instance;
}

/* Copies a name into a buffer the program gives, cut to fit and always NUL-terminated. */
static void write_name(char* buffer, int32_t size, const char* name) {
    if (buffer == NULL || size <= 0)
        return;
    g_strlcpy(buffer, name, (gsize)size);
}

/* Makes an element and takes a reference of our own on it (the floating reference is sunk).
 * Null, with a warning, when this system lacks the GStreamer element. */
static GstElement* make_element(const char* factory, const char* name) {
    GstElement* element = gst_element_factory_make(factory, name);
    if (element == NULL) {
        g_warning("mire-exemple: GStreamer has no element \"%s\" on this system", factory);
        return NULL;
    }
    return GST_ELEMENT(gst_object_ref_sink(element));
}

/* Takes one of our elements out and drops our reference: state NULL first (its streaming
 * thread stops, its pads stop accepting data), then out of the bin that holds it, which
 * also unlinks its pads. It works whether or not the element made it into a bin, so the
 * failure paths use it as well as the pi_kill functions. */
static void take_out(GstElement** element) {
    if (*element == NULL)
        return;
    gst_element_set_state(*element, GST_STATE_NULL);
    GstObject* parent = gst_object_get_parent(GST_OBJECT(*element));
    if (parent != NULL) {
        gst_bin_remove(GST_BIN(parent), *element);
        gst_object_unref(parent);
    }
    gst_object_unref(*element);
    *element = NULL;
}

/* Whether the graph is playing or on its way there. */
static gboolean graph_is_playing(GstBin* graph) {
    GST_OBJECT_LOCK(graph);
    const GstState target = GST_STATE_TARGET(graph);
    GST_OBJECT_UNLOCK(graph);
    return target == GST_STATE_PLAYING;
}

/* Takes the source part out: the source first, so that nothing is pushed any more into the
 * capsfilter while it goes. */
static void take_out_source(MireState* state) {
    take_out(&state->source);
    take_out(&state->filter);
}

/* Takes the video branch out. The tee goes to NULL first: its sink pad then answers
 * "flushing" to whatever the source still pushes, which a source takes as a quiet stop,
 * where an unlinked pad would make it post an error. Then the request pad is given back to
 * the tee (a request pad is released, never just dropped) and both elements leave. */
static void take_out_video_branch(MireState* state) {
    if (state->tee != NULL)
        gst_element_set_state(state->tee, GST_STATE_NULL);
    if (state->tee_pad != NULL) {
        gst_element_release_request_pad(state->tee, state->tee_pad);
        gst_object_unref(state->tee_pad);
        state->tee_pad = NULL;
    }
    take_out(&state->queue);
    take_out(&state->tee);
}

/* Whether GStreamer has every element this plug-in uses. Checked once in pi_create, so that
 * a system without them shows no device at all rather than one that cannot connect. */
static gboolean have_elements(void) {
    static const char* const needed[] = {"videotestsrc", "capsfilter", "tee", "queue"};
    /* The program's own devices run on GStreamer, so it is initialized by the time devices
     * are created; were it not, there is nothing to look at yet, and the graph functions
     * still fail cleanly on a missing element. */
    if (!gst_is_initialized())
        return TRUE;
    for (gsize i = 0; i < G_N_ELEMENTS(needed); ++i) {
        GstElementFactory* factory = gst_element_factory_find(needed[i]);
        if (factory == NULL) {
            g_warning("mire-exemple: GStreamer has no element \"%s\" on this system", needed[i]);
            return FALSE;
        }
        gst_object_unref(factory);
    }
    return TRUE;
}

/* ----------------------------------------------------------------------------------------
 * The exports. Their declarations come from <vidorra/pvr.h>, which gives them C linkage and,
 * through PVR_EXPORT, default visibility: this file is compiled with -fvisibility=hidden,
 * and defining the functions here with the same signatures is still all it takes to export
 * them (the declaration's visibility carries to the definition).
 */

/* The interface version this file was written for: the program refuses a plug-in that asks
 * for more than it knows. */
int32_t pi_apiversion(void) {
    return PVR_API_VERSION;
}

/* Called when the program searches the plug-in folder (the library is unloaded right after)
 * and again when the device is created: nothing but a constant name here. */
void pi_drivername(char* buffer, int32_t size) {
    write_name(buffer, size, kDriverName);
}

/* The name the user sees for the device. */
void pi_friendlyname(char* buffer, int32_t size) {
    write_name(buffer, size, kFriendlyName);
}

/* One state per device. Nothing goes into any graph yet: the program has not connected the
 * device. 0 in *instance tells the program the plug-in cannot serve the device. */
void pi_create(pvr_instance* instance) {
    if (instance == NULL)
        return;
    *instance = 0;
    if (!have_elements())
        return;
    /* g_try_new0 rather than g_new0: out of memory is a failure answer, not an abort. */
    MireState* state = g_try_new0(MireState, 1);
    if (state == NULL)
        return;
    *instance = (pvr_instance)state;
}

/* The last call for an instance. The program has taken the branches and the source out
 * before; should anything still be in a graph, it is taken out here all the same, so that
 * no element is left behind pointing at freed state. */
void pi_destroy(pvr_instance* instance) {
    MireState* state = state_of(instance);
    if (state == NULL)
        return;
    take_out_video_branch(state);
    take_out_source(state);
    g_free(state);
    *instance = 0;
}

/* The source element while the source part is in the graph, null otherwise (so null right
 * after pi_create). The pointer is lent, not a reference given: it stays valid until
 * pi_killsourcegraph. */
void pi_sourcefilter(pvr_instance* instance, GstElement** result) {
    if (result == NULL)
        return;
    MireState* state = state_of(instance);
    *result = state != NULL ? state->source : NULL;
}

/* One video stream: the program offers it as one source of the sources panel, and asks
 * for it as stream 1 in pi_setvideograph. */
void pi_nbfluxvideo(pvr_instance* instance, int32_t* count) {
    if (count != NULL)
        *count = state_of(instance) != NULL ? 1 : 0;
}

/* No sound stream: no sound source is listed for the device, and this plug-in exports
 * neither pi_setaudiograph nor pi_killaudiograph. */
void pi_nbfluxaudio(pvr_instance* instance, int32_t* count) {
    (void)instance;
    if (count != NULL)
        *count = 0;
}

/* The source part: videotestsrc -> capsfilter, in graph, linked, at the graph's state.
 * *result stays 0 (the program cleared it) unless all of it worked. */
void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph) {
    MireState* state = state_of(instance);
    if (result == NULL)
        return;
    *result = 0;
    if (state == NULL || graph == NULL)
        return;
    /* Already in: the program calls this once for each stream of the device it connects
     * (a device with sound would see a second call for it) and pi_killsourcegraph once.
     * Already in this very graph, the answer is success with nothing added; in another
     * graph, failure, rather than a second source. */
    if (state->source != NULL) {
        if (gst_object_has_as_parent(GST_OBJECT(state->source), GST_OBJECT(graph)))
            *result = 1;
        return;
    }

    state->source = make_element("videotestsrc", "mire-exemple-source");
    state->filter = make_element("capsfilter", "mire-exemple-caps");
    GstCaps* caps = gst_caps_from_string(kPictureCaps);
    if (state->source == NULL || state->filter == NULL || caps == NULL) {
        if (caps != NULL)
            gst_caps_unref(caps);
        take_out_source(state);
        return;
    }

    /* is-live: the source runs on the clock like a camera (it delivers nothing while the
     * graph is merely paused and timestamps its pictures with the running time), which is
     * what the program's preview and recordings expect of a capture device. */
    g_object_set(state->source, "is-live", TRUE, NULL);
    /* Another pattern than the built-in one, so that the user sees at once who serves the
     * device. Enum properties are set by their nick with gst_util_set_object_arg. */
    gst_util_set_object_arg(G_OBJECT(state->source), "pattern", "ball");
    g_object_set(state->filter, "caps", caps, NULL);
    gst_caps_unref(caps);

    /* gst_bin_add fails when the graph already holds an element of the same name; our own
     * reference keeps the element alive through that failure, and take_out_source then
     * removes whatever did get in. */
    if (!gst_bin_add(graph, state->source) || !gst_bin_add(graph, state->filter) ||
        !gst_element_link(state->source, state->filter)) {
        take_out_source(state);
        return;
    }

    /* Elements added to a bin stay in NULL until told: bring them to the graph's state,
     * downstream first. A live source that is playing pushes its first picture at once,
     * and nothing is linked behind the capsfilter until pi_setvideograph: in a graph that
     * already plays, that picture would meet an unlinked pad and the source would stop
     * with a "not-linked" error. So in a playing graph the source is started by
     * pi_setvideograph, once its branch is linked; in a stopped or paused graph (where a
     * live source delivers nothing) it follows the graph now. */
    if (!gst_element_sync_state_with_parent(state->filter) ||
        (!graph_is_playing(graph) && !gst_element_sync_state_with_parent(state->source))) {
        take_out_source(state);
        return;
    }
    *result = 1;
}

/* Takes the source part out again, once, however many times pi_setsourcegraph was called.
 * The program calls it after pi_killvideograph; graph is the bin the source went into,
 * which take_out finds from the elements themselves. */
void pi_killsourcegraph(pvr_instance* instance, GstBin* graph) {
    (void)graph;
    MireState* state = state_of(instance);
    if (state == NULL)
        return;
    take_out_source(state);
}

/* The video branch: capsfilter -> tee -> queue, with the queue's src pad left unlinked for
 * the program's preview, and the tee offered for "avi natif" recordings. */
void pi_setvideograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      int* sourceFlipped, GstElement** tee, uint8_t* formatA, uint8_t* formatB) {
    /* Every answer starts as "failed / nothing": a null *pin is how the program learns the
     * branch failed, so an early return below is always a clean failure. */
    if (pin != NULL)
        *pin = NULL;
    if (tee != NULL)
        *tee = NULL;
    if (sourceFlipped != NULL)
        *sourceFlipped = 0;
    if (formatA != NULL)
        *formatA = PVR_FORMAT_NONE;
    if (formatB != NULL)
        *formatB = PVR_FORMAT_NONE;

    MireState* state = state_of(instance);
    if (state == NULL || pin == NULL || graph == NULL)
        return;
    /* pi_nbfluxvideo said one stream: only stream 1 exists. */
    if (stream != 1)
        return;
    /* The branch hangs behind the source part, which must be in this very graph; and it is
     * built once (a second call without pi_killvideograph in between fails). */
    if (state->filter == NULL ||
        !gst_object_has_as_parent(GST_OBJECT(state->filter), GST_OBJECT(graph)))
        return;
    if (state->tee != NULL)
        return;

    state->tee = make_element("tee", "mire-exemple-tee");
    state->queue = make_element("queue", "mire-exemple-queue");
    if (state->tee == NULL || state->queue == NULL) {
        take_out_video_branch(state);
        return;
    }
    /* The program requests more src pads from the tee for its recordings and links them
     * while the graph runs; until it does, and whenever none of them is linked, the tee
     * must go on accepting pictures instead of stopping the source with "not-linked". */
    g_object_set(state->tee, "allow-not-linked", TRUE, NULL);

    if (!gst_bin_add(graph, state->tee) || !gst_bin_add(graph, state->queue) ||
        !gst_element_link(state->filter, state->tee)) {
        take_out_video_branch(state);
        return;
    }

    /* The tee's first branch: a request pad of our own, linked to the queue. The queue
     * gives the preview a thread of its own: the tee hands each picture over and goes on
     * to its other pads (the recordings) without waiting for the preview to show it. */
    state->tee_pad = gst_element_request_pad_simple(state->tee, "src_%u");
    GstPad* queue_sink = gst_element_get_static_pad(state->queue, "sink");
    const gboolean linked = state->tee_pad != NULL && queue_sink != NULL &&
                            gst_pad_link(state->tee_pad, queue_sink) == GST_PAD_LINK_OK;
    if (queue_sink != NULL)
        gst_object_unref(queue_sink);
    if (!linked) {
        take_out_video_branch(state);
        return;
    }

    /* To the graph's state, downstream first, the source last (see pi_setsourcegraph):
     * whatever the source pushes now has somewhere to go, and the tee takes it even while
     * the program has linked nothing to the queue yet. Syncing the source again when it
     * already follows the graph changes nothing. */
    if (!gst_element_sync_state_with_parent(state->queue) ||
        !gst_element_sync_state_with_parent(state->tee) ||
        !gst_element_sync_state_with_parent(state->source)) {
        take_out_video_branch(state);
        return;
    }

    /* *pin: the queue's src pad, unlinked, raw I420 video. The program checks that it
     * belongs to an element of its graph and is a src pad, then links its preview to it.
     * Like every pointer reported, it is lent: valid until pi_killvideograph. */
    GstPad* picture = gst_element_get_static_pad(state->queue, "src");
    if (picture == NULL) {
        take_out_video_branch(state);
        return;
    }
    *pin = picture;
    gst_object_unref(picture); /* the queue keeps the pad alive */

    /* The device's own stream is the raw picture on the tee: the program records it as
     * "avi natif" by requesting a pad of that tee. No second native format. The rows come
     * top row first, as GStreamer's raw video always does: *sourceFlipped stays 0. */
    if (tee != NULL)
        *tee = state->tee;
    if (formatB != NULL)
        *formatB = PVR_FORMAT_AVI;
    if (formatA != NULL)
        *formatA = PVR_FORMAT_NONE;
}

/* Takes the video branch out. *pin is the queue's src pad reported above, which the program
 * clears itself after this call; taking the queue out of the bin unlinks whatever is still
 * linked to it, so the plug-in needs nothing from it. */
void pi_killvideograph(pvr_instance* instance, GstPad** pin, GstBin* graph) {
    (void)pin;
    (void)graph;
    MireState* state = state_of(instance);
    if (state == NULL)
        return;
    take_out_video_branch(state);
}

/* Not exported, on purpose: pi_setaudiograph / pi_killaudiograph (no sound stream) and
 * pi_buildmuxgraph / pi_killmuxgraph (the only native format, "avi natif", is written by
 * the program from the tee; those two serve PVR_FORMAT_DV_TYPE1 alone). */
