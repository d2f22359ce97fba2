#include "RecordingTimeLeft.h"

#include <gtest/gtest.h>

namespace {
constexpr qint64 kMB = 1000 * 1000;
constexpr qint64 kMiB = 1024 * 1024;

// Free space that leaves `seconds` at `rate` above the reserve of a file of `size`.
qint64 freeFor(qint64 seconds, qint64 rate, qint64 size) {
    return RecordingTimeLeft::reserveFor(size, rate) + seconds * rate * 33 / 32;
}
} // namespace

TEST(RecordingTimeLeft, RateIsWhatWasWrittenOverTheLastSeconds) {
    RecordingTimeLeft left;
    left.restart();
    EXPECT_EQ(left.rate(), 0);
    EXPECT_EQ(left.secondsLeft(), -1);
    EXPECT_EQ(left.text(), QStringLiteral("—"));
    // 1 MB/s for ten seconds, then 2 MB/s: after five seconds more only the new rate counts.
    qint64 size = 0;
    for (int s = 0; s <= 10; ++s, size += kMB)
        left.addSample(s * 1000, size, 100 * kMB);
    EXPECT_EQ(left.rate(), kMB);
    size -= kMB;
    for (int s = 11; s <= 15; ++s)
        left.addSample(s * 1000, size += 2 * kMB, 100 * kMB);
    EXPECT_EQ(left.rate(), 2 * kMB);
    // A file that shrank (its header rewritten) or a clock gone back starts the window again.
    left.addSample(16000, 1000, 100 * kMB);
    left.addSample(17000, 1000 + kMB, 100 * kMB);
    EXPECT_EQ(left.rate(), kMB);
}

TEST(RecordingTimeLeft, TimeLeftReachesTheReserveAsTheRecordingSideReckonsIt) {
    RecordingTimeLeft left;
    left.restart();
    const qint64 rate = 500 * 1000;
    const qint64 free = freeFor(7980, rate, 4 * kMB);
    left.addSample(0, 4 * kMB - 5 * rate, free + 5 * rate);
    left.addSample(5000, 4 * kMB, free);
    EXPECT_EQ(left.rate(), rate);
    EXPECT_EQ(left.secondsLeft(), 7980);
    EXPECT_EQ(left.text(), QStringLiteral("≈ 2 h 13 min restantes"));
    // Below the reserve nothing is left; a disk whose space is not known gives no time.
    left.addSample(6000, 4 * kMB + rate, RecordingTimeLeft::reserveFor(4 * kMB, rate) - 1);
    EXPECT_EQ(left.secondsLeft(), 0);
    left.addSample(7000, 4 * kMB + 2 * rate, -1);
    EXPECT_EQ(left.secondsLeft(), -1);
    // The reserve itself: half a MiB, the index share and what grows between two checks.
    EXPECT_EQ(RecordingTimeLeft::reserveFor(32 * kMiB, rate), kMiB / 2 + kMiB + rate);
}

TEST(RecordingTimeLeft, KnownRateCountsFromTheFirstSecondAndACutStartsAgain) {
    const qint64 dv = 3600000;
    RecordingTimeLeft left;
    left.restart(dv);
    // No sample yet: nothing to reckon from. One sample: the format's rate.
    EXPECT_EQ(left.secondsLeft(), -1);
    left.addSample(0, 0, freeFor(45, dv, 0));
    EXPECT_EQ(left.rate(), dv);
    EXPECT_EQ(left.text(), QStringLiteral("≈ 45 s restantes"));
    // A second in, the file is still in the muxer's buffers: the known rate holds.
    left.addSample(1000, 100000, freeFor(45, dv, 100000));
    EXPECT_EQ(left.rate(), dv);
    // Two seconds and more of samples: what was really written.
    left.addSample(3000, 3 * dv + 300000, 100 * kMB);
    EXPECT_EQ(left.rate(), dv + 100000);

    // After a cut the new part has only the known rate, then its own.
    left.restart(dv);
    left.addSample(0, 0, freeFor(1200, dv, 0));
    EXPECT_EQ(left.secondsLeft(), 1200);
    EXPECT_EQ(left.text(), QStringLiteral("≈ 20 min restantes"));
    // Without a known rate, one sample says nothing.
    left.restart();
    left.addSample(0, 0, 100 * kMB);
    EXPECT_EQ(left.secondsLeft(), -1);
}

TEST(RecordingTimeLeft, Texts) {
    EXPECT_EQ(RecordingTimeLeft::textFor(-1), QStringLiteral("—"));
    EXPECT_EQ(RecordingTimeLeft::textFor(0), QStringLiteral("≈ 0 s restantes"));
    EXPECT_EQ(RecordingTimeLeft::textFor(59), QStringLiteral("≈ 59 s restantes"));
    EXPECT_EQ(RecordingTimeLeft::textFor(60), QStringLiteral("≈ 1 min restantes"));
    EXPECT_EQ(RecordingTimeLeft::textFor(3599), QStringLiteral("≈ 59 min restantes"));
    EXPECT_EQ(RecordingTimeLeft::textFor(3600), QStringLiteral("≈ 1 h 0 min restantes"));
    EXPECT_EQ(RecordingTimeLeft::sizeText(750 * 1024), QStringLiteral("750 Ko"));
    EXPECT_EQ(RecordingTimeLeft::sizeText(12 * kMiB + kMiB / 3), QStringLiteral("12,3 Mo"));
    EXPECT_EQ(RecordingTimeLeft::sizeText(2470LL * kMiB), QStringLiteral("2,41 Go"));
    EXPECT_EQ(RecordingTimeLeft::elapsedText(3725), QStringLiteral("1:02:05"));
}
