// "Wav": the sound alone, PCM 16-bit stereo in a RIFF WAVE file.
#include "FormatBuild.h"
#include "FormatList.h"

namespace {

bool build(TFormatBuild& build) {
    if (!build.hasAudio())
        return build.Fail(QStringLiteral("Ce format d'enregistrement demande une source audio."));
    GstElement* gate = build.PcmAudio(build.decodedAudio(), build.audioRate(), 2);
    if (!gate)
        return false;
    build.branch().AddStream(gate, false, false, false);
    build.RiffSized();
    return build.OpenWriter("vr_wavedest");
}

} // namespace

const TCaptureFormat kWavFormat = {
    .value = cfWav,
    .label = "Wav",
    .shortLabel = "Wav",
    .extension = ".wav",
    .statusText = "Audio Wav",
    .offer = TFormatOffer::WithAudio,
    .streams = TFormatStreams::SoundOnly,
    .container = TFormatContainer::Wave,
    .lock = {.effects = TPreviewLock::Effects::Off},
    .build = build,
};
