#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>
#include <vector>

// A still picture: 24-bit blue-green-red pixels, top row first, rows packed.
struct TStillImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    void resize(int w, int h) {
        width = w;
        height = h;
        pixels.resize(size_t(w) * size_t(h) * 3);
    }
    int stride() const { return width * 3; }
    uint8_t* row(int y) { return pixels.data() + size_t(y) * size_t(stride()); }
    const uint8_t* row(int y) const { return pixels.data() + size_t(y) * size_t(stride()); }
};

namespace stills {

// The picture's size once brought to the ratio a:b by cutting one side (integer division; a
// ratio of 0:0 changes nothing).
QSize CorrectedSize(int width, int height, int a, int b);

// Stretches src into dst at w x h (nearest pixel, as a stretching copy does).
void Stretch(const TStillImage& src, TStillImage& dst, int w, int h);

// Where the thumbnail of a w x h picture goes in the grabbing panel: inside the 192 x 144
// area at x 32, its bottom edge at y 163, centred.
QRect ThumbnailRect(int w, int h);

// The interval of the intervalometer in 1/10000 s for a value in a unit ("secondes",
// "frames", "minutes", "heures" = 0..3) at a frame rate; empty when it does not fit the
// overlay's signed 32-bit count.
std::optional<int32_t> Interval(int unit, int64_t value, double framesPerSecond);

} // namespace stills
