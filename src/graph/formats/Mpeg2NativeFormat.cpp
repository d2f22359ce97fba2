// "flux mpeg2 natif": an MPEG-2 card's stream as it comes, in an MPEG system stream.
#include "FormatBuild.h"
#include "FormatList.h"

const TCaptureFormat kMpeg2NativeFormat = {
    .value = cfMpeg2Native,
    .label = "flux mpeg2 natif",
    .shortLabel = "natif",
    .extension = ".mpg",
    .offer = TFormatOffer::DeviceNative,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::MpegSystem,
    .lock = {.effects = TPreviewLock::Effects::Off, .soundOfVideoDevice = true},
    .build = BuildSourceStreamMpeg,
};
