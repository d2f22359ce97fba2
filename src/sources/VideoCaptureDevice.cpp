#include "DeviceKinds.h"
#include "GstRef.h"
#include "GstUtil.h"
#include "Log.h"

#include <cstring>

using namespace srcgst;

namespace {

// The device's own format family (the first one it lists), so that the native tee carries
// one well-defined stream whatever the device could also deliver.
GstCaps* NativeFamily(const GstCaps* caps) {
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps))
        return nullptr;
    const GstStructure* first = gst_caps_get_structure(caps, 0);
    GstStructure* family = gst_structure_new_empty(gst_structure_get_name(first));
    for (const char* field : {"mpegversion", "systemstream", "parsed"}) {
        if (const GValue* v = gst_structure_get_value(first, field))
            gst_structure_set_value(family, field, v);
    }
    GstCaps* out = gst_caps_new_empty();
    gst_caps_append_structure(out, family);
    return out;
}

bool IsRawVideo(const GstCaps* caps) {
    return caps && gst_caps_get_size(caps) > 0 &&
           gst_structure_has_name(gst_caps_get_structure(caps, 0), "video/x-raw");
}

void OnDecodebinPad(GstElement*, GstPad* pad, gpointer data) {
    GstPad* ghost = GST_PAD(data);
    TGstRef<GstCaps> caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    const bool video =
        caps && gst_caps_get_size(caps.get()) > 0 &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps.get(), 0)), "video/");
    const TGstRef<GstPad> target(gst_ghost_pad_get_target(GST_GHOST_PAD(ghost)));
    if (video && !target)
        gst_ghost_pad_set_target(GST_GHOST_PAD(ghost), pad);
}

// decodebin behind fixed pads, for streams no single registered decoder takes.
GstElement* MakeDecodebinWrapper() {
    GstElement* decodebin = Make("decodebin");
    if (!decodebin)
        return nullptr;
    GstElement* bin = gst_bin_new(nullptr);
    gst_bin_add(GST_BIN(bin), decodebin);
    const TGstRef<GstPad> sink(gst_element_get_static_pad(decodebin, "sink"));
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sink.get()));
    GstPad* src = gst_ghost_pad_new_no_target("src", GST_PAD_SRC);
    gst_element_add_pad(bin, src);
    g_signal_connect(decodebin, "pad-added", G_CALLBACK(OnDecodebinPad), src);
    return bin;
}

} // namespace

TVideoCaptureDevice::~TVideoCaptureDevice() {
    for (TGstRef<GstElement>* e : {&m_source, &m_format, &m_videoTee, &m_videoQueue, &m_decoder})
        RemoveOwned(*e);
}

QStringList TVideoCaptureDevice::DecoderCandidates(const GstCaps* caps) {
    QStringList names;
    if (!caps)
        return names;
    const TGstObjectList all(
        gst_element_factory_list_get_elements(GST_ELEMENT_FACTORY_TYPE_DECODER, GST_RANK_MARGINAL));
    const TGstObjectList taking(
        gst_element_factory_list_filter(all.get(), caps, GST_PAD_SINK, FALSE));
    const TGstRef<GstCaps> raw(gst_caps_new_empty_simple("video/x-raw"));
    TGstObjectList giving(
        gst_element_factory_list_filter(taking.get(), raw.get(), GST_PAD_SRC, FALSE));
    giving.reset(g_list_sort(giving.release(), gst_plugin_feature_rank_compare_func));
    for (GList* l = giving.get(); l; l = l->next)
        names << QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
    return names;
}

namespace {
// Puts a new source element of the device into the pipeline; false when the device cannot be
// opened or the element not added (the caller then removes what is left).
bool AddSource(TCaptureDevice& device, GstBin* bin, TGstRef<GstElement>& source, GstBin*& owner,
               const char* name) {
    source = GstRefSink(device.Moniker.createSource ? device.Moniker.createSource() : nullptr);
    if (!source) {
        qCWarning(lcVidorra) << "cannot open device" << device.FriendlyName;
        return false;
    }
    owner = bin;
    if (!AddOwned(bin, source.get(), name))
        return false;
    // A source without its branch yet (or any more) must not stop on an unlinked pad.
    if (const TGstRef<GstPad> pad(FirstSrcPad(source.get())); pad)
        GuardOutputPad(pad.get());
    SyncWithParent({source.get()});
    device.SourceFilter = source.get();
    return true;
}
} // namespace

GstElement* TVideoCaptureDevice::SetSourceGraph(TGraphContext& g) {
    GstBin* bin = g.pipeline();
    if (m_source && m_bin == bin && GST_OBJECT_PARENT(m_source.get()) == GST_OBJECT(bin))
        return m_source.get();
    if (m_source)
        KillSourceGraph(g);
    if (!AddSource(*this, bin, m_source, m_bin, "vid_source")) {
        KillSourceGraph(g);
        return nullptr;
    }
    return m_source.get();
}

void TVideoCaptureDevice::KillSourceGraph(TGraphContext& g) {
    KillVideoGraph(g);
    RemoveOwned(m_source);
    m_bin = nullptr;
    SourceFilter = nullptr;
}

TGstRef<GstElement> TVideoCaptureDevice::MakeDecoder(const GstCaps* caps) {
    GstBin* bin = m_bin;
    for (const QString& name : DecoderCandidates(caps)) {
        TGstRef<GstElement> decoder = GstRefSink(Make(name.toUtf8().constData()));
        if (!decoder)
            continue;
        if (AddOwned(bin, decoder.get(), "vid_decoder") &&
            gst_element_link(m_videoQueue.get(), decoder.get()))
            return decoder;
        RemoveOwned(decoder);
    }
    TGstRef<GstElement> wrapper = GstRefSink(MakeDecodebinWrapper());
    if (wrapper && AddOwned(bin, wrapper.get(), "vid_decoder") &&
        gst_element_link(m_videoQueue.get(), wrapper.get()))
        return wrapper;
    RemoveOwned(wrapper);
    return {};
}

bool TVideoCaptureDevice::SetVideoGraph(TGraphContext& g, int stream) {
    if (stream < 1 || stream > VideoStreamCount || !m_source)
        return false;
    if (m_videoTee)
        KillVideoGraph(g);
    GstBin* bin = g.pipeline();
    const TGstRef<GstPad> sourcePad(FirstSrcPad(m_source.get()));
    const TGstRef<GstCaps> family(ChosenFormat.isEmpty()
                                      ? NativeFamily(Moniker.caps)
                                      : gst_caps_from_string(ChosenFormat.toUtf8().constData()));
    m_format = GstRefSink(Make("capsfilter"));
    m_videoTee = GstRefSink(Make("tee"));
    m_videoQueue = GstRefSink(Make("queue"));
    bool ok = sourcePad && m_format && m_videoTee && m_videoQueue;
    if (ok) {
        g_object_set(m_videoTee.get(), "allow-not-linked", TRUE, nullptr);
        if (family)
            g_object_set(m_format.get(), "caps", family.get(), nullptr);
        ok = AddOwned(bin, m_format.get(), "vid_format") &&
             AddOwned(bin, m_videoTee.get(), "vid_nativevideoinfinite") &&
             AddOwned(bin, m_videoQueue.get(), "vid_videoqueue") &&
             gst_element_link_many(m_format.get(), m_videoTee.get(), m_videoQueue.get(), nullptr);
    }
    GstElement* last = m_videoQueue.get();
    if (ok && !IsRawVideo(family.get())) {
        m_decoder = MakeDecoder(family.get());
        ok = bool(m_decoder);
        last = m_decoder.get();
    }
    const TGstRef<GstPad> out(ok ? gst_element_get_static_pad(last, "src") : nullptr);
    ok = ok && out;
    if (ok) {
        GuardOutputPad(out.get());
        SyncWithParent({m_decoder.get(), m_videoQueue.get(), m_videoTee.get(), m_format.get()});
        const TGstRef<GstPad> formatSink(gst_element_get_static_pad(m_format.get(), "sink"));
        ok = gst_pad_link(sourcePad.get(), formatSink.get()) == GST_PAD_LINK_OK;
    }
    if (!ok) {
        qCWarning(lcVidorra) << "cannot build the video branch of" << FriendlyName;
        KillVideoGraph(g);
        return false;
    }
    SetOwnedPad(g.videoOutputPad, out.get());
    g.videoBranchTee = m_videoTee.get();
    g.videoDevice = this;
    g.sourceFlipped = false;
    return true;
}

void TVideoCaptureDevice::KillVideoGraph(TGraphContext& g) {
    if (g.videoDevice == this)
        g.videoDevice = nullptr;
    if (g.videoBranchTee && g.videoBranchTee == m_videoTee.get())
        g.videoBranchTee = nullptr;
    if (g.videoOutputPad) {
        const TGstRef<GstObject> owner(gst_pad_get_parent(g.videoOutputPad.get()));
        if (owner && (owner.get() == GST_OBJECT(m_decoder.get()) ||
                      owner.get() == GST_OBJECT(m_videoQueue.get())))
            SetOwnedPad(g.videoOutputPad, nullptr);
    }
    DetachUpstream(m_format.get());
    ReleaseRequestPads(m_videoTee.get());
    RemoveOwned(m_format);
    RemoveOwned(m_videoTee);
    RemoveOwned(m_videoQueue);
    RemoveOwned(m_decoder);
}

bool TVideoCaptureDevice::SetAudioGraph(TGraphContext&, int) {
    // Sound of video devices comes as an audio device of its own on this platform.
    return false;
}

bool TVideoCaptureDevice::KillAudioGraph(TGraphContext&) {
    return true;
}

bool TVideoCaptureDevice::BuildMuxGraph(TGraphContext&, const QString&) {
    // The caller shows "Not Ready": a video device has no native type 1 recording.
    return false;
}

bool TVideoCaptureDevice::KillMuxGraph(TGraphContext&) {
    return false;
}

TAudioCaptureDevice::~TAudioCaptureDevice() {
    for (TGstRef<GstElement>* e : {&m_source, &m_audioFormat, &m_audioTee, &m_audioQueue})
        RemoveOwned(*e);
}

GstElement* TAudioCaptureDevice::SetSourceGraph(TGraphContext& g) {
    GstBin* bin = g.pipeline();
    if (m_source && m_bin == bin && GST_OBJECT_PARENT(m_source.get()) == GST_OBJECT(bin))
        return m_source.get();
    if (m_source)
        KillSourceGraph(g);
    if (!AddSource(*this, bin, m_source, m_bin, "aud_source")) {
        KillSourceGraph(g);
        return nullptr;
    }
    return m_source.get();
}

void TAudioCaptureDevice::KillSourceGraph(TGraphContext& g) {
    KillAudioGraph(g);
    RemoveOwned(m_source);
    m_bin = nullptr;
    SourceFilter = nullptr;
}

bool TAudioCaptureDevice::SetVideoGraph(TGraphContext& g, int) {
    SetOwnedPad(g.videoOutputPad, nullptr);
    g.videoBranchTee = nullptr;
    return false;
}

void TAudioCaptureDevice::KillVideoGraph(TGraphContext&) {}

bool TAudioCaptureDevice::SetAudioGraph(TGraphContext& g, int stream) {
    if (stream < 1 || stream > AudioStreamCount || !m_source)
        return false;
    if (m_audioTee)
        KillAudioGraph(g);
    const TGstRef<GstPad> sourcePad(FirstSrcPad(m_source.get()));
    m_audioTee = GstRefSink(Make("tee"));
    m_audioQueue = GstRefSink(Make("queue"));
    bool ok = sourcePad && m_audioTee && m_audioQueue;
    if (ok) {
        g_object_set(m_audioTee.get(), "allow-not-linked", TRUE, nullptr);
        ok = AddOwned(m_bin, m_audioTee.get(), "aud_nativeaudioinfinite") &&
             AddOwned(m_bin, m_audioQueue.get(), "aud_audioqueue") &&
             gst_element_link(m_audioTee.get(), m_audioQueue.get());
    }
    GstElement* first = m_audioTee.get();
    if (ok && !ChosenFormat.isEmpty()) {
        // The rate, size and channels chosen in the settings menu.
        const TGstRef<GstCaps> caps(gst_caps_from_string(ChosenFormat.toUtf8().constData()));
        m_audioFormat = GstRefSink(caps ? Make("capsfilter") : nullptr);
        if (m_audioFormat) {
            g_object_set(m_audioFormat.get(), "caps", caps.get(), nullptr);
            ok = AddOwned(m_bin, m_audioFormat.get(), "aud_format") &&
                 gst_element_link(m_audioFormat.get(), m_audioTee.get());
            first = m_audioFormat.get();
        }
    }
    const TGstRef<GstPad> out(ok ? gst_element_get_static_pad(m_audioQueue.get(), "src") : nullptr);
    if (ok) {
        GuardOutputPad(out.get());
        SyncWithParent({m_audioQueue.get(), m_audioTee.get(), m_audioFormat.get()});
        const TGstRef<GstPad> firstSink(gst_element_get_static_pad(first, "sink"));
        ok = gst_pad_link(sourcePad.get(), firstSink.get()) == GST_PAD_LINK_OK;
    }
    if (!ok) {
        qCWarning(lcVidorra) << "cannot build the audio branch of" << FriendlyName;
        KillAudioGraph(g);
        return false;
    }
    SetOwnedPad(g.audioPin, out.get());
    g.audioBranchTee = m_audioTee.get();
    return true;
}

bool TAudioCaptureDevice::KillAudioGraph(TGraphContext& g) {
    if (g.audioBranchTee && g.audioBranchTee == m_audioTee.get())
        g.audioBranchTee = nullptr;
    if (g.audioPin && m_audioQueue &&
        GST_OBJECT_PARENT(g.audioPin.get()) == GST_OBJECT(m_audioQueue.get()))
        SetOwnedPad(g.audioPin, nullptr);
    DetachUpstream(m_audioFormat.get());
    DetachUpstream(m_audioTee.get());
    ReleaseRequestPads(m_audioTee.get());
    RemoveOwned(m_audioFormat);
    RemoveOwned(m_audioTee);
    RemoveOwned(m_audioQueue);
    return true;
}

bool TAudioCaptureDevice::BuildMuxGraph(TGraphContext&, const QString&) {
    return true;
}

bool TAudioCaptureDevice::KillMuxGraph(TGraphContext&) {
    return true;
}
