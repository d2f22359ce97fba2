// "dv type 2 natif": the camcorder's DV frames as they come, its PCM sound beside them.
#include "FormatBuild.h"
#include "FormatList.h"

const TCaptureFormat kDvType2NativeFormat = {
    .value = cfDvType2Native,
    .label = "dv type 2 natif",
    .shortLabel = "natif",
    .extension = ".avi",
    .offer = TFormatOffer::DeviceNative,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::Off},
    .fixedByteRate = 3600000,
    .build = [](TFormatBuild& b) { return BuildSourceStreamAvi(b, true); },
};
