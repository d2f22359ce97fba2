#include "DVClip.h"
#include "DVGenerator.h"
#include "GstRef.h"
#include "SceneDetect.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace dv;

namespace {

struct Scene {
    uint32_t from, to;
    bool operator==(const Scene&) const = default;
};

using SceneHandler = std::function<void(const TDVFrameInfo& start, const TDVFrameInfo& now)>;

void CallHandler(GstElement*, const TDVFrameInfo* start, const TDVFrameInfo* now, gpointer h) {
    (*static_cast<SceneHandler*>(h))(*start, *now);
}

// Connects handler to "scene" and turns the signal on, as an application does.
gulong ConnectScene(GstElement* detector, SceneHandler* handler) {
    const gulong id = g_signal_connect(detector, "scene", G_CALLBACK(CallHandler), handler);
    g_object_set(detector, "emit-signals", TRUE, nullptr);
    return id;
}

// The detector's "current-frame"; false while it has none.
[[nodiscard]] bool Current(GstElement* detector, TDVFrameInfo& info) {
    TDVFrameInfo* newest = nullptr;
    g_object_get(detector, "current-frame", &newest, nullptr);
    const TGstRef<TDVFrameInfo> held(newest);
    if (held)
        info = *held.get();
    return bool(held);
}

GstBuffer* FrameBuffer(const std::vector<uint8_t>& frame, int n) {
    GstBuffer* buf =
        frame.empty() ? gst_buffer_new() : gst_buffer_new_memdup(frame.data(), frame.size());
    GST_BUFFER_PTS(buf) = static_cast<GstClockTime>(n) * 40 * GST_MSECOND;
    GST_BUFFER_DURATION(buf) = 40 * GST_MSECOND;
    return buf;
}

class Harness {
public:
    Harness() : h(gst_harness_new("vr_scenedetect")), bus(gst_bus_new()) {
        gst_element_set_bus(h->element, bus);
        gst_harness_set_src_caps_str(h, "video/x-dv,systemstream=(boolean)false");
    }
    ~Harness() {
        gst_harness_teardown(h);
        gst_object_unref(bus);
    }
    // Pushes frames n0..n1-1 of the clip.
    void Push(const ClipSpec& spec, int n0, int n1, int ptsOffset = 0) {
        auto frame = MakeHandBuiltFrame(spec.pal, {});
        for (int n = n0; n < n1; ++n) {
            PatchFrame(frame, ClipPacksAt(spec, n));
            ASSERT_EQ(gst_harness_push(h, FrameBuffer(frame, n + ptsOffset)), GST_FLOW_OK);
            gst_buffer_unref(gst_harness_pull(h));
        }
    }
    std::vector<GstStructure*> Messages(const char* name) {
        std::vector<GstStructure*> out;
        while (GstMessage* m = gst_bus_pop_filtered(bus, GST_MESSAGE_ELEMENT)) {
            const GstStructure* s = gst_message_get_structure(m);
            if (gst_structure_has_name(s, name))
                out.push_back(gst_structure_copy(s));
            gst_message_unref(m);
        }
        return out;
    }
    GstHarness* h;
    GstBus* bus;
};

} // namespace

TEST(SceneDetectElement, GeneratedClipPostsOneMessagePerJump) {
    ClipSpec spec;
    spec.frames = 100;
    spec.dateJumps = {{40, 3}, {70, -60}};
    const auto path = std::filesystem::temp_directory_path() / "vr_scenedetect_test.dv";
    std::string error;
    ASSERT_TRUE(GenerateClip(path.string(), spec, &error)) << error;

    GError* err = nullptr;
    GstElement* pipeline = gst_parse_launch(
        ("filesrc location=" + path.string() + " ! dvdemux ! vr_scenedetect name=d ! fakesink")
            .c_str(),
        &err);
    ASSERT_TRUE(pipeline) << (err ? err->message : "");
    GstElement* detector = gst_bin_get_by_name(GST_BIN(pipeline), "d");
    std::vector<Scene> calls;
    SceneHandler record = [&](const TDVFrameInfo& a, const TDVFrameInfo& b) {
        calls.push_back({a.FrameNumber, b.FrameNumber});
    };
    ConnectScene(detector, &record);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    std::vector<Scene> messages;
    bool wide = true;
    for (;;) {
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 20 * GST_SECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_ELEMENT));
        ASSERT_TRUE(m);
        const auto type = GST_MESSAGE_TYPE(m);
        if (type == GST_MESSAGE_ELEMENT) {
            const GstStructure* s = gst_message_get_structure(m);
            guint a = 0, b = 0;
            if (gst_structure_has_name(s, "vr-scene") &&
                gst_structure_get_uint(s, "start-frame", &a) &&
                gst_structure_get_uint(s, "frame", &b))
                messages.push_back({a, b});
            if (gst_structure_has_name(s, "vr-widescreen"))
                wide = false;
        }
        gst_message_unref(m);
        ASSERT_NE(type, GST_MESSAGE_ERROR);
        if (type == GST_MESSAGE_EOS)
            break;
    }
    gst_object_unref(bus);

    EXPECT_EQ(messages, (std::vector<Scene>{{1, 40}, {40, 70}}));
    TDVFrameInfo cur;
    ASSERT_TRUE(Current(detector, cur));
    EXPECT_EQ(cur.FrameNumber, 100u);
    EXPECT_TRUE(cur.TimecodeValid);
    EXPECT_TRUE(cur.Complete) << "the muxer's audio source pack is found";
    EXPECT_EQ(cur.AudioRate, 48000);
    EXPECT_EQ(cur.Timecode[2], 3); // frame 99 at 25 fps: 00:00:03:24
    EXPECT_EQ(cur.Timecode[3], 24);
    EXPECT_TRUE(wide) << "a 4:3 clip never switches";

    // Stop reports the last scene once, then everything restarts.
    gst_element_set_state(pipeline, GST_STATE_NULL);
    EXPECT_EQ(calls, (std::vector<Scene>{{1, 40}, {40, 70}, {70, 100}}));
    EXPECT_FALSE(Current(detector, cur));
    gst_object_unref(detector);
    gst_object_unref(pipeline);
    std::filesystem::remove(path);
}

TEST(SceneDetectElement, EndOfPartReportsAndRestartsCountingButKeepsRings) {
    // Both outlive the harness, whose teardown reports the last scene.
    std::vector<Scene> calls;
    SceneHandler record = [&](const TDVFrameInfo& a, const TDVFrameInfo& b) {
        calls.push_back({a.FrameNumber, b.FrameNumber});
    };
    Harness t;
    ClipSpec spec;
    spec.frames = 200;
    spec.dateJumps = {{50, 100}};
    ConnectScene(t.h->element, &record);
    t.Push(spec, 0, 30);
    g_signal_emit_by_name(t.h->element, "end-part");
    EXPECT_EQ(calls, (std::vector<Scene>{{1, 30}}));
    // An empty part has no scene to report.
    g_signal_emit_by_name(t.h->element, "end-part");
    EXPECT_EQ(calls.size(), 1u);

    t.Push(spec, 30, 60);
    EXPECT_EQ(calls, (std::vector<Scene>{{1, 30}, {1, 20}}));

    IFrameInfoSource* src = vrFrameInfoSource(t.h->element);
    ASSERT_TRUE(src);
    TDVFrameInfo info;
    // Frame 45 of the stream, the 16th of the second part.
    EXPECT_EQ(src->LookupFrameInfo(45 * 40 * GST_MSECOND, info), 46);
    EXPECT_EQ(info.FrameNumber, 16u);
    uint8_t header[kRingHeaderBytes];
    EXPECT_TRUE(src->CopyHeader(46, header));
    EXPECT_EQ(header[kPosStandard], 0xBF);
}

// As appsink's, the signal waits to be asked for: a handler merely connected is not called,
// while the messages tell every scene.
TEST(SceneDetectElement, SceneSignalOnlyOnceAskedFor) {
    std::vector<Scene> calls;
    SceneHandler record = [&](const TDVFrameInfo& a, const TDVFrameInfo& b) {
        calls.push_back({a.FrameNumber, b.FrameNumber});
    };
    Harness t;
    g_signal_connect(t.h->element, "scene", G_CALLBACK(CallHandler), &record);
    ClipSpec spec;
    spec.frames = 100;
    spec.dateJumps = {{20, 100}, {60, 100}};
    t.Push(spec, 0, 40);
    EXPECT_TRUE(calls.empty());
    auto messages = t.Messages("vr-scene");
    EXPECT_EQ(messages.size(), 1u);
    for (auto* m : messages)
        gst_structure_free(m);
    g_object_set(t.h->element, "emit-signals", TRUE, nullptr);
    t.Push(spec, 40, 80);
    g_signal_emit_by_name(t.h->element, "end-part");
    EXPECT_EQ(calls, (std::vector<Scene>{{20, 60}, {60, 80}}));
    g_object_set(t.h->element, "emit-signals", FALSE, nullptr);
}

TEST(SceneDetectElement, WidescreenSwitchAndBufferNumbers) {
    Harness t;
    ClipSpec spec;
    spec.frames = 10;
    t.Push(spec, 0, 3);
    spec.widescreen = true;
    auto frame = MakeHandBuiltFrame(true, ClipPacksAt(spec, 3));
    ASSERT_EQ(gst_harness_push(t.h, FrameBuffer(frame, 3)), GST_FLOW_OK);
    GstBuffer* out = gst_harness_pull(t.h);
    EXPECT_EQ(GST_BUFFER_OFFSET(out), 3u);
    EXPECT_EQ(GST_BUFFER_OFFSET_END(out), 4u);
    gst_buffer_unref(out);
    spec.widescreen = false;
    t.Push(spec, 4, 5);
    auto msgs = t.Messages("vr-widescreen");
    ASSERT_EQ(msgs.size(), 2u);
    int msg = 0, wparam = 0, lparam = -1;
    gst_structure_get_int(msgs[0], "message", &msg);
    gst_structure_get_int(msgs[0], "wparam", &wparam);
    gst_structure_get_int(msgs[0], "lparam", &lparam);
    EXPECT_EQ(msg, 1027);
    EXPECT_EQ(wparam, 1);
    EXPECT_EQ(lparam, 1);
    gst_structure_get_int(msgs[1], "lparam", &lparam);
    EXPECT_EQ(lparam, 0);
    for (auto* s : msgs)
        gst_structure_free(s);
}

TEST(SceneDetectElement, DamagedBuffersPassUnchanged) {
    Harness t;
    const size_t sizes[] = {0, 1, 467, 4327, 119999, 144000, 12 * 12000 + 7};
    for (size_t size : sizes) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
        ASSERT_EQ(gst_harness_push(t.h, FrameBuffer(bytes, 0)), GST_FLOW_OK);
        GstBuffer* out = gst_harness_pull(t.h);
        ASSERT_EQ(gst_buffer_get_size(out), size);
        if (size > 0) {
            EXPECT_EQ(gst_buffer_memcmp(out, 0, bytes.data(), size), 0);
        }
        gst_buffer_unref(out);
    }
}

TEST(SceneDetectElement, HandlerTurnedOffWhileStreamingIsNeverCalledAgain) {
    std::atomic<bool> removed{false};
    std::atomic<int> lateCalls{0}, calls{0};
    Harness t;
    ClipSpec spec;
    spec.frames = 400;
    for (int f = 5; f < 400; f += 5)
        spec.dateJumps.push_back({f, 10});
    SceneHandler count = [&](const TDVFrameInfo&, const TDVFrameInfo&) {
        ++calls;
        if (removed)
            ++lateCalls;
    };
    std::thread pusher([&] { t.Push(spec, 0, 400); });
    for (int i = 0; i < 50; ++i) {
        removed = false;
        const gulong id = ConnectScene(t.h->element, &count);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        g_object_set(t.h->element, "emit-signals", FALSE, nullptr);
        g_signal_handler_disconnect(t.h->element, id);
        removed = true;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    pusher.join();
    EXPECT_EQ(lateCalls, 0);
}
