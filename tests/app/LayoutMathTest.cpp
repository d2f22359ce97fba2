#include "LayoutMath.h"
#include "PlatformCheck.h"

#include <gtest/gtest.h>

using namespace LayoutMath;

TEST(LayoutMath, FitKeepsTheRatioAndCentres) {
    const QRect box(12, 12, 386, 306);
    // Wider than the box: full width, centred vertically (386 * 9 / 16 = 217).
    EXPECT_EQ(fitRect(box, 16, 9), QRect(12, 12 + (306 - 217) / 2, 386, 217));
    // Taller: full height, centred horizontally (306 * 4 / 3 = 408 > 386, so width wins).
    EXPECT_EQ(fitRect(box, 4, 3), QRect(12, 12 + (306 - 289) / 2, 386, 289));
    EXPECT_EQ(fitRect(box, 3, 4), QRect(12 + (386 - 229) / 2, 12, 229, 306));
    EXPECT_EQ(fitRect(box, 0, 3), QRect(12, 12, 0, 0));
    EXPECT_EQ(fitRect(box, 4, -1), QRect(12, 12, 0, 0));
    // Native sizes too large for plain int products still fit.
    EXPECT_EQ(fitRect(QRect(0, 0, 1920, 1080), 1 << 20, 1 << 20), QRect(420, 0, 1080, 1080));
}

TEST(LayoutMath, PanelsVolumeAndAspect) {
    EXPECT_EQ(panelOffsets(true).panelsX, 427);
    EXPECT_EQ(panelOffsets(true).previewShiftX, 0);
    EXPECT_EQ(panelOffsets(false).panelsX, 0);
    EXPECT_EQ(panelOffsets(false).previewShiftX, 266);
    EXPECT_EQ(nextPanel(8), 0);
    EXPECT_EQ(nextPanel(3), 4);
    EXPECT_EQ(clampVolume(9500 + 1000), 10000);
    EXPECT_EQ(clampVolume(500 - 1000), 0);

    const QSize native(720, 576);
    EXPECT_EQ(aspectUnits(0, true, true, native), QSize(16, 9));
    EXPECT_EQ(aspectUnits(0, true, false, native), QSize(4, 3));
    EXPECT_EQ(aspectUnits(0, false, true, native), native);
    EXPECT_EQ(aspectUnits(1, false, false, native), QSize(4, 3));
    EXPECT_EQ(aspectUnits(2, false, false, native), QSize(16, 9));
    EXPECT_EQ(aspectUnits(3, true, true, native), native);
    EXPECT_EQ(aspectUnits(3, false, false, QSize(0, 480)), QSize(4, 3));
    EXPECT_EQ(dvRatioOf(QSize(16, 9)), 1);
    EXPECT_EQ(dvRatioOf(QSize(14, 9)), 1);
    EXPECT_EQ(dvRatioOf(QSize(4, 3)), 0);
}

TEST(LayoutMath, StatusCellsShareTheirWidth) {
    struct Case {
        QList<int> needed;
        int width;
        QList<int> widths;
    } cases[] = {
        {{100, 120, 60, 130}, 700, {175, 175, 175, 175}}, // the design's cells
        {{100, 120, 60, 130}, 760, {175, 175, 175, 235}}, // the rest to the last one
        {{195, 129, 168, 137}, 720, {195, 175, 175, 175}},
        // 20 more than the cells have: the shorter texts give it up, in proportion to the
        // room they do not need.
        {{195, 129, 168, 137}, 700, {195, 164, 173, 168}},
        {{400, 400, 100, 100}, 500, {200, 200, 50, 50}}, // too long: shared by need
        {{0, 0}, 0, {0, 0}},
        {{10, 10}, -5, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        EXPECT_EQ(shareWidths(c.needed, c.width, 175), c.widths);
    }
    EXPECT_TRUE(shareWidths({}, 700, 175).isEmpty());
}

TEST(PlatformCheck, MinimumRuntimeAndWarning) {
    EXPECT_TRUE(PlatformCheck::versionIsEnough(1, 22));
    EXPECT_TRUE(PlatformCheck::versionIsEnough(2, 0));
    EXPECT_FALSE(PlatformCheck::versionIsEnough(1, 20));
    EXPECT_EQ(PlatformCheck::warningText("1.20.3"),
              QString("Vous avez GStreamer 1.20.3.\r\nIl faut avoir au moins GStreamer 1.22 pour "
                      "faire tourner correctement Vidorra version 6.0.6 fr.\r\nVoulez-vous "
                      "continuer quand même? Si oui, l'application risque de ne pas bien "
                      "fonctionner."));
}

// A stored window place always comes back where a screen shows it: an absurd one (a hand
// edit) on the primary screen at most as large; one of a second screen gone on the screen
// left; one that fits, as it was.
TEST(LayoutMath, StoredWindowPlacesComeBackOnAScreen) {
    const QRect primary(0, 0, 1280, 1024), second(1280, 0, 1920, 1080);
    using LayoutMath::placeOnScreens;
    EXPECT_EQ(placeOnScreens(QRect(QPoint(-99999, -99999), QPoint(99999999, 99999999)), {primary}),
              primary);
    EXPECT_EQ(placeOnScreens(QRect(3000, 100, 900, 600), {primary}), QRect(380, 100, 900, 600));
    EXPECT_EQ(placeOnScreens(QRect(3000, 100, 900, 600), {primary, second}),
              QRect(2300, 100, 900, 600));
    EXPECT_EQ(placeOnScreens(QRect(100, 50, 900, 600), {primary, second}),
              QRect(100, 50, 900, 600));
    // Astride two screens: on the one it overlaps most, whole.
    EXPECT_EQ(placeOnScreens(QRect(1000, 0, 900, 600), {primary, second}),
              QRect(1280, 0, 900, 600));
    EXPECT_EQ(placeOnScreens(QRect(10, 10, 300, 200), {}), QRect(10, 10, 300, 200));
}
