#include "CpuLoad.h"
#include "DriveSpace.h"
#include "ScriptedPrompts.h"
#include "TextGauge.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

const QByteArray kOneCpu = "cpu  100 0 50 800 50 0 0 0 0 0\n"
                           "cpu0 100 0 50 800 50 0 0 0 0 0\n"
                           "intr 12345 0 0\nctxt 999\nbtime 1700000000\n";

} // namespace

// ------------------------------------------------------------------ /proc/stat

TEST(CpuLoad, ParsesOneLinePerProcessorAndLeavesTheTotalOut) {
    const auto one = CpuLoad::Parse(kOneCpu);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].idle, 850u); // idle + iowait
    EXPECT_EQ(one[0].total, 1000u);

    const QByteArray four = "cpu  400 0 0 400 0 0 0 0 0 0\n"
                            "cpu0 10 0 0 90 0 0 0 0 0 0\n"
                            "cpu1 20 0 0 80 0 0 0 0 0 0\n"
                            "cpu2 30 1 2 60 7 0 0 0 0 0\n"
                            "cpu3 40 0 0 60\n" // an old kernel: four fields
                            "page 5 6\n";
    const auto cpus = CpuLoad::Parse(four);
    ASSERT_EQ(cpus.size(), 4u);
    EXPECT_EQ(cpus[2].idle, 67u);
    EXPECT_EQ(cpus[2].total, 100u);
    EXPECT_EQ(cpus[3].total, 100u);

    // Only the machine's total: no processor.
    EXPECT_TRUE(CpuLoad::Parse("cpu  400 0 0 400 0 0 0 0 0 0\nintr 1\n").empty());
    // Garbage, truncated lines, names that only look like a processor's.
    EXPECT_TRUE(CpuLoad::Parse("").empty());
    EXPECT_TRUE(CpuLoad::Parse(QByteArray("\0\xff\n\n  \n", 6)).empty());
    EXPECT_TRUE(CpuLoad::Parse("cpu0 1 2\ncpux 1 2 3 4\ncpu1 a b c d\ncpufreq 1 2 3 4\n").empty());
}

TEST(CpuLoad, TheBusiestProcessorGivesTheLoad) {
    const auto before = CpuLoad::Parse("cpu0 100 0 0 900\ncpu1 100 0 0 900\n");
    // cpu0: 30 busy of 100 ticks, cpu1: 755 of 1000 (75.5% rounds up).
    const auto now = CpuLoad::Parse("cpu0 130 0 0 970\ncpu1 855 0 0 1145\n");
    EXPECT_EQ(CpuLoad::Busiest(before, now), 76);

    // A single processor counts on its own.
    const auto oneBefore = CpuLoad::Parse(kOneCpu);
    const auto oneNow = CpuLoad::Parse("cpu0 150 0 50 850 50\n");
    EXPECT_EQ(CpuLoad::Busiest(oneBefore, oneNow), 50);

    // Time stood still, no earlier reading, only the total, a processor gone off line.
    EXPECT_EQ(CpuLoad::Busiest(now, now), 0);
    EXPECT_EQ(CpuLoad::Busiest({}, now), 0);
    EXPECT_EQ(CpuLoad::Busiest(CpuLoad::Parse("cpu 1 0 0 1\n"), CpuLoad::Parse("cpu 9 0 0 9\n")),
              0);
    EXPECT_EQ(CpuLoad::Busiest(before, CpuLoad::Parse("cpu0 200 0 0 900\n")), 100);
    // Counters that went backwards (a reset) count 0 rather than a wild figure.
    EXPECT_EQ(CpuLoad::Busiest(now, before), 0);
}

TEST(CpuLoad, ReadsThisMachine) {
    QFile f("/proc/stat");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto cpus = CpuLoad::Parse(f.readAll());
    EXPECT_GE(cpus.size(), 1u);
}

// ------------------------------------------------------------------ free space

TEST(DriveSpace, AFolderItsFutureSubfolderAndWhatCannotBeAsked) {
    QTemporaryDir dir;
    const DriveSpace here = DriveSpace::Of(dir.path());
    EXPECT_GT(here.totalMb, 0);
    EXPECT_GE(here.usedMb, 0);
    EXPECT_LE(here.usedMb, here.totalMb);
    // A folder the recording will make is on its parent's drive.
    const DriveSpace later = DriveSpace::Of(dir.path() + "/not/yet/made");
    EXPECT_EQ(later.totalMb, here.totalMb);

    const auto zero = [](const DriveSpace& d) { return d.totalMb == 0 && d.usedMb == 0; };
    EXPECT_TRUE(zero(DriveSpace::Of(QString())));
    QFile file(dir.path() + "/plain");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(zero(DriveSpace::Of(dir.path() + "/plain/videos")));
}

// ------------------------------------------------------------------ the gauge

TEST(TextGauge, ProgressIsClampedAndTheRangeKeepsItInside) {
    TTextGauge g;
    g.setProgress(150);
    EXPECT_EQ(g.progress(), 100);
    g.setProgress(-5);
    EXPECT_EQ(g.progress(), 0);
    g.setProgress(60);
    EXPECT_EQ(g.percentDone(), 60);
    EXPECT_EQ(g.text(), "60%");

    EXPECT_TRUE(g.setMaxValue(40)); // below the progress: the progress comes down
    EXPECT_EQ(g.progress(), 40);
    EXPECT_EQ(g.percentDone(), 100);
    EXPECT_TRUE(g.setMinValue(20));
    EXPECT_TRUE(g.setMaxValue(120));
    g.setProgress(10);
    EXPECT_EQ(g.progress(), 20);
    EXPECT_TRUE(g.setMinValue(50)); // above the progress: the progress goes up
    EXPECT_EQ(g.progress(), 50);
    EXPECT_EQ(g.percentDone(), 0);

    // An empty range (a drive not answered) shows nothing filled.
    EXPECT_TRUE(g.setMinValue(0));
    EXPECT_TRUE(g.setMaxValue(0));
    EXPECT_EQ(g.progress(), 0);
    EXPECT_EQ(g.percentDone(), 0);
}

TEST(TextGauge, ARangeTurnedUpsideDownIsRefusedWithAMessage) {
    ScriptedPrompts said;
    PromptsGuard guard(&said);
    TTextGauge g;
    g.setMinValue(10);
    g.setProgress(30);

    EXPECT_FALSE(g.setMaxValue(5));
    EXPECT_EQ(g.maxValue(), 100);
    EXPECT_EQ(g.progress(), 30);
    EXPECT_FALSE(g.setMinValue(101));
    EXPECT_EQ(g.minValue(), 10);
    ASSERT_EQ(said.asked.size(), 2);
    EXPECT_EQ(said.asked[0], QString("La valeur doit être comprise entre 10 et %1")
                                 .arg(std::numeric_limits<int>::max()));
    EXPECT_EQ(said.asked[1], QString("La valeur doit être comprise entre %1 et 100")
                                 .arg(std::numeric_limits<int>::min()));
    EXPECT_EQ(TTextGauge::RangeMessage(0, 100), "La valeur doit être comprise entre 0 et 100");

    // While the panel is set up the values come in any order.
    g.setLoading(true);
    EXPECT_TRUE(g.setMaxValue(5));
    EXPECT_TRUE(g.setMinValue(0));
    g.setLoading(false);
    EXPECT_EQ(said.asked.size(), 2);
    EXPECT_EQ(g.maxValue(), 5);
    EXPECT_EQ(g.progress(), 5);
}

TEST(TextGauge, TextsAndAlerts) {
    TTextGauge cpu;
    cpu.setAlertValue(81);
    cpu.setProgress(81);
    EXPECT_FALSE(cpu.alerted());
    cpu.setProgress(82);
    EXPECT_TRUE(cpu.alerted());
    EXPECT_EQ(cpu.text(), "82%");
    cpu.setKind(TTextGauge::Kind::Value);
    cpu.setMaxValue(1000);
    cpu.setProgress(250);
    EXPECT_EQ(cpu.text(), "250");
    EXPECT_EQ(cpu.percentDone(), 25);

    // Free space: the text and the alert follow what is left, not the used space.
    TTextGauge disk;
    disk.setKind(TTextGauge::Kind::Text);
    disk.setTextFormat("%d Mo");
    disk.setAlertValue(500);
    disk.setMaxValue(10000);
    disk.setProgress(2000);
    EXPECT_EQ(disk.text(), "8000 Mo");
    EXPECT_FALSE(disk.alerted());
    disk.setProgress(9600);
    EXPECT_EQ(disk.text(), "400 Mo");
    EXPECT_TRUE(disk.alerted());
    EXPECT_EQ(disk.percentDone(), 96);
}
