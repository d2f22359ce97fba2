#pragma once

#include "EncoderSettings.h"

#include <QString>

#include <cstdint>

// The settings a recording is built with, read once when it starts (the program makes them
// from its parameters, src/app/RecordingSettingsFromParameters.h). Every default is the one
// the program uses when the setting was never stored.
struct TRecordingSettings {
    // "Framerate": the rate written into an image-by-image file.
    double framerate = 18.0;
    // "FrequenceDV": the rate sound is recorded at (1 32 kHz, 3 48 kHz, otherwise 44.1 kHz).
    uint8_t frequenceDV = 3;
    // "Frequence DV native": from a DV camcorder, its own sound rate wins when it is a DV one.
    bool frequenceDVNative = true;
    // "Garder Format DV": a DV picture encoded again keeps the camcorder's standard and shape.
    bool garderFormatDV = false;
    // "Standard DV": the standard of a picture encoded to DV (0 PAL, otherwise NTSC).
    uint8_t standardDV = 0;
    // "RatioDV": the shape of a picture encoded to DV (1 16:9, otherwise 4:3).
    uint8_t ratioDV = 0;

    // "Divx favori": the MPEG-4 encoder chosen in the list (empty: the catalog's choice).
    QString divxFavori;
    // "Ratio DivX" and "Demi Taille": what the DivX resizer does to the picture.
    uint8_t ratioDivX = 0;
    bool demiTaille = true;
    // "Want Mp3": MP3 sound in a DivX file when LAME is installed (else PCM).
    bool wantMp3 = true;
    // The "Propriétés" dialog's settings of the MPEG-4 encoder.
    TDivxSettings divx;
    // LAME's bitrate in kbit/s, for the DivX format's sound and the "mp3" format.
    int mp3BitrateKbps = 128;

    // "Version wmv": 0 "4", 1 "7", 2 "8".
    int versionWmv = 2;
    // "Profil par défaut" on: the preset "Profile wmv"; off: the system profile
    // "Profil wmv favori".
    bool profilParDefaut = true;
    int profileWmv = 1;
    QString profilWmvFavori;
};
