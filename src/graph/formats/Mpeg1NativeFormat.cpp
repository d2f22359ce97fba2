// "flux mpeg1 natif": an MPEG-1 card's stream as it comes, in an MPEG system stream.
#include "FormatBuild.h"
#include "FormatList.h"

const TCaptureFormat kMpeg1NativeFormat = {
    .value = cfMpeg1Native,
    .label = "flux mpeg1 natif",
    .shortLabel = "natif",
    .extension = ".mpg",
    .offer = TFormatOffer::DeviceNative,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::MpegSystem,
    .lock = {.effects = TPreviewLock::Effects::Off, .soundOfVideoDevice = true},
    .build = BuildSourceStreamMpeg,
};
