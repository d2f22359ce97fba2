#pragma once

#include <cstdint>

// When the inlaid text shows: permanently (mode 0), or for WhenFrames frames after the
// start (1), each new scene (2) or each new day (3).
class WhenCountdown {
public:
    struct Dates {
        double recDate = 0.0;
        double prevRecDate = 0.0;
        double dayDate = 0.0;
        double prevDayDate = 0.0;
    };

    // frameDuration in 100-ns units; 0 keeps the previous frame count.
    void SetWhenIncrust(uint8_t mode, int32_t seconds, uint32_t frameDuration);
    // Re-arms the countdown (the caller also stores the active flag).
    void rearm() { m_framesLeft = m_whenFrames > INT32_MIN ? m_whenFrames - 1 : INT32_MIN; }
    // One frame while the overlay is active; true when the text shows on it.
    bool onFrame(const Dates& dates);

    uint8_t whenMode() const { return m_whenMode; }
    int32_t whenSeconds() const { return m_whenSeconds; }
    int32_t whenFrames() const { return m_whenFrames; }
    int32_t framesLeft() const { return m_framesLeft; }

private:
    uint8_t m_whenMode = 0;
    int32_t m_whenSeconds = 5;
    int32_t m_whenFrames = 125;
    int32_t m_framesLeft = 0;
};

// Rounds to the nearest integer, halves to the even neighbour, saturating to 32 bits.
int32_t roundHalfEven(double value);
