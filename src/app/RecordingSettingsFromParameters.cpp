#include "RecordingSettingsFromParameters.h"

#include "EncoderSettings.h"
#include "Encoders.h"
#include "ParameterTable.h"

namespace {

template <class P, class T> void take(const P* parameter, T& field) {
    if (parameter)
        field = T(parameter->Value);
}

} // namespace

TRecordingSettings RecordingSettingsFrom(const TParameters& prm) {
    TRecordingSettings s;
    take(prm.framerate, s.framerate);
    take(prm.frequenceDV, s.frequenceDV);
    take(prm.frequenceDVNative, s.frequenceDVNative);
    take(prm.garderFormatDV, s.garderFormatDV);
    take(prm.standardDV, s.standardDV);
    take(prm.ratioDV, s.ratioDV);
    take(prm.divxFavori, s.divxFavori);
    take(prm.ratioDivX, s.ratioDivX);
    take(prm.demiTaille, s.demiTaille);
    take(prm.wantMp3, s.wantMp3);
    take(prm.versionWmv, s.versionWmv);
    take(prm.profilParDefaut, s.profilParDefaut);
    take(prm.profileWmv, s.profileWmv);
    take(prm.profilWmvFavori, s.profilWmvFavori);
    s.divx = LoadDivxSettings();
    s.mp3BitrateKbps = LoadMp3Bitrate();
    return s;
}
