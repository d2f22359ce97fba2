#include "BgrImage.h"

#include <algorithm>
#include <cstring>

void reverseRows(const BgrImage& image, uint8_t* scratch) {
    if (!image.valid())
        return;
    const size_t rowBytes = size_t(image.width) * 3;
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = image.row(top);
        uint8_t* b = image.row(bottom);
        std::memcpy(scratch, a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, scratch, rowBytes);
    }
}

void mirrorRows(const BgrImage& image) {
    if (!image.valid())
        return;
    for (int y = 0; y < image.height; ++y) {
        uint8_t* left = image.row(y);
        uint8_t* right = left + (image.width - 1) * 3;
        while (left < right) {
            std::swap(left[0], right[0]);
            std::swap(left[1], right[1]);
            std::swap(left[2], right[2]);
            left += 3;
            right -= 3;
        }
    }
}

void copyImage(const BgrImage& src, const BgrImage& dst) {
    if (!src.valid() || !dst.valid())
        return;
    const int height = std::min(src.height, dst.height);
    const size_t rowBytes = size_t(std::min(src.width, dst.width)) * 3;
    if (src.stride == dst.stride && size_t(src.stride) == rowBytes) {
        std::memcpy(dst.data, src.data, rowBytes * size_t(height));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(dst.row(y), src.row(y), rowBytes);
}
