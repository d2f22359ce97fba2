#pragma once

#include <QString>

// The encoders' own settings, kept in the registry file under their own keys: the DivX/Xvid
// "Propriétés" (one pass only) and LAME's bitrate.

// What the "Propriétés" dialog sets for the MPEG-4 encoder.
struct TDivxSettings {
    int bitrateKbps = 2000; // 0: constant quantiser
    int quantiser = 4;      // 2..31, used when bitrateKbps is 0
    int keyFrameInterval = 250;
};

// The stored settings; a value missing or out of range keeps its default.
TDivxSettings LoadDivxSettings();
// False, and nothing written, when a value is out of range or the file cannot be written.
bool SaveDivxSettings(const TDivxSettings& settings);
// The registry substitute key they are kept under.
QString DivxSettingsKey();

// LAME's bitrate in kbit/s (8 to 320); 128 when none is stored or it is out of range.
int LoadMp3Bitrate();
// False, and nothing written, when out of range or the file cannot be written.
bool SaveMp3Bitrate(int kbps);
// LAME's own key, where the bitrate is kept.
QString Mp3SettingsKey();
