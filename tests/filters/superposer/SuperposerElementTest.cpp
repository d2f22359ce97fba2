#include "FakeFrameInfoSource.h"
#include "GstSuperposer.h"
#include "SuperposerCore.h"

#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

GstHarness* harness(int width, int height) {
    GstHarness* h = gst_harness_new("vr_superposer");
    gchar* caps =
        g_strdup_printf("video/x-raw,format=BGR,width=%d,height=%d,framerate=25/1", width, height);
    gst_harness_set_src_caps_str(h, caps);
    g_free(caps);
    return h;
}

// A frame whose rows are numbered, in the negotiated layout (rows padded to 4 bytes).
GstBuffer* numberedFrame(int width, int height, GstClockTime pts) {
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_BGR, width, height);
    GstBuffer* buf = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    gst_buffer_map(buf, &map, GST_MAP_WRITE);
    const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    for (int y = 0; y < height; ++y)
        std::memset(map.data + size_t(y) * stride, y & 0xFF, size_t(stride));
    gst_buffer_unmap(buf, &map);
    GST_BUFFER_PTS(buf) = pts;
    return buf;
}

std::vector<uint8_t> bytes(GstBuffer* buf) {
    GstMapInfo map;
    gst_buffer_map(buf, &map, GST_MAP_READ);
    std::vector<uint8_t> out(map.data, map.data + map.size);
    gst_buffer_unmap(buf, &map);
    return out;
}

} // namespace

TEST(SuperposerElement, AcceptsBgrOnlyAndPassesEveryFrame) {
    GstHarness* h = harness(720, 576);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(gst_harness_push(h, numberedFrame(720, 576, i * 40 * GST_MSECOND)), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(h), 5u);
    gst_harness_teardown(h);

    GstHarness* other = gst_harness_new("vr_superposer");
    gst_harness_set_src_caps_str(other, "video/x-raw,format=I420,width=720,height=576");
    EXPECT_EQ(gst_harness_push(other, gst_buffer_new_allocate(nullptr, 720 * 576 * 3 / 2, nullptr)),
              GST_FLOW_NOT_NEGOTIATED);
    gst_harness_teardown(other);

    GstHarness* empty = gst_harness_new("vr_superposer");
    gst_harness_set_src_caps_str(empty, "video/x-raw,format=BGR,width=0,height=0");
    EXPECT_NE(gst_harness_push(empty, gst_buffer_new_allocate(nullptr, 16, nullptr)), GST_FLOW_OK);
    gst_harness_teardown(empty);
}

TEST(SuperposerElement, FlipChangedWhilePlayingOnOddWidth) {
    const int w = 161, hgt = 7; // rows of 483 bytes padded to 484
    GstHarness* h = harness(w, hgt);
    GstBuffer* out = gst_harness_push_and_pull(h, numberedFrame(w, hgt, 0));
    std::vector<uint8_t> first = bytes(out);
    gst_buffer_unref(out);
    EXPECT_EQ(first[0], 0);

    g_object_set(h->element, "vert-flip", TRUE, nullptr);
    out = gst_harness_push_and_pull(h, numberedFrame(w, hgt, 40 * GST_MSECOND));
    std::vector<uint8_t> flipped = bytes(out);
    gst_buffer_unref(out);
    EXPECT_EQ(flipped[0], hgt - 1);
    EXPECT_EQ(flipped[484 * (hgt - 1) + 482], 0);
    EXPECT_EQ(flipped[484 * (hgt - 1) + 483], hgt - 1); // padding byte untouched

    g_object_set(h->element, "overlay-enabled", FALSE, nullptr);
    out = gst_harness_push_and_pull(h, numberedFrame(w, hgt, 80 * GST_MSECOND));
    EXPECT_EQ(bytes(out)[0], 0);
    gst_buffer_unref(out);
    g_object_set(h->element, "source-flipped", TRUE, nullptr);
    out = gst_harness_push_and_pull(h, numberedFrame(w, hgt, 120 * GST_MSECOND));
    EXPECT_EQ(bytes(out)[0], hgt - 1);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}

// A frame also held by a recording of the source's own pictures: with nothing to change it
// passes as it is (no copy); flipped or inlaid, the change goes to a copy and the recording's
// frame stays as it came.
TEST(SuperposerElement, SharedFramesAreCopiedOnlyToBeChanged) {
    const int w = 64, hgt = 8;
    GstHarness* h = harness(w, hgt);
    GstBuffer* held = numberedFrame(w, hgt, 0);
    const std::vector<uint8_t> original = bytes(held);
    GstBuffer* out = gst_harness_push_and_pull(h, gst_buffer_ref(held));
    EXPECT_EQ(out, held);
    gst_buffer_unref(out);

    g_object_set(h->element, "vert-flip", TRUE, nullptr);
    out = gst_harness_push_and_pull(h, gst_buffer_ref(held));
    EXPECT_NE(out, held);
    EXPECT_EQ(bytes(out)[0], hgt - 1);
    EXPECT_EQ(bytes(held), original);
    gst_buffer_unref(out);

    g_object_set(h->element, "vert-flip", FALSE, "incrust-active", TRUE, "what-incrust", 2u,
                 "incrust1", "TEXTE", nullptr);
    out = gst_harness_push_and_pull(h, gst_buffer_ref(held));
    EXPECT_NE(out, held);
    EXPECT_EQ(bytes(held), original);
    gst_buffer_unref(out);

    g_object_set(h->element, "incrust-active", FALSE, nullptr);
    out = gst_harness_push_and_pull(h, gst_buffer_ref(held));
    EXPECT_EQ(out, held);
    gst_buffer_unref(out);
    gst_buffer_unref(held);
    gst_harness_teardown(h);
}

TEST(SuperposerElement, ShortBuffersAndMissingTimeStampsPassUntouched) {
    GstHarness* h = harness(720, 576);
    g_object_set(h->element, "incrust-active", TRUE, "what-incrust", 3u, "format-date1", "tt",
                 nullptr);
    GstBuffer* small = gst_buffer_new_allocate(nullptr, 100, nullptr);
    gst_buffer_memset(small, 0, 0x11, 100);
    GstBuffer* out = gst_harness_push_and_pull(h, small);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(bytes(out), std::vector<uint8_t>(100, 0x11));
    gst_buffer_unref(out);

    out = gst_harness_push_and_pull(h, numberedFrame(720, 576, GST_CLOCK_TIME_NONE));
    ASSERT_NE(out, nullptr);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}

TEST(SuperposerElement, AbsurdPropertiesNeverBreakTheStream) {
    GstHarness* h = harness(352, 288);
    g_object_set(h->element, "incrust-active", TRUE, "what-incrust", 2u, "incrust1", "%R %D %T",
                 "incrust2", "bas", "font-name", "", "font-size", 10000, "auto-font-size", FALSE,
                 "border-size", 1000, "xpos", -5000, "ypos", 99999, "alignement", 7u, nullptr);
    for (int i = 0; i < 3; ++i) {
        GstBuffer* out = gst_harness_push_and_pull(h, numberedFrame(352, 288, i * GST_MSECOND));
        ASSERT_NE(out, nullptr);
        gst_buffer_unref(out);
    }
    g_object_set(h->element, "font-size", 0, "alignement", 1u, "border-size", -3, "xpos", 500,
                 "ypos", 500, nullptr);
    GstBuffer* out = gst_harness_push_and_pull(h, numberedFrame(352, 288, 5 * GST_MSECOND));
    ASSERT_NE(out, nullptr);
    gst_buffer_unref(out);
    gint xpos = 0;
    g_object_get(h->element, "xpos", &xpos, nullptr);
    EXPECT_EQ(xpos, 500);
    gst_harness_teardown(h);
}

TEST(SuperposerElement, SnapshotAndCountdownMessages) {
    GstHarness* h = harness(64, 48);
    GstBus* bus = gst_bus_new();
    gst_element_set_bus(h->element, bus);

    g_signal_emit_by_name(h->element, "grab-image");
    gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(64, 48, 0)));
    GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ELEMENT);
    ASSERT_NE(msg, nullptr);
    const GstStructure* s = gst_message_get_structure(msg);
    EXPECT_TRUE(gst_structure_has_name(s, "vr-snapshot"));
    gint slot = -1, message = 0;
    gst_structure_get_int(s, "slot", &slot);
    gst_structure_get_int(s, "message", &message);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(message, 1025);
    GstSample* sample = nullptr;
    gst_structure_get(s, "sample", GST_TYPE_SAMPLE, &sample, nullptr);
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(gst_buffer_get_size(gst_sample_get_buffer(sample)), 64u * 3 * 48);
    gst_sample_unref(sample);
    gst_message_unref(msg);
    EXPECT_TRUE(vrSuperposerCore(h->element)->grabs().busy(1));
    g_signal_emit_by_name(h->element, "release-slot", 1);
    EXPECT_FALSE(vrSuperposerCore(h->element)->grabs().busy(1));

    g_signal_emit_by_name(h->element, "start-intervalometer", 20000u); // 2 s
    std::vector<int> seconds;
    int snapshots = 0;
    for (int i = 1; i <= 60; ++i) {
        gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(64, 48, i * 40 * GST_MSECOND)));
        while (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ELEMENT)) {
            const GstStructure* st = gst_message_get_structure(m);
            if (gst_structure_has_name(st, "vr-grab-countdown")) {
                gint v = -1;
                gst_structure_get_int(st, "seconds", &v);
                seconds.push_back(v);
            } else if (gst_structure_has_name(st, "vr-snapshot")) {
                ++snapshots;
                gint sl = -1;
                gst_structure_get_int(st, "slot", &sl);
                g_signal_emit_by_name(h->element, "release-slot", sl);
            }
            gst_message_unref(m);
        }
    }
    EXPECT_EQ(snapshots, 2); // frames 1 and 50
    EXPECT_EQ(seconds, (std::vector<int>{1, 0, 1}));
    gboolean on = FALSE;
    g_object_get(h->element, "interval-on", &on, nullptr);
    EXPECT_TRUE(on);
    g_signal_emit_by_name(h->element, "stop-intervalometer");

    gst_element_set_bus(h->element, nullptr);
    gst_object_unref(bus);
    gst_harness_teardown(h);
}

TEST(SuperposerElement, ReadsTheSceneSourceGivenAsAnElement) {
    FakeFrameInfoSource ring;
    TDVFrameInfo info;
    info.TimecodeValid = true;
    info.Timecode[0] = 0;
    info.Timecode[1] = 12;
    ring.store(info, 0);
    GstElement* detector = gst_element_factory_make("identity", nullptr);
    gst_object_ref_sink(detector);
    g_object_set_data(G_OBJECT(detector), kFrameInfoSourceKey,
                      static_cast<IFrameInfoSource*>(&ring));

    GstHarness* h = harness(320, 240);
    g_object_set(h->element, "scene-source", detector, "incrust-active", TRUE, "what-incrust", 1u,
                 nullptr);
    gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(320, 240, 7 * GST_SECOND)));
    EXPECT_EQ(ring.lastAsked, int64_t(7 * GST_SECOND));
    EXPECT_EQ(ring.lookupPos, 1);
    EXPECT_EQ(vrSuperposerCore(h->element)->line2().toStdString(), "0:12:00:00");

    g_object_set(h->element, "scene-source", nullptr, nullptr);
    gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(320, 240, 8 * GST_SECOND)));
    EXPECT_EQ(ring.lookups, 1);
    EXPECT_EQ(vrSuperposerCore(h->element)->line2().toStdString(), "N/A");
    gst_harness_teardown(h);
    gst_object_unref(detector);
}
