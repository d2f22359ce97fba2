// The builds shared by the formats that record the source's own stream as it comes.
#include "FormatBuild.h"
#include "Log.h"

#include <QStringList>

namespace {

// Element factories of a kind that take `in` (caps, not null) and give `out`, best rank first.
QStringList factoriesFor(GstElementFactoryListType type, GstCaps* in, const char* out) {
    QStringList names;
    const TGstObjectList all(gst_element_factory_list_get_elements(type, GST_RANK_MARGINAL));
    const TGstObjectList taking(
        gst_element_factory_list_filter(all.get(), in, GST_PAD_SINK, FALSE));
    const TGstRef<GstCaps> outCaps(gst_caps_from_string(out));
    TGstObjectList giving(
        gst_element_factory_list_filter(taking.get(), outCaps.get(), GST_PAD_SRC, FALSE));
    giving.reset(g_list_sort(giving.release(), gst_plugin_feature_rank_compare_func));
    for (GList* l = giving.get(); l; l = l->next)
        names << QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
    return names;
}

} // namespace

bool BuildSourceStreamAvi(TFormatBuild& build, bool dvOnly) {
    TRecordingBranch& b = build.branch();
    GstElement* tee = build.sourceVideo();
    if (!tee)
        return build.FailNoVideo();
    const TGstRef<GstCaps> caps = build.sourceVideoCaps();
    const bool raw = CapsNamed(caps.get(), "video/x-raw");
    const bool dv = CapsNamed(caps.get(), "video/x-dv");
    const bool compressed = !raw && !dv;
    if (dvOnly && !dv)
        return build.Fail(QStringLiteral("La source vidéo ne fournit pas de DV."));
    GstElement* last = build.VideoGate(tee, false, compressed);
    if (last && raw) {
        // avimux takes the common raw layouts as they are; others are converted.
        GstElement* convert = b.Make("videoconvert", "avi convert");
        last = b.Link({last, convert}) ? convert : nullptr;
    }
    if (!last)
        return false;
    b.AddStream(last, true, compressed, false);
    // A DV source's own sound stream goes with its DV frames.
    GstElement* audioTee =
        dvOnly && build.sourceAudio() ? build.sourceAudio() : build.decodedAudio();
    if (build.hasAudio() && !build.AddPcm(audioTee))
        return false;
    return build.OpenWriter("avimux");
}

bool BuildSourceStreamMpeg(TFormatBuild& build) {
    TRecordingBranch& b = build.branch();
    GstElement* tee = build.sourceVideo();
    if (!tee)
        return false;
    const TGstRef<GstCaps> caps = build.sourceVideoCaps();
    const bool mpeg = CapsNamed(caps.get(), "video/mpeg");
    if (!mpeg)
        return build.Fail(QStringLiteral("La source vidéo ne fournit pas de flux MPEG."));
    // The muxer candidates: what takes this stream and gives an MPEG system stream.
    const QStringList muxers =
        factoriesFor(GST_ELEMENT_FACTORY_TYPE_MUXER, caps.get(), "video/mpeg, systemstream=true");
    GstElement* gate = build.VideoGate(tee, false, true);
    if (!gate)
        return false;
    b.AddStream(gate, true, true, false, true);
    if (muxers.isEmpty()) {
        qCInfo(lcVidorra) << "no MPEG muxer: the plain video stream is recorded";
        return build.OpenWriter(nullptr);
    }
    if (build.hasAudio()) {
        TGstRef<GstCaps> raw(gst_caps_from_string("audio/x-raw"));
        const QStringList encoders = factoriesFor(GST_ELEMENT_FACTORY_TYPE_ENCODER, raw.get(),
                                                  "audio/mpeg, mpegversion=(int)1");
        GstElement* encoder = nullptr;
        GstElement* pcm = encoders.isEmpty()
                              ? nullptr
                              : build.PcmAudio(build.decodedAudio(), build.audioRate(), 2);
        for (const QString& name : encoders) {
            if (!pcm)
                break;
            encoder = b.Make(name.toUtf8().constData(), "audioenc");
            if (encoder && b.Link({pcm, encoder}))
                break;
            encoder = nullptr;
        }
        if (encoder)
            b.AddStream(encoder, false, false, false);
        else
            qCInfo(lcVidorra) << "no MPEG-1 audio encoder: the MPEG recording has no sound";
    }
    return build.OpenWriter(muxers.front().toUtf8().constData());
}
