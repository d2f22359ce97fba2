#pragma once

#include <cstdint>

// Tape transport of a DV camcorder or deck: AV/C over FireWire for real devices, or the
// virtual deck of "DV virtuel". Calls come from the UI thread.
class IDvTransport {
public:
    // The transport modes, with the values the transport windows send and read back.
    enum Mode : int {
        ED_MODE_PLAY = 4296,
        ED_MODE_STOP = 4297,
        ED_MODE_FREEZE = 4298,           // pause: the picture holds
        ED_MODE_FF = 4300,               // winding forward from stop
        ED_MODE_REW = 4301,              // rewinding from stop
        ED_MODE_PLAY_FASTEST_FWD = 5029, // picture search forward
        ED_MODE_PLAY_SLOWEST_FWD = 5030, // slow motion forward
        ED_MODE_PLAY_FASTEST_REV = 5031, // picture search backward
        ED_MODE_PLAY_SLOWEST_REV = 5032, // slow motion backward
    };
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

// Tape motion per delivered frame of a deck playing a file in mode: play moves one frame,
// picture search five, slow motion shows each picture four times (slowPhase counts them),
// a frozen tape shows the same picture again.
inline int64_t TapeStep(IDvTransport::Mode mode, int& slowPhase) {
    switch (mode) {
    case IDvTransport::ED_MODE_PLAY:
        return 1;
    case IDvTransport::ED_MODE_PLAY_FASTEST_FWD:
        return 5;
    case IDvTransport::ED_MODE_PLAY_FASTEST_REV:
        return -5;
    case IDvTransport::ED_MODE_PLAY_SLOWEST_FWD:
    case IDvTransport::ED_MODE_PLAY_SLOWEST_REV:
        slowPhase = (slowPhase + 1) % 4;
        return slowPhase == 0 ? (mode == IDvTransport::ED_MODE_PLAY_SLOWEST_FWD ? 1 : -1) : 0;
    default:
        return 0;
    }
}
