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

// A planar 4:2:0 frame (I420): a full-size luma plane, then the U and V planes with half the
// width and half the height, rounded up.
struct I420Image {
    // How the picture's colours are coded: the luma weights of red and blue and whether Y, U
    // and V take the full 0-255 (the defaults: BT.601, 16-235 and 16-240).
    struct Matrix {
        double kr = 0.299;
        double kb = 0.114;
        bool fullRange = false;
        bool operator==(const Matrix&) const = default;
    };
    uint8_t* plane[3] = {nullptr, nullptr, nullptr};
    Matrix matrix;
    ptrdiff_t stride[3] = {0, 0, 0};
    int width = 0;
    int height = 0;

    int chromaWidth() const { return (width + 1) / 2; }
    int chromaHeight() const { return (height + 1) / 2; }
    bool valid() const {
        return plane[0] && plane[1] && plane[2] && width > 0 && height > 0 && stride[0] >= width &&
               stride[1] >= chromaWidth() && stride[2] >= chromaWidth();
    }
    uint8_t* row(int p, int y) const { return plane[p] + ptrdiff_t(y) * stride[p]; }
};

// The same operations on the three planes of an I420 frame; scratch holds at least width bytes.
void reverseRows(const I420Image& image, uint8_t* scratch, bool mirror = false);
void mirrorRows(const I420Image& image, uint8_t* scratch);

// Copies the visible bytes of every row (width × 3) into dst, which has the same size.
void copyImage(const BgrImage& src, const BgrImage& dst);
