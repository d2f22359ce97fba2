// "avi natif": a capture card's stream as it comes (raw or compressed), into AVI.
#include "FormatBuild.h"
#include "FormatList.h"

const TCaptureFormat kAviNativeFormat = {
    .value = cfAviNative,
    .label = "avi natif",
    .shortLabel = "natif",
    .extension = ".avi",
    .offer = TFormatOffer::DeviceNative,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::Off},
    .build = [](TFormatBuild& b) { return BuildSourceStreamAvi(b, false); },
};
