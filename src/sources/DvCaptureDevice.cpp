#include "DVPacks.h"
#include "DeviceKinds.h"
#include "GstRef.h"
#include "GstUtil.h"
#include "Log.h"

#include <algorithm>

using namespace srcgst;

namespace {

TDVCaptureDevice::TType1WriterFactory& Type1Writer() {
    static TDVCaptureDevice::TType1WriterFactory factory;
    return factory;
}

GstElement* MakeTee() {
    GstElement* tee = Make("tee");
    if (tee)
        g_object_set(tee, "allow-not-linked", TRUE, nullptr);
    return tee;
}

} // namespace

void TDVCaptureDevice::SetType1WriterFactory(TType1WriterFactory factory) {
    Type1Writer() = std::move(factory);
}

TDVCaptureDevice::TDVCaptureDevice() {
    // One detector per device, for the whole life of the device: the overlay and the DV
    // header keep reading its rings across source changes.
    m_sceneDetector = GstRefSink(gst_element_factory_make("vr_scenedetect", "dv_Scenedetect"));
    if (!m_sceneDetector)
        qCWarning(lcVidorra) << "vr_scenedetect missing: DV scenes are not detected";
}

TDVCaptureDevice::~TDVCaptureDevice() {
    if (m_demux && m_padAdded)
        g_signal_handler_disconnect(m_demux.get(), m_padAdded);
    if (m_source || m_demux) {
        // Not in a graph module any more: take the elements out all the same.
        for (TGstRef<GstElement>* e :
             {&m_source, &m_muxTee, &m_splitQueue, &m_demux, &m_videoTee, &m_videoQueue, &m_decoder,
              &m_scale, &m_scaleCaps, &m_audioTee, &m_audioQueue})
            RemoveOwned(*e);
    }
}

GstElement* TDVCaptureDevice::SetSourceGraph(TGraphContext& g) {
    GstBin* bin = g.pipeline();
    if (m_source && m_bin == bin && GST_OBJECT_PARENT(m_source.get()) == GST_OBJECT(bin))
        return m_source.get();
    if (m_source)
        KillSourceGraph(g);
    TGstRef<GstElement> source =
        GstRefSink(Moniker.createSource ? Moniker.createSource() : nullptr);
    if (!source) {
        qCWarning(lcVidorra) << "cannot open DV device" << FriendlyName;
        return nullptr;
    }
    m_bin = bin;
    m_source = std::move(source);
    m_muxTee = GstRefSink(MakeTee());
    m_splitQueue = GstRefSink(Make("queue"));
    m_demux = GstRefSink(Make("dvdemux"));
    bool ok = m_muxTee && m_splitQueue && m_demux && AddOwned(bin, m_source.get(), "dv_source") &&
              AddOwned(bin, m_muxTee.get(), "dv_muxinfinite") &&
              AddOwned(bin, m_splitQueue.get(), "dv_splitqueue") &&
              AddOwned(bin, m_demux.get(), "dv_splitter");
    if (ok && m_sceneDetector)
        ok = AddOwned(bin, m_sceneDetector.get(), "dv_Scenedetect") &&
             gst_element_link_many(m_source.get(), m_sceneDetector.get(), m_muxTee.get(), nullptr);
    else if (ok)
        ok = gst_element_link(m_source.get(), m_muxTee.get());
    ok = ok && gst_element_link_many(m_muxTee.get(), m_splitQueue.get(), m_demux.get(), nullptr);
    if (!ok) {
        qCWarning(lcVidorra) << "cannot build the DV source part of" << FriendlyName;
        KillSourceGraph(g);
        return nullptr;
    }
    m_padAdded = g_signal_connect(m_demux.get(), "pad-added", G_CALLBACK(OnPadAdded), this);
    // A damaged frame must not reach the splitter, which would cut the stream wrongly from
    // there on and stop the source: it is left out, as a lost frame is.
    if (const TGstRef<GstPad> out(gst_element_get_static_pad(m_source.get(), "src")); out)
        gst_pad_add_probe(out.get(), GST_PAD_PROBE_TYPE_BUFFER, DropDamagedFrame, this, nullptr);
    SyncWithParent(
        {m_demux.get(), m_splitQueue.get(), m_muxTee.get(), m_sceneDetector.get(), m_source.get()});
    SourceFilter = m_source.get();
    return m_source.get();
}

void TDVCaptureDevice::KillSourceGraph(TGraphContext& g) {
    KillVideoGraph(g);
    KillAudioGraph(g);
    if (m_demux && m_padAdded)
        g_signal_handler_disconnect(m_demux.get(), m_padAdded);
    m_padAdded = 0;
    // The source stops first, so nothing streams through what is taken out next.
    RemoveOwned(m_source);
    ReleaseRequestPads(m_muxTee.get());
    RemoveFromBin(m_sceneDetector.get());
    RemoveOwned(m_muxTee);
    RemoveOwned(m_splitQueue);
    RemoveOwned(m_demux);
    m_bin = nullptr;
    SourceFilter = nullptr;
}

void TDVCaptureDevice::OnPadAdded(GstElement*, GstPad* pad, gpointer self) {
    GuardOutputPad(pad);
    static_cast<TDVCaptureDevice*>(self)->LinkDemuxPad(pad);
}

void TDVCaptureDevice::LinkDemuxPad(GstPad* pad) {
    std::lock_guard lock(m_linkLock);
    const gchar* name = GST_PAD_NAME(pad);
    GstElement* tee = g_str_equal(name, "video")   ? m_videoTee.get()
                      : g_str_equal(name, "audio") ? m_audioTee.get()
                                                   : nullptr;
    if (!tee || gst_pad_is_linked(pad))
        return;
    const TGstRef<GstPad> sink(gst_element_get_static_pad(tee, "sink"));
    if (gst_pad_link(pad, sink.get()) != GST_PAD_LINK_OK)
        qCWarning(lcVidorra) << "cannot link the DV splitter's" << name << "output";
}

GstPadProbeReturn TDVCaptureDevice::DropDamagedFrame(GstPad*, GstPadProbeInfo* info,
                                                     gpointer self) {
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const gsize size = gst_buffer_get_size(buffer);
    // Only whole-frame buffers are judged; a source that cuts its stream otherwise passes.
    if (size != dv::kFrameSize525 && size != dv::kFrameSize625)
        return GST_PAD_PROBE_OK;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return GST_PAD_PROBE_OK;
    const bool whole = dv::IsWholeFrame({map.data, map.size});
    gst_buffer_unmap(buffer, &map);
    if (whole)
        return GST_PAD_PROBE_OK;
    auto* device = static_cast<TDVCaptureDevice*>(self);
    if (device->m_damaged.fetch_add(1) == 0)
        qCWarning(lcVidorra) << "damaged DV frames are left out of" << device->FriendlyName;
    return GST_PAD_PROBE_DROP;
}

GstPadProbeReturn TDVCaptureDevice::OnDecodedCaps(GstPad*, GstPadProbeInfo* info, gpointer data) {
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int width = 0, height = 0, parN = 1, parD = 1;
    if (!gst_structure_get_int(s, "width", &width) || !gst_structure_get_int(s, "height", &height))
        return GST_PAD_PROBE_OK;
    gst_structure_get_fraction(s, "pixel-aspect-ratio", &parN, &parD);
    // Half the picture in both directions keeps the pixel shape.
    const TGstRef<GstCaps> half(gst_caps_new_simple(
        "video/x-raw", "width", G_TYPE_INT, width / 2, "height", G_TYPE_INT, height / 2,
        "pixel-aspect-ratio", GST_TYPE_FRACTION, parN, parD, nullptr));
    g_object_set(static_cast<GstElement*>(data), "caps", half.get(), nullptr);
    return GST_PAD_PROBE_OK;
}

bool TDVCaptureDevice::SetVideoGraph(TGraphContext& g, int stream) {
    if (stream < 1 || stream > VideoStreamCount || !m_demux)
        return false;
    if (m_videoTee)
        KillVideoGraph(g);
    GstBin* bin = g.pipeline();
    TGstRef<GstElement> heldTee = GstRefSink(MakeTee());
    GstElement* tee = heldTee.get();
    m_videoQueue = GstRefSink(Make("queue"));
    m_decoder = GstRefSink(Make("dvdec"));
    m_scale = GstRefSink(g.dvHalfSize() ? Make("videoscale") : nullptr);
    m_scaleCaps = GstRefSink(g.dvHalfSize() ? Make("capsfilter") : nullptr);
    GstElement* queue = m_videoQueue.get();
    GstElement* decoder = m_decoder.get();
    GstElement* scale = m_scale.get();
    GstElement* scaleCaps = m_scaleCaps.get();
    bool ok = tee && queue && decoder && (!g.dvHalfSize() || (scale && scaleCaps)) &&
              AddOwned(bin, queue, "dv_videoqueue") && AddOwned(bin, decoder, "dv_dec") &&
              AddOwned(bin, tee, "dv_nativevideoinfinite") &&
              gst_element_link_many(tee, queue, decoder, nullptr);
    GstElement* last = decoder;
    if (ok && scale) {
        ok = AddOwned(bin, scale, "dv_halfscale") && AddOwned(bin, scaleCaps, "dv_halfsize") &&
             gst_element_link_many(decoder, scale, scaleCaps, nullptr);
        last = scaleCaps;
        const TGstRef<GstPad> decoded(gst_element_get_static_pad(decoder, "src"));
        gst_pad_add_probe(decoded.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, OnDecodedCaps,
                          scaleCaps, nullptr);
    }
    {
        std::lock_guard lock(m_linkLock);
        m_videoTee = std::move(heldTee);
    }
    if (!ok) {
        qCWarning(lcVidorra) << "cannot build the DV video branch of" << FriendlyName;
        KillVideoGraph(g);
        return false;
    }
    const TGstRef<GstPad> out(gst_element_get_static_pad(last, "src"));
    GuardOutputPad(out.get());
    SyncWithParent({scaleCaps, scale, decoder, queue, tee});
    if (const TGstRef<GstPad> video(gst_element_get_static_pad(m_demux.get(), "video")); video)
        LinkDemuxPad(video.get());
    SetOwnedPad(g.videoOutputPad, out.get());
    g.videoBranchTee = m_videoTee.get();
    g.videoDevice = this;
    g.sourceFlipped = false;
    return true;
}

void TDVCaptureDevice::KillVideoGraph(TGraphContext& g) {
    if (g.videoDevice == this)
        g.videoDevice = nullptr;
    TGstRef<GstElement> tee;
    {
        std::lock_guard lock(m_linkLock);
        tee = std::move(m_videoTee);
    }
    if (g.videoBranchTee && g.videoBranchTee == tee.get())
        g.videoBranchTee = nullptr;
    if (g.videoOutputPad) {
        const TGstRef<GstObject> owner(gst_pad_get_parent(g.videoOutputPad.get()));
        if (owner && (owner.get() == GST_OBJECT(m_decoder.get()) ||
                      owner.get() == GST_OBJECT(m_scaleCaps.get())))
            SetOwnedPad(g.videoOutputPad, nullptr);
    }
    DetachUpstream(tee.get());
    ReleaseRequestPads(tee.get());
    RemoveOwned(tee);
    RemoveOwned(m_videoQueue);
    RemoveOwned(m_decoder);
    RemoveOwned(m_scale);
    RemoveOwned(m_scaleCaps);
}

bool TDVCaptureDevice::SetAudioGraph(TGraphContext& g, int stream) {
    if (stream < 1 || stream > AudioStreamCount || !m_demux)
        return false;
    if (m_audioTee)
        KillAudioGraph(g);
    GstBin* bin = g.pipeline();
    TGstRef<GstElement> heldTee = GstRefSink(MakeTee());
    GstElement* tee = heldTee.get();
    m_audioQueue = GstRefSink(Make("queue"));
    GstElement* queue = m_audioQueue.get();
    bool ok = tee && queue && AddOwned(bin, queue, "dv_audioqueue") &&
              AddOwned(bin, tee, "dv_nativeaudioinfinite") && gst_element_link(tee, queue);
    {
        std::lock_guard lock(m_linkLock);
        m_audioTee = std::move(heldTee);
    }
    if (!ok) {
        qCWarning(lcVidorra) << "cannot build the DV audio branch of" << FriendlyName;
        KillAudioGraph(g);
        return false;
    }
    const TGstRef<GstPad> out(gst_element_get_static_pad(queue, "src"));
    GuardOutputPad(out.get());
    SyncWithParent({queue, tee});
    if (const TGstRef<GstPad> audio(gst_element_get_static_pad(m_demux.get(), "audio")); audio)
        LinkDemuxPad(audio.get());
    SetOwnedPad(g.audioPin, out.get());
    g.audioBranchTee = m_audioTee.get();
    return true;
}

bool TDVCaptureDevice::KillAudioGraph(TGraphContext& g) {
    TGstRef<GstElement> tee;
    {
        std::lock_guard lock(m_linkLock);
        tee = std::move(m_audioTee);
    }
    if (g.audioBranchTee && g.audioBranchTee == tee.get())
        g.audioBranchTee = nullptr;
    if (g.audioPin && m_audioQueue &&
        GST_OBJECT_PARENT(g.audioPin.get()) == GST_OBJECT(m_audioQueue.get()))
        SetOwnedPad(g.audioPin, nullptr);
    DetachUpstream(tee.get());
    ReleaseRequestPads(tee.get());
    RemoveOwned(tee);
    RemoveOwned(m_audioQueue);
    return true;
}

// The program's recording branch writes the type 1 file (so that a cut swaps the writer
// within the branch): the device hands it the interleaved stream's tee and the writer.
bool TDVCaptureDevice::BuildMuxGraph(TGraphContext& g, const QString& fileName) {
    g.muxTee = nullptr;
    g.muxWriter.clear();
    if (!m_muxTee)
        return false;
    if (!Type1Writer()) {
        // The type 1 AVI writer is installed through SetType1WriterFactory.
        qCInfo(lcVidorra) << "no native type 1 DV writer installed; not recording" << fileName;
        return false;
    }
    std::vector<GstElement*> writer = Type1Writer()(fileName);
    const bool whole = !writer.empty() && std::all_of(writer.begin(), writer.end(),
                                                      [](GstElement* e) { return e != nullptr; });
    if (!whole) {
        for (GstElement* e : writer)
            GstRefSink(e).reset(); // never added
        qCWarning(lcVidorra) << "cannot make the native DV writer for" << fileName;
        return false;
    }
    g.muxTee = m_muxTee.get();
    g.muxWriter = std::move(writer);
    return true;
}

// The branch finished and took out the writer it was handed.
bool TDVCaptureDevice::KillMuxGraph(TGraphContext&) {
    return true;
}
