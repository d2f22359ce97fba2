#include "DVGenerator.h"

#include <gst/gst.h>

#include <memory>

namespace dv {

namespace {

std::string Escape(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

// Plays the encoding pipeline to its end: what went wrong, or nothing.
std::string PlayToEnd(GstElement* pipeline, const std::atomic<bool>* stop) {
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return "cannot start the encoding pipeline";
    g_autoptr(GstBus) bus = gst_element_get_bus(pipeline);
    // At most 120 s, looked at every 0.1 s for the stop.
    g_autoptr(GstMessage) msg = nullptr;
    bool stopped = false;
    for (int waited = 0; !msg && waited < 120000; waited += 100) {
        if ((stopped = stop && stop->load()))
            break;
        msg = gst_bus_timed_pop_filtered(
            bus, 100 * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    }
    if (!msg)
        return stopped ? "stopped" : "encoding timed out";
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        g_autoptr(GError) e = nullptr;
        gst_message_parse_error(msg, &e, nullptr);
        return e ? e->message : "encoding failed";
    }
    return {};
}

// Builds the pipeline, plays it to its end and stops it: the file is closed when it returns.
std::string Encode(const std::string& desc, const std::atomic<bool>* stop) {
    g_autoptr(GError) err = nullptr;
    g_autoptr(GstElement) pipeline = gst_parse_launch(desc.c_str(), &err);
    if (!pipeline || err)
        return err ? err->message : "cannot build the encoding pipeline";
    std::string problem = PlayToEnd(pipeline, stop);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return problem;
}

} // namespace

bool GenerateClip(const std::string& path, const ClipSpec& spec, std::string* error,
                  const std::atomic<bool>* stop) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what;
        return false;
    };
    if (spec.frames <= 0)
        return fail("no frames asked for");
    const char* videoCaps = spec.pal ? "width=720,height=576,framerate=25/1"
                                     : "width=720,height=480,framerate=30000/1001";
    const char* par =
        spec.widescreen ? (spec.pal ? "64/45" : "32/27") : (spec.pal ? "16/15" : "8/9");
    // One audio buffer per frame, a little more audio than video so no frame waits for it.
    const int samplesPerFrame = spec.pal ? 1920 : 1602;
    const std::string desc =
        "videotestsrc pattern=smpte num-buffers=" + std::to_string(spec.frames) +
        " ! video/x-raw,format=I420," + videoCaps + ",pixel-aspect-ratio=" + par +
        " ! avenc_dvvideo ! queue ! avmux_dv name=mux ! filesink location=\"" + Escape(path) +
        "\" audiotestsrc wave=sine freq=440 volume=0.3 samplesperbuffer=" +
        std::to_string(samplesPerFrame) + " num-buffers=" + std::to_string(spec.frames + 2) +
        " ! audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved ! queue ! mux.";

    const std::string problem = Encode(desc, stop);
    if (!problem.empty())
        return fail(problem);
    return PatchClipFile(path, spec, error);
}

} // namespace dv
