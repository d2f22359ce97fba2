// "Wmv": Windows Media video and audio in a streamable ASF file, shaped by the chosen
// profile.
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
    const int version = settings.versionWmv;
    const TWmvProfile profile = TEncoderCatalog::ChosenWmvProfile(
        settings.profilParDefaut, settings.profileWmv, settings.profilWmvFavori,
        TEncoderCatalog::SystemProfiles(TEncoderCatalog::DefaultProfilesFolder()));
    GstElement* gate = build.VideoGate(build.decodedVideo(), false, false);
    // A camcorder's picture is interlaced, which the Windows Media encoders refuse (the
    // branch would stop at once, not negotiated): it is made progressive first; a progressive
    // picture passes as it is.
    GstElement* deinterlace =
        FactoryInstalled("deinterlace") ? b.Make("deinterlace", "wmv deinterlace") : nullptr;
    if (deinterlace) // one picture a frame, not one a field
        gst_util_set_object_arg(G_OBJECT(deinterlace), "fields", "top");
    GstElement* convert = b.Make("videoconvert", "wmv convert");
    GstElement* scale = b.Make("videoscale", "wmv scale");
    GstElement* rateElement = b.Make("videorate", "wmv rate");
    GstElement* format = b.Make("capsfilter", "wmv format");
    GstElement* encoder =
        b.Make(TEncoderCatalog::WmvVideoFactory(version).toUtf8().constData(), "wmv video");
    QString caps = QStringLiteral("video/x-raw,format=I420");
    if (profile.width > 0 && profile.height > 0)
        caps += QStringLiteral(",width=%1,height=%2").arg(profile.width).arg(profile.height);
    if (profile.fps > 0)
        caps += QStringLiteral(",framerate=%1/1").arg(profile.fps);
    SetCapsText(format, caps);
    if (encoder && profile.videoBitrateKbps > 0)
        g_object_set(encoder, "bitrate", profile.videoBitrateKbps * 1000, "gop-size", 250, nullptr);
    if (!gate || (deinterlace && !b.Link({gate, deinterlace})) ||
        !b.Link({deinterlace ? deinterlace : gate, convert, scale, rateElement, format, encoder}))
        return false;
    b.AddStream(encoder, true, true, true);
    if (build.hasAudio()) {
        GstElement* pcm =
            build.PcmAudio(build.decodedAudio(), profile.audioRate > 0 ? profile.audioRate : 44100,
                           profile.audioChannels == 1 ? 1 : 2);
        GstElement* audioConvert = b.Make("audioconvert", "wmv audio convert");
        GstElement* wma =
            b.Make(TEncoderCatalog::WmvAudioFactory(version).toUtf8().constData(), "wmv audio");
        if (wma && profile.audioBitrateKbps > 0)
            g_object_set(wma, "bitrate", profile.audioBitrateKbps * 1000, nullptr);
        if (!pcm || !b.Link({pcm, audioConvert, wma}))
            return false;
        b.AddStream(wma, false, false, false);
    }
    return build.OpenWriter(
        "asfmux", [](GstElement* mux) { g_object_set(mux, "streamable", TRUE, nullptr); });
}

} // namespace

const TCaptureFormat kWmvFormat = {
    .value = cfWmv,
    .label = "Wmv",
    .shortLabel = "Wmv",
    .extension = ".wmv",
    .offer = TFormatOffer::WithVideo,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Asf,
    .lock = {.effects = TPreviewLock::Effects::On, .ratios = TPreviewLock::Ratios::NarrowOnly},
    // An ASF file is written as a stream; its header gets its length at the end.
    .checkEveryEnd = true,
    .build = build,
};
