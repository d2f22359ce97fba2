/* Capture plug-ins for the tests, one library per variant (PVR_VARIANT):
 *   PVR_GOOD      "Caméra plug-in": a live test picture and sound, "avi natif" from its tee,
 *                 its own type 1 file (here an MJPEG AVI) written by pi_buildmuxgraph;
 *   PVR_NOCREATE  "Sans instance": pi_create stores 0;
 *   PVR_BADPAD    "Mauvais": reports a picture pad that is not in the program's pipeline;
 *   PVR_LONGNAME  a name of 300 characters;
 *   PVR_FIRST / PVR_SECOND  two plug-ins declaring "Double";
 *   PVR_NEWER     written for a newer interface;
 *   PVR_NONE      no export at all.
 */
#include "vidorra/pvr.h"

#define PVR_GOOD_V 1
#define PVR_NOCREATE_V 2
#define PVR_BADPAD_V 3
#define PVR_LONGNAME_V 4
#define PVR_FIRST_V 5
#define PVR_SECOND_V 6
#define PVR_NEWER_V 7
#define PVR_NONE_V 8

#include <stdlib.h>
#include <string.h>

#if PVR_VARIANT == PVR_NONE_V
int vr_test_nothing_exported_here(void) {
    return 0;
}
#else

static void put(char* buffer, int32_t size, const char* text) {
    strncpy(buffer, text, (size_t)size - 1);
    buffer[size - 1] = '\0';
}

#if PVR_VARIANT == PVR_GOOD_V
#define NAME "Caméra plug-in"
#elif PVR_VARIANT == PVR_NOCREATE_V
#define NAME "Sans instance"
#elif PVR_VARIANT == PVR_BADPAD_V
#define NAME "Mauvais"
#elif PVR_VARIANT == PVR_FIRST_V || PVR_VARIANT == PVR_SECOND_V
#define NAME "Double"
#elif PVR_VARIANT == PVR_NEWER_V
#define NAME "Plus récent"
#endif

#if PVR_VARIANT == PVR_NEWER_V
int32_t pi_apiversion(void) {
    return PVR_API_VERSION + 1;
}
#endif

void pi_drivername(char* buffer, int32_t size) {
#if PVR_VARIANT == PVR_LONGNAME_V
    int32_t i;
    for (i = 0; i < 300 && i < size - 1; ++i)
        buffer[i] = (char)('a' + i % 26);
    buffer[i] = '\0';
#else
    put(buffer, size, NAME);
#endif
}

void pi_friendlyname(char* buffer, int32_t size) {
#if PVR_VARIANT == PVR_SECOND_V
    put(buffer, size, "Double (second)");
#elif PVR_VARIANT == PVR_FIRST_V
    put(buffer, size, "Double (premier)");
#elif PVR_VARIANT == PVR_LONGNAME_V
    put(buffer, size, "Nom long");
#else
    put(buffer, size, "Caméra du plug-in de test");
#endif
}

struct state {
    GstElement *video, *videoCaps, *videoTee, *videoQueue;
    GstElement *audio, *audioTee, *audioQueue;
    GstElement *muxQueue, *encoder, *mux, *sink;
    GstPad* muxPad;
    GstPad* stray;
    volatile gint ended;
};

void pi_create(pvr_instance* instance) {
#if PVR_VARIANT == PVR_NOCREATE_V
    *instance = 0;
#else
    *instance = (pvr_instance)calloc(1, sizeof(struct state));
#endif
}

void pi_destroy(pvr_instance* instance) {
    struct state* s = (struct state*)*instance;
    if (s && s->stray)
        gst_object_unref(s->stray);
    free(s);
    *instance = 0;
}

void pi_nbfluxvideo(pvr_instance* instance, int32_t* count) {
    (void)instance;
    *count = 1;
}

void pi_nbfluxaudio(pvr_instance* instance, int32_t* count) {
    (void)instance;
    *count = 1;
}

void pi_sourcefilter(pvr_instance* instance, GstElement** result) {
    *result = ((struct state*)*instance)->video;
}

static GstElement* add(GstBin* graph, const char* factory) {
    GstElement* e = gst_element_factory_make(factory, NULL);
    if (e)
        gst_bin_add(graph, e);
    return e;
}

static void drop(GstBin* graph, GstElement** e) {
    if (!*e)
        return;
    gst_element_set_state(*e, GST_STATE_NULL);
    gst_bin_remove(graph, *e);
    *e = NULL;
}

void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph) {
    struct state* s = (struct state*)*instance;
    s->video = add(graph, "videotestsrc");
    s->videoCaps = add(graph, "capsfilter");
    if (!s->video || !s->videoCaps)
        return;
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=I420,width=320,height=240,"
                                         "framerate=25/1");
    g_object_set(s->videoCaps, "caps", caps, NULL);
    gst_caps_unref(caps);
    g_object_set(s->video, "is-live", TRUE, "pattern", 18 /* ball */, NULL);
    gst_element_link(s->video, s->videoCaps);
    *result = 1;
}

void pi_killsourcegraph(pvr_instance* instance, GstBin* graph) {
    struct state* s = (struct state*)*instance;
    drop(graph, &s->videoCaps);
    drop(graph, &s->video);
}

void pi_setvideograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      int* sourceFlipped, GstElement** tee, uint8_t* formatA, uint8_t* formatB) {
    struct state* s = (struct state*)*instance;
    (void)stream;
    (void)sourceFlipped;
#if PVR_VARIANT == PVR_BADPAD_V
    (void)graph;
    (void)tee;
    /* A pad of nobody's: the program must not use it. */
    s->stray = gst_object_ref_sink(gst_pad_new("stray", GST_PAD_SRC));
    *pin = s->stray;
    *formatB = PVR_FORMAT_AVI;
    (void)formatA;
#else
    s->videoTee = add(graph, "tee");
    s->videoQueue = add(graph, "queue");
    g_object_set(s->videoTee, "allow-not-linked", TRUE, NULL);
    gst_element_link_many(s->videoCaps, s->videoTee, s->videoQueue, NULL);
    gst_element_sync_state_with_parent(s->videoQueue);
    gst_element_sync_state_with_parent(s->videoTee);
    *pin = gst_element_get_static_pad(s->videoQueue, "src");
    gst_object_unref(*pin); /* the queue holds it */
    *tee = s->videoTee;
    *formatA = PVR_FORMAT_AVI;
    *formatB = PVR_FORMAT_DV_TYPE1;
#endif
}

void pi_killvideograph(pvr_instance* instance, GstPad** pin, GstBin* graph) {
    struct state* s = (struct state*)*instance;
    (void)pin;
    drop(graph, &s->videoQueue);
    drop(graph, &s->videoTee);
}

void pi_setaudiograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      GstElement** tee) {
    struct state* s = (struct state*)*instance;
    (void)stream;
    /* The sound has a source of its own, there only while its branch is. */
    s->audio = add(graph, "audiotestsrc");
    g_object_set(s->audio, "is-live", TRUE, NULL);
    s->audioTee = add(graph, "tee");
    s->audioQueue = add(graph, "queue");
    g_object_set(s->audioTee, "allow-not-linked", TRUE, NULL);
    gst_element_link_many(s->audio, s->audioTee, s->audioQueue, NULL);
    gst_element_sync_state_with_parent(s->audioQueue);
    gst_element_sync_state_with_parent(s->audioTee);
    gst_element_sync_state_with_parent(s->audio);
    *pin = gst_element_get_static_pad(s->audioQueue, "src");
    gst_object_unref(*pin);
    *tee = s->audioTee;
}

void pi_killaudiograph(pvr_instance* instance, GstPad** pin, GstBin* graph) {
    struct state* s = (struct state*)*instance;
    (void)pin;
    drop(graph, &s->audio);
    drop(graph, &s->audioQueue);
    drop(graph, &s->audioTee);
}

static GstPadProbeReturn sawEnd(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    (void)pad;
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_EOS)
        g_atomic_int_set(&((struct state*)data)->ended, 1);
    return GST_PAD_PROBE_OK;
}

/* The device's own file: its pictures as MJPEG in AVI. */
void pi_buildmuxgraph(pvr_instance* instance, GstBin* graph, const char* fileName) {
    struct state* s = (struct state*)*instance;
    s->muxQueue = add(graph, "queue");
    s->encoder = add(graph, "jpegenc");
    s->mux = add(graph, "avimux");
    s->sink = add(graph, "filesink");
    if (!s->videoTee || !s->muxQueue || !s->encoder || !s->mux || !s->sink)
        return;
    g_object_set(s->sink, "location", fileName, "async", FALSE, NULL);
    g_atomic_int_set(&s->ended, 0);
    GstPad* in = gst_element_get_static_pad(s->sink, "sink");
    gst_pad_add_probe(in, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, sawEnd, s, NULL);
    gst_object_unref(in);
    gst_element_link_many(s->muxQueue, s->encoder, s->mux, s->sink, NULL);
    gst_element_sync_state_with_parent(s->sink);
    gst_element_sync_state_with_parent(s->mux);
    gst_element_sync_state_with_parent(s->encoder);
    gst_element_sync_state_with_parent(s->muxQueue);
    s->muxPad = gst_element_request_pad_simple(s->videoTee, "src_%u");
    GstPad* queueIn = gst_element_get_static_pad(s->muxQueue, "sink");
    gst_pad_link(s->muxPad, queueIn);
    gst_object_unref(queueIn);
}

void pi_killmuxgraph(pvr_instance* instance, GstBin* graph) {
    struct state* s = (struct state*)*instance;
    if (s->muxPad) {
        GstPad* queueIn = gst_element_get_static_pad(s->muxQueue, "sink");
        gst_pad_unlink(s->muxPad, queueIn);
        gst_element_release_request_pad(s->videoTee, s->muxPad);
        gst_object_unref(s->muxPad);
        s->muxPad = NULL;
        gst_pad_send_event(queueIn, gst_event_new_eos());
        gst_object_unref(queueIn);
        for (int waited = 0; waited < 3000 && !g_atomic_int_get(&s->ended); waited += 10)
            g_usleep(10000);
    }
    drop(graph, &s->muxQueue);
    drop(graph, &s->encoder);
    drop(graph, &s->mux);
    drop(graph, &s->sink);
}
#endif
