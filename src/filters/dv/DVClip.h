#pragma once

#include "DVPackWriter.h"

#include <string>
#include <vector>

// A generated DV clip: running recording dates (one second every second of the clip) with
// chosen jumps and stretches without dates, a running timecode, and the display format.
namespace dv {

struct ClipSpec {
    struct Jump {
        int frame;      // first frame after the jump
        double seconds; // forwards (> 0) or backwards (< 0)
    };
    struct Stretch {
        int from, to; // frames [from, to) carry no date packs
    };

    int frames = 125;
    bool pal = true;
    bool widescreen = false;
    double startDate = 45413.5; // 2024-05-01 12:00:00
    std::vector<Jump> dateJumps;
    std::vector<Stretch> datelessStretches;
    Timecode startTimecode{0, 0, 0, 0};

    int Fps() const { return pal ? 25 : 30; }
    size_t FrameSize() const { return pal ? kFrameSize625 : kFrameSize525; }
};

// The recording date of frame n (also inside a dateless stretch).
double ClipDateAt(const ClipSpec& spec, int n);
FramePacks ClipPacksAt(const ClipSpec& spec, int n);

// Writes the clip's packs into every frame of a raw DV file (whole DV frames).
bool PatchClipFile(const std::string& path, const ClipSpec& spec, std::string* error);

} // namespace dv
