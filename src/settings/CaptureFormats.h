#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Capture formats: one byte 0..12; only the low 7 bits select the row.
enum : uint8_t {
    cfNone = 0,
    cfDvType1Native = 1,
    cfDvType2Native = 2,
    cfMpeg2Native = 3,
    cfMpeg1Native = 4,
    cfAviNative = 5,
    cfDvType2Recompressed = 6,
    cfWmv = 7,
    cfFrameByFrame = 8,
    cfDivx = 9,
    cfDefault = 10,
    cfWav = 11,
    cfMp3 = 12,
};

QString CaptureFormatLabel(uint8_t format);      // what the format combo box shows
QString CaptureFormatShortLabel(uint8_t format); // what the status bar shows
uint8_t CaptureFormatFromLabel(const QString& label);
// A format named by a person (command line, scripts): the labels above and "défaut",
// without regard to case ("DivX", "WAV"); nothing for any other text.
std::optional<uint8_t> CaptureFormatFromTypedName(const QString& name);
// The names it takes, in the order of the format list.
QStringList CaptureFormatNames();

// "natif" 0, "32000" 1, "44100" 2, "48000" 3, anything else 0.
uint8_t FrequenceFromLabel(const QString& label);
// Audio rate the DV recompression uses for a FrequenceDV value.
int AudioRateOfFrequenceDV(uint8_t frequence);
