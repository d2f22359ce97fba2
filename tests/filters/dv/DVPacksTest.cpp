#include "DVPacks.h"
#include "DVPackWriter.h"
#include "FrameRings.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace dv;

namespace {

double Date(int y, int mo, int d, int h, int mi, int s) {
    return *EncodeDateTime(y, mo, d, h, mi, s);
}

} // namespace

TEST(DVPacks, HandBuiltFrameDecodesEveryPack) {
    FramePacks p;
    p.recDate = Date(2007, 12, 31, 23, 59, 58);
    p.timecode = Timecode{1, 23, 45, 24};
    p.displayFormat = 0;
    const auto frame = MakeHandBuiltFrame(true, p);
    TDVFrameInfo info;
    AnalyzeFrame(frame, info);
    EXPECT_TRUE(info.DateValid);
    EXPECT_DOUBLE_EQ(info.RecDate, *p.recDate);
    EXPECT_TRUE(info.TimecodeValid);
    EXPECT_EQ(info.Timecode[0], 1);
    EXPECT_EQ(info.Timecode[1], 23);
    EXPECT_EQ(info.Timecode[2], 45);
    EXPECT_EQ(info.Timecode[3], 24);
    EXPECT_EQ(info.Standard, 0);
    EXPECT_EQ(info.AudioRate, 48000);
    EXPECT_EQ(info.AudioBits, 16);
    EXPECT_TRUE(info.Complete);
    EXPECT_FALSE(info.Widescreen);

    const auto ntsc = MakeHandBuiltFrame(false, p);
    ASSERT_EQ(ntsc.size(), 120000u);
    AnalyzeFrame(ntsc, info);
    EXPECT_EQ(info.Standard, 1);
}

TEST(DVPacks, MissingPacksAndOtherCodes) {
    auto frame = MakeHandBuiltFrame(true, {});
    frame[kPosStandard] = 0x12;
    TDVFrameInfo info;
    info.RecDate = 5;
    AnalyzeFrame(frame, info);
    EXPECT_FALSE(info.DateValid);
    EXPECT_EQ(info.RecDate, 0);
    EXPECT_FALSE(info.TimecodeValid);
    EXPECT_FALSE(info.Complete);
    EXPECT_EQ(info.Standard, 2);

    // Audio codes: rate code 1 = 44.1 kHz, bits code 1 = 12; unknown codes give 0.
    WriteAudioSource(std::span(frame).first(kSequenceSize), 1, 1);
    EXPECT_EQ(DecodeAudioRate(Sequence(frame, 0)), 44100);
    EXPECT_EQ(DecodeAudioBits(Sequence(frame, 0)), 12);
    WriteAudioSource(std::span(frame).first(kSequenceSize), 2, 5);
    EXPECT_EQ(DecodeAudioRate(Sequence(frame, 0)), 32000);
    EXPECT_EQ(DecodeAudioBits(Sequence(frame, 0)), 0);
    frame[kPosAudioSourceId] = 0;
    EXPECT_EQ(DecodeAudioRate(Sequence(frame, 0)), -1);
    EXPECT_EQ(DecodeAudioBits(Sequence(frame, 0)), -1);

    // One timecode pack of the pair is not enough.
    WriteTimecode(std::span(frame).first(kSequenceSize), Timecode{0, 1, 2, 3});
    frame[kPosTimecodeId2] = 0;
    EXPECT_EQ(DecodeTimecode(Sequence(frame, 0)).hours, 255);
}

TEST(DVPacks, DateFromALaterSequenceAndInvalidDateKeepsValue) {
    auto frame = MakeHandBuiltFrame(true, {});
    const double d = Date(2001, 2, 3, 4, 5, 6);
    WriteRecDate(std::span(frame).subspan(7 * kSequenceSize, kSequenceSize), d);
    TDVFrameInfo info;
    AnalyzeFrame(frame, info);
    EXPECT_TRUE(info.DateValid);
    EXPECT_DOUBLE_EQ(info.RecDate, d);

    // February 30th: found but not a date; the previous date stays.
    frame[7 * kSequenceSize + kPosDateData] = ToBcd(30);
    AnalyzeFrame(frame, info);
    EXPECT_FALSE(info.DateValid);
    EXPECT_DOUBLE_EQ(info.RecDate, d);

    // Pack ids 0 are accepted as date packs.
    frame[7 * kSequenceSize + kPosDateData] = ToBcd(3);
    frame[7 * kSequenceSize + kPosDateId] = 0;
    frame[7 * kSequenceSize + kPosTimeId] = 0;
    AnalyzeFrame(frame, info);
    EXPECT_TRUE(info.DateValid);
}

TEST(DVPacks, TwoDigitYears) {
    EXPECT_EQ(FullYear(39), 2039);
    EXPECT_EQ(FullYear(40), 1940);
    EXPECT_EQ(FullYear(0), 2000);
    auto frame = MakeHandBuiltFrame(true, {});
    WriteRecDate(std::span(frame).first(kSequenceSize), Date(2039, 1, 1, 0, 0, 0));
    EXPECT_EQ(DecodeRecDate(Sequence(frame, 0)).year, 2039);
    frame[kPosDateData + 2] = 0x40;
    EXPECT_EQ(DecodeRecDate(Sequence(frame, 0)).year, 1940);
}

TEST(DVPacks, DayBasedDates) {
    EXPECT_DOUBLE_EQ(Date(1899, 12, 30, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(Date(2000, 1, 1, 12, 0, 0), 36526.5);
    EXPECT_FALSE(EncodeDateTime(2023, 2, 29, 0, 0, 0));
    EXPECT_TRUE(EncodeDateTime(2024, 2, 29, 0, 0, 0));
    EXPECT_FALSE(EncodeDateTime(2024, 13, 1, 0, 0, 0));
    EXPECT_FALSE(EncodeDateTime(2024, 1, 1, 24, 0, 0));
    const RecDateTime r = DecodeDateTime(Date(2024, 2, 29, 23, 59, 59));
    EXPECT_EQ(r.year, 2024);
    EXPECT_EQ(r.month, 2);
    EXPECT_EQ(r.day, 29);
    EXPECT_EQ(r.hours, 23);
    EXPECT_EQ(r.minutes, 59);
    EXPECT_EQ(r.seconds, 59);
}

TEST(DVPacks, WidescreenRule) {
    struct Case {
        uint8_t display, app;
        bool wide;
    } cases[] = {{7, 0, true}, {7, 3, false}, {2, 0, true}, {2, 5, true}, {0, 0, false}};
    for (const auto& c : cases) {
        FramePacks p;
        p.displayFormat = c.display;
        p.applicationId = c.app;
        EXPECT_EQ(IsWidescreen(MakeHandBuiltFrame(true, p)), c.wide)
            << int(c.display) << "/" << int(c.app);
    }
    // No source-control pack anywhere: 4:3. Only in sequence 4: that one decides.
    auto frame = MakeHandBuiltFrame(true, {});
    EXPECT_FALSE(IsWidescreen(frame));
    WriteSourceControl(std::span(frame).subspan(4 * kSequenceSize, kSequenceSize), 2);
    EXPECT_TRUE(IsWidescreen(frame));
    // Sequences 10 and 11 are never looked at.
    frame = MakeHandBuiltFrame(true, {});
    WriteSourceControl(std::span(frame).subspan(10 * kSequenceSize, kSequenceSize), 2);
    EXPECT_FALSE(IsWidescreen(frame));
}

TEST(DVPacks, ShortBuffersReadOnlyWhatIsPresent) {
    FramePacks p;
    p.recDate = Date(2010, 6, 1, 8, 0, 0);
    p.timecode = Timecode{0, 0, 1, 2};
    p.displayFormat = 2;
    const auto full = MakeHandBuiltFrame(true, p);
    TDVFrameInfo info;
    // The date pack ends at byte 467, the audio source pack at 4327.
    AnalyzeFrame(std::span(full).first(467), info);
    EXPECT_FALSE(info.DateValid);
    EXPECT_TRUE(info.TimecodeValid);
    EXPECT_TRUE(info.Widescreen);
    AnalyzeFrame(std::span(full).first(468), info);
    EXPECT_TRUE(info.DateValid);
    EXPECT_EQ(info.AudioRate, -1);
    AnalyzeFrame(std::span(full).first(4328), info);
    EXPECT_EQ(info.AudioRate, 48000);
    AnalyzeFrame({}, info);
    EXPECT_FALSE(info.DateValid);
    EXPECT_EQ(info.Standard, 2);

    uint8_t headers[kRingHeaderBytes];
    CopyHeaders(std::span(full).first(12000 + 100), headers);
    EXPECT_EQ(headers[480 + kPosStandard], 0xBF);
    EXPECT_EQ(headers[480 + 100], 0);
    EXPECT_EQ(headers[2 * 480 + kPosStandard], 0);
}

TEST(DVPacks, TimecodeRunsOver) {
    const Timecode t = TimecodeAt(Timecode{0, 59, 59, 24}, 1, 25);
    EXPECT_EQ(t.hours, 1);
    EXPECT_EQ(t.minutes, 0);
    EXPECT_EQ(t.seconds, 0);
    EXPECT_EQ(t.frames, 0);
}

TEST(FrameRings, LookupByStartTime) {
    TFrameRings rings;
    TDVFrameInfo info;
    EXPECT_FALSE(rings.Newest(info));
    const auto frame = MakeHandBuiltFrame(true, {});
    for (uint32_t n = 1; n <= 150; ++n) {
        info.FrameNumber = n;
        rings.Store(info, frame, static_cast<int64_t>(n) * 40'000'000);
    }
    EXPECT_EQ(rings.RingPos(), 50);
    TDVFrameInfo got;
    EXPECT_EQ(rings.LookupFrameInfo(140 * 40'000'000LL + 5, got), 40);
    EXPECT_EQ(got.FrameNumber, 140u);
    EXPECT_EQ(rings.LookupFrameInfo(INT64_MAX, got), 50);
    EXPECT_EQ(got.FrameNumber, 150u);
    // Earlier than every slot: the oldest slot.
    EXPECT_EQ(rings.LookupFrameInfo(0, got), 51);
    EXPECT_EQ(got.FrameNumber, 51u);

    rings.SetLookupPos(40);
    EXPECT_EQ(rings.LookupPos(), 40);
    rings.SetLookupPos(100);
    EXPECT_EQ(rings.LookupPos(), 40);
    uint8_t header[kRingHeaderBytes];
    EXPECT_TRUE(rings.CopyHeader(40, header));
    EXPECT_EQ(header[kPosStandard], 0xBF);
    EXPECT_FALSE(rings.CopyHeader(-1, header));

    rings.Reset();
    EXPECT_FALSE(rings.CopyHeader(40, header));
    EXPECT_EQ(rings.LookupPos(), 0);
}
