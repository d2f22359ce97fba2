#pragma once

#include <cstdint>

// Metadata of one DV frame, as the scene detector keeps it in its rings.
struct TDVFrameInfo {
    uint32_t FrameNumber = 0;   // frames since the last stop
    bool DateValid = false;     // recording date and time decoded to a valid date-time
    bool TimecodeValid = false; // a valid timecode pack was found
    bool Complete = false;      // timecode, source control in sequence 0 and audio source pack
    double RecDate = 0.0;       // recording date-time (days); 0 when no date pack was found
    uint8_t Timecode[4] = {255, 0, 0, 0}; // hours, minutes, seconds, frames; hours 255 = invalid
    bool Widescreen = false;
    uint8_t Standard = 0;   // 0 = 625/50, 1 = 525/60, 2 = other
    int32_t AudioRate = -1; // 48000, 44100, 32000, 0 another code, -1 no audio source pack
    int32_t AudioBits = -1; // 16, 12, 0 another code, -1 no audio source pack
    int64_t FrameNumber64 = 0;
};
