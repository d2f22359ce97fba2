#pragma once

#include <cstddef>
#include <cstdint>

// A 24-bit frame with top-down rows, bytes B, G, R per pixel. The stride may exceed
// width × 3 (rows padded to 4 bytes).
struct BgrImage {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;

    bool valid() const {
        return data != nullptr && width > 0 && height > 0 && stride >= ptrdiff_t(width) * 3;
    }
    uint8_t* row(int y) const { return data + ptrdiff_t(y) * stride; }
};

// Reverses the order of the rows, and with mirror also mirrors every row left to right (both
// in one pass); scratch holds at least width × 3 bytes.
void reverseRows(const BgrImage& image, uint8_t* scratch, bool mirror = false);

// Mirrors every row left to right; scratch holds at least width × 3 bytes.
void mirrorRows(const BgrImage& image, uint8_t* scratch);

// Copies the visible bytes of every row (width × 3) into dst, which has the same size.
void copyImage(const BgrImage& src, const BgrImage& dst);
