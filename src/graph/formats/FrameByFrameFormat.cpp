// "Image/Image": one picture each time the user grants one. From a DV source the DV frames
// go as they are; any other picture is encoded to DV once granted.
#include "FormatBuild.h"
#include "FormatList.h"

namespace {

bool build(TFormatBuild& build) {
    TRecordingBranch& b = build.branch();
    GstElement* tee = build.sourceVideo();
    if (!build.hasVideo() && !tee)
        return build.FailNoVideo();
    const TGstRef<GstCaps> caps = build.sourceVideoCaps();
    const bool dv = CapsNamed(caps.get(), "video/x-dv") && build.sceneDetector();
    GstElement* control = build.ControlFilter();
    if (!control)
        return false;
    g_object_set(control, "gate-open", FALSE, "mark-sync-point", TRUE, nullptr);
    GstElement* last = nullptr;
    if (dv) {
        GstElement* queue = b.Tap(tee, "VideoCap queue");
        last = b.Link({queue, control}) ? control : nullptr;
    } else {
        build.NeedsDecodedVideo();
        GstElement* queue = b.Tap(build.decodedVideo(), "VideoCap queue");
        // Only the granted pictures are encoded.
        const bool ntsc = build.settings().standardDV != 0;
        last = b.Link({queue, control}) ? build.DvEncoder(control, ntsc, false, false) : nullptr;
    }
    if (!last)
        return false;
    b.AddStream(last, true, false, false);
    return build.OpenWriter("avimux");
}

} // namespace

const TCaptureFormat kFrameByFrameFormat = {
    .value = cfFrameByFrame,
    .label = "Image/Image",
    .shortLabel = "Image/Image",
    .extension = ".avi",
    .offer = TFormatOffer::WithVideo,
    .streams = TFormatStreams::ImageByImage,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::UnlessDvSource},
    .build = build,
};
