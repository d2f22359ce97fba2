/* Hostile capture plug-ins, one library per variant (HOSTILE), each a few lines against the
 * public header. Those that reach a device take over "Mire de test", the built-in pattern:
 *   crash_nom        crashes when asked for its name;
 *   crash_chargement crashes in its library constructor, while it is being loaded;
 *   crash_creation   crashes in pi_create;
 *   crash_source     crashes in pi_setsourcegraph;
 *   crash_flux       crashes on its streaming thread after a few pictures;
 *   debordement      writes its name past the end of the buffer;
 *   bloque           never returns from pi_drivername;
 *   symbole          needs a function no library has;
 * and, while they stream (after a few seconds of good pictures):
 *   bloque_flux      blocks its streaming thread for ever;
 *   images_courtes   sends pictures smaller than their format says;
 *   images_vides     sends buffers without memory;
 *   fuite            leaks 10 MB a picture.
 */
#include "vidorra/pvr.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define CRASH_NAME 1
#define CRASH_LOAD 2
#define CRASH_CREATE 3
#define CRASH_SOURCE 4
#define CRASH_STREAM 5
#define OVERFLOW 6
#define HANG 7
#define MISSING 8
#define BLOCK 9
#define SHORT 10
#define EMPTY 11
#define LEAK 12
/* Good pictures before the trouble: 75 (3 s), or HOSTILE_GOOD_PICTURES. */
static int goodPictures(void) {
    const char* text = getenv("HOSTILE_GOOD_PICTURES");
    return text ? atoi(text) : 75;
}
#define GOOD_PICTURES goodPictures()

/* A write to an address nobody maps, read from memory so that no compiler sees it coming. */
static volatile uintptr_t nowhere = 16;
static void crash(void) {
    *(volatile int*)nowhere = 1;
}

#if HOSTILE == CRASH_LOAD
__attribute__((constructor)) static void onLoad(void) {
    crash();
}
#endif

#if HOSTILE == MISSING
extern void vr_nowhere_to_be_found(void);
#endif

void pi_drivername(char* buffer, int32_t size) {
#if HOSTILE == CRASH_NAME
    crash();
#elif HOSTILE == HANG
    for (;;)
        pause();
#elif HOSTILE == OVERFLOW
    memset(buffer, 'a', (size_t)size + 8192);
#elif HOSTILE == MISSING
    vr_nowhere_to_be_found();
#endif
    strncpy(buffer, "Mire de test", (size_t)size);
}

void pi_friendlyname(char* buffer, int32_t size) {
    strncpy(buffer, "Mire hostile", (size_t)size);
}

struct state {
    GstElement *video, *queue;
    int pictures;
};

void pi_create(pvr_instance* instance) {
#if HOSTILE == CRASH_CREATE
    crash();
#endif
    static struct state one;
    *instance = (pvr_instance)&one;
}

void pi_nbfluxvideo(pvr_instance* instance, int32_t* count) {
    (void)instance;
    *count = 1;
}

void pi_sourcefilter(pvr_instance* instance, GstElement** result) {
    *result = ((struct state*)*instance)->video;
}

#if HOSTILE == LEAK
static void* volatile leaked;
#endif

static GstPadProbeReturn onPicture(GstPad* pad, GstPadProbeInfo* info, gpointer data) {
    (void)pad;
    struct state* s = (struct state*)data;
    ++s->pictures;
#if HOSTILE == CRASH_STREAM
    if (s->pictures > 10)
        crash();
#elif HOSTILE == BLOCK
    if (s->pictures > GOOD_PICTURES)
        for (;;)
            pause();
#elif HOSTILE == SHORT
    if (s->pictures > GOOD_PICTURES) {
        GstBuffer* b = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        gst_buffer_set_size(b, gst_buffer_get_size(b) / 2);
        GST_PAD_PROBE_INFO_DATA(info) = b;
    }
#elif HOSTILE == EMPTY
    if (s->pictures > GOOD_PICTURES) {
        GstBuffer* full = GST_PAD_PROBE_INFO_BUFFER(info);
        GstBuffer* empty = gst_buffer_new();
        gst_buffer_copy_into(empty, full, GST_BUFFER_COPY_METADATA, 0, (gsize)-1);
        gst_buffer_unref(full);
        GST_PAD_PROBE_INFO_DATA(info) = empty;
    }
#elif HOSTILE == LEAK
    if (s->pictures > GOOD_PICTURES) {
        /* Chained, so that no compiler may leave the allocation out. */
        char** lost = malloc(10u << 20);
        if (lost) {
            memset(lost, 1, 10u << 20);
            *lost = (char*)leaked;
            leaked = lost;
        }
    }
#else
    (void)info;
#endif
    return GST_PAD_PROBE_OK;
}

void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph) {
    struct state* s = (struct state*)*instance;
#if HOSTILE == CRASH_SOURCE
    crash();
#endif
    if (s->video) {
        *result = 1;
        return;
    }
    s->video = gst_element_factory_make("videotestsrc", NULL);
    g_object_set(s->video, "is-live", TRUE, NULL);
    gst_bin_add(graph, s->video);
    GstPad* out = gst_element_get_static_pad(s->video, "src");
    gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, onPicture, s, NULL);
    gst_object_unref(out);
    *result = 1;
}

void pi_setvideograph(pvr_instance* instance, int32_t stream, GstPad** pin, GstBin* graph,
                      int* sourceFlipped, GstElement** tee, uint8_t* formatA, uint8_t* formatB) {
    struct state* s = (struct state*)*instance;
    (void)stream;
    (void)sourceFlipped;
    (void)tee;
    (void)formatA;
    (void)formatB;
    s->queue = gst_element_factory_make("queue", NULL);
    gst_bin_add(graph, s->queue);
    gst_element_link(s->video, s->queue);
    gst_element_sync_state_with_parent(s->queue);
    gst_element_sync_state_with_parent(s->video);
    *pin = gst_element_get_static_pad(s->queue, "src");
    gst_object_unref(*pin);
}
