#include "FakeFrameInfoSource.h"
#include "GstRef.h"
#include "GstSuperposer.h"
#include "SuperposerCore.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
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

TEST(SuperposerElement, AcceptsBgrAndI420OnlyAndPassesEveryFrame) {
    GstHarness* h = harness(720, 576);
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(gst_harness_push(h, numberedFrame(720, 576, i * 40 * GST_MSECOND)), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(h), 5u);
    gst_harness_teardown(h);

    GstHarness* i420 = gst_harness_new("vr_superposer");
    gst_harness_set_src_caps_str(i420, "video/x-raw,format=I420,width=720,height=576");
    EXPECT_EQ(gst_harness_push(i420, gst_buffer_new_allocate(nullptr, 720 * 576 * 3 / 2, nullptr)),
              GST_FLOW_OK);
    gst_harness_teardown(i420);

    GstHarness* other = gst_harness_new("vr_superposer");
    gst_harness_set_src_caps_str(other, "video/x-raw,format=RGBx,width=720,height=576");
    EXPECT_EQ(gst_harness_push(other, gst_buffer_new_allocate(nullptr, 720 * 576 * 4, nullptr)),
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

// The whole record as one property, as any application sets it: read back whole, seen field
// by field, and drawn.
TEST(SuperposerElement, TheRecordIsOnePropertyToo) {
    GstHarness* h = harness(352, 288);
    VrIncrustRec rec;
    rec.WhatIncrust = VrIncrustRec::Perso;
    rec.Incrust1 = "Été à Noirmoutier";
    rec.Incrust2 = "bas";
    rec.FontRec.FontName = "Liberation Sans";
    rec.FontRec.FontColor = 0x00FFFF;
    rec.Decalage = 1.5;
    rec.Alignement = 1;
    rec.Xpos = 250;
    g_object_set(h->element, "incrust-active", TRUE, "incrust-rec", &rec, nullptr);

    VrIncrustRec* raw = nullptr;
    g_object_get(h->element, "incrust-rec", &raw, nullptr);
    const TGstRef<VrIncrustRec> back(raw);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back.get(), rec);
    gchar* line1 = nullptr;
    gint xpos = 0;
    guint what = 0;
    g_object_get(h->element, "incrust1", &line1, "xpos", &xpos, "what-incrust", &what, nullptr);
    const TGstRef<gchar> heldLine1(line1);
    EXPECT_STREQ(line1, "Été à Noirmoutier");
    EXPECT_EQ(xpos, 250);
    EXPECT_EQ(what, guint(VrIncrustRec::Perso));

    // A field set alone shows in the record; a null record changes nothing.
    g_object_set(h->element, "ypos", 100, nullptr);
    g_object_set(h->element, "incrust-rec", nullptr, nullptr);
    g_object_get(h->element, "incrust-rec", &raw, nullptr);
    const TGstRef<VrIncrustRec> changed(raw);
    rec.Ypos = 100;
    EXPECT_EQ(*changed.get(), rec);

    gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(352, 288, 0)));
    gchar* text = nullptr;
    g_object_get(h->element, "last-text", &text, nullptr);
    const TGstRef<gchar> heldText(text);
    EXPECT_STREQ(text, "Été à Noirmoutier\nbas");
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
    EXPECT_EQ(vrSuperposerCore(h->element)->line2(), "0:12:00:00");

    g_object_set(h->element, "scene-source", nullptr, nullptr);
    gst_buffer_unref(gst_harness_push_and_pull(h, numberedFrame(320, 240, 8 * GST_SECOND)));
    EXPECT_EQ(ring.lookups, 1);
    EXPECT_EQ(vrSuperposerCore(h->element)->line2(), "N/A");
    gst_harness_teardown(h);
    gst_object_unref(detector);
}

// Without a scene source the overlay reads the detector its frames came through, found
// upstream across queues, converters and the ghost pads of nested bins (never one downstream);
// a scene source given explicitly, the program's way, is read instead.
TEST(SuperposerElement, FindsTheDetectorUpstreamWithoutASceneSource) {
    auto ringWithTimecode = [](FakeFrameInfoSource& ring, uint8_t minutes) {
        TDVFrameInfo info;
        info.TimecodeValid = true;
        info.Timecode[0] = 0;
        info.Timecode[1] = minutes;
        ring.store(info, 0);
    };
    FakeFrameInfoSource upstream, downstream, given;
    ringWithTimecode(upstream, 12);
    ringWithTimecode(downstream, 34);
    ringWithTimecode(given, 56);

    // appsrc ! [ [ detector ] ! queue ] ! videoconvert ! [ queue ! overlay ] ! after ! appsink
    GstElement* pipeline = gst_pipeline_new(nullptr);
    GstElement* src = gst_element_factory_make("appsrc", nullptr);
    GstElement* detector = gst_element_factory_make("identity", nullptr);
    GstElement* after = gst_element_factory_make("identity", nullptr);
    GstElement* overlay = gst_element_factory_make("vr_superposer", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    GstElement* inner = gst_bin_new(nullptr);
    GstElement* outer = gst_bin_new(nullptr);
    GstElement* overlayBin = gst_bin_new(nullptr);
    GstElement* queue1 = gst_element_factory_make("queue", nullptr);
    GstElement* queue2 = gst_element_factory_make("queue", nullptr);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    auto ghost = [](GstElement* bin, GstElement* child, const char* pad) {
        GstPad* target = gst_element_get_static_pad(child, pad);
        gst_element_add_pad(bin, gst_ghost_pad_new(pad, target));
        gst_object_unref(target);
    };
    gst_bin_add(GST_BIN(inner), detector);
    ghost(inner, detector, "sink");
    ghost(inner, detector, "src");
    gst_bin_add_many(GST_BIN(outer), inner, queue1, nullptr);
    ASSERT_TRUE(gst_element_link(inner, queue1));
    ghost(outer, inner, "sink");
    ghost(outer, queue1, "src");
    gst_bin_add_many(GST_BIN(overlayBin), queue2, overlay, nullptr);
    ASSERT_TRUE(gst_element_link(queue2, overlay));
    ghost(overlayBin, queue2, "sink");
    ghost(overlayBin, overlay, "src");
    gst_bin_add_many(GST_BIN(pipeline), src, outer, convert, overlayBin, after, sink, nullptr);
    ASSERT_TRUE(gst_element_link_many(src, outer, convert, overlayBin, after, sink, nullptr));
    GstCaps* caps =
        gst_caps_from_string("video/x-raw,format=BGR,width=320,height=240,framerate=25/1");
    g_object_set(src, "format", GST_FORMAT_TIME, "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, nullptr);
    g_object_set(overlay, "incrust-active", TRUE, "what-incrust", 1u, nullptr);
    g_object_set_data(G_OBJECT(detector), kFrameInfoSourceKey,
                      static_cast<IFrameInfoSource*>(&upstream));
    g_object_set_data(G_OBJECT(after), kFrameInfoSourceKey,
                      static_cast<IFrameInfoSource*>(&downstream));
    GstElement* elsewhere = gst_element_factory_make("identity", nullptr);
    gst_object_ref_sink(elsewhere);
    g_object_set_data(G_OBJECT(elsewhere), kFrameInfoSourceKey,
                      static_cast<IFrameInfoSource*>(&given));
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    auto lineFor = [&](GstClockTime pts) {
        gst_app_src_push_buffer(GST_APP_SRC(src), numberedFrame(320, 240, pts));
        GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND);
        EXPECT_NE(sample, nullptr);
        if (sample)
            gst_sample_unref(sample);
        return vrSuperposerCore(overlay)->line2();
    };
    EXPECT_EQ(lineFor(7 * GST_SECOND), "0:12:00:00");
    EXPECT_EQ(upstream.lastAsked, int64_t(7 * GST_SECOND));
    EXPECT_EQ(downstream.lookups, 0);

    g_object_set(overlay, "scene-source", elsewhere, nullptr);
    EXPECT_EQ(lineFor(8 * GST_SECOND), "0:56:00:00");
    EXPECT_EQ(upstream.lookups, 1);
    g_object_set(overlay, "scene-source", nullptr, nullptr);
    EXPECT_EQ(lineFor(9 * GST_SECOND), "0:12:00:00");
    EXPECT_EQ(upstream.lastAsked, int64_t(9 * GST_SECOND));

    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    gst_object_unref(elsewhere);
}

// ------------------------------------------------------------------ I420 frames

namespace {

GstHarness* harnessOf(const char* format, int width, int height) {
    GstHarness* h = gst_harness_new("vr_superposer");
    gchar* caps = g_strdup_printf("video/x-raw,format=%s,width=%d,height=%d,framerate=25/1", format,
                                  width, height);
    gst_harness_set_src_caps_str(h, caps);
    g_free(caps);
    return h;
}

// The colour bars at 320 × 240 in I420, as a decoder would give them.
GstSample* barsI420() {
    GstElement* p = gst_parse_launch(
        "videotestsrc num-buffers=1 pattern=smpte ! "
        "video/x-raw,format=I420,width=320,height=240,framerate=25/1 ! appsink name=out",
        nullptr);
    gst_element_set_state(p, GST_STATE_PLAYING);
    GstElement* sink = gst_bin_get_by_name(GST_BIN(p), "out");
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    gst_object_unref(sink);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return sample;
}

// A buffer converted by videoconvert (BGR: as the preview shows it).
std::vector<uint8_t> convert(GstBuffer* buf, GstCaps* caps, const char* format = "BGR") {
    GstSample* sample = gst_sample_new(buf, caps, nullptr, nullptr);
    gchar* to = g_strdup_printf("video/x-raw,format=%s", format);
    GstCaps* target = gst_caps_from_string(to);
    g_free(to);
    GstSample* converted = gst_video_convert_sample(sample, target, GST_SECOND * 10, nullptr);
    gst_caps_unref(target);
    gst_sample_unref(sample);
    std::vector<uint8_t> out =
        converted ? bytes(gst_sample_get_buffer(converted)) : std::vector<uint8_t>{};
    if (converted)
        gst_sample_unref(converted);
    return out;
}

std::vector<uint8_t> asBgr(GstBuffer* buf, GstCaps* caps) {
    return convert(buf, caps);
}

// A BGR picture of 320 × 240 through I420 and back, as an encoder of I420 gets it.
std::vector<uint8_t> throughI420(const std::vector<uint8_t>& bgr) {
    GstBuffer* buf = gst_buffer_new_memdup(bgr.data(), bgr.size());
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGR,width=320,height=240,"
                                         "framerate=25/1");
    const std::vector<uint8_t> i420 = convert(buf, caps, "I420");
    gst_buffer_unref(buf);
    gst_caps_unref(caps);
    GstBuffer* yuv = gst_buffer_new_memdup(i420.data(), i420.size());
    GstCaps* yuvCaps = gst_caps_from_string("video/x-raw,format=I420,width=320,height=240,"
                                            "framerate=25/1");
    std::vector<uint8_t> out = convert(yuv, yuvCaps);
    gst_buffer_unref(yuv);
    gst_caps_unref(yuvCaps);
    return out;
}

void setInlay(GstElement* e) {
    g_object_set(e, "incrust-active", TRUE, "what-incrust", 2u, "incrust1", "Vidorra 1234",
                 "incrust2", "Ligne deux", "font-color", guint(0x00FFFF), "border-size", 2,
                 "auto-font-size", TRUE, "alignement", 3u, nullptr);
}

struct Inlaid {
    std::vector<uint8_t> picture;  // BGR
    std::vector<uint8_t> snapshot; // BGR, from the snapshot message
};

// One frame through the overlay with the inlay on and a snapshot asked for.
Inlaid inlay(const char* format, GstBuffer* frame) {
    GstHarness* h = harnessOf(format, 320, 240);
    GstBus* bus = gst_bus_new();
    gst_element_set_bus(h->element, bus);
    setInlay(h->element);
    g_signal_emit_by_name(h->element, "grab-image");
    GstBuffer* out = gst_harness_push_and_pull(h, gst_buffer_ref(frame));
    Inlaid result;
    GstCaps* caps = gst_pad_get_current_caps(h->srcpad);
    result.picture = std::string(format) == "BGR" ? bytes(out) : asBgr(out, caps);
    gst_caps_unref(caps);
    gst_buffer_unref(out);
    if (GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ELEMENT)) {
        GstSample* sample = nullptr;
        gst_structure_get(gst_message_get_structure(msg), "sample", GST_TYPE_SAMPLE, &sample,
                          nullptr);
        if (sample) {
            result.snapshot = bytes(gst_sample_get_buffer(sample));
            gst_sample_unref(sample);
        }
        gst_message_unref(msg);
    }
    gst_element_set_bus(h->element, nullptr);
    gst_object_unref(bus);
    gst_harness_teardown(h);
    return result;
}

struct Difference {
    double mean = 0;       // over the whole picture
    double textMean = 0;   // over the pixels the inlay changed
    double textWithin = 0; // share of those within 24 levels on every channel
    size_t textPixels = 0;
};

// a against b, where the text is what b changed in plain.
Difference compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                   const std::vector<uint8_t>& plain) {
    Difference d;
    size_t within = 0;
    double sum = 0, textSum = 0;
    for (size_t i = 0; i + 2 < a.size(); i += 3) {
        int changed = 0, worst = 0, total = 0;
        for (size_t c = i; c < i + 3; ++c) {
            changed = std::max(changed, std::abs(int(b[c]) - int(plain[c])));
            const int diff = std::abs(int(a[c]) - int(b[c]));
            worst = std::max(worst, diff);
            total += diff;
        }
        sum += total;
        if (changed > 48) {
            ++d.textPixels;
            textSum += total;
            within += worst <= 24;
        }
    }
    d.mean = sum / double(a.size());
    d.textMean = d.textPixels ? textSum / double(d.textPixels * 3) : 0;
    d.textWithin = d.textPixels ? double(within) / double(d.textPixels) : 0;
    return d;
}

} // namespace

// The text drawn on I420 lands where, and looks as, the text drawn on the same picture in BGR;
// the snapshot of an I420 stream is the BGR picture with its text, like that of a BGR stream.
TEST(SuperposerElement, InlayAndSnapshotOnI420MatchBgr) {
    GstSample* bars = barsI420();
    ASSERT_NE(bars, nullptr);
    GstBuffer* yuv = gst_sample_get_buffer(bars);
    const std::vector<uint8_t> plain = asBgr(yuv, gst_sample_get_caps(bars));
    ASSERT_EQ(plain.size(), 320u * 240 * 3);
    GstBuffer* bgr = gst_buffer_new_memdup(plain.data(), plain.size());

    const Inlaid fromBgr = inlay("BGR", bgr);
    const Inlaid fromI420 = inlay("I420", yuv);
    ASSERT_EQ(fromBgr.picture.size(), plain.size());
    ASSERT_EQ(fromI420.picture.size(), plain.size());
    ASSERT_EQ(fromI420.snapshot.size(), plain.size());

    // Against what an encoder of I420 gets from the BGR inlay: a few levels at most.
    const std::vector<uint8_t> bgrCoded = throughI420(fromBgr.picture);
    const Difference picture = compare(fromI420.picture, bgrCoded, plain);
    EXPECT_GT(picture.textPixels, 1000u); // two lines of yellow text outlined in black
    EXPECT_LT(picture.textMean, 6.0);
    EXPECT_GT(picture.textWithin, 0.9);
    // Against the BGR inlay itself: the same pixels changed, nothing drawn elsewhere (only the
    // edges of the letters differ, where 4:2:0 shares one colour between four pixels).
    const Difference shown = compare(fromI420.picture, fromBgr.picture, plain);
    EXPECT_LT(shown.mean, 1.0);
    const Difference untouched = compare(fromI420.picture, plain, plain);
    EXPECT_EQ(untouched.textPixels, 0u);
    const Difference changed = compare(plain, fromI420.picture, plain);
    EXPECT_GT(changed.textPixels, shown.textPixels * 9 / 10);
    EXPECT_LT(changed.textPixels, shown.textPixels * 11 / 10);

    // The snapshot is the picture shown, text included.
    EXPECT_EQ(fromBgr.snapshot, fromBgr.picture);
    const Difference still = compare(fromI420.snapshot, fromI420.picture, plain);
    EXPECT_LT(still.mean, 0.5);
    const Difference stills = compare(fromI420.snapshot, bgrCoded, plain);
    EXPECT_LT(stills.textMean, 6.0);
    EXPECT_GT(stills.textWithin, 0.9);

    gst_buffer_unref(bgr);
    gst_sample_unref(bars);
}

// Flips turn all three planes, on a frame of odd size whose chroma planes round up.
TEST(SuperposerElement, FlipsI420Planes) {
    const int w = 161, hgt = 7, cw = 81, ch = 4;
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, w, hgt);
    auto frame = [&] {
        GstBuffer* buf = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
        GstVideoFrame f;
        gst_video_frame_map(&f, &info, buf, GST_MAP_WRITE);
        for (int p = 0; p < 3; ++p) {
            const int rows = p ? ch : hgt;
            const int cols = p ? cw : w;
            auto* d = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&f, p));
            const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&f, p);
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < cols; ++x)
                    d[y * stride + x] = uint8_t(p * 100 + y * 10 + (x == 0) + 2 * (x == cols - 1));
        }
        gst_video_frame_unmap(&f);
        return buf;
    };
    auto at = [&](GstBuffer* buf, int p, int x, int y) {
        GstVideoFrame f;
        gst_video_frame_map(&f, &info, buf, GST_MAP_READ);
        const uint8_t v = static_cast<uint8_t*>(
            GST_VIDEO_FRAME_PLANE_DATA(&f, p))[y * GST_VIDEO_FRAME_PLANE_STRIDE(&f, p) + x];
        gst_video_frame_unmap(&f);
        return int(v);
    };
    GstHarness* h = harnessOf("I420", w, hgt);
    g_object_set(h->element, "vert-flip", TRUE, nullptr);
    GstBuffer* out = gst_harness_push_and_pull(h, frame());
    EXPECT_EQ(at(out, 0, 0, 0), (hgt - 1) * 10 + 1);
    EXPECT_EQ(at(out, 0, w - 1, hgt - 1), 2);
    EXPECT_EQ(at(out, 1, 0, 0), 100 + (ch - 1) * 10 + 1);
    EXPECT_EQ(at(out, 2, cw - 1, ch - 1), 200 + 2);
    gst_buffer_unref(out);

    g_object_set(h->element, "vert-flip", FALSE, "horz-flip", TRUE, nullptr);
    out = gst_harness_push_and_pull(h, frame());
    EXPECT_EQ(at(out, 0, 0, 0), 2);
    EXPECT_EQ(at(out, 0, w - 1, 3), 31);
    EXPECT_EQ(at(out, 1, 0, 2), 100 + 20 + 2);
    EXPECT_EQ(at(out, 2, cw - 1, 0), 200 + 1);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}
