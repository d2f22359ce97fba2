#pragma once

#include "GraphContext.h"

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// A graph module reduced to its pipeline, for putting one device into it.
class FakeGraph : public TGraphContext {
public:
    FakeGraph() : pipe(gst_pipeline_new("test")) {}
    ~FakeGraph() override {
        gst_element_set_state(pipe, GST_STATE_NULL);
        videoOutputPad.reset();
        audioPin.reset();
        gst_object_unref(pipe);
    }
    GstBin* pipeline() override { return GST_BIN(pipe); }
    bool dvHalfSize() const override { return half; }

    // A fakesink that counts what reaches it, linked to pad.
    GstElement* Sink(GstPad* pad, std::atomic<int>& count) {
        GstElement* sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", FALSE, "async", FALSE, nullptr);
        gst_bin_add(GST_BIN(pipe), sink);
        GstPad* in = gst_element_get_static_pad(sink, "sink");
        gst_pad_add_probe(
            in, GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo*, gpointer data) {
                ++*static_cast<std::atomic<int>*>(data);
                return GST_PAD_PROBE_OK;
            },
            &count, nullptr);
        if (pad)
            gst_pad_link(pad, in);
        gst_object_unref(in);
        return sink;
    }

    bool Play() {
        return gst_element_set_state(pipe, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
    }

    // The first error on the bus, or empty.
    std::string Error() {
        GstBus* bus = gst_element_get_bus(pipe);
        std::string text;
        while (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
            GError* e = nullptr;
            gst_message_parse_error(m, &e, nullptr);
            if (text.empty() && e)
                text = std::string(GST_OBJECT_NAME(GST_MESSAGE_SRC(m))) + ": " + e->message;
            g_clear_error(&e);
            gst_message_unref(m);
        }
        gst_object_unref(bus);
        return text;
    }

    GstElement* pipe;
    bool half = false;
};

// Polls until pred holds or the time is up.
inline bool WaitFor(const std::function<bool()>& pred, int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        if (pred())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pred();
}
