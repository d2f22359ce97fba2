#pragma once

#include <cstdint>

// Removes combing from a still picture: dst receives a copy of src in which every pixel of an
// odd row that differs from both vertical neighbours in the same direction (and whose right
// neighbour, or left one in the last column, does too) is replaced by their mean. Rows are
// counted from the top; pixels are blue, green, red. Pictures that are not 24-bit are only
// copied. The work masks are per thread, so calls from different threads do not collide.
void DeinterlaceStill(const uint8_t* src, int srcStride, uint8_t* dst, int dstStride, int width,
                      int height, int bitsPerPixel = 24);
