#include "BgrImage.h"

#include <algorithm>
#include <cstring>

namespace {

// dst := the pixels of src in reverse order (no overlap).
void copyReversed(uint8_t* dst, const uint8_t* src, int width) {
    const uint8_t* s = src + ptrdiff_t(width - 1) * 3;
    for (int i = 0; i < width; ++i, dst += 3, s -= 3) {
        dst[0] = s[0];
        dst[1] = s[1];
        dst[2] = s[2];
    }
}

} // namespace

void reverseRows(const BgrImage& image, uint8_t* scratch, bool mirror) {
    if (!image.valid())
        return;
    const size_t rowBytes = size_t(image.width) * 3;
    int top = 0;
    int bottom = image.height - 1;
    for (; top < bottom; ++top, --bottom) {
        uint8_t* a = image.row(top);
        uint8_t* b = image.row(bottom);
        std::memcpy(scratch, a, rowBytes);
        if (mirror) {
            copyReversed(a, b, image.width);
            copyReversed(b, scratch, image.width);
        } else {
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, scratch, rowBytes);
        }
    }
    if (mirror && top == bottom) {
        std::memcpy(scratch, image.row(top), rowBytes);
        copyReversed(image.row(top), scratch, image.width);
    }
}

void mirrorRows(const BgrImage& image, uint8_t* scratch) {
    if (!image.valid())
        return;
    const size_t rowBytes = size_t(image.width) * 3;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(scratch, image.row(y), rowBytes);
        copyReversed(image.row(y), scratch, image.width);
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

namespace {

// One plane of one byte per pixel, as reverseRows and mirrorRows do for BGR.
void reversePlane(uint8_t* data, ptrdiff_t stride, int width, int height, uint8_t* scratch,
                  bool mirror) {
    const size_t rowBytes = size_t(width);
    int top = 0;
    int bottom = height - 1;
    for (; top < bottom; ++top, --bottom) {
        uint8_t* a = data + ptrdiff_t(top) * stride;
        uint8_t* b = data + ptrdiff_t(bottom) * stride;
        std::memcpy(scratch, a, rowBytes);
        if (mirror) {
            std::reverse_copy(b, b + width, a);
            std::reverse_copy(scratch, scratch + width, b);
        } else {
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, scratch, rowBytes);
        }
    }
    if (mirror && top == bottom) {
        uint8_t* row = data + ptrdiff_t(top) * stride;
        std::reverse(row, row + width);
    }
}

} // namespace

void reverseRows(const I420Image& image, uint8_t* scratch, bool mirror) {
    if (!image.valid())
        return;
    reversePlane(image.plane[0], image.stride[0], image.width, image.height, scratch, mirror);
    for (int p = 1; p < 3; ++p)
        reversePlane(image.plane[p], image.stride[p], image.chromaWidth(), image.chromaHeight(),
                     scratch, mirror);
}

void mirrorRows(const I420Image& image, uint8_t* /*scratch*/) {
    if (!image.valid())
        return;
    for (int y = 0; y < image.height; ++y)
        std::reverse(image.row(0, y), image.row(0, y) + image.width);
    for (int p = 1; p < 3; ++p)
        for (int y = 0; y < image.chromaHeight(); ++y)
            std::reverse(image.row(p, y), image.row(p, y) + image.chromaWidth());
}
