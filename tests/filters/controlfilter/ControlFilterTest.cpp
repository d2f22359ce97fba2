#include "ControlFilterCore.h"

#include <gst/check/gstharness.h>
#include <gtest/gtest.h>

TEST(ControlFilterCore, OneSamplePerOpeningNumberedAndMarked) {
    ControlFilterCore core;
    core.SetNumberFrames(true);
    core.setMarkSyncPoint(true);
    EXPECT_TRUE(core.Transform().pass); // open at creation
    EXPECT_FALSE(core.Transform().pass);
    core.setGateOpen(true);
    core.setGateOpen(true);
    ControlFilterCore::Passed p = core.Transform();
    EXPECT_TRUE(p.pass);
    EXPECT_EQ(p.mediaStart, 1);
    EXPECT_EQ(p.mediaStop, 2);
    EXPECT_TRUE(p.syncPoint);
    EXPECT_FALSE(p.discontinuity);
    EXPECT_FALSE(core.Transform().pass);
    core.Stop();
    EXPECT_TRUE(core.Transform().pass);
}

TEST(ControlFilterElement, GatePassesOneBufferPerOpeningWithMediaTimes) {
    GstHarness* h = gst_harness_new("vr_controlfilter");
    gst_harness_set_src_caps_str(h, "video/x-raw");
    g_object_set(h->element, "gate-open", FALSE, "number-frames", TRUE, "mark-sync-point", TRUE,
                 "mark-discontinuity", TRUE, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(gst_harness_push(h, gst_buffer_new_allocate(nullptr, 4, nullptr)), GST_FLOW_OK);
    EXPECT_EQ(gst_harness_buffers_received(h), 0u);

    for (guint64 n = 0; n < 3; ++n) {
        g_object_set(h->element, "gate-open", TRUE, nullptr);
        g_object_set(h->element, "gate-open", TRUE, nullptr);
        GstBuffer* in = gst_buffer_new_allocate(nullptr, 4, nullptr);
        GST_BUFFER_FLAG_SET(in, GST_BUFFER_FLAG_DELTA_UNIT);
        gst_harness_push(h, in);
        gst_harness_push(h, gst_buffer_new_allocate(nullptr, 4, nullptr));
        GstBuffer* out = gst_harness_pull(h);
        EXPECT_EQ(GST_BUFFER_OFFSET(out), n);
        EXPECT_EQ(GST_BUFFER_OFFSET_END(out), n + 1);
        EXPECT_FALSE(GST_BUFFER_FLAG_IS_SET(out, GST_BUFFER_FLAG_DELTA_UNIT));
        EXPECT_TRUE(GST_BUFFER_FLAG_IS_SET(out, GST_BUFFER_FLAG_DISCONT));
        gst_buffer_unref(out);
    }
    EXPECT_EQ(gst_harness_buffers_received(h), 3u);
    gst_harness_teardown(h);
}

TEST(ControlFilterElement, StopReopensTheGateThenSignals) {
    GstHarness* h = gst_harness_new("vr_controlfilter");
    gst_harness_set_src_caps_str(h, "video/x-raw");
    int stops = 0;
    gboolean openAtSignal = FALSE;
    struct Seen {
        int* stops;
        gboolean* open;
    } seen{&stops, &openAtSignal};
    g_signal_connect(h->element, "on-stop", G_CALLBACK(+[](GstElement* e, gpointer data) {
                         auto* s = static_cast<Seen*>(data);
                         ++*s->stops;
                         g_object_get(e, "gate-open", s->open, nullptr);
                     }),
                     &seen);
    gst_harness_push(h, gst_buffer_new_allocate(nullptr, 4, nullptr));
    gboolean open = TRUE;
    g_object_get(h->element, "gate-open", &open, nullptr);
    EXPECT_FALSE(open);
    gst_element_set_state(h->element, GST_STATE_READY);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(openAtSignal);
    gst_harness_teardown(h);
}
