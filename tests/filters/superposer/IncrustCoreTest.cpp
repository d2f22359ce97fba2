#include "DateTimeFormat.h"
#include "FakeFrameInfoSource.h"
#include "GrabRing.h"
#include "IncrustLayout.h"
#include "IncrustText.h"
#include "SuperposerCore.h"
#include "WhenCountdown.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TDVFrameInfo dvInfo(double recDate, bool dateValid = true) {
    TDVFrameInfo info;
    info.DateValid = dateValid;
    info.RecDate = recDate;
    info.TimecodeValid = true;
    info.Timecode[0] = 1;
    info.Timecode[1] = 2;
    info.Timecode[2] = 3;
    info.Timecode[3] = 4;
    return info;
}

std::string s(const std::string& q) {
    return q;
}

struct Frame {
    Frame(int w, int h) : bytes(size_t((w * 3 + 3) & ~3) * h), width(w), height(h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                bytes[size_t(y) * stride() + x] = uint8_t((y * 7 + x) & 0xFF);
    }
    ptrdiff_t stride() const { return (width * 3 + 3) & ~3; }
    BgrImage image() { return {bytes.data(), width, height, stride()}; }
    uint8_t at(int x, int y, int c) const { return bytes[size_t(y) * stride() + x * 3 + c]; }
    std::vector<uint8_t> bytes;
    int width;
    int height;
};

} // namespace

TEST(IncrustText, DatecodeWithoutDvReadsNotAvailableEvenWithEmptyPatterns) {
    VrIncrustRec rec;
    incrust::TextInputs in;
    std::string l1 = "x", l2 = "y";
    ASSERT_TRUE(incrust::produceLines(rec, in, l1, l2));
    EXPECT_EQ(s(l1), "N/A");
    EXPECT_EQ(s(l2), "N/A");

    in.haveScene = true;
    in.info = dvInfo(*vrdate::encodeDateTime(2024, 12, 25, 10, 30, 0, 0), false);
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l1), "N/A");

    in.info.DateValid = true;
    rec.FormatDate1 = "dd/mm/yyyy";
    rec.Decalage = 1.0 / 24; // the camera's clock was one hour late
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l1), "25/12/2024");
    EXPECT_EQ(s(l2), ""); // empty pattern, valid date
    rec.FormatDate2 = "tt";
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l2), "11:30:00");
}

TEST(IncrustText, TimecodeAndTemplatesWithMarkersInAnyCase) {
    VrIncrustRec rec;
    incrust::TextInputs in;
    in.haveScene = true;
    in.info = dvInfo(*vrdate::encodeDateTime(2024, 12, 25, 10, 30, 0, 0));
    in.now = *vrdate::encodeDateTime(2025, 1, 2, 3, 4, 5, 0);
    std::string l1, l2;

    rec.WhatIncrust = VrIncrustRec::Timecode;
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l1), "");
    EXPECT_EQ(s(l2), "1:02:03:04");
    in.info.Timecode[0] = 255; // hours are signed
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l2), "-1:02:03:04");
    in.info.TimecodeValid = false;
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l2), "N/A");

    in.info.TimecodeValid = true;
    in.info.Timecode[0] = 0;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.FormatDate1 = "dd/mm/yy";
    rec.FormatDate2 = "hh:nn";
    rec.Incrust1 = "Le %d, %D | %t | %r %R";
    rec.Incrust2 = "%T%%x %R";
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l1), "Le 25/12/24, 25/12/24 | 0:02:03:04 | 02/01/25 02/01/25");
    EXPECT_EQ(s(l2), "0:02:03:04%%x 03:04");

    rec.WhatIncrust = VrIncrustRec::Reel;
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_EQ(s(l1), "02/01/25");
    rec.WhatIncrust = VrIncrustRec::Nothing;
    incrust::produceLines(rec, in, l1, l2);
    EXPECT_TRUE(l1.empty() && l2.empty());
    l1 = "kept";
    rec.WhatIncrust = 9;
    EXPECT_FALSE(incrust::produceLines(rec, in, l1, l2));
    EXPECT_EQ(s(l1), "kept");
}

TEST(IncrustLayout, FontHeightAndPlacement) {
    EXPECT_EQ(incrust::autoCellHeight(720), 28);
    EXPECT_EQ(incrust::autoCellHeight(352), 16);
    EXPECT_EQ(incrust::autoCellHeight(1920), 74);
    EXPECT_EQ(incrust::autoCellHeight(0), 16);

    VrIncrustRec rec;
    rec.Autofontsize = false;
    rec.FontRec.FontSize = 21;
    EXPECT_EQ(incrust::fontPixelHeight(rec, 720, 576), 28);
    rec.FontRec.FontSize = 0; // cannot be drawn: the default size
    EXPECT_EQ(incrust::fontPixelHeight(rec, 720, 576), 28);
    rec.FontRec.FontSize = 10000;
    EXPECT_EQ(incrust::fontPixelHeight(rec, 720, 576), 1152);

    EXPECT_EQ(incrust::clampAnchor(-5), 0);
    EXPECT_EQ(incrust::clampAnchor(5000), 1000);
    EXPECT_EQ(incrust::anchorPixels(720, 914), 658);
    EXPECT_EQ(*incrust::lineX(0, 720, 658, 101), 658);
    EXPECT_EQ(*incrust::lineX(1, 720, 658, 101), 608);
    EXPECT_EQ(*incrust::lineX(2, 720, 658, 101), 557);
    EXPECT_EQ(*incrust::lineX(3, 720, 658, 101), 309);
    EXPECT_FALSE(incrust::lineX(4, 720, 658, 101));
}

TEST(WhenCountdown, OnceForFiveSecondsShowsOnTheNext123Frames) {
    WhenCountdown c;
    c.SetWhenIncrust(1, 5, 400000);
    EXPECT_EQ(c.whenFrames(), 125);
    c.rearm(); // SetIncrustActive
    int shown = 0;
    int lastShown = 0;
    for (int i = 1; i <= 200; ++i) {
        if (c.onFrame({})) {
            ++shown;
            lastShown = i;
        }
    }
    EXPECT_EQ(shown, 123);
    EXPECT_EQ(lastShown, 123);

    c.SetWhenIncrust(0, 5, 400000);
    EXPECT_TRUE(c.onFrame({}));
}

TEST(WhenCountdown, FrameCountRoundsHalfToEven) {
    WhenCountdown c;
    c.SetWhenIncrust(1, 1, 4000000); // 2.5 frames
    EXPECT_EQ(c.whenFrames(), 2);
    c.SetWhenIncrust(1, 3, 4000000); // 7.5 frames
    EXPECT_EQ(c.whenFrames(), 8);
    c.SetWhenIncrust(1, 3, 0); // no frame duration: the count stays
    EXPECT_EQ(c.whenFrames(), 8);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(1e30), INT32_MAX);
}

TEST(WhenCountdown, SceneAndDayTriggers) {
    const double t0 = *vrdate::encodeDateTime(2024, 6, 1, 23, 59, 50, 0);
    const double sec = 1.0 / 86400;
    WhenCountdown c;
    c.SetWhenIncrust(2, 1, 400000); // 25 frames
    WhenCountdown::Dates d;
    for (int i = 0; i < 30; ++i)
        c.onFrame(d);
    d.prevRecDate = t0;
    d.recDate = t0 + sec;
    EXPECT_FALSE(c.onFrame(d)); // one second later: same scene
    d.prevRecDate = d.recDate;
    d.recDate += 3 * sec;
    EXPECT_TRUE(c.onFrame(d)); // a jump of three seconds
    EXPECT_EQ(c.framesLeft(), 24);
    for (int i = 0; i < 30; ++i)
        c.onFrame({});
    d.prevRecDate = t0 + 10 * sec;
    d.recDate = t0;
    EXPECT_TRUE(c.onFrame(d)); // backwards
    for (int i = 0; i < 30; ++i)
        c.onFrame({});
    d.recDate = 0;
    d.prevRecDate = t0;
    EXPECT_FALSE(c.onFrame(d)); // no date: no trigger

    WhenCountdown day;
    day.SetWhenIncrust(3, 1, 400000);
    WhenCountdown::Dates dd;
    dd.prevDayDate = t0;
    dd.dayDate = t0 + 5 * sec;
    EXPECT_FALSE(day.onFrame(dd));
    dd.prevDayDate = dd.dayDate;
    dd.dayDate = t0 + 15 * sec; // past midnight
    EXPECT_TRUE(day.onFrame(dd));
    for (int i = 0; i < 30; ++i)
        day.onFrame({});
    dd.prevDayDate = 0;
    dd.dayDate = 0; // "Timecode" and "Perso" keep the day date at 0
    EXPECT_FALSE(day.onFrame(dd));
}

TEST(GrabRing, IntervalometerCountsDownBetweenGrabs) {
    GrabRing ring;
    ring.resize(16);
    ring.StartIntervalometer(50000); // 5 s
    std::vector<int> seconds;
    std::vector<int> grabFrames;
    for (int i = 0; i <= 130; ++i) {
        const GrabRing::Decision d = ring.decide(int64_t(i) * 400000);
        if (d.secondsChanged)
            seconds.push_back(d.seconds);
        for (int k = 0; k < d.fillCount; ++k) {
            ring.markFilled(d.toFill[k]);
            ring.release(d.toFill[k]);
            grabFrames.push_back(i);
        }
    }
    EXPECT_EQ(grabFrames, (std::vector<int>{0, 125}));
    EXPECT_EQ(seconds, (std::vector<int>{4, 3, 2, 1, 0, 4}));
    // The intervalometer's grabs say so: the program never holds them up with a question.
    ring.GrabImage();
    const GrabRing::Decision asked = ring.decide(int64_t(131) * 400000);
    ASSERT_EQ(asked.fillCount, 1);
    EXPECT_FALSE(asked.periodic[0]);
    ring.release(asked.toFill[0]);
    const GrabRing::Decision due = ring.decide(int64_t(250) * 400000);
    ASSERT_EQ(due.fillCount, 1);
    EXPECT_TRUE(due.periodic[0]);
    ring.release(due.toFill[0]);

    // After a gap longer than the interval the schedule restarts from the current time.
    const GrabRing::Decision late = ring.decide(int64_t(1000) * 400000);
    EXPECT_EQ(late.fillCount, 1);
    ring.release(late.toFill[0]);
    EXPECT_EQ(ring.decide(int64_t(1001) * 400000).fillCount, 0);
    ring.stopIntervalometer();
    EXPECT_EQ(ring.decide(int64_t(2000) * 400000).fillCount, 0);
}

TEST(GrabRing, RequestOnABusySlotIsDropped) {
    GrabRing ring;
    ring.resize(16);
    ring.markFilled(2); // still held by the main window from an earlier lap
    ring.GrabImage();
    GrabRing::Decision d = ring.decide(0);
    ASSERT_EQ(d.fillCount, 1);
    EXPECT_EQ(d.toFill[0], 1);
    ring.markFilled(1);
    ring.GrabImage();
    EXPECT_EQ(ring.decide(0).fillCount, 0); // slot 2 busy: dropped, not queued
    EXPECT_EQ(ring.decide(0).fillCount, 0);
    ring.GrabImage();
    d = ring.decide(0);
    ASSERT_EQ(d.fillCount, 1);
    EXPECT_EQ(d.toFill[0], 3);
    ring.release(-1); // ignored
    ring.release(99);
}

TEST(SuperposerCore, FlipsAndSourceFlippedCancelAndOffHonoursOnlySourceFlipped) {
    SuperposerCore core;
    core.startStreaming(5, 4);
    const Frame original(5, 4);
    auto run = [&](bool enabled, bool vflip, bool sflip, bool hflip) {
        Frame f = original;
        core.setOverlayEnabled(enabled);
        core.SetVertFlip(vflip);
        core.setSourceFlipped(sflip);
        core.SetHorzFlip(hflip);
        core.processFrame(f.image(), 0, nullptr);
        return f;
    };
    EXPECT_EQ(run(true, true, true, false).bytes, original.bytes);
    EXPECT_EQ(run(false, true, false, true).bytes, original.bytes);
    const Frame reversed = run(false, false, true, false);
    EXPECT_EQ(reversed.at(0, 0, 0), original.at(0, 3, 0));
    EXPECT_EQ(reversed.at(4, 1, 2), original.at(4, 2, 2));
    EXPECT_EQ(run(true, true, false, false).bytes, reversed.bytes);
    const Frame mirrored = run(true, false, false, true);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(mirrored.at(0, 1, c), original.at(4, 1, c));
        EXPECT_EQ(mirrored.at(2, 1, c), original.at(2, 1, c));
    }
}

TEST(SuperposerCore, ReadsTheSceneRingByTimeStampAndShowsForTheCountdown) {
    FakeFrameInfoSource ring;
    const double day = *vrdate::encodeDateTime(2024, 12, 25, 10, 30, 0, 0);
    for (int i = 0; i < 100; ++i)
        ring.store(dvInfo(day + i / 86400.0), int64_t(i) * 40000000);

    SuperposerCore core;
    core.setFrameDuration(400000);
    VrIncrustRec rec;
    rec.FormatDate1 = "dd/mm/yyyy";
    rec.FormatDate2 = "hh:nn:ss";
    core.SetIncrustRec(rec);
    core.SetWhenIncrust(1, 1); // 25 frames
    core.SetIncrustActive(true);
    core.startStreaming(320, 240);

    Frame f(320, 240);
    core.processFrame(f.image(), int64_t(50) * 40000000 + 5, &ring);
    EXPECT_EQ(ring.lastAsked, int64_t(50) * 40000000 + 5);
    EXPECT_EQ(ring.lookupPos, 51); // slot 51 holds the frame stamped 50 × 40 ms
    EXPECT_EQ(s(core.line1()), "25/12/2024");
    EXPECT_EQ(s(core.line2()), "10:30:50");

    // Earlier than every slot: the oldest one.
    core.processFrame(f.image(), -1, &ring);
    EXPECT_EQ(ring.lookupPos, 1);

    // The text shows while the countdown runs and leaves the picture alone afterwards.
    int drawn = 0;
    for (int i = 0; i < 40; ++i) {
        Frame g(320, 240);
        const Frame before = g;
        core.processFrame(g.image(), int64_t(60) * 40000000, &ring);
        if (g.bytes != before.bytes)
            ++drawn;
    }
    EXPECT_EQ(drawn, 21); // 23 frames after the re-arm, two of them used above
}

TEST(SuperposerCore, CachedTextIsNotRedrawnAndSnapshotsHoldThePicture) {
    SuperposerCore core;
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.Incrust1 = "Vidorra";
    rec.Incrust2 = "%D";
    core.SetIncrustRec(rec);
    core.SetIncrustActive(true);
    core.startStreaming(64, 48);
    Frame f(64, 48);
    core.processFrame(f.image(), 0, nullptr);
    const int renders = core.renderCount();
    EXPECT_GE(renders, 1);
    for (int i = 0; i < 5; ++i) {
        Frame g(64, 48);
        core.processFrame(g.image(), 0, nullptr);
    }
    EXPECT_EQ(core.renderCount(), renders);

    core.GrabImage();
    Frame g(64, 48);
    const SuperposerCore::FrameResult r = core.processFrame(g.image(), 0, nullptr);
    ASSERT_EQ(r.snapshotCount, 1);
    const int slot = r.snapshotSlots[0];
    EXPECT_TRUE(core.grabs().busy(slot));
    const auto memory = core.grabs().slot(slot);
    EXPECT_TRUE(std::equal(g.bytes.begin(), g.bytes.end(), memory->begin()));
    core.releaseSlot(slot);
    EXPECT_FALSE(core.grabs().busy(slot));
}

TEST(SuperposerCore, AbsurdRecordsAndFramesStayInsideTheBuffer) {
    SuperposerCore core;
    core.SetIncrustActive(true);
    const int widths[] = {1, 2, 7, 33, 161};
    int frameNo = 0;
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.Incrust1 = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
    rec.Incrust2 = "%D %T %R";
    for (int32_t fontSize : {0, -3, 10000}) {
        for (int32_t border : {-5, 0, 1000}) {
            for (int32_t pos : {-100000, 0, 500, 1000, 99999}) {
                for (uint8_t align : {0, 1, 2, 3, 200}) {
                    rec.FontRec.FontSize = fontSize;
                    rec.FontRec.FontName = fontSize == 0 ? "" : "No Such Font";
                    rec.Autofontsize = fontSize < 0;
                    rec.BorderSize = border;
                    rec.Xpos = pos;
                    rec.Ypos = 1000 - pos;
                    rec.Alignement = align;
                    core.SetIncrustRec(rec);
                    const int w = widths[frameNo++ % 5];
                    // A guard zone after the frame must stay untouched.
                    Frame f(w, 9);
                    f.bytes.resize(f.bytes.size() + 64, 0xAB);
                    core.processFrame(f.image(), -7, nullptr);
                    for (size_t i = f.bytes.size() - 64; i < f.bytes.size(); ++i)
                        ASSERT_EQ(f.bytes[i], 0xAB);
                }
            }
        }
    }
    BgrImage empty;
    EXPECT_EQ(core.processFrame(empty, 0, nullptr).snapshotCount, 0);
}

// The text is drawn again when what it looks like changes (its text, its font, its place),
// and only then; a grab asked for right after a change holds the new picture.
TEST(SuperposerCore, TextIsDrawnAgainOnChangeAndAGrabShowsTheNewText) {
    SuperposerCore core;
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.Incrust1 = "Vidorra";
    rec.Incrust2 = "";
    rec.Alignement = 0;
    rec.Xpos = 100;
    rec.Ypos = 500;
    core.SetIncrustRec(rec);
    core.SetIncrustActive(true);
    core.startStreaming(160, 120);
    auto drawn = [&core] {
        Frame f(160, 120);
        core.processFrame(f.image(), 0, nullptr);
        return f.bytes;
    };
    const std::vector<uint8_t> first = drawn();
    int renders = core.renderCount();
    EXPECT_EQ(drawn(), first);
    EXPECT_EQ(core.renderCount(), renders);

    auto changes = [&](const char* what, auto change) {
        change(rec);
        core.SetIncrustRec(rec);
        const std::vector<uint8_t> picture = drawn();
        EXPECT_GT(core.renderCount(), renders) << what;
        EXPECT_NE(picture, first) << what;
        renders = core.renderCount();
        EXPECT_EQ(drawn(), picture) << what;
        EXPECT_EQ(core.renderCount(), renders) << what;
    };
    changes("text", [](VrIncrustRec& r) { r.Incrust1 = "Vidorra 2"; });
    changes("font", [](VrIncrustRec& r) {
        r.Autofontsize = false;
        r.FontRec.FontSize = 30;
    });
    changes("place", [](VrIncrustRec& r) { r.Xpos = 300; });
    changes("outline", [](VrIncrustRec& r) { r.BorderSize = 3; });

    // A grab asked for with a new text: the snapshot is the frame with the new text.
    rec.Incrust1 = "Nouveau";
    core.SetIncrustRec(rec);
    core.GrabImage();
    Frame f(160, 120);
    const SuperposerCore::FrameResult r = core.processFrame(f.image(), 0, nullptr);
    ASSERT_EQ(r.snapshotCount, 1);
    EXPECT_EQ(core.line1(), "Nouveau");
    const auto memory = core.grabs().slot(r.snapshotSlots[0]);
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->size(), f.bytes.size());
    EXPECT_TRUE(*memory == f.bytes);
    Frame plain(160, 120);
    EXPECT_FALSE(*memory == plain.bytes);
}

// The snapshot slots hold no memory until a grab fills one.
TEST(GrabRing, SlotsAreMadeAtTheirFirstGrab) {
    GrabRing ring;
    ring.resize(64);
    for (int i = 0; i < kGrabSlots; ++i)
        EXPECT_FALSE(ring.slot(i)) << i;
    uint8_t* data = ring.slotData(3);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(ring.slot(3)->size(), 64u);
    EXPECT_EQ(ring.slotData(3), data); // kept for the next grab into that slot
    const GrabRing::Slot held = ring.slot(3);
    ring.resize(128); // a new stream size: the receiver keeps its picture
    EXPECT_EQ(held->size(), 64u);
    EXPECT_FALSE(ring.slot(3));
    ring.resize(0);
    EXPECT_EQ(ring.slotData(0), nullptr);
}
