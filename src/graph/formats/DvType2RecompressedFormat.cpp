// "dv type 2 (recomp)": the decoded picture, with its inlay, encoded to DV again; the DV
// header carries the camcorder's recording date and shape, or the settings' standard.
#include "FormatBuild.h"
#include "FormatList.h"

namespace {

bool build(TFormatBuild& build) {
    if (!build.hasVideo())
        return build.FailNoVideo();
    build.NeedsDecodedVideo();
    GstElement* detector = build.sceneDetector();
    const TRecordingSettings& settings = build.settings();
    const bool keepDv = settings.garderFormatDV && detector;
    const uint8_t ratio = settings.ratioDV;
    bool ntsc = settings.standardDV != 0;
    bool wide = ratio == 1;
    if (keepDv) {
        guint standard = 0;
        gboolean wideScreen = FALSE;
        g_object_get(detector, "standard", &standard, "widescreen", &wideScreen, nullptr);
        ntsc = standard == 1;
        wide = wideScreen;
    }
    GstElement* gate = build.VideoGate(build.decodedVideo(), true, false);
    GstElement* encoder = gate ? build.DvEncoder(gate, ntsc, wide, true) : nullptr;
    GstElement* header = encoder ? build.DvHeader() : nullptr;
    if (!header || !build.branch().Link({encoder, header}))
        return false;
    g_object_set(header, "scene-source", detector, "header-mode",
                 guint(keepDv       ? 2
                       : ratio == 1 ? 1
                                    : 0),
                 nullptr);
    build.branch().AddStream(header, true, false, false);
    if (build.hasAudio() && !build.AddPcm(build.decodedAudio()))
        return false;
    return build.OpenWriter("avimux");
}

} // namespace

const TCaptureFormat kDvType2RecompressedFormat = {
    .value = cfDvType2Recompressed,
    .label = "dv type 2 (recomp)",
    .shortLabel = "dv2 rec",
    .extension = ".avi",
    .offer = TFormatOffer::WithVideo,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::On, .ratios = TPreviewLock::Ratios::ByWindowShape},
    .build = build,
};
