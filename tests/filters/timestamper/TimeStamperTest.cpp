#include "TimeStamperCore.h"

#include <gst/check/gstharness.h>
#include <gst/check/gsttestclock.h>
#include <gtest/gtest.h>

namespace {

GstBuffer* stamped(GstClockTime pts, GstClockTime duration) {
    GstBuffer* buf = gst_buffer_new_allocate(nullptr, 8, nullptr);
    GST_BUFFER_PTS(buf) = pts;
    GST_BUFFER_DURATION(buf) = duration;
    return buf;
}

} // namespace

TEST(TimeStamperCore, FrozenWithholdsWithoutCountingAndStopRestartsTheCount) {
    TimeStamperCore core;
    StampedSample s;
    core.SetFrozen(true);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(core.Transform(s, std::nullopt));
    EXPECT_EQ(core.sampleCount(), 0);
    core.SetFrozen(false);
    ASSERT_TRUE(core.Transform(s, std::nullopt));
    EXPECT_EQ(s.mediaStart, 1);
    EXPECT_EQ(s.mediaStop, 2);
    core.Stop();
    core.Transform(s, std::nullopt);
    EXPECT_EQ(s.mediaStart, 1);
}

TEST(TimeStamperCore, ClockModeStampsStreamTimePlus20msWithTheSampleDuration) {
    TimeStamperCore core;
    core.UseClockTimes();
    StampedSample s; // no time stamps: 4 ms
    ASSERT_TRUE(core.Transform(s, 10000000));
    EXPECT_EQ(s.start, 10200000);
    EXPECT_EQ(s.stop, 10240000);
    StampedSample t;
    t.hasStart = t.hasStop = true;
    t.start = 5;
    t.stop = 400005;
    core.Transform(t, 0);
    EXPECT_EQ(t.start, 200000);
    EXPECT_EQ(t.stop, 600000);
    // No clock: the stamps stay as they came.
    StampedSample u;
    u.hasStart = true;
    u.start = 77;
    core.Transform(u, std::nullopt);
    EXPECT_EQ(u.start, 77);
    EXPECT_FALSE(u.hasStop);

    core.RemoveTimes();
    EXPECT_EQ(core.mode(), TimeStamperCore::Mode::Remove);
    core.Transform(t, 0);
    EXPECT_FALSE(t.hasStart || t.hasStop || t.hasMediaTimes);
    EXPECT_EQ(core.lastStart(), 0);
    core.KeepTimes();
    EXPECT_EQ(core.mode(), TimeStamperCore::Mode::Keep);
}

TEST(TimeStamperElement, FrozenDeliversNothingThenNumbersFromOne) {
    GstHarness* h = gst_harness_new("vr_timestamper");
    gst_harness_set_src_caps_str(h, "audio/x-raw");
    g_object_set(h->element, "frozen", TRUE, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gst_harness_push(h, stamped(i * GST_SECOND, GST_SECOND)), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(h), 0u);
    gint count = -1;
    g_object_get(h->element, "sample-count", &count, nullptr);
    EXPECT_EQ(count, 0);
    g_object_set(h->element, "frozen", FALSE, nullptr);
    GstBuffer* out = gst_harness_push_and_pull(h, stamped(3 * GST_SECOND, GST_SECOND));
    EXPECT_EQ(GST_BUFFER_OFFSET(out), 1u);
    EXPECT_EQ(GST_BUFFER_OFFSET_END(out), 2u);
    EXPECT_EQ(GST_BUFFER_PTS(out), 3 * GST_SECOND);
    gst_buffer_unref(out);

    g_object_set(h->element, "mode", 2, nullptr); // remove
    out = gst_harness_push_and_pull(h, stamped(4 * GST_SECOND, GST_SECOND));
    EXPECT_FALSE(GST_BUFFER_PTS_IS_VALID(out));
    EXPECT_FALSE(GST_BUFFER_DURATION_IS_VALID(out));
    EXPECT_EQ(GST_BUFFER_OFFSET(out), GST_BUFFER_OFFSET_NONE);
    gst_buffer_unref(out);
    gst_harness_teardown(h);
}

TEST(TimeStamperElement, ClockModeOneSecondAfterTheRunStartIsStamped1020ms) {
    GstHarness* h = gst_harness_new("vr_timestamper");
    gst_harness_set_src_caps_str(h, "audio/x-raw");
    gst_harness_use_testclock(h);
    GstTestClock* clock = gst_harness_get_testclock(h);
    const GstClockTime runStart = 50 * GST_SECOND;
    gst_element_set_base_time(h->element, runStart);
    gst_test_clock_set_time(clock, runStart + GST_SECOND);
    g_object_set(h->element, "mode", 1, nullptr); // clock
    GstBuffer* out =
        gst_harness_push_and_pull(h, stamped(GST_CLOCK_TIME_NONE, GST_CLOCK_TIME_NONE));
    EXPECT_EQ(GST_BUFFER_PTS(out), 1020 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_DURATION(out), 4 * GST_MSECOND);
    gst_buffer_unref(out);
    gst_test_clock_set_time(clock, runStart + 2 * GST_SECOND);
    out = gst_harness_push_and_pull(h, stamped(0, 40 * GST_MSECOND));
    EXPECT_EQ(GST_BUFFER_PTS(out), 2020 * GST_MSECOND);
    EXPECT_EQ(GST_BUFFER_DURATION(out), 40 * GST_MSECOND);
    gst_buffer_unref(out);
    gst_object_unref(clock);
    gst_harness_teardown(h);
}
