#include "Dm.h"

#include "PlugIns.h"

#include "Log.h"

#include <QMetaObject>
#include <QTimer>
#include <algorithm>
#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <unistd.h>

namespace {

GstElement* make(const char* factory, const char* name) {
    GstElement* e = gst_element_factory_make(factory, name);
    if (!e)
        qCWarning(lcVidorra) << "element" << factory << "is missing";
    return e;
}

// Holds a ref of its own so that the element survives its removal from the pipeline.
GstElement* keep(GstElement* e) {
    return e ? GST_ELEMENT(gst_object_ref_sink(e)) : nullptr;
}

void dropElement(GstBin* bin, GstElement*& e) {
    if (!e)
        return;
    gst_element_set_state(e, GST_STATE_NULL);
    if (GST_OBJECT_PARENT(e) == GST_OBJECT(bin))
        gst_bin_remove(bin, e);
    e = nullptr;
}

// Removes an element of the module's own from the pipeline; the module's ref keeps it.
void detachOwn(GstBin* bin, GstElement* e) {
    if (!e || GST_OBJECT_PARENT(e) != GST_OBJECT(bin))
        return;
    gst_element_set_state(e, GST_STATE_NULL);
    gst_bin_remove(bin, e);
}

[[nodiscard]] bool addAndLink(GstBin* bin, std::initializer_list<GstElement*> chain) {
    for (GstElement* e : chain) {
        if (!e)
            return false;
        if (!GST_OBJECT_PARENT(e))
            gst_bin_add(bin, e);
    }
    GstElement* previous = nullptr;
    for (GstElement* e : chain) {
        if (previous && !gst_element_link(previous, e)) {
            qCWarning(lcVidorra) << "cannot link" << GST_OBJECT_NAME(previous) << "to"
                                 << GST_OBJECT_NAME(e);
            return false;
        }
        previous = e;
    }
    return true;
}

void syncAll(std::initializer_list<GstElement*> chain) {
    for (GstElement* e : chain)
        if (e)
            gst_element_sync_state_with_parent(e);
}

QString fourccText(const GstStructure* s) {
    if (const char* format = gst_structure_get_string(s, "format"))
        return QString::fromLatin1(format).left(4);
    return {};
}

} // namespace

Tdm::Tdm(QObject* parent) : QObject(parent) {
    m_pipeline = gst_pipeline_new("vidorra");
    bool ok = false;
    const int endWait = qEnvironmentVariableIntValue("VIDORRA_END_WAIT_MS", &ok);
    if (ok && endWait >= 0)
        m_endWaitMs = endWait;
    TGstRef<GstBus> bus(gst_element_get_bus(m_pipeline));
    gst_bus_set_sync_handler(bus.get(), &Tdm::busSyncHandler, this, nullptr);
    createOwnElements();
}

namespace {
// How long the elements of a plug-in may take to stop.
constexpr int kPluginStopMs = 2000;
} // namespace

Tdm::~Tdm() {
    for (int fd : std::as_const(m_rescues))
        if (fd >= 0)
            ::close(fd);
    // The streaming threads stop first; the branch of a part still ending then leaves while
    // the elements it holds on to are all there, and nothing waits for it any more.
    if (m_endTimer)
        m_endTimer->stop();
    m_deferred.clear();
    StopGraph();
    m_recording.reset();
    RemovePreviewVideoChain();
    RemovePreviewAudioChain();
    TGstRef<GstBus> bus(gst_element_get_bus(m_pipeline));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    bus.reset();
    for (GstElement* e : {m_overlay, m_previewVideoStamp, m_previewAudioStamp, m_previewVideoGate,
                          m_previewAudioGate, m_captureVideoGate, m_captureAudioGate,
                          m_captureVideoStamp, m_dvHeader, m_controlFilter, m_resizer, m_waveDest})
        if (e) {
            detachOwn(pipeline(), e);
            gst_object_unref(e);
        }
    gst_object_unref(m_pipeline);
    videoOutputPad.reset();
    audioPin.reset();
    watchAudioSink(nullptr);
    forgetBusError();
}

void Tdm::createOwnElements() {
    m_overlay = keep(make("vr_superposer", "Superposer"));
    m_captureVideoStamp = keep(make("vr_timestamper", "VideoCap Tamponer"));
    m_dvHeader = keep(make("vr_dvheader", "DV Header"));
    m_controlFilter = keep(make("vr_controlfilter", "Control Filter"));
    m_resizer = keep(make("vr_resizer", "Resizer"));
    m_captureAudioGate = keep(make("vr_timestamper", "AudioCap Tamponer"));
    m_waveDest = keep(make("vr_wavedest", "Wave Dest"));
    m_previewVideoStamp = keep(make("vr_timestamper", "Tamponer Video"));
    m_previewAudioStamp = keep(make("vr_timestamper", "Tamponer Audio"));
    m_previewVideoGate = keep(make("vr_timestamper", "Control_Preview_Video"));
    m_previewAudioGate = keep(make("vr_timestamper", "Control_Preview_Audio"));
    m_captureVideoGate = keep(make("vr_timestamper", "Control_Capture_Video"));
    // The preview shows every picture as it comes.
    for (GstElement* stamp : {m_previewVideoStamp, m_previewAudioStamp})
        if (stamp)
            gst_util_set_object_arg(G_OBJECT(stamp), "mode", "remove");
}

GstElement* Tdm::element(const char* name) const {
    for (GstElement* e : {m_overlay, m_previewVideoStamp, m_previewAudioStamp, m_previewVideoGate,
                          m_previewAudioGate, m_captureVideoGate, m_captureAudioGate,
                          m_captureVideoStamp, m_dvHeader, m_controlFilter, m_resizer, m_waveDest})
        if (e && g_strcmp0(GST_OBJECT_NAME(e), name) == 0)
            return e;
    const TGstRef<GstElement> found(gst_bin_get_by_name(GST_BIN(m_pipeline), name));
    return found.get(); // the pipeline keeps it alive
}

// The stream's caps (known once it flows) give the format labels, read on the UI thread.
void Tdm::watchCaps(GstPad* pad, bool video) {
    const auto probe = [](GstPad*, GstPadProbeInfo* info, gpointer data) -> GstPadProbeReturn {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
            return GST_PAD_PROBE_OK;
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        // Released when the call has run, or with the call if the module is gone first.
        auto copy = std::make_shared<TGstRef<GstCaps>>(gst_caps_copy(caps));
        const auto* watch = static_cast<const CapsWatch*>(data);
        Tdm* dm = watch->dm;
        const bool isVideo = watch->video;
        QMetaObject::invokeMethod(
            dm,
            [dm, copy, isVideo] {
                if (isVideo)
                    dm->readVideoCaps(copy->get());
                else
                    dm->readAudioCaps(copy->get());
            },
            Qt::QueuedConnection);
        return GST_PAD_PROBE_OK;
    };
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, probe, new CapsWatch{this, video},
                      [](gpointer data) { delete static_cast<CapsWatch*>(data); });
}

// ------------------------------------------------------------------ preview video

bool Tdm::BuildPreviewVideoChain(GstElement* sceneDetector) {
    if (m_videoChainBuilt)
        RemovePreviewVideoChain();
    if (!videoOutputPad || !m_overlay)
        return false;
    GstBin* bin = pipeline();
    m_color1 = make("videoconvert", "color1");
    m_overlayCaps = make("capsfilter", "overlay caps");
    if (m_overlayCaps) {
        // The picture keeps the source's format from the decoder to the encoders: the overlay
        // draws on a decoder's I420 (or on the BGR of a source in 24-bit RGB) as it comes, and
        // color1 converts only a source in neither format, to the one that loses nothing of
        // it (NV12 to I420; 4:2:2 or 4:1:1, whose chroma I420 would halve, to BGR). The
        // preview alone is made RGB (color3), and the encoders take the I420 as it is; the
        // DivX branch's resizer scales either format. The snapshots stay BGR: the overlay
        // converts a grabbed I420 picture, inlay and all.
        const TGstRef<GstCaps> caps(gst_caps_from_string("video/x-raw,format={ I420, BGR }"));
        g_object_set(m_overlayCaps, "caps", caps.get(), nullptr);
    }
    m_infdecvideo = make("tee", "infdecvideo");
    m_queueSup = make("queue", "infdecvideo queue");
    m_infsupvideo = make("tee", "infsupvideo");
    m_queuePreview = make("queue", "preview video queue");
    m_color3 = make("videoconvert", "color3");
    m_videoSink = make("appsink", "video window");
    for (GstElement* tee : {m_infdecvideo, m_infsupvideo})
        if (tee)
            g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    if (m_queuePreview)
        g_object_set(m_queuePreview, "leaky", 2 /* downstream */, "max-size-buffers", 2u,
                     "max-size-bytes", 0u, "max-size-time", guint64(0), nullptr);
    if (m_videoSink) {
        // The window draws 32-bit RGB as it is, and a YUV picture becomes 32-bit RGB in about
        // two thirds of the time 24-bit takes; a source already in 24-bit RGB is shown as it
        // comes. (BGRx is the window's 0xffRRGGBB word in this machine's byte order.)
        const TGstRef<GstCaps> caps(gst_caps_from_string(G_BYTE_ORDER == G_LITTLE_ENDIAN
                                                             ? "video/x-raw,format={ BGRx, BGR }"
                                                             : "video/x-raw,format={ xRGB, BGR }"));
        g_object_set(m_videoSink, "caps", caps.get(), "sync", FALSE, "max-buffers", 1u, "drop",
                     TRUE, "enable-last-sample", FALSE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink* sink, gpointer self) -> GstFlowReturn {
            auto* dm = static_cast<Tdm*>(self);
            const TGstRef<GstSample> sample(gst_app_sink_pull_sample(sink));
            if (!sample)
                return GST_FLOW_OK;
            dm->m_previewFrameCount.fetch_add(1, std::memory_order_relaxed);
            if (dm->onVideoSample)
                dm->onVideoSample(sample.get());
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(m_videoSink), &callbacks, this, nullptr);
    }

    const bool ok = addAndLink(bin, {m_color1, m_overlayCaps, m_overlay, m_infdecvideo, m_queueSup,
                                     m_infsupvideo, m_queuePreview, m_previewVideoGate,
                                     m_previewVideoStamp, m_color3, m_videoSink});
    const TGstRef<GstPad> sink(m_color1 ? gst_element_get_static_pad(m_color1, "sink") : nullptr);
    const bool linked =
        ok && sink && gst_pad_link(videoOutputPad.get(), sink.get()) == GST_PAD_LINK_OK;
    g_object_set(m_overlay, "scene-source", sceneDetector, "source-flipped", sourceFlipped,
                 nullptr);
    m_videoChainBuilt = true; // whatever got added is removed by RemovePreviewVideoChain
    if (!linked) {
        qCWarning(lcVidorra) << "preview video chain not built";
        RemovePreviewVideoChain();
        return false;
    }

    // The native caps give the format label; they are known once the stream flows.
    if (videoBranchTee) {
        const TGstRef<GstPad> teeSink(gst_element_get_static_pad(videoBranchTee, "sink"));
        watchCaps(teeSink.get(), true);
    }
    m_previewFrameCount = 0;
    updateDecodeProbe();
    syncAll({m_color1, m_overlayCaps, m_overlay, m_infdecvideo, m_queueSup, m_infsupvideo,
             m_queuePreview, m_previewVideoGate, m_previewVideoStamp, m_color3, m_videoSink});
    return true;
}

void Tdm::RemovePreviewVideoChain() {
    if (!m_videoChainBuilt)
        return;
    GstBin* bin = pipeline();
    if (m_decodeProbePad) {
        if (m_decodeProbe)
            gst_pad_remove_probe(m_decodeProbePad.get(), m_decodeProbe);
        m_decodeProbePad.reset();
        m_decodeProbe = 0;
    }
    if (videoOutputPad) {
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(videoOutputPad.get())); peer)
            gst_pad_unlink(videoOutputPad.get(), peer.get());
    }
    for (GstElement** e : {&m_color1, &m_overlayCaps, &m_infdecvideo, &m_queueSup, &m_infsupvideo,
                           &m_queuePreview, &m_color3, &m_videoSink})
        dropElement(bin, *e);
    for (GstElement* own : {m_overlay, m_previewVideoGate, m_previewVideoStamp})
        detachOwn(bin, own);
    if (m_overlay)
        g_object_set(m_overlay, "scene-source", nullptr, nullptr);
    m_videoChainBuilt = false;
    m_videoFormat = {};
}

void Tdm::readVideoCaps(GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps))
        return;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    TVideoFormatLabel label;
    const QString media = QString::fromLatin1(gst_structure_get_name(s));
    gint mpegVersion = 0;
    if (media == QLatin1String("video/x-dv")) {
        label.compression = QStringLiteral("dvsd");
    } else if (media == QLatin1String("video/mpeg") &&
               gst_structure_get_int(s, "mpegversion", &mpegVersion)) {
        label.compression = mpegVersion == 1 ? QStringLiteral("MPEG1") : QStringLiteral("MPEG2");
        label.temporalCompression = true;
    } else if (media == QLatin1String("image/jpeg")) {
        label.compression = QStringLiteral("MJPG");
    } else {
        label.compression = fourccText(s);
    }
    gst_structure_get_int(s, "width", &label.width);
    gst_structure_get_int(s, "height", &label.height);
    gint num = 0, den = 1;
    if (gst_structure_get_fraction(s, "framerate", &num, &den) && num > 0)
        label.frameTime = quint32(std::min<qint64>(qint64(10000000) * den / num, 0xffffffffLL));
    else
        label.frameTime = 0;
    if (label.frameTime < 1000)
        label.frameTime = 400000;
    m_videoFormat = label;
    emit videoFormatChanged();
}

// Decoding stops while the preview is frozen and no recording needs the picture: the
// buffers are dropped in front of the decoder (the device branch's queue), or, failing
// that, in front of the preview chain.
void Tdm::updateDecodeProbe() {
    m_dropDecoding = m_previewFrozen && !m_decodedNeeded;
    if (m_decodeProbePad || !videoOutputPad)
        return;
    TGstRef<GstPad> pad = GstRefAdd(videoOutputPad.get());
    for (int step = 0; step < 8; ++step) {
        const TGstRef<GstElement> owner(gst_pad_get_parent_element(pad.get()));
        if (!owner)
            break;
        if (g_strcmp0(GST_OBJECT_NAME(gst_element_get_factory(owner.get())), "queue") == 0)
            break;
        const TGstRef<GstPad> sink(gst_element_get_static_pad(owner.get(), "sink"));
        TGstRef<GstPad> peer(sink ? gst_pad_get_peer(sink.get()) : nullptr);
        if (!peer)
            break;
        pad = std::move(peer);
    }
    m_decodeProbePad = std::move(pad);
    m_decodeProbe = gst_pad_add_probe(
        m_decodeProbePad.get(), GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer self) -> GstPadProbeReturn {
            auto* dm = static_cast<Tdm*>(self);
            dm->m_sourceFrameCount.fetch_add(1, std::memory_order_relaxed);
            return dm->m_dropDecoding ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
        },
        this, nullptr);
}

void Tdm::SetPreviewFrozen(bool frozen) {
    m_previewFrozen = frozen;
    for (GstElement* gate : {m_previewVideoGate, m_previewAudioGate})
        if (gate)
            g_object_set(gate, "frozen", frozen, nullptr);
    m_dropDecoding = m_previewFrozen && !m_decodedNeeded;
}

void Tdm::SetDecodedVideoNeeded(bool needed) {
    m_decodedNeeded = needed;
    m_dropDecoding = m_previewFrozen && !m_decodedNeeded;
}

quint64 Tdm::previewFrames() const {
    return m_previewFrameCount.load();
}

// ------------------------------------------------------------------ preview audio

GstElement* Tdm::makeAudioSink() {
    if (audioSinkFactory) {
        m_audioOutputReal = false;
        return audioSinkFactory();
    }
    // Without a sound server or card the preview ends in a sink that plays nothing.
    GstElement* sink = gst_element_factory_make("autoaudiosink", "audiorender");
    if (sink && gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        m_audioOutputReal = true;
        return sink;
    }
    if (sink) {
        // Never added to a bin: its floating ref is taken here, and released.
        const TGstRef<GstElement> refused = GstRefSink(sink);
    }
    m_audioOutputReal = false;
    qCInfo(lcVidorra) << "no audio output: the sound preview is silent";
    GstElement* fake = gst_element_factory_make("fakesink", "audiorender");
    if (fake)
        g_object_set(fake, "sync", FALSE, "async", FALSE, nullptr);
    return fake;
}

bool Tdm::BuildPreviewAudioChain() {
    if (m_audioChainBuilt)
        RemovePreviewAudioChain();
    if (!audioPin)
        return false;
    GstBin* bin = pipeline();
    m_infdecaudio = make("tee", "infdecaudio");
    m_queueAudioSup = make("queue", "infdecaudio queue");
    m_infsupaudio = make("tee", "infsupaudio");
    m_queueAudioPreview = make("queue", "preview audio queue");
    m_audioConvert = make("audioconvert", "preview audio convert");
    m_volumeElement = make("volume", "volume");
    m_audioSink = makeAudioSink();
    watchAudioSink(m_audioSink);
    for (GstElement* tee : {m_infdecaudio, m_infsupaudio})
        if (tee)
            g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    m_audioSinkFailed = false;
    if (m_queueAudioPreview) {
        g_object_set(m_queueAudioPreview, "leaky", 2, nullptr);
        // Once the output has failed, the sound stops here: the failure must not travel
        // back up to the source, which recordings still need.
        const TGstRef<GstPad> queueSink(gst_element_get_static_pad(m_queueAudioPreview, "sink"));
        gst_pad_add_probe(
            queueSink.get(),
            GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
            [](GstPad*, GstPadProbeInfo*, gpointer self) -> GstPadProbeReturn {
                return static_cast<Tdm*>(self)->m_audioSinkFailed ? GST_PAD_PROBE_DROP
                                                                  : GST_PAD_PROBE_OK;
            },
            this, nullptr);
    }
    const bool ok = addAndLink(bin, {m_infdecaudio, m_queueAudioSup, m_infsupaudio,
                                     m_queueAudioPreview, m_previewAudioGate, m_previewAudioStamp,
                                     m_audioConvert, m_volumeElement, m_audioSink});
    const TGstRef<GstPad> sink(m_infdecaudio ? gst_element_get_static_pad(m_infdecaudio, "sink")
                                             : nullptr);
    const bool linked = ok && sink && gst_pad_link(audioPin.get(), sink.get()) == GST_PAD_LINK_OK;
    if (sink)
        watchCaps(sink.get(), false);
    m_audioChainBuilt = true;
    if (!linked) {
        qCWarning(lcVidorra) << "preview audio chain not built";
        RemovePreviewAudioChain();
        return false;
    }
    SetVolume(m_volume);
    buildLevelBranch();
    syncAll({m_infdecaudio, m_queueAudioSup, m_infsupaudio, m_queueAudioPreview, m_previewAudioGate,
             m_previewAudioStamp, m_audioConvert, m_volumeElement, m_audioSink, m_queueLevel,
             m_levelConvert, m_level, m_levelSink});
    emit audioMeterChanged(true);
    return true;
}

// The meter's branch; without it (an element missing) the sound goes on unmeasured.
void Tdm::buildLevelBranch() {
    m_queueLevel = make("queue", "level queue");
    m_levelConvert = make("audioconvert", "level convert");
    m_level = make("level", "level meter");
    m_levelSink = make("fakesink", "level sink");
    if (m_queueLevel)
        // A few buffers at most: a late meter drops sound, never holds the recording back.
        g_object_set(m_queueLevel, "leaky", 2 /* downstream */, "max-size-buffers", 8u,
                     "max-size-bytes", 0u, "max-size-time", guint64(0), nullptr);
    if (m_level)
        g_object_set(m_level, "interval", guint64(66 * GST_MSECOND), "post-messages", TRUE,
                     nullptr);
    if (m_levelSink)
        g_object_set(m_levelSink, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE,
                     nullptr);
    if (addAndLink(pipeline(), {m_queueLevel, m_levelConvert, m_level, m_levelSink}) &&
        gst_element_link(m_infdecaudio, m_queueLevel))
        return;
    qCWarning(lcVidorra) << "the sound level meter is left out";
    for (GstElement** e : {&m_queueLevel, &m_levelConvert, &m_level, &m_levelSink})
        dropElement(pipeline(), *e);
}

void Tdm::readLevels(const GstStructure* s) {
    auto read = [s](const char* field) {
        std::vector<double> values;
        const GValue* list = gst_structure_get_value(s, field);
        if (!list)
            return values;
        if (GST_VALUE_HOLDS_ARRAY(list)) {
            for (guint i = 0; i < gst_value_array_get_size(list); ++i)
                values.push_back(g_value_get_double(gst_value_array_get_value(list, i)));
        } else if (g_type_is_a(G_VALUE_TYPE(list), g_type_from_name("GValueArray"))) {
            // What level still posts on this GStreamer, a type GLib keeps for it only.
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            const auto* array = static_cast<const GValueArray*>(g_value_get_boxed(list));
            for (guint i = 0; array && i < array->n_values; ++i)
                values.push_back(
                    g_value_get_double(g_value_array_get_nth(const_cast<GValueArray*>(array), i)));
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
        return values;
    };
    const std::vector<double> peak = read("peak");
    if (!peak.empty())
        emit audioLevels(peak, read("rms"));
}

void Tdm::RemovePreviewAudioChain() {
    if (!m_audioChainBuilt)
        return;
    GstBin* bin = pipeline();
    if (audioPin) {
        if (const TGstRef<GstPad> peer(gst_pad_get_peer(audioPin.get())); peer)
            gst_pad_unlink(audioPin.get(), peer.get());
    }
    watchAudioSink(nullptr);
    for (GstElement** e :
         {&m_infdecaudio, &m_queueAudioSup, &m_infsupaudio, &m_queueAudioPreview, &m_audioConvert,
          &m_volumeElement, &m_audioSink, &m_queueLevel, &m_levelConvert, &m_level, &m_levelSink})
        dropElement(bin, *e);
    for (GstElement* own : {m_previewAudioGate, m_previewAudioStamp})
        detachOwn(bin, own);
    m_audioChainBuilt = false;
    m_audioFormat = {};
    emit audioMeterChanged(false);
}

void Tdm::readAudioCaps(GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps))
        return;
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    TAudioFormatLabel label;
    gst_structure_get_int(s, "rate", &label.rate);
    gst_structure_get_int(s, "channels", &label.channels);
    if (const char* format = gst_structure_get_string(s, "format")) {
        const GstAudioFormat f = gst_audio_format_from_string(format);
        if (f != GST_AUDIO_FORMAT_UNKNOWN)
            label.bits = GST_AUDIO_FORMAT_INFO_WIDTH(gst_audio_format_get_info(f));
    }
    m_audioFormat = label;
    emit audioFormatChanged();
}

void Tdm::SetVolume(int volume) {
    m_volume = std::clamp(volume, 0, 10000);
    if (m_volumeElement)
        g_object_set(m_volumeElement, "volume", m_volume / 10000.0, nullptr);
}

// ------------------------------------------------------------------ running

bool Tdm::RunGraph() {
    forgetBusError();
    const GstStateChangeReturn r = gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
    if (r != GST_STATE_CHANGE_FAILURE) {
        forgetBusError();
        return true;
    }
    QString reason;
    TGstRef<GstObject> culprit;
    {
        std::lock_guard guard(m_watchLock);
        reason = m_lastBusError;
        culprit = std::move(m_lastBusErrorSource);
    }
    forgetBusError();
    if (reason.isEmpty())
        reason = QStringLiteral("un élément a refusé de démarrer");
    qCWarning(lcVidorra) << "the pipeline does not start:" << reason;
    // Back to rest, so that the next change of source or start can try again.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    // A source that fails is the sources' to handle (it is left out, silently).
    const bool bySource = culprit && GST_IS_ELEMENT(culprit.get()) && m_sourceCheckContext &&
                          m_sourceCheck && m_sourceCheck(GST_ELEMENT(culprit.get()));
    if (!bySource)
        emit graphFailed(
            QStringLiteral("Le graphe de capture n'a pas pu démarrer : %1.").arg(reason));
    return false;
}

void Tdm::forgetBusError() {
    std::lock_guard guard(m_watchLock);
    m_lastBusError.clear();
    m_lastBusErrorSource.reset();
}

void Tdm::StopGraph() {
    if (!m_pipeline)
        return;
    // A plug-in's streaming thread may never come back: its elements stop apart, within a
    // time limit, and the plug-in is abandoned when they do not.
    TPlugInCaptureDevice::StopPluginsIn(GST_BIN(m_pipeline), kPluginStopMs);
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
}

void Tdm::watchAudioSink(GstElement* sink) {
    std::lock_guard guard(m_watchLock);
    m_watchedAudioSink = GstRefAdd(sink);
}

bool Tdm::isAudioSinkMessage(GstMessage* message) const {
    std::lock_guard guard(m_watchLock);
    GstObject* source = GST_MESSAGE_SRC(message);
    return m_watchedAudioSink && source &&
           (source == GST_OBJECT(m_watchedAudioSink.get()) ||
            gst_object_has_as_ancestor(source, GST_OBJECT(m_watchedAudioSink.get())));
}

bool Tdm::isRunning() const {
    GstState state = GST_STATE_NULL;
    gst_element_get_state(m_pipeline, &state, nullptr, 0);
    return state == GST_STATE_PLAYING;
}

bool Tdm::runsOrStarts() const {
    GstState state = GST_STATE_NULL, pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(m_pipeline, &state, &pending, 0);
    return state == GST_STATE_PLAYING || pending == GST_STATE_PLAYING;
}

GstBusSyncReply Tdm::busSyncHandler(GstBus*, GstMessage* message, gpointer self) {
    auto* me = static_cast<Tdm*>(self);
    // A sync handler that drops a message owns it. Every message holds its source element:
    // one left behind keeps a removed element, and all it holds, alive for good.
    TGstRef<GstMessage> held(message);
    // Raised at once, on the failing sink's own thread, before its queue hands the error
    // upstream with the next buffer. The sink is compared under the lock the window thread
    // takes to change it.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        if (me->isAudioSinkMessage(message))
            me->m_audioSinkFailed = true;
        QString reason;
        {
            g_autoptr(GError) error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            reason = FrenchErrorReason(error);
        }
        // The first error says why; those after it are its echoes.
        std::lock_guard guard(me->m_watchLock);
        if (me->m_lastBusError.isEmpty()) {
            me->m_lastBusError = reason;
            me->m_lastBusErrorSource = GstRefAdd(GST_MESSAGE_SRC(message));
        }
    }
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_WARNING:
    case GST_MESSAGE_ELEMENT:
    case GST_MESSAGE_LATENCY:
    case GST_MESSAGE_CLOCK_LOST: {
        // Released when the call has run, or with the call if the module is gone first.
        auto queued = std::make_shared<TGstRef<GstMessage>>(std::move(held));
        QMetaObject::invokeMethod(
            me, [me, queued] { me->handleBusMessage(queued->get()); }, Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void Tdm::handleBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        g_autoptr(GError) error = nullptr;
        g_autofree gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const QString text = FrenchErrorReason(error);
        qCWarning(lcVidorra) << "pipeline error from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message))
                             << ":" << (error ? error->message : "") << (debug ? debug : "");
        if (m_audioSinkFailed && isAudioSinkMessage(message))
            break; // the sound output only: the preview goes on silently
        if (GST_IS_ELEMENT(GST_MESSAGE_SRC(message)))
            emit sourceError(GST_ELEMENT(GST_MESSAGE_SRC(message)), text);
        break;
    }
    case GST_MESSAGE_WARNING: {
        g_autoptr(GError) error = nullptr;
        gst_message_parse_warning(message, &error, nullptr);
        qCInfo(lcVidorra) << "pipeline warning from" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message))
                          << ":" << (error ? error->message : "");
        break;
    }
    case GST_MESSAGE_ELEMENT: {
        const GstStructure* s = gst_message_get_structure(message);
        if (s && gst_structure_has_name(s, "vr-widescreen")) {
            gboolean wide = FALSE;
            gst_structure_get_boolean(s, "widescreen", &wide);
            emit wideScreenChanged(wide);
        }
        // Levels measured by a meter removed since are dropped: they belong to another source.
        if (s && m_level && GST_MESSAGE_SRC(message) == GST_OBJECT(m_level) &&
            gst_structure_has_name(s, "level")) {
            readLevels(s);
            break;
        }
        emit elementMessage(message);
        break;
    }
    case GST_MESSAGE_LATENCY:
        // A live element changed its latency (a recording branch's encoder or muxer comes or
        // goes). The pipeline keeps the latency it started with: computed again here, it
        // delays every synchronised sink by the slowest branch, and on a loaded machine a
        // native MPEG recording then loses its sound's place beside the pictures.
        qCDebug(lcVidorra) << "latency changed by" << GST_OBJECT_NAME(GST_MESSAGE_SRC(message));
        break;
    case GST_MESSAGE_CLOCK_LOST: {
        // The clock went with an element: pausing and playing again selects a new one.
        GstState state = GST_STATE_NULL;
        gst_element_get_state(m_pipeline, &state, nullptr, 0);
        if (state == GST_STATE_PLAYING) {
            qCInfo(lcVidorra) << "the pipeline's clock was lost: a new one is selected";
            gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
            gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        }
        break;
    }
    default:
        break;
    }
}

QString FrenchErrorReason(const GError* error) {
    if (!error)
        return QStringLiteral("une erreur inconnue s'est produite");
    if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NO_SPACE_LEFT:
            return QStringLiteral("le disque est plein");
        case GST_RESOURCE_ERROR_OPEN_WRITE:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_WRITE:
        case GST_RESOURCE_ERROR_CLOSE:
        case GST_RESOURCE_ERROR_SYNC:
            return QStringLiteral("le fichier ne peut pas être écrit");
        case GST_RESOURCE_ERROR_NOT_FOUND:
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_READ:
            return QStringLiteral("la source ne peut pas être lue");
        case GST_RESOURCE_ERROR_BUSY:
            return QStringLiteral("le périphérique est occupé");
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return QStringLiteral("l'accès est refusé");
        default:
            break;
        }
    } else if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_ENCODE:
            return QStringLiteral("l'encodage a échoué");
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_WRONG_TYPE:
            return QStringLiteral("le flux ne peut pas être lu");
        default:
            break;
        }
    }
    return QStringLiteral("une erreur s'est produite (%1)").arg(QString::fromUtf8(error->message));
}
