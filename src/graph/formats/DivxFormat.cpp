// "divx": MPEG-4 (DivX or Xvid, whichever is installed and chosen) with MP3 or PCM sound in
// AVI, the picture shaped by the DivX resizer.
#include "Encoders.h"
#include "FormatBuild.h"
#include "FormatList.h"

namespace {

bool build(TFormatBuild& build) {
    if (!build.hasVideo())
        return build.FailNoVideo();
    build.NeedsDecodedVideo();
    TRecordingBranch& b = build.branch();
    const TRecordingSettings& settings = build.settings();
    const TDivxEntry* entry = Encoders().ChooseDivx(settings.divxFavori);
    if (!entry)
        return build.Fail(QStringLiteral("Aucun compresseur DivX ou Xvid n'est installé."));
    GstElement* gate = build.VideoGate(build.decodedVideo(), false, false);
    GstElement* resizer = gate ? build.Resizer() : nullptr;
    if (!resizer)
        return false;
    g_object_set(resizer, "ratio-mode", int(settings.ratioDivX), "half-size",
                 gboolean(settings.demiTaille), nullptr);
    GstElement* convert = b.Make("videoconvert", "divx convert");
    GstElement* format = b.Make("capsfilter", "divx format");
    SetCapsText(format, QStringLiteral("video/x-raw,format=I420"));
    GstElement* encoder = b.Make(entry->factory.toUtf8().constData(), "divx");
    TEncoderCatalog::ConfigureDivxEncoder(encoder, settings.divx);
    if (!b.Link({gate, resizer, convert, format, encoder}))
        return false;
    b.KeepEncoderTimes(encoder);
    GstElement* last = encoder;
    if (entry->fourcc == QLatin1String("DX50")) {
        // avimux writes DX50 for DivX 5 caps.
        GstElement* setter = b.Make("capssetter", "divx fourcc");
        if (!setter)
            return false;
        TGstRef<GstCaps> divx(gst_caps_from_string("video/x-divx, divxversion=(int)5"));
        g_object_set(setter, "caps", divx.get(), "join", FALSE, nullptr);
        last = b.Link({encoder, setter}) ? setter : nullptr;
    } else if (entry->fourcc == QLatin1String("XVID")) {
        build.PatchFourccAtEnd("XVID"); // avimux cannot write it
    }
    if (!last)
        return false;
    b.AddStream(last, true, true, true);
    if (build.hasAudio()) {
        GstElement* pcm = build.PcmAudio(build.decodedAudio(), build.audioRate(), 2);
        if (!pcm)
            return false;
        GstElement* audioLast = pcm;
        if (Encoders().mp3Available() && settings.wantMp3 && FactoryInstalled("lamemp3enc")) {
            GstElement* mp3 = b.Make("lamemp3enc", "mp3");
            g_object_set(mp3, "target", 1, "bitrate", settings.mp3BitrateKbps, "cbr", TRUE,
                         nullptr);
            audioLast = b.Link({pcm, mp3}) ? mp3 : nullptr;
        }
        if (!audioLast)
            return false;
        b.AddStream(audioLast, false, false, false);
    }
    return build.OpenWriter("avimux");
}

} // namespace

const TCaptureFormat kDivxFormat = {
    .value = cfDivx,
    .label = "divx",
    .shortLabel = "divx",
    .extension = ".avi",
    .offer = TFormatOffer::WithVideo,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::On, .ratios = TPreviewLock::Ratios::UsersChoice},
    .divxResizer = true,
    .build = build,
};
