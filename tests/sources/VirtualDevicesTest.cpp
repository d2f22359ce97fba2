// The built-in virtual devices in small pipelines built through the device operations.
#include "VirtualDevices.h"
#include "DeviceKinds.h"
#include "GraphFixture.h"
#include "GstRef.h"
#include "SceneDetect.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string_view>
#include <thread>

namespace {

class VirtualDevicesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        TVirtualOptions options;
        options.dataDir = dir->path();
        options.dvFrames = 30; // 1.2 s: jumps at frames 10 and 20
        options.mpegFrames = 25;
        devices = new TVirtualDevices(options);
        ASSERT_TRUE(devices->dvMaterial()->WaitReady(60000));
        ASSERT_TRUE(devices->mpegMaterial()->WaitReady(60000));
    }
    static void TearDownTestSuite() {
        delete devices;
        delete dir;
    }

    std::unique_ptr<TCaptureDevice> Video(int i) {
        return CreateCaptureDevice(devices->videoDevices()[i], 1);
    }

    static QTemporaryDir* dir;
    static TVirtualDevices* devices;
};

QTemporaryDir* VirtualDevicesTest::dir = nullptr;
TVirtualDevices* VirtualDevicesTest::devices = nullptr;

int CapsInt(GstPad* pad, const char* field) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    int v = -1;
    if (caps) {
        gst_structure_get_int(gst_caps_get_structure(caps, 0), field, &v);
        gst_caps_unref(caps);
    }
    return v;
}

int Children(GstElement* bin) {
    return int(GST_BIN(bin)->numchildren);
}

} // namespace

TEST_F(VirtualDevicesTest, MaterialIsMadeUnderItsNames) {
    EXPECT_TRUE(QFile::exists(dir->filePath("dv-virtuel.dv")));
    EXPECT_TRUE(QFile::exists(dir->filePath("mpeg-virtuel.m2v")));
    EXPECT_TRUE(QDir(dir->path()).entryList({"*.part"}, QDir::Files).isEmpty());
    EXPECT_EQ(QFile(dir->filePath("dv-virtuel.dv")).size(), 30 * 144000);
}

TEST_F(VirtualDevicesTest, MireDeTestDeliversFrames) {
    auto device = Video(0);
    ASSERT_EQ(device->FriendlyName, "Mire de test");
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    EXPECT_EQ(device->SourceFilter, device->SetSourceGraph(g)); // once in the graph
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    EXPECT_FALSE(device->SetVideoGraph(g, 2) && false);
    ASSERT_TRUE(g.videoOutputPad.get());
    ASSERT_TRUE(g.videoBranchTee);
    std::atomic<int> frames{0};
    g.Sink(g.videoOutputPad.get(), frames);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return frames >= 5; }, 5000));
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "width"), 720);
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "height"), 576);
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    device->KillVideoGraph(g);
    EXPECT_EQ(g.videoOutputPad.get(), nullptr);
    EXPECT_EQ(g.videoBranchTee, nullptr);
    device->KillSourceGraph(g);
    EXPECT_EQ(Children(g.pipe), 1); // only the test's sink is left
    EXPECT_FALSE(device->BuildMuxGraph(g, "x.avi"));
}

TEST_F(VirtualDevicesTest, SignalDeTestDeliversSound) {
    auto device = CreateCaptureDevice(devices->audioDevices()[0], 1);
    ASSERT_EQ(device->Kind, dkAudio);
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    EXPECT_FALSE(device->SetAudioGraph(g, 2));
    ASSERT_TRUE(device->SetAudioGraph(g, 1));
    std::atomic<int> buffers{0};
    g.Sink(g.audioPin.get(), buffers);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return buffers >= 5; }, 5000));
    EXPECT_EQ(CapsInt(g.audioPin.get(), "rate"), 48000);
    EXPECT_EQ(CapsInt(g.audioPin.get(), "channels"), 2);
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    EXPECT_TRUE(device->KillAudioGraph(g));
    device->KillSourceGraph(g);
    EXPECT_EQ(Children(g.pipe), 1);
    EXPECT_TRUE(device->BuildMuxGraph(g, "x.wav"));
}

TEST_F(VirtualDevicesTest, DvVirtuelPicturesSoundAndScenes) {
    auto device = Video(1);
    ASSERT_EQ(device->Kind, dkDV);
    ASSERT_EQ(device->DisplayName, "DV Source");
    ASSERT_TRUE(device->Transport());
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    // Audio branch first: the demuxer's pads may come in any order.
    ASSERT_TRUE(device->SetAudioGraph(g, 1));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    std::atomic<int> pictures{0}, sound{0};
    g.Sink(g.videoOutputPad.get(), pictures);
    g.Sink(g.audioPin.get(), sound);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return pictures >= 10 && sound >= 10; }, 8000));
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "width"), 720);
    EXPECT_EQ(CapsInt(g.audioPin.get(), "rate"), 48000);
    // The device's detector reads the packs and reports the two jumps of the clip.
    TDVFrameInfo* newest = nullptr;
    g_object_get(device->SceneDetector(), "current-frame", &newest, nullptr);
    const TGstRef<TDVFrameInfo> info(newest);
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->DateValid);
    EXPECT_EQ(info->AudioRate, 48000);
    GstBus* bus = gst_element_get_bus(g.pipe);
    int scenes = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (scenes < 2 && std::chrono::steady_clock::now() < end) {
        GstMessage* m = gst_bus_timed_pop_filtered(bus, 100 * GST_MSECOND, GST_MESSAGE_ELEMENT);
        if (!m)
            continue;
        if (gst_message_has_name(m, "vr-scene") &&
            GST_MESSAGE_SRC(m) == GST_OBJECT(device->SceneDetector()))
            ++scenes;
        gst_message_unref(m);
    }
    gst_object_unref(bus);
    EXPECT_GE(scenes, 2);
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    device->KillVideoGraph(g);
    EXPECT_TRUE(device->KillAudioGraph(g));
    device->KillSourceGraph(g);
    EXPECT_EQ(Children(g.pipe), 2);
    EXPECT_EQ(g.audioPin.get(), nullptr);
}

// The switch of the long-run benchmarks: with VIDORRA_BENCH_NONLIVE=1 when they are made, the
// virtual sources are not live (a pipeline of them prerolls) and the DV deck times its frames
// one after the other from 0, as fast as they are taken; without it they are live again.
TEST_F(VirtualDevicesTest, BenchmarkSwitchMakesTheSourcesNonLive) {
    const std::vector<TDeviceDescriptor> video = devices->videoDevices();
    const std::vector<TDeviceDescriptor> audio = devices->audioDevices();
    for (const bool nonLive : {true, false}) {
        SCOPED_TRACE(nonLive ? "non-live" : "live");
        if (nonLive)
            qputenv("VIDORRA_BENCH_NONLIVE", "1");
        else
            qunsetenv("VIDORRA_BENCH_NONLIVE");
        for (const TDeviceDescriptor* d : {&video[0], &video[1], &audio[0]}) {
            SCOPED_TRACE(d->friendlyName.toStdString());
            GstElement* pipe = gst_pipeline_new(nullptr);
            GstElement* src = d->createSource();
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            ASSERT_TRUE(src && sink);
            gst_bin_add_many(GST_BIN(pipe), src, sink, nullptr);
            ASSERT_TRUE(gst_element_link(src, sink));
            static std::array<GstClockTime, 50> times;
            static std::atomic<size_t> count;
            count = 0;
            GstPad* in = gst_element_get_static_pad(sink, "sink");
            gst_pad_add_probe(
                in, GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad*, GstPadProbeInfo* info, gpointer) {
                    if (count < times.size())
                        times[count++] = GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
                    return GST_PAD_PROBE_OK;
                },
                nullptr, nullptr);
            gst_object_unref(in);
            gst_element_set_state(pipe, GST_STATE_PAUSED);
            EXPECT_EQ(gst_element_get_state(pipe, nullptr, nullptr, 10 * GST_SECOND),
                      nonLive ? GST_STATE_CHANGE_SUCCESS : GST_STATE_CHANGE_NO_PREROLL);
            if (nonLive && d == &video[1]) {
                gst_element_set_state(pipe, GST_STATE_PLAYING);
                EXPECT_TRUE(WaitFor([] { return count == times.size(); }, 10000));
                for (size_t i = 0; i < count; ++i)
                    ASSERT_EQ(times[i], i * 40 * GST_MSECOND) << i;
            }
            gst_element_set_state(pipe, GST_STATE_NULL);
            gst_object_unref(pipe);
        }
    }
}

TEST_F(VirtualDevicesTest, DvDeckLoopsAndObeysItsTransport) {
    auto device = Video(1);
    auto deck = devices->dvDeck();
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    std::atomic<int> pictures{0};
    g.Sink(g.videoOutputPad.get(), pictures);
    // Watch the tape at the deck's output: delivered frames, the last two frames' contents,
    // and whether the timecode went back (a loop).
    struct Watch {
        std::atomic<int> frames{0};
        std::atomic<bool> looped{false};
        std::atomic<bool> repeated{false};
        int lastFrames = -1;
        std::string last;
        TVirtualDvDeck* deck;
    } watch;
    watch.deck = deck.get();
    GstPad* out = gst_element_get_static_pad(device->SourceFilter, "src");
    gst_pad_add_probe(
        out, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            auto* w = static_cast<Watch*>(data);
            GstBuffer* b = GST_PAD_PROBE_INFO_BUFFER(info);
            GstMapInfo map;
            gst_buffer_map(b, &map, GST_MAP_READ);
            std::string now(reinterpret_cast<const char*>(map.data), map.size);
            gst_buffer_unmap(b, &map);
            w->repeated = now == w->last;
            w->last = std::move(now);
            const auto tc = w->deck->timecode();
            const int frames = ((tc.hours * 60 + tc.minutes) * 60 + tc.seconds) * 25 + tc.frames;
            if (w->lastFrames >= 0 && frames < w->lastFrames)
                w->looped = true;
            w->lastFrames = frames;
            ++w->frames;
            return GST_PAD_PROBE_OK;
        },
        &watch, nullptr);
    gst_object_unref(out);
    deck->setMode(IDvTransport::ED_MODE_PLAY);
    ASSERT_TRUE(g.Play());
    // The waits below are for events, not durations: a loaded machine only makes them later.
    EXPECT_TRUE(WaitFor([&] { return watch.looped.load(); }, 20000));
    EXPECT_TRUE(deck->timecode().valid);

    // Pause: the same picture again and again, the tape stands still.
    deck->setMode(IDvTransport::ED_MODE_FREEZE);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_FREEZE);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const int64_t held = deck->position();
    const int before = watch.frames;
    EXPECT_TRUE(WaitFor([&] { return watch.frames - before >= 4; }, 5000));
    EXPECT_EQ(deck->position(), held);
    EXPECT_TRUE(watch.repeated.load());

    // Play again: the tape moves on.
    deck->setMode(IDvTransport::ED_MODE_PLAY);
    EXPECT_TRUE(WaitFor([&] { return deck->position() != held; }, 5000));
    EXPECT_TRUE(WaitFor([&] { return !watch.repeated.load(); }, 5000));

    // Stop: nothing comes out.
    deck->setMode(IDvTransport::ED_MODE_STOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const int stopped = watch.frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(watch.frames - stopped, 1);

    // Rewinding from stop runs the tape backwards without a picture; the timecode follows.
    const int64_t from = deck->position();
    const IDvTransport::Timecode tcBefore = deck->timecode();
    const int quiet = watch.frames;
    deck->setMode(IDvTransport::ED_MODE_REW);
    EXPECT_TRUE(WaitFor([&] { return deck->position() != from; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LE(watch.frames - quiet, 1);
    EXPECT_NE(deck->timecode().seconds * 25 + deck->timecode().frames,
              tcBefore.seconds * 25 + tcBefore.frames);
    // Picture search forward: pictures, several frames of tape apart.
    deck->setMode(IDvTransport::ED_MODE_PLAY_FASTEST_FWD);
    const int64_t searching = deck->position();
    const int shown = watch.frames;
    EXPECT_TRUE(WaitFor([&] { return watch.frames >= shown + 3; }, 5000));
    EXPECT_GE(((deck->position() - searching) % deck->frameCount() + deck->frameCount()) %
                  deck->frameCount(),
              10);
    deck->setMode(IDvTransport::ED_MODE_PLAY);
    EXPECT_EQ(g.Error(), "");
}

TEST_F(VirtualDevicesTest, DvBranchesChangeWhilePlaying) {
    auto device = Video(1);
    FakeGraph g;
    g.half = true;
    ASSERT_TRUE(device->SetSourceGraph(g));
    ASSERT_TRUE(g.Play());
    // Running without any branch: the demuxer's outputs go nowhere, without an error.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(g.Error(), "");
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    std::atomic<int> pictures{0};
    GstElement* sink = g.Sink(nullptr, pictures);
    gst_element_sync_state_with_parent(sink);
    GstPad* in = gst_element_get_static_pad(sink, "sink");
    ASSERT_EQ(gst_pad_link(g.videoOutputPad.get(), in), GST_PAD_LINK_OK);
    gst_object_unref(in);
    EXPECT_TRUE(WaitFor([&] { return pictures >= 5; }, 5000));
    // Half size for DivX recordings: half the picture in both directions.
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "width"), 360);
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "height"), 288);
    device->KillVideoGraph(g);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(g.Error(), "");
    device->KillSourceGraph(g);
    EXPECT_EQ(Children(g.pipe), 1);
}

// The native type 1 file: the device hands the program the tee of its interleaved stream and
// the writer the factory makes, and adds nothing to the pipeline itself.
TEST_F(VirtualDevicesTest, DvNativeRecordingHook) {
    auto device = Video(1);
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    EXPECT_EQ(g.videoDevice, device.get());
    const int children = Children(g.pipe);
    // Without the type 1 writer the build reports false and hands out nothing.
    EXPECT_FALSE(device->BuildMuxGraph(g, "/tmp/x.avi"));
    EXPECT_EQ(g.muxTee, nullptr);
    EXPECT_TRUE(g.muxWriter.empty());
    QString named;
    TDVCaptureDevice::SetType1WriterFactory([&named](const QString& fileName) {
        named = fileName;
        return std::vector<GstElement*>{gst_element_factory_make("identity", nullptr),
                                        gst_element_factory_make("fakesink", nullptr)};
    });
    EXPECT_TRUE(device->BuildMuxGraph(g, "/tmp/x.avi"));
    EXPECT_EQ(named, "/tmp/x.avi");
    ASSERT_NE(g.muxTee, nullptr);
    EXPECT_NE(gst_element_get_pad_template(g.muxTee, "src_%u"), nullptr);
    ASSERT_EQ(g.muxWriter.size(), 2u);
    for (GstElement* e : g.muxWriter)
        gst_object_unref(gst_object_ref_sink(e));
    g.muxWriter.clear();
    EXPECT_TRUE(device->KillMuxGraph(g));
    EXPECT_EQ(Children(g.pipe), children);
    // A factory that cannot make its elements builds nothing.
    TDVCaptureDevice::SetType1WriterFactory(
        [](const QString&) { return std::vector<GstElement*>{nullptr}; });
    EXPECT_FALSE(device->BuildMuxGraph(g, "/tmp/y.avi"));
    EXPECT_TRUE(g.muxWriter.empty());
    TDVCaptureDevice::SetType1WriterFactory({});
    device->KillVideoGraph(g);
    EXPECT_EQ(g.videoDevice, nullptr);
    device->KillSourceGraph(g);
}

TEST_F(VirtualDevicesTest, MpegVirtuelDecodesThroughTheRegistry) {
    auto device = Video(2);
    ASSERT_EQ(device->Kind, dkVideo);
    EXPECT_FALSE(TVideoCaptureDevice::DecoderCandidates(device->Moniker.caps).isEmpty());
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    std::atomic<int> pictures{0}, native{0};
    g.Sink(g.videoOutputPad.get(), pictures);
    // The native stream is whole MPEG-2 pictures, on the tee's further outputs.
    GstPad* teePad = gst_element_request_pad_simple(g.videoBranchTee, "src_%u");
    GstElement* queue = gst_element_factory_make("queue", nullptr);
    gst_bin_add(g.pipeline(), queue);
    GstPad* qin = gst_element_get_static_pad(queue, "sink");
    gst_pad_link(teePad, qin);
    gst_object_unref(qin);
    GstPad* qout = gst_element_get_static_pad(queue, "src");
    g.Sink(qout, native);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return pictures >= 30 && native >= 30; }, 8000)); // past a loop
    EXPECT_EQ(CapsInt(g.videoOutputPad.get(), "width"), 352);
    GstCaps* caps = gst_pad_get_current_caps(qout);
    ASSERT_TRUE(caps);
    int version = 0;
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "mpegversion", &version);
    EXPECT_EQ(version, 2);
    gst_caps_unref(caps);
    gst_object_unref(qout);
    gst_object_unref(teePad);
    EXPECT_EQ(g.Error(), "");
}

TEST(VideoDevice, UnknownFormatGoesThroughDecodebin) {
    // A device that does not tell its caps: no registered decoder can be chosen up front.
    TDeviceDescriptor d;
    d.id = "x";
    d.friendlyName = "Carte";
    d.caps = gst_caps_from_string("video/x-raw");
    d.createSource = [] {
        GstElement* src = gst_element_factory_make("videotestsrc", nullptr);
        g_object_set(src, "is-live", TRUE, nullptr);
        return src;
    };
    auto device = CreateCaptureDevice(d, 1);
    ASSERT_TRUE(device);
    gst_caps_unref(device->Moniker.caps);
    device->Moniker.caps = nullptr;
    FakeGraph g;
    ASSERT_TRUE(device->SetSourceGraph(g));
    ASSERT_TRUE(device->SetVideoGraph(g, 1));
    std::atomic<int> pictures{0};
    g.Sink(g.videoOutputPad.get(), pictures);
    ASSERT_TRUE(g.Play());
    EXPECT_TRUE(WaitFor([&] { return pictures >= 5; }, 5000));
    EXPECT_EQ(g.Error(), "");
    gst_element_set_state(g.pipe, GST_STATE_NULL);
    device->KillSourceGraph(g);
    EXPECT_EQ(Children(g.pipe), 1);
    EXPECT_EQ(g.videoOutputPad.get(), nullptr);
}

// One side of the next test: a program that starts and makes the virtual devices' clips in
// the folder it is given.
TEST(VirtualMaterialChild, MakesTheClips) {
    const QString dir = qEnvironmentVariable("VIDORRA_MATERIAL_DIR");
    if (dir.isEmpty())
        GTEST_SKIP() << "started by VirtualMaterial.TwoProcessesEndWithOneWholeClip";
    TVirtualOptions options;
    options.dataDir = dir;
    options.dvFrames = 60;
    options.mpegFrames = 10;
    TVirtualDevices devices(options);
    ASSERT_TRUE(devices.dvMaterial()->WaitReady(120000));
    ASSERT_TRUE(devices.mpegMaterial()->WaitReady(120000));
    EXPECT_TRUE(IsWholeDvClip(devices.dvMaterial()->path()));
}

// Two programs starting together on a folder holding a clip damaged by an older run (zeros
// where a second maker had truncated the file under the first): one of them makes the clip
// again while the other waits, and both end with the same whole clip.
TEST(VirtualMaterial, TwoProcessesEndWithOneWholeClip) {
    QTemporaryDir dir;
    const QString clip = dir.filePath("dv-virtuel.dv");
    {
        QFile damaged(clip);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(60 * 144000, '\0'));
    }
    EXPECT_FALSE(IsWholeDvClip(clip));
    QProcess a, b;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VIDORRA_MATERIAL_DIR", dir.path());
    for (QProcess* p : {&a, &b}) {
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start("/proc/self/exe", {"--gtest_filter=VirtualMaterialChild.MakesTheClips"});
    }
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(180000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    EXPECT_TRUE(IsWholeDvClip(clip));
    EXPECT_EQ(QFile(clip).size(), 60 * 144000);
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.part"}, QDir::Files).isEmpty());
}

// A program that closes while the built-in devices' material is being made does not wait
// for it: the maker is told to stop and the half file goes.
TEST(VirtualMaterial, ClosingDoesNotWaitForWhatIsBeingMade) {
    QTemporaryDir dir;
    std::atomic<bool> making{false};
    std::atomic<bool> stoppedInTime{false};
    {
        auto material = std::make_shared<TVirtualMaterial>(
            dir.filePath("clip.bin"),
            [&](const std::string& path, std::string* error, const std::atomic<bool>& stop) {
                QFile(QString::fromStdString(path)).open(QIODevice::WriteOnly);
                making = true;
                for (int i = 0; i < 3000 && !stop.load(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                stoppedInTime = stop.load();
                *error = "stopped";
                return false;
            });
        material->Ensure();
        while (!making)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(stoppedInTime);
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.part"}, QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("clip.bin")));
}
