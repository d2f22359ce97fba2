#pragma once

#include "VrIncrustRec.h"

#include <optional>

// Placement arithmetic of the two inlaid lines.
namespace incrust {

// Cell height of the automatic font size: frame width × 28 / 720, at least 16 pixels.
int autoCellHeight(int frameWidth);

// Line pitch in pixels for the record on a frame of the given size. A point size is taken at
// 96 pixels per inch; sizes that cannot be drawn (0 or less) fall back to the default 21
// points, and the height is capped at twice the frame height (at least 16).
int fontPixelHeight(const VrIncrustRec& rec, int frameWidth, int frameHeight);

// Anchor coordinates are thousandths of the frame, kept within 0..1000.
int clampAnchor(int32_t value);

// Left edge of a line of measured width w for the alignment; empty for unknown alignments.
std::optional<int> lineX(uint8_t alignment, int frameWidth, int anchorX, int w);

// Anchor point in pixels: frame size × thousandths / 1000, truncated.
int anchorPixels(int frameSize, int thousandths);

} // namespace incrust
