#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// Arithmetic of the main window's layout, kept apart from the widgets so that it can be
// checked on its own.
namespace LayoutMath {

// A w:h rectangle fitted into box, centred; integer arithmetic. A non-positive term gives
// an empty rectangle at the box's top-left corner.
QRect fitRect(const QRect& box, int w, int h);

// Offsets of the side panels and of the preview: (427, 0) with the preview on the left,
// (0, 266) with the preview on the right.
struct PanelOffsets {
    int panelsX;
    int previewShiftX;
};
PanelOffsets panelOffsets(bool previewOnLeft);

// Monitoring volume steps, clamped to 0..10000.
int clampVolume(int volume);

// Width and height units of the preview for "Aspect ratio" (0 normal, 1 4:3, 2 16:9,
// 3 native). Normal uses the DV detector's ratio when the source has one, else the native
// size; a zero term gives 4:3.
QSize aspectUnits(int aspectRatio, bool hasSceneDetector, bool detectedWide, QSize native);

// The DV recompression ratio that matches units: 1 (16:9) when w * 9 >= h * 14.
int dvRatioOf(QSize units);

// Next side panel, from 8 back to 0.
int nextPanel(int panel);

// Widths of side-by-side cells sharing width whose texts need the given widths: each is at
// least base when all fit so, the room left over going to the last cell; else each text
// keeps what it needs and the shorter ones share the rest; when even that is too much, each
// gets its share of width in proportion to its need. The widths add up to width.
QList<int> shareWidths(const QList<int>& needed, int width, int base);

// Where a stored window rectangle goes on the screens there are (their available areas, the
// primary first): on the screen it overlaps most (the primary when none), no larger than
// that screen and wholly inside it; a rectangle that fits stays where it was. No screen:
// the rectangle as it is.
QRect placeOnScreens(const QRect& stored, const QList<QRect>& screens);

} // namespace LayoutMath
