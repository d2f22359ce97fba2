#pragma once

#include <QString>

// The DivX/Xvid "Propriétés" settings (one pass only) and their store in the registry file,
// under the key the options panel has always used.

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
