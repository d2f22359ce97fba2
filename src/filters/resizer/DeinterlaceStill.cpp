#include "DeinterlaceStill.h"

#include <cstddef>
#include <cstring>
#include <vector>

void DeinterlaceStill(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width,
                      int height, int bitsPerPixel) {
    if (width < 1 || height < 1)
        return;
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8);
    for (int r = 0; r < height; ++r)
        std::memcpy(dst + static_cast<ptrdiff_t>(r) * dstStride,
                    src + static_cast<ptrdiff_t>(r) * srcStride, rowBytes);
    if (bitsPerPixel != 24 || height < 3)
        return;

    thread_local std::vector<uint8_t> mask, keep;
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    mask.assign(n, 0);
    keep.assign(n, 0);
    auto at = [&](int x, int r) { return static_cast<size_t>(r) * width + x; };

    for (int r = 1; r < height - 1; r += 2) {
        const uint8_t* a = src + static_cast<ptrdiff_t>(r - 1) * srcStride;
        const uint8_t* m = src + static_cast<ptrdiff_t>(r) * srcStride;
        const uint8_t* b = src + static_cast<ptrdiff_t>(r + 1) * srcStride;
        for (int x = 0; x < width; ++x, a += 3, m += 3, b += 3) {
            const int score = 3 * (a[2] - m[2]) * (b[2] - m[2]) +
                              6 * (a[1] - m[1]) * (b[1] - m[1]) + (a[0] - m[0]) * (b[0] - m[0]);
            mask[at(x, r)] = score > 2000;
        }
    }
    for (int r = 1; r < height - 1; r += 2)
        for (int x = 0; x < width; ++x) {
            const uint8_t neighbour =
                x < width - 1 ? mask[at(x + 1, r)] : (width > 1 ? mask[at(x - 1, r)] : 0);
            keep[at(x, r)] = mask[at(x, r)] && neighbour;
        }
    for (int r = 1; r < height - 1; r += 2) {
        const uint8_t* a = src + static_cast<ptrdiff_t>(r - 1) * srcStride;
        const uint8_t* b = src + static_cast<ptrdiff_t>(r + 1) * srcStride;
        uint8_t* d = dst + static_cast<ptrdiff_t>(r) * dstStride;
        for (int x = 0; x < width; ++x)
            if (keep[at(x, r)])
                for (int c = 0; c < 3; ++c)
                    d[x * 3 + c] = static_cast<uint8_t>((a[x * 3 + c] + b[x * 3 + c]) / 2);
    }
}
