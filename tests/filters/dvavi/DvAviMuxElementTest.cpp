#include "AviReader.h"
#include "DVGenerator.h"
#include "DvAviWriter.h"
#include "DvSynthetic.h"
#include "PatchFrameRate.h"
#include "RunPipeline.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

std::string Capture(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

bool RunPipeline(const std::string& desc) {
    return RunPipelineToEnd(desc);
}

// The generated clip shared by the tests: 50 PAL frames with 48 kHz stereo audio, removed
// when the tests end.
struct ClipFile {
    std::string path;
    ~ClipFile() { std::filesystem::remove(path); }
};

const std::string& Clip() {
    static const ClipFile clip = [] {
        const auto p = std::filesystem::temp_directory_path() /
                       ("vr_dvavi_clip_" + std::to_string(::getpid()) + ".dv");
        dv::ClipSpec spec;
        spec.frames = 50;
        std::string error;
        EXPECT_TRUE(dv::GenerateClip(p.string(), spec, &error)) << error;
        return ClipFile{p.string()};
    }();
    return clip.path;
}

struct Probe {
    std::string text;
    bool has(const std::string& s) const { return text.find(s) != std::string::npos; }
};

Probe FfProbe(const std::string& file) {
    return {Capture("ffprobe -v error -count_packets -show_entries "
                    "format=format_name,duration:stream=codec_name,codec_type,width,height,"
                    "sample_rate,channels,nb_read_packets,r_frame_rate -of default " +
                    file + " 2>&1")};
}

class DvAviMux : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(m_out); }
    std::string m_out = (std::filesystem::temp_directory_path() /
                         ("vr_dvavi_out_" + std::to_string(::getpid()) + ".avi"))
                            .string();
};

} // namespace

TEST_F(DvAviMux, FfprobeReadsAType1File) {
    for (const char* blocksize : {"144000", "1000", "65536"}) {
        ASSERT_TRUE(RunPipeline("filesrc location=" + Clip() + " blocksize=" + blocksize +
                                " ! video/x-dv,systemstream=true ! vr_dvavimux ! filesink "
                                "location=" +
                                m_out));
        const Probe p = FfProbe(m_out);
        EXPECT_TRUE(p.has("format_name=avi")) << p.text;
        EXPECT_TRUE(p.has("codec_name=dvvideo")) << p.text;
        EXPECT_TRUE(p.has("width=720\nheight=576")) << p.text;
        EXPECT_TRUE(p.has("r_frame_rate=25/1")) << p.text;
        EXPECT_TRUE(p.has("codec_type=video\nr_frame_rate=25/1\nnb_read_packets=50") ||
                    p.has("nb_read_packets=50"))
            << p.text;
        EXPECT_TRUE(p.has("codec_type=audio")) << p.text;
        EXPECT_TRUE(p.has("sample_rate=48000\nchannels=2")) << p.text;
        EXPECT_TRUE(p.has("duration=2.0")) << p.text;
        EXPECT_TRUE(p.has("nb_read_packets=50")) << p.text;
    }
}

TEST_F(DvAviMux, SmallRiffsMakeAnOpenDmlFileThatFfprobeReads) {
    ASSERT_TRUE(RunPipeline("filesrc location=" + Clip() +
                            " ! video/x-dv,systemstream=true ! vr_dvavimux riff-size=1048576 ! "
                            "filesink location=" +
                            m_out));
    AviReader r(m_out);
    uint64_t pos = 0;
    int riffs = 0;
    while (pos + 8 <= r.size() && r.Cc(pos) == "RIFF") {
        ++riffs;
        pos += 8 + r.U32(pos + 4);
    }
    EXPECT_EQ(riffs, 8) << "7 frames per RIFF of 1 MiB";
    EXPECT_EQ(pos, r.size());
    const Probe p = FfProbe(m_out);
    EXPECT_TRUE(p.has("nb_read_packets=50")) << p.text;
    EXPECT_TRUE(p.has("duration=2.0")) << p.text;
}

TEST_F(DvAviMux, FrameRatePatchOnTheWrittenFile) {
    ASSERT_TRUE(
        RunPipeline("filesrc location=" + Clip() +
                    " ! video/x-dv,systemstream=true ! vr_dvavimux ! filesink location=" + m_out));
    ASSERT_EQ(PatchFrameRate(QString::fromStdString(m_out), 18.0), TPatchResult::Patched);
    AviReader r(m_out);
    const int64_t strh = r.Find(12 + 12 + 64 + 12, 4096, "strh");
    ASSERT_GT(strh, 0);
    EXPECT_EQ(r.U32(strh + 8 + 20), 55556u);
    EXPECT_EQ(r.U32(strh + 8 + 24), 1000000u);
    // The DV stream keeps telling its own rate; the container's timing is the patched one.
    const Probe p = FfProbe(m_out);
    EXPECT_TRUE(p.has("duration=2.777")) << p.text;
    EXPECT_TRUE(p.has("nb_read_packets=50")) << p.text;
}

TEST(DvAviMuxHarness, CountsFramesAndKeepsGoingWithoutSeeking) {
    GstHarness* h = gst_harness_new("vr_dvavimux");
    gst_harness_set_src_caps_str(h, "video/x-dv,systemstream=true");
    for (uint32_t i = 0; i < 3; ++i) {
        auto f = SyntheticDvFrame(i);
        ASSERT_EQ(gst_harness_push(h, gst_buffer_new_memdup(f.data(), f.size())), GST_FLOW_OK);
    }
    guint64 frames = 0, toFinish = 0;
    g_object_get(h->element, "frames", &frames, "bytes-to-finish", &toFinish, nullptr);
    EXPECT_EQ(frames, 3u);
    EXPECT_EQ(toFinish, 8u + 24 + 3 * 8 + 8 + 3 * 16) << "ix00 and idx1";
    gst_harness_push_event(h, gst_event_new_eos());
    // Headers, then per frame its chunk header and payload; the final headers would need a
    // seek back and are not appended to the stream.
    guint64 bytes = 0, expectOffset = 0;
    bool contiguous = true;
    while (GstBuffer* b = gst_harness_try_pull(h)) {
        contiguous &= GST_BUFFER_OFFSET(b) == expectOffset;
        expectOffset += gst_buffer_get_size(b);
        bytes += gst_buffer_get_size(b);
        gst_buffer_unref(b);
    }
    EXPECT_TRUE(contiguous);
    EXPECT_EQ(bytes, avi::TDvAviWriter::FirstMoviPos() + 12 + 3 * 144008 + (8 + 24 + 3 * 8) +
                         (8 + 3 * 16));
    gst_harness_teardown(h);
}

namespace {

// Real frames where the writer gets frame, holes where it gets the placeholder.
class SparseOutput : public avi::TAviOutput {
public:
    SparseOutput(const std::string& path, const std::vector<uint8_t>& hole)
        : m_fd(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644)), m_hole(hole) {}
    ~SparseOutput() override { ::close(m_fd); }
    bool Write(const uint8_t* data, size_t size) override {
        if (!(data == m_hole.data() && size == m_hole.size()) &&
            ::pwrite(m_fd, data, size, static_cast<off_t>(m_pos)) != ssize_t(size))
            return false;
        m_pos += size;
        m_end = std::max(m_end, m_pos);
        return ::ftruncate(m_fd, static_cast<off_t>(m_end)) == 0;
    }
    bool Seek(uint64_t pos) override {
        m_pos = pos;
        return true;
    }

private:
    int m_fd;
    const std::vector<uint8_t>& m_hole;
    uint64_t m_pos = 0, m_end = 0;
};

} // namespace

// 5.25 GiB of DV (real frames at both ends, holes between): ffprobe finds the whole duration
// and reaches the last frame, past 4 GiB, through the OpenDML indexes.
TEST_F(DvAviMux, FfprobeSeeksPast4GiBInASparseFile) {
    std::vector<uint8_t> frame(144000);
    {
        std::FILE* f = std::fopen(Clip().c_str(), "rb");
        ASSERT_TRUE(f);
        ASSERT_EQ(std::fread(frame.data(), 1, frame.size(), f), frame.size());
        std::fclose(f);
    }
    const std::vector<uint8_t> hole = frame;
    const uint64_t frames = (uint64_t(21) << 28) / (frame.size() + 8) + 1;
    {
        SparseOutput out(m_out, hole);
        avi::TDvAviWriter w(out);
        for (uint64_t i = 0; i < frames; ++i)
            ASSERT_TRUE(w.AddFrame(i < 3 || i + 3 >= frames ? frame : hole));
        ASSERT_TRUE(w.Finish());
    }
    const Probe p = FfProbe(m_out + " -select_streams v:0 -read_intervals 0%+#1");
    EXPECT_TRUE(p.has("codec_name=dvvideo")) << p.text;
    char duration[64];
    std::snprintf(duration, sizeof duration, "duration=%.6f", double(frames) / 25);
    EXPECT_TRUE(p.has(duration)) << duration << "\n" << p.text;
    const std::string last =
        Capture("ffprobe -v error -read_intervals " + std::to_string(double(frames - 1) / 25) +
                "%+#1 -select_streams v:0 -show_entries packet=pos,size -of "
                "csv=p=0 " +
                m_out + " 2>&1");
    // "size,pos" of the last packet.
    ASSERT_EQ(last.rfind("144000,", 0), 0u) << last;
    EXPECT_GT(std::atoll(last.c_str() + 7), int64_t(4) << 30) << last;
}
