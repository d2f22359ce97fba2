#include "DVClip.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace dv {

double ClipDateAt(const ClipSpec& spec, int n) {
    // Whole seconds, like the camcorder's clock.
    double seconds = std::floor(static_cast<double>(n) / spec.Fps());
    for (const auto& j : spec.dateJumps)
        if (n >= j.frame)
            seconds += j.seconds;
    return spec.startDate + seconds / 86400.0;
}

FramePacks ClipPacksAt(const ClipSpec& spec, int n) {
    FramePacks p;
    bool dated = true;
    for (const auto& s : spec.datelessStretches)
        if (n >= s.from && n < s.to)
            dated = false;
    if (dated)
        p.recDate = ClipDateAt(spec, n);
    p.timecode = TimecodeAt(spec.startTimecode, n, spec.Fps());
    p.displayFormat = spec.widescreen ? 2 : 0;
    return p;
}

bool PatchClipFile(const std::string& path, const ClipSpec& spec, std::string* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + path;
        return false;
    };
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "r+b"), &std::fclose);
    if (!f)
        return fail("cannot open");
    std::vector<uint8_t> frame(spec.FrameSize());
    for (int n = 0;; ++n) {
        const long pos = static_cast<long>(n) * static_cast<long>(frame.size());
        if (std::fseek(f.get(), pos, SEEK_SET) != 0)
            return fail("cannot seek");
        const size_t got = std::fread(frame.data(), 1, frame.size(), f.get());
        if (got == 0)
            break;
        PatchFrame(std::span(frame).first(got), ClipPacksAt(spec, n));
        if (std::fseek(f.get(), pos, SEEK_SET) != 0 ||
            std::fwrite(frame.data(), 1, got, f.get()) != got)
            return fail("cannot write");
        if (got < frame.size())
            break;
    }
    if (std::fflush(f.get()) != 0)
        return fail("cannot write");
    return true;
}

} // namespace dv
