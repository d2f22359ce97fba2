#include "Beeper.h"

#include "Log.h"

#include <gst/app/gstappsrc.h>

#include <cmath>
#include <vector>

namespace {

// The two sounds: a short tone shaped so that it clicks softly, 649 and 635 samples long.
std::vector<uint8_t> Sound(int which) {
    const int samples = which == 0 ? 649 : 635;
    const double frequency = which == 0 ? 1760.0 : 880.0;
    std::vector<uint8_t> pcm(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        const double envelope = std::sin(M_PI * i / samples);
        pcm[size_t(i)] = uint8_t(128 + 90 * envelope * std::sin(2 * M_PI * frequency * i / 11025));
    }
    return pcm;
}

} // namespace

TBeeper::~TBeeper() {
    stop();
}

void TBeeper::stop() {
    if (!m_pipeline)
        return;
    {
        const TGstRef<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
        gst_bus_remove_watch(bus.get());
    }
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_pipeline.reset();
}

gboolean TBeeper::onBus(GstBus*, GstMessage* message, gpointer self) {
    auto* beeper = static_cast<TBeeper*>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR:
        // Ended, or no sound output: either way the beep is over.
        if (beeper->m_pipeline)
            gst_element_set_state(beeper->m_pipeline.get(), GST_STATE_NULL);
        return G_SOURCE_CONTINUE;
    default:
        return G_SOURCE_CONTINUE;
    }
}

void TBeeper::Play(int which) {
    which &= 1;
    ++m_played[size_t(which)];
    stop();
    g_autoptr(GError) error = nullptr;
    m_pipeline.reset(gst_parse_launch("appsrc name=beep format=time caps=audio/x-raw,format=U8,"
                                      "rate=11025,channels=1,layout=interleaved ! audioconvert ! "
                                      "audioresample ! autoaudiosink",
                                      &error));
    if (!m_pipeline || error) {
        qCWarning(lcVidorra) << "beep skipped:" << (error ? error->message : "");
        m_pipeline.reset();
        return;
    }
    {
        const TGstRef<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
        gst_bus_add_watch(bus.get(), &TBeeper::onBus, this);
    }
    const std::vector<uint8_t> pcm = Sound(which);
    GstBuffer* buffer = gst_buffer_new_memdup(pcm.data(), pcm.size());
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(pcm.size(), GST_SECOND, 11025);
    {
        const TGstRef<GstElement> src(gst_bin_get_by_name(GST_BIN(m_pipeline.get()), "beep"));
        gst_app_src_push_buffer(GST_APP_SRC(src.get()), buffer); // takes the buffer
        gst_app_src_end_of_stream(GST_APP_SRC(src.get()));
    }
    // A missing sound output fails here at once and the beep is skipped.
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        stop();
}
