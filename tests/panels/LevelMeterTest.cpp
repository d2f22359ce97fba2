// The sound level meter: its timings (hold, clip mark, no sound) on given times, and the
// widget's marks and size.
#include "LevelMeter.h"
#include "LevelMeterWidget.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <limits>

namespace {
const double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(LevelMeter, HoldsThePeakThenFallsBackToTheCurrentOne) {
    TLevelMeter m;
    m.setActive(true, 0);
    m.feed(100, {-6.0, -12.0}, {-9.0, -15.0});
    ASSERT_EQ(m.channels().size(), 2u);
    EXPECT_DOUBLE_EQ(m.channels()[0].peakDb, -6.0);
    EXPECT_DOUBLE_EQ(m.channels()[1].rmsDb, -15.0);
    m.feed(200, {-30.0, -40.0}, {-33.0, -43.0});
    m.tick(200 + TLevelMeter::kHoldMs - 101);
    EXPECT_DOUBLE_EQ(m.channels()[0].holdDb, -6.0); // still held
    m.tick(100 + TLevelMeter::kHoldMs);
    EXPECT_DOUBLE_EQ(m.channels()[0].holdDb, -30.0);
    EXPECT_DOUBLE_EQ(m.channels()[1].holdDb, -40.0);
    // A higher peak takes the hold at once.
    m.feed(1700, {-3.0, -40.0}, {-5.0, -43.0});
    EXPECT_DOUBLE_EQ(m.channels()[0].holdDb, -3.0);
}

TEST(LevelMeter, ClipMarkStaysLitTwoSecondsAfterTheLastFullScalePeak) {
    TLevelMeter m;
    m.setActive(true, 0);
    m.feed(10, {-0.2}, {-3.0});
    EXPECT_FALSE(m.clipLit(10)); // below full scale
    m.feed(100, {-0.05}, {-3.0});
    EXPECT_TRUE(m.clipLit(100));
    m.feed(500, {-20.0}, {-23.0});
    EXPECT_TRUE(m.clipLit(100 + TLevelMeter::kClipMs - 1));
    EXPECT_FALSE(m.clipLit(100 + TLevelMeter::kClipMs));
    // A peak over 0 dBFS (floating-point sound) is full scale too; a new clip lights it again.
    m.feed(3000, {0.5}, {-1.0});
    EXPECT_TRUE(m.clipLit(4999));
    EXPECT_DOUBLE_EQ(m.channels()[0].peakDb, 0.0);
    // A new source starts without the old one's mark.
    m.setActive(true, 3100);
    EXPECT_FALSE(m.clipLit(3100));
    EXPECT_TRUE(m.channels().empty());
}

TEST(LevelMeter, NoSoundMeansNoMeasureForASecondNotSilence) {
    TLevelMeter m;
    EXPECT_FALSE(m.noSound(5000)); // idle: no source, nothing is expected
    m.feed(100, {-10.0}, {-10.0});
    EXPECT_TRUE(m.channels().empty()); // measures while idle are ignored

    m.setActive(true, 1000);
    EXPECT_FALSE(m.noSound(1000 + TLevelMeter::kNoSoundMs - 1));
    EXPECT_TRUE(m.noSound(1000 + TLevelMeter::kNoSoundMs));
    // Digital silence is sound that arrives: an empty bar, not "no sound".
    m.feed(2100, {-kInf, std::nan("")}, {-kInf, -kInf});
    EXPECT_FALSE(m.noSound(2100 + TLevelMeter::kNoSoundMs - 1));
    EXPECT_EQ(TLevelMeter::fraction(m.channels()[0].peakDb), 0.0);
    EXPECT_EQ(TLevelMeter::fraction(m.channels()[1].peakDb), 0.0);
    EXPECT_DOUBLE_EQ(TLevelMeter::fraction(-30.0), 0.5);
    EXPECT_DOUBLE_EQ(TLevelMeter::fraction(3.0), 1.0);
    // The source goes away: nothing is expected any more.
    m.setActive(false, 2200);
    EXPECT_FALSE(m.noSound(9000));
    EXPECT_FALSE(m.clipLit(2200));
}

TEST(LevelMeter, MuteIsAMarkAndTheLevelsGoOn) {
    TLevelMeter m;
    m.setActive(true, 0);
    m.setMuted(true);
    m.feed(100, {-12.0}, {-15.0});
    EXPECT_TRUE(m.muted());
    EXPECT_DOUBLE_EQ(m.channels()[0].peakDb, -12.0);
    // Many channels: the first eight are shown.
    m.feed(200, std::vector<double>(12, -20.0), std::vector<double>(3, -20.0));
    EXPECT_EQ(m.channels().size(), size_t(TLevelMeter::kMaxChannels));
    EXPECT_DOUBLE_EQ(m.channels()[7].rmsDb, -20.0); // no RMS given: the peak stands for it
}

TEST(LevelMeterWidget, TellsInFrenchWhatItShowsAndGrowsWithItsFont) {
    int64_t clock = 0;
    TLevelMeterWidget w;
    w.setClock([&] { return clock; });
    EXPECT_TRUE(w.toolTip().contains(QStringLiteral("aucune source audio")));
    w.setActive(true);
    EXPECT_TRUE(w.toolTip().contains(QStringLiteral("aucun son ne parvient")));
    w.setLevels({-0.01, -8.0}, {-3.0, -11.0});
    clock = 1999;
    w.refresh();
    EXPECT_TRUE(w.meter().clipLit(clock));
    clock = 2000;
    EXPECT_FALSE(w.meter().clipLit(clock));
    EXPECT_TRUE(w.meter().noSound(clock));
    // Painted in every state without a fault.
    w.resize(w.sizeHint());
    w.setMuted(true);
    EXPECT_FALSE(w.grab().isNull());

    const QSize small = w.sizeHint();
    QFont larger = w.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    w.setFont(larger);
    EXPECT_GT(w.sizeHint().width(), small.width());
    EXPECT_GE(w.sizeHint().height(), QFontMetrics(larger).height());
}
