#include "RunPipeline.h"
#include "WaveHeader.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t Le32(const std::vector<uint8_t>& v, size_t at) {
    return v[at] | v[at + 1] << 8 | v[at + 2] << 16 | static_cast<uint32_t>(v[at + 3]) << 24;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

std::string Capture(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

// Runs a pipeline to its end; false on an error message.
bool RunPipeline(const std::string& desc) {
    return RunPipelineToEnd(desc, 20);
}

} // namespace

TEST(WaveHeader, PcmLayout) {
    const auto fmt = wav::MakeFormatBlock(wav::kFormatPcm, 2, 48000, 16, 4);
    ASSERT_EQ(fmt.size(), 18u);
    wav::TWaveWriter w;
    w.Start(fmt);
    EXPECT_EQ(w.HeaderSize(), 46u);
    EXPECT_EQ(*w.Place(1000), 46u);
    EXPECT_EQ(*w.Place(24), 1046u);
    w.Unplace(24);
    const auto h = w.Header();
    ASSERT_EQ(h.size(), 46u);
    EXPECT_EQ(std::memcmp(h.data(), "RIFF", 4), 0);
    EXPECT_EQ(Le32(h, 4), 1000u + 38u);
    EXPECT_EQ(std::memcmp(h.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(Le32(h, 16), 18u);
    EXPECT_TRUE(std::equal(fmt.begin(), fmt.end(), h.begin() + 20));
    EXPECT_EQ(Le32(h, 24), 48000u);  // rate
    EXPECT_EQ(Le32(h, 28), 192000u); // bytes per second
    EXPECT_EQ(std::memcmp(h.data() + 38, "data", 4), 0);
    EXPECT_EQ(Le32(h, 42), 1000u);
}

TEST(WaveHeader, OddDataIsPaddedInTheRiffSizeOnly) {
    wav::TWaveWriter w;
    w.Start(wav::MakeFormatBlock(wav::kFormatPcm, 1, 8000, 8, 1));
    ASSERT_TRUE(w.Place(303));
    EXPECT_EQ(w.PadBytes(), 1u);
    auto h = w.Header();
    ASSERT_EQ(h.size(), 46u);
    EXPECT_EQ(Le32(h, 4), 303u + 1u + 38u);
    EXPECT_EQ(Le32(h, 42), 303u);
    // The largest odd amount still fits the RIFF size.
    w.Start(wav::MakeFormatBlock(wav::kFormatPcm, 1, 8000, 8, 1));
    ASSERT_TRUE(w.Place(UINT32_MAX - 46));
    EXPECT_EQ(w.PadBytes(), 1u);
    h = w.Header();
    EXPECT_EQ(Le32(h, 4), UINT32_MAX - 7);
    EXPECT_EQ(Le32(h, 42), UINT32_MAX - 46);
}

TEST(WaveHeader, NoSamplesAndTheFourGigabyteLimit) {
    wav::TWaveWriter w;
    w.Start(wav::MakeFormatBlock(wav::kFormatPcm, 1, 8000, 8, 1));
    auto h = w.Header();
    EXPECT_EQ(Le32(h, 4), 46u - 8u);
    EXPECT_EQ(Le32(h, 42), 0u);
    ASSERT_TRUE(w.Place(UINT32_MAX - 46));
    EXPECT_FALSE(w.Place(1)) << "one byte past 4 GiB";
    EXPECT_EQ(w.DataBytes(), UINT32_MAX - 46);
    w.Start(wav::MakeFormatBlock(wav::kFormatPcm, 1, 8000, 8, 1));
    EXPECT_EQ(w.DataBytes(), 0u);
}

TEST(WaveDestElement, FileReadByFfprobeWithItsDuration) {
    const auto path = std::filesystem::temp_directory_path() / "vr_wavedest_test.wav";
    // 2.5 s of 48 kHz stereo: 100 buffers of 1200 frames.
    ASSERT_TRUE(RunPipeline("audiotestsrc num-buffers=100 samplesperbuffer=1200 ! "
                            "audio/x-raw,format=S16LE,rate=48000,channels=2 ! vr_wavedest ! "
                            "filesink location=" +
                            path.string()));
    const auto bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 46u + 100u * 1200u * 4u);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 16), 18u);
    EXPECT_EQ(Le32(bytes, 42), 100u * 1200u * 4u);
    const std::string probe = Capture(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + path.string() + " 2>&1");
    EXPECT_NEAR(std::atof(probe.c_str()), 2.5, 0.001) << probe;

    // No samples at all: a valid empty file.
    ASSERT_TRUE(RunPipeline("audiotestsrc num-buffers=0 ! audio/x-raw,format=F32LE,rate=44100,"
                            "channels=1 ! vr_wavedest ! filesink location=" +
                            path.string()));
    const auto empty = ReadFile(path);
    ASSERT_EQ(empty.size(), 46u);
    EXPECT_EQ(Le32(empty, 4), 38u);
    EXPECT_EQ(empty[20], 3) << "IEEE float";
    EXPECT_EQ(Le32(empty, 42), 0u);
    std::filesystem::remove(path);
}

TEST(WaveDestElement, OddDataEndsWithAPadByte) {
    const auto path = std::filesystem::temp_directory_path() / "vr_wavedest_odd_test.wav";
    // 8-bit mono, 3 buffers of 101 samples: 303 data bytes.
    ASSERT_TRUE(RunPipeline("audiotestsrc num-buffers=3 samplesperbuffer=101 ! audioconvert ! "
                            "audio/x-raw,format=U8,rate=8000,channels=1 ! vr_wavedest ! "
                            "filesink location=" +
                            path.string()));
    const auto bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 46u + 303u + 1u);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(Le32(bytes, 42), 303u);
    EXPECT_EQ(bytes.back(), 0);
    const std::string probe = Capture(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " + path.string() + " 2>&1");
    EXPECT_NEAR(std::atof(probe.c_str()), 303.0 / 8000.0, 0.001) << probe;
    std::filesystem::remove(path);

    // A sink that cannot seek keeps sizes of 0 in its header: no pad byte after the audio.
    GstHarness* h = gst_harness_new("vr_wavedest");
    gst_harness_set_src_caps_str(h, "audio/x-raw,format=U8,rate=8000,channels=1,"
                                    "layout=interleaved");
    ASSERT_EQ(gst_harness_push(h, gst_buffer_new_allocate(nullptr, 101, nullptr)), GST_FLOW_OK);
    gst_harness_push_event(h, gst_event_new_eos());
    EXPECT_EQ(gst_harness_buffers_in_queue(h), 2u) << "header and audio only";
    gst_harness_teardown(h);
}

TEST(WaveDestElement, BuffersWithoutTimestampsArePlacedByByteOffset) {
    GstHarness* h = gst_harness_new("vr_wavedest");
    gst_harness_set_src_caps_str(h, "audio/x-raw,format=S16LE,rate=8000,channels=1,"
                                    "layout=interleaved");
    for (int i = 0; i < 3; ++i) {
        GstBuffer* b = gst_buffer_new_allocate(nullptr, 100, nullptr);
        gst_buffer_memset(b, 0, static_cast<guint8>(i + 1), 100);
        ASSERT_EQ(gst_harness_push(h, b), GST_FLOW_OK);
    }
    GstBuffer* header = gst_harness_pull(h);
    EXPECT_EQ(GST_BUFFER_OFFSET(header), 0u);
    EXPECT_EQ(gst_buffer_get_size(header), 46u);
    gst_buffer_unref(header);
    for (guint64 i = 0; i < 3; ++i) {
        GstBuffer* b = gst_harness_pull(h);
        EXPECT_EQ(GST_BUFFER_OFFSET(b), 46 + 100 * i);
        EXPECT_EQ(GST_BUFFER_OFFSET_END(b), 146 + 100 * i);
        EXPECT_FALSE(GST_BUFFER_PTS_IS_VALID(b));
        gst_buffer_unref(b);
    }
    // The harness's sink cannot seek: the final header is not appended to the audio.
    gst_harness_push_event(h, gst_event_new_eos());
    EXPECT_EQ(gst_harness_buffers_in_queue(h), 0u);
    // The output is a byte stream.
    bool sawBytes = false;
    while (GstEvent* e = gst_harness_try_pull_event(h)) {
        if (GST_EVENT_TYPE(e) == GST_EVENT_SEGMENT) {
            const GstSegment* s;
            gst_event_parse_segment(e, &s);
            sawBytes = s->format == GST_FORMAT_BYTES;
        }
        gst_event_unref(e);
    }
    EXPECT_TRUE(sawBytes);
    gst_harness_teardown(h);
}

namespace {

uint16_t Le16(const std::vector<uint8_t>& v, size_t at) {
    return static_cast<uint16_t>(v[at] | v[at + 1] << 8);
}

// A Layer III frame header: MPEG-1 (version 3) or MPEG-2 (2), padding bit, mono or not.
std::vector<uint8_t> Mp3Frame(int version, int bitrateIndex, int rateIndex, bool padded, bool mono,
                              size_t size) {
    std::vector<uint8_t> f(size, 0x55);
    f[0] = 0xFF;
    f[1] = static_cast<uint8_t>(0xE0 | version << 3 | 1 << 1 | 1);
    f[2] = static_cast<uint8_t>(bitrateIndex << 4 | rateIndex << 2 | (padded ? 2 : 0));
    f[3] = mono ? 0xC0 : 0x00;
    return f;
}

} // namespace

TEST(WaveHeader, Mp3FormatBlockAndLayout) {
    // 128 kbit/s at 48 kHz: 384-byte frames, never padded.
    const auto frame = wav::ParseMp3Header(
        std::span<const uint8_t, 4>(Mp3Frame(3, 9, 1, false, false, 4).data(), 4));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->bitrate, 128000u);
    EXPECT_EQ(frame->rate, 48000u);
    EXPECT_EQ(frame->size, 384u);
    EXPECT_EQ(frame->samples, 1152u);
    const auto fmt = wav::MakeMp3FormatBlock(2, 48000, *frame, 16000);
    const std::vector<uint8_t> expected = {0x55, 0x00, 2, 0, 0x80, 0xBB, 0,  0, 0x80, 0x3E,
                                           0,    0,    1, 0, 0,    0,    12, 0, 1,    0,
                                           2,    0,    0, 0, 0x80, 1,    1,  0, 0x71, 0x05};
    EXPECT_EQ(fmt, expected);
    wav::TWaveWriter w;
    w.Start(fmt);
    EXPECT_EQ(w.HeaderSize(), 58u);
    EXPECT_EQ(*w.Place(384), 58u);
    const auto h = w.Header();
    EXPECT_EQ(Le32(h, 16), 30u);
    EXPECT_EQ(std::memcmp(h.data() + 50, "data", 4), 0);
    EXPECT_EQ(Le32(h, 54), 384u);
    // The measured average replaces the block in place; a block of another size cannot.
    EXPECT_TRUE(w.ReplaceFormat(wav::MakeMp3FormatBlock(2, 48000, *frame, 15000)));
    EXPECT_EQ(Le32(w.Header(), 28), 15000u);
    EXPECT_FALSE(w.ReplaceFormat(wav::MakeFormatBlock(wav::kFormatPcm, 2, 48000, 16, 4)));

    // 44.1 kHz frames are padded now and then: the standard's padding rule, 417-byte blocks.
    const auto f44 = Mp3Frame(3, 9, 0, false, true, 4);
    const auto mono44 = wav::ParseMp3Header(std::span<const uint8_t, 4>(f44.data(), 4));
    ASSERT_TRUE(mono44);
    EXPECT_EQ(mono44->channels, 1);
    const auto fmt44 = wav::MakeMp3FormatBlock(1, 44100, *mono44, 16000);
    EXPECT_EQ(Le32(fmt44, 20), 0u);
    EXPECT_EQ(Le16(fmt44, 24), 417u);
}

TEST(WaveHeader, Mp3FramesAreFollowedAcrossBlocksAndJunk) {
    // Not Layer III, free format, reserved rate: no frame.
    for (const auto& bad : {std::vector<uint8_t>{0xFF, 0xFD, 0x90, 0}, Mp3Frame(3, 0, 1, 0, 0, 4),
                            Mp3Frame(3, 9, 3, 0, 0, 4), Mp3Frame(1, 9, 1, 0, 0, 4)})
        EXPECT_FALSE(wav::ParseMp3Header(std::span<const uint8_t, 4>(bad.data(), 4)));

    // Junk, two 128 kbit/s frames (one padded at 44.1 kHz) and a 64 kbit/s MPEG-2 frame at
    // 22.05 kHz, fed in blocks of 7 bytes so that headers straddle blocks.
    std::vector<uint8_t> stream = {0x12, 0xFF, 0x00};
    for (const auto& f : {Mp3Frame(3, 9, 0, false, false, 417), Mp3Frame(3, 9, 0, true, false, 418),
                          Mp3Frame(2, 8, 0, false, false, 208)})
        stream.insert(stream.end(), f.begin(), f.end());
    wav::TMp3FrameCounter c;
    EXPECT_EQ(c.BytesPerSecond(0), 0u);
    for (size_t i = 0; i < stream.size(); i += 7)
        c.Feed(std::span<const uint8_t>(stream).subspan(i, std::min<size_t>(7, stream.size() - i)));
    EXPECT_EQ(c.Frames(), 3u);
    EXPECT_EQ(c.Samples(), 1152u * 2 + 576u);
    EXPECT_FALSE(c.ConstantBitrate());
    EXPECT_EQ(c.BytesPerSecond(88200), (88200u * 44100 + 1440) / 2880) << "rounded";

    wav::TMp3FrameCounter cbr;
    const auto f = Mp3Frame(3, 9, 1, false, false, 384);
    cbr.Feed(f);
    cbr.Feed(f);
    EXPECT_TRUE(cbr.ConstantBitrate());
    EXPECT_EQ(cbr.BytesPerSecond(768), 16000u);
}

TEST(WaveDestElement, Mp3InRiffReadByFfprobe) {
    const auto path = std::filesystem::temp_directory_path() / "vr_wavedest_mp3_test.wav";
    struct Case {
        std::string encoder;
        int rate, channels;
    };
    // Constant bitrate at 48 kHz stereo, as recordings are made; variable bitrate at 44.1 kHz
    // mono, whose duration rests on the measured average.
    for (const Case& c : {Case{"lamemp3enc target=bitrate bitrate=128 cbr=true", 48000, 2},
                          Case{"lamemp3enc target=quality quality=2", 44100, 1}}) {
        SCOPED_TRACE(c.encoder);
        // 150 buffers of 1024 frames.
        const double seconds = 150.0 * 1024 / c.rate;
        ASSERT_TRUE(RunPipeline(
            "audiotestsrc num-buffers=150 samplesperbuffer=1024 "
            "wave=pink-noise ! audio/x-raw,rate=" +
            std::to_string(c.rate) + ",channels=" + std::to_string(c.channels) + " ! " + c.encoder +
            " ! mpegaudioparse ! vr_wavedest ! filesink location=" + path.string()));
        const auto bytes = ReadFile(path);
        ASSERT_GT(bytes.size(), 58u);
        EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(Le32(bytes, 16), 30u);
        EXPECT_EQ(Le16(bytes, 20), 0x55);
        EXPECT_EQ(Le16(bytes, 22), c.channels);
        EXPECT_EQ(Le32(bytes, 24), static_cast<uint32_t>(c.rate));
        EXPECT_EQ(Le16(bytes, 36), 12u);
        EXPECT_EQ(std::memcmp(bytes.data() + 50, "data", 4), 0);
        EXPECT_EQ(Le32(bytes, 54) + 58u + (Le32(bytes, 54) & 1u), bytes.size());
        EXPECT_EQ(bytes[58], 0xFF) << "the first frame right after the header";
        const std::string probe =
            Capture("ffprobe -v error -show_entries format=format_name,duration:stream=codec_name,"
                    "sample_rate,channels -of default=nw=1 " +
                    path.string() + " 2>&1");
        EXPECT_NE(probe.find("codec_name=mp3"), std::string::npos) << probe;
        EXPECT_NE(probe.find("format_name=wav"), std::string::npos) << probe;
        EXPECT_NE(probe.find("sample_rate=" + std::to_string(c.rate)), std::string::npos) << probe;
        EXPECT_NE(probe.find("channels=" + std::to_string(c.channels)), std::string::npos) << probe;
        const auto d = probe.find("duration=");
        ASSERT_NE(d, std::string::npos) << probe;
        EXPECT_NEAR(std::atof(probe.c_str() + d + 9), seconds, 0.1) << probe;
    }
    std::filesystem::remove(path);
}
