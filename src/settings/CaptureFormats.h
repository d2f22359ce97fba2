#pragma once

#include <QString>
#include <cstdint>

// Capture formats as stored: one byte, of which the low 7 bits name the format (the
// graph's formats/ describes each).
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

// "natif" 0, "32000" 1, "44100" 2, "48000" 3, anything else 0.
uint8_t FrequenceFromLabel(const QString& label);
// Audio rate the DV recompression uses for a FrequenceDV value.
int AudioRateOfFrequenceDV(uint8_t frequence);
