// "mp3": the sound alone, MP3 at a constant bit rate; in RIFF where the WAV writer takes
// MP3, else as a plain MPEG audio stream (which has no 4 GiB limit).
#include "FormatBuild.h"
#include "FormatList.h"

namespace {

bool waveDestTakesMp3() {
    TGstRef<GstElementFactory> f(gst_element_factory_find("vr_wavedest"));
    if (!f)
        return false;
    TGstRef<GstCaps> mp3(gst_caps_from_string("audio/mpeg, mpegversion=(int)1, layer=(int)3, "
                                              "rate=(int)48000, channels=(int)2"));
    return gst_element_factory_can_sink_any_caps(f.get(), mp3.get());
}

bool build(TFormatBuild& build) {
    if (!build.hasAudio())
        return build.Fail(QStringLiteral("Ce format d'enregistrement demande une source audio."));
    TRecordingBranch& b = build.branch();
    GstElement* gate = build.PcmAudio(build.decodedAudio(), build.audioRate(), 2);
    if (!gate)
        return false;
    GstElement* mp3 = b.Make("lamemp3enc", "mp3");
    if (!mp3)
        return build.Fail(QStringLiteral("Aucun encodeur mp3 n'est installé."));
    g_object_set(mp3, "target", 1 /* bitrate */, "bitrate", build.settings().mp3BitrateKbps, "cbr",
                 TRUE, nullptr);
    if (!b.Link({gate, mp3}))
        return false;
    b.AddStream(mp3, false, false, false);
    if (!waveDestTakesMp3())
        return build.OpenWriter(nullptr);
    build.RiffSized();
    return build.OpenWriter("vr_wavedest");
}

} // namespace

const TCaptureFormat kMp3Format = {
    .value = cfMp3,
    .label = "mp3",
    .shortLabel = "mp3",
    .extension = ".mp3",
    .statusText = "Audio Mp3",
    .offer = TFormatOffer::WithAudioMp3,
    .streams = TFormatStreams::SoundOnly,
    .container = TFormatContainer::Wave,
    .lock = {.effects = TPreviewLock::Effects::Off},
    .build = build,
};
