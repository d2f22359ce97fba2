#include "LayoutMath.h"

#include <algorithm>

namespace LayoutMath {

QRect fitRect(const QRect& box, int w, int h) {
    if (w <= 0 || h <= 0 || box.width() <= 0 || box.height() <= 0)
        return QRect(box.topLeft(), QSize(0, 0));
    const qint64 bw = box.width(), bh = box.height();
    if (bw * h < bh * w) {
        const int height = int(bw * h / w);
        return QRect(box.left(), box.top() + int((bh - height) / 2), int(bw), height);
    }
    const int width = int(bh * w / h);
    return QRect(box.left() + int((bw - width) / 2), box.top(), width, int(bh));
}

PanelOffsets panelOffsets(bool previewOnLeft) {
    return previewOnLeft ? PanelOffsets{427, 0} : PanelOffsets{0, 266};
}

int clampVolume(int volume) {
    return std::clamp(volume, 0, 10000);
}

QSize aspectUnits(int aspectRatio, bool hasSceneDetector, bool detectedWide, QSize native) {
    QSize units;
    switch (aspectRatio) {
    case 0:
        units = hasSceneDetector ? (detectedWide ? QSize(16, 9) : QSize(4, 3)) : native;
        if (units.width() <= 0 || units.height() <= 0)
            units = native;
        break;
    case 1:
        units = QSize(4, 3);
        break;
    case 2:
        units = QSize(16, 9);
        break;
    default:
        units = native;
        break;
    }
    if (units.width() == 0 || units.height() == 0)
        units = QSize(4, 3);
    return units;
}

int dvRatioOf(QSize units) {
    return qint64(units.width()) * 9 >= qint64(units.height()) * 14 ? 1 : 0;
}

int nextPanel(int panel) {
    return panel >= 8 ? 0 : panel + 1;
}

QList<int> shareWidths(const QList<int>& needed, int width, int base) {
    QList<int> widths;
    if (needed.isEmpty())
        return widths;
    width = std::max(width, 0);
    qint64 wanted = 0, least = 0, shortfall = 0;
    for (int n : needed) {
        n = std::max(n, 0);
        wanted += std::max(n, base);
        least += n;
        shortfall += std::max(base - n, 0);
    }
    for (int n : needed) {
        n = std::max(n, 0);
        if (wanted <= width)
            widths << std::max(n, base);
        else if (least <= width) // shortfall > 0 here: wanted > least
            widths << n + int((width - least) * std::max(base - n, 0) / shortfall);
        else
            widths << int(qint64(width) * n / least);
    }
    qint64 total = 0;
    for (int w : widths)
        total += w;
    widths.last() += int(width - total);
    return widths;
}

QRect placeOnScreens(const QRect& stored, const QList<QRect>& screens) {
    if (screens.isEmpty() || stored.width() <= 0 || stored.height() <= 0)
        return stored;
    QRect screen = screens.first();
    qint64 best = 0;
    for (const QRect& s : screens) {
        const QRect common = s.intersected(stored);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > best) {
            best = area;
            screen = s;
        }
    }
    const int w = std::min(stored.width(), screen.width());
    const int h = std::min(stored.height(), screen.height());
    const int x = std::clamp(stored.x(), screen.left(), screen.left() + screen.width() - w);
    const int y = std::clamp(stored.y(), screen.top(), screen.top() + screen.height() - h);
    return QRect(x, y, w, h);
}

} // namespace LayoutMath
