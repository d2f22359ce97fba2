#include "DVHeader.h"
#include "DVPackWriter.h"
#include "GstRef.h"
#include "SceneDetect.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace dv;

namespace {

constexpr GstClockTime kFrame = 40 * GST_MSECOND;

GstBuffer* Wrap(const std::vector<uint8_t>& bytes, GstClockTime pts) {
    GstBuffer* b = gst_buffer_new_memdup(bytes.data(), bytes.size());
    GST_BUFFER_PTS(b) = pts;
    return b;
}

// The camcorder frame n: its timecode tells which frame a copied header came from.
std::vector<uint8_t> CameraFrame(int n) {
    FramePacks p;
    p.timecode = TimecodeAt({}, n, 25);
    p.recDate = 45000.0 + n / 86400.0;
    return MakeHandBuiltFrame(true, p);
}

// A re-encoded frame as the encoder writes it: its own headers, audio blocks left empty.
std::vector<uint8_t> EncodedFrame() {
    auto f = MakeHandBuiltFrame(true, {});
    for (size_t s = 0; s < f.size(); s += kSequenceSize)
        f[s + kPosApplicationId] = 0x7B; // application id 3
    return f;
}

// Marks a frame with its start time in the branch, as the recording branch does.
void MarkBranchStart(GstBuffer* b) {
    const TGstRef<GstCaps> caps(gst_caps_new_empty_simple(kBranchTimestampCaps));
    gst_buffer_add_reference_timestamp_meta(b, caps.get(), GST_BUFFER_PTS(b), GST_CLOCK_TIME_NONE);
}

int TimecodeFrames(GstBuffer* b, int sequence) {
    std::vector<uint8_t> bytes(gst_buffer_get_size(b));
    gst_buffer_extract(b, 0, bytes.data(), bytes.size());
    const Timecode tc = DecodeTimecode(Sequence(bytes, sequence));
    return tc.hours == 255 ? -1 : tc.seconds * 25 + tc.frames;
}

class HeaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        detector = gst_harness_new("vr_scenedetect");
        gst_harness_set_src_caps_str(detector, "video/x-dv,systemstream=(boolean)false");
        for (int n = 0; n < 150; ++n)
            gst_buffer_unref(gst_harness_push_and_pull(detector, Wrap(CameraFrame(n), n * kFrame)));
        header = gst_harness_new("vr_dvheader");
        g_object_set(header->element, "scene-source", detector->element, nullptr);
        gst_harness_set_src_caps_str(header, "video/x-dv,systemstream=(boolean)false");
    }
    void TearDown() override {
        gst_harness_teardown(header);
        gst_harness_teardown(detector);
    }
    GstHarness* detector = nullptr;
    GstHarness* header = nullptr;
};

} // namespace

TEST_F(HeaderTest, CopiesTheHeadersOfTheFrameTheBranchStartedWith) {
    // The encoder moved the times by 10 s; the branch mark still names camera frame 120.
    GstBuffer* in = Wrap(EncodedFrame(), 120 * kFrame);
    MarkBranchStart(in);
    GST_BUFFER_PTS(in) += 10 * GST_SECOND;
    GstBuffer* out = gst_harness_push_and_pull(header, in);
    for (int s : {0, 9})
        EXPECT_EQ(TimecodeFrames(out, s), 120) << "sequence " << s;
    EXPECT_EQ(TimecodeFrames(out, 10), -1) << "sequences 10 and 11 stay as encoded";
    std::vector<uint8_t> bytes(gst_buffer_get_size(out));
    gst_buffer_extract(out, 0, bytes.data(), bytes.size());
    EXPECT_EQ(bytes[4323], 0x50) << "the audio blocks are not touched";
    gst_buffer_unref(out);

    // Without a mark the PTS is the start time.
    out = gst_harness_push_and_pull(header, Wrap(EncodedFrame(), 133 * kFrame + 5));
    EXPECT_EQ(TimecodeFrames(out, 3), 133);
    gst_buffer_unref(out);
}

TEST_F(HeaderTest, ForcesWidescreenAndSurvivesShortFrames) {
    g_object_set(header->element, "header-mode", 1u, nullptr);
    GstBuffer* out = gst_harness_push_and_pull(header, Wrap(EncodedFrame(), 100 * kFrame));
    std::vector<uint8_t> bytes(gst_buffer_get_size(out));
    gst_buffer_extract(out, 0, bytes.data(), bytes.size());
    gst_buffer_unref(out);
    // The copied camera header has application id 0: the code 7 form of 16:9.
    EXPECT_TRUE(IsWidescreen(bytes));
    EXPECT_EQ(bytes[kPosSourceControlData2], 0x07);
    EXPECT_EQ(bytes[5 * kSequenceSize + kPosSourceControlId], 0x61);

    // Without a scene source the encoder's own application id decides: code 2.
    g_object_set(header->element, "scene-source", nullptr, nullptr);
    out = gst_harness_push_and_pull(header, Wrap(EncodedFrame(), 0));
    gst_buffer_extract(out, 0, bytes.data(), bytes.size());
    gst_buffer_unref(out);
    EXPECT_EQ(bytes[kPosSourceControlData2], 0x02);

    g_object_set(header->element, "scene-source", detector->element, nullptr);
    for (size_t size : {size_t(1), size_t(300), size_t(12000 + 454), size_t(119999)}) {
        std::vector<uint8_t> shortFrame(size, 0xAA);
        out = gst_harness_push_and_pull(header, Wrap(shortFrame, 100 * kFrame));
        EXPECT_EQ(gst_buffer_get_size(out), size);
        gst_buffer_unref(out);
    }
}

TEST(DVHeaderMark, TheBranchMarkPassesThroughTheDVEncoder) {
    GstHarness* h = gst_harness_new_parse("avenc_dvvideo");
    gst_harness_set_src_caps_str(h, "video/x-raw,format=I420,width=720,height=576,"
                                    "framerate=25/1,pixel-aspect-ratio=16/15");
    GstBuffer* in = gst_buffer_new_allocate(nullptr, 720 * 576 * 3 / 2, nullptr);
    gst_buffer_memset(in, 0, 128, 720 * 576 * 3 / 2);
    GST_BUFFER_PTS(in) = 7 * GST_SECOND;
    GST_BUFFER_DURATION(in) = kFrame;
    MarkBranchStart(in);
    GstBuffer* out = gst_harness_push_and_pull(h, in);
    ASSERT_TRUE(out);
    GstCaps* caps = gst_caps_new_empty_simple(kBranchTimestampCaps);
    GstReferenceTimestampMeta* meta = gst_buffer_get_reference_timestamp_meta(out, caps);
    ASSERT_TRUE(meta);
    EXPECT_EQ(meta->timestamp, 7 * GST_SECOND);
    gst_caps_unref(caps);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}
