#include "StillImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace stills {

QSize CorrectedSize(int width, int height, int a, int b) {
    if (a <= 0 || b <= 0)
        return {width, height};
    if (int64_t(b) * width < int64_t(a) * height)
        height = int(int64_t(b) * width / a);
    else if (int64_t(a) * height < int64_t(b) * width)
        width = int(int64_t(a) * height / b);
    return {width, height};
}

void Stretch(const TStillImage& src, TStillImage& dst, int w, int h) {
    dst.resize(std::max(w, 0), std::max(h, 0));
    if (src.width <= 0 || src.height <= 0 || w <= 0 || h <= 0)
        return;
    if (w == src.width && h == src.height) {
        dst.pixels = src.pixels;
        return;
    }
    // Sized once per picture width: the intervalometer may stretch every frame.
    static thread_local std::vector<int> columns;
    columns.resize(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        columns[size_t(x)] = int(int64_t(x) * src.width / w) * 3;
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = src.row(int(int64_t(y) * src.height / h));
        uint8_t* out = dst.row(y);
        for (int x = 0; x < w; ++x)
            std::memcpy(out + size_t(x) * 3, in + columns[size_t(x)], 3);
    }
}

QRect ThumbnailRect(int w, int h) {
    if (w <= 0 || h <= 0)
        return {};
    int tw = 192, th = 144;
    if (int64_t(w) * 144 < int64_t(h) * 192)
        tw = int(int64_t(w) * 144 / h);
    else
        th = int(int64_t(h) * 192 / w);
    return {32 + (192 - tw) / 2, 163 - th, tw, th};
}

std::optional<int32_t> Interval(int unit, int64_t value, double framesPerSecond) {
    int64_t factor = 10000;
    switch (unit) {
    case 1:
        factor = framesPerSecond > 0 ? std::llround(10000.0 / framesPerSecond) : 400;
        break;
    case 2:
        factor = 600000;
        break;
    case 3:
        factor = 36000000;
        break;
    default:
        break;
    }
    if (value < 0)
        return std::nullopt;
    const long double interval = static_cast<long double>(factor) * value;
    if (interval > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(factor * value);
}

} // namespace stills
