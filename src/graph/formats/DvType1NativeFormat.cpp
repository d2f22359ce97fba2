// "dv type 1 natif": the camcorder's interleaved DV stream, written by the device's own
// AVI writer (each cut asks the device for the next file's).
#include "FormatBuild.h"
#include "FormatList.h"

const TCaptureFormat kDvType1NativeFormat = {
    .value = cfDvType1Native,
    .label = "dv type 1 natif",
    .shortLabel = "natif",
    .extension = ".avi",
    .offer = TFormatOffer::DeviceNative,
    .streams = TFormatStreams::PictureAndSound,
    .container = TFormatContainer::Avi,
    .lock = {.effects = TPreviewLock::Effects::Off, .soundOfVideoDevice = true},
    .fixedByteRate = 3600000, // 144000 bytes a frame at 25 fps, 120000 at 29.97
    .build = [](TFormatBuild& b) { return b.DeviceMux(); },
};
