// Capture plug-ins in C++ that let an exception out; both take over "Mire de test".
//   THROW_WHERE 1 (exception.pvr): out of pi_setsourcegraph, on the window thread;
//   THROW_WHERE 2 (exception_flux.pvr): out of a pad probe, on its streaming thread, after
//   a few pictures (nothing can catch it there: the process ends).
#include "vidorra/pvr.h"

#include <cstring>
#include <stdexcept>

namespace {
struct State {
    GstElement* video = nullptr;
    GstElement* queue = nullptr;
    int pictures = 0;
};

GstPadProbeReturn onPicture(GstPad*, GstPadProbeInfo*, gpointer data) {
    if (++static_cast<State*>(data)->pictures > 10)
        throw std::runtime_error("the device went away");
    return GST_PAD_PROBE_OK;
}
} // namespace

extern "C" {

void pi_drivername(char* buffer, int32_t size) {
    std::strncpy(buffer, "Mire de test", size_t(size));
}

void pi_create(pvr_instance* instance) {
    *instance = reinterpret_cast<pvr_instance>(new State);
}

void pi_destroy(pvr_instance* instance) {
    delete reinterpret_cast<State*>(*instance);
}

void pi_nbfluxvideo(pvr_instance*, int32_t* count) {
    *count = 1;
}

void pi_sourcefilter(pvr_instance* instance, GstElement** result) {
    *result = reinterpret_cast<State*>(*instance)->video;
}

void pi_setsourcegraph(pvr_instance* instance, int32_t* result, GstBin* graph) {
#if THROW_WHERE == 1
    (void)instance;
    (void)result;
    (void)graph;
    throw std::runtime_error("the device is not there");
#else
    auto* s = reinterpret_cast<State*>(*instance);
    if (!s->video) {
        s->video = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(s->video, "is-live", TRUE, nullptr);
        gst_bin_add(graph, s->video);
        GstPad* out = gst_element_get_static_pad(s->video, "src");
        gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, onPicture, s, nullptr);
        gst_object_unref(out);
    }
    *result = 1;
#endif
}

void pi_setvideograph(pvr_instance* instance, int32_t, GstPad** pin, GstBin* graph, int*,
                      GstElement**, uint8_t*, uint8_t*) {
    auto* s = reinterpret_cast<State*>(*instance);
    s->queue = gst_element_factory_make("queue", nullptr);
    gst_bin_add(graph, s->queue);
    gst_element_link(s->video, s->queue);
    gst_element_sync_state_with_parent(s->queue);
    gst_element_sync_state_with_parent(s->video);
    *pin = gst_element_get_static_pad(s->queue, "src");
    gst_object_unref(*pin);
}
}
