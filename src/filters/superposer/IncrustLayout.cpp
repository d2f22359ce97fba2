#include "IncrustLayout.h"

#include <algorithm>
#include <cmath>

namespace incrust {

int autoCellHeight(int frameWidth) {
    return std::max<int>(16, static_cast<int>(int64_t(std::max(frameWidth, 0)) * 28 / 720));
}

int fontPixelHeight(const VrIncrustRec& rec, int frameWidth, int frameHeight) {
    int h = 0;
    if (rec.Autofontsize) {
        h = autoCellHeight(frameWidth);
    } else {
        const int32_t points = rec.FontRec.FontSize > 0 ? rec.FontRec.FontSize : 21;
        h = static_cast<int>(std::min<int64_t>(std::llround(points * 96.0 / 72.0), 1 << 20));
    }
    return std::clamp(h, 1, std::max(16, 2 * std::max(frameHeight, 0)));
}

int clampAnchor(int32_t value) {
    return std::clamp<int32_t>(value, 0, 1000);
}

std::optional<int> lineX(uint8_t alignment, int frameWidth, int anchorX, int w) {
    switch (alignment) {
    case 0:
        return anchorX;
    case 1:
        return anchorX - w / 2;
    case 2:
        return anchorX - w;
    case 3:
        return (frameWidth - w) / 2;
    default:
        return std::nullopt;
    }
}

int anchorPixels(int frameSize, int thousandths) {
    return static_cast<int>(int64_t(frameSize) * thousandths / 1000);
}

} // namespace incrust
