#pragma once

#include <cstdint>

// Tape transport of a DV camcorder or deck: AV/C over FireWire for real devices, or the
// virtual deck of "DV virtuel". Calls come from the UI thread.
class IDvTransport {
public:
    enum Mode { Stop, Play, Pause, SlowForward, FastForward, SlowReverse, FastReverse };
    struct Timecode {
        uint8_t hours = 0, minutes = 0, seconds = 0, frames = 0;
        bool valid = false;
    };
    virtual ~IDvTransport() = default;
    virtual bool setMode(Mode mode) = 0;
    virtual Mode mode() const = 0;
    virtual Timecode timecode() const = 0;
    virtual bool isVcr() const = 0; // a deck rather than a camera
    virtual bool isCamera() const = 0;
};
