#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// The frame-rate rewrite of a finished image-by-image AVI file: the rate of its video stream
// header becomes the chosen frames per second, everything else stays as the writer left it.

struct TFrameRateFields {
    uint32_t dwScale = 0;
    uint32_t dwRate = 0;
};

// dwScale = 1 000 000 / fps rounded, dwRate = 1 000 000; nullopt for a rate that would give a
// scale of 0 or beyond 32 bits (0, negative, not a number, absurdly large or small).
std::optional<TFrameRateFields> FrameRateFields(double fps);

// Reads exactly size bytes at pos; false when they are not all there.
using TAviReader = std::function<bool(uint64_t pos, void* data, size_t size)>;

enum class TAviWalk {
    Found,         // offset holds the position of dwScale of the last video stream header
    NotAvi,        // the file does not start with RIFF 'AVI '
    NoVideoStream, // no complete "vids" or "iavs" stream header
};

// Walks the RIFF tree of an AVI of fileSize bytes. Sizes past the end, odd sizes, zero sizes
// and truncated headers end the walk of their list; only headers wholly inside both their
// list and the file count.
TAviWalk FindVideoRateField(const TAviReader& read, uint64_t fileSize, uint64_t& offset);

enum class TPatchResult {
    Patched,
    InvalidRate,   // see FrameRateFields; the file is not opened
    CannotOpen,    // missing, unreadable or read-only
    NotAvi,        // left untouched
    NoVideoStream, // left untouched
    WriteFailed,
};

// `PatchFrameRate`: writes dwScale and dwRate of the last video stream header of the file.
TPatchResult PatchFrameRate(const QString& file, double fps);
