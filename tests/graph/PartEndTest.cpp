// The end of a recording part goes on in the event loop: what arrives meanwhile waits for it,
// and nothing of the graph is touched under the file being finished.
#include "Encoders.h"
#include "RecordingRig.h"
#include "RecoveryJournal.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

constexpr uint8_t kDivx = 9;

// Frames that ffprobe reads in the video stream of a file (-1: none).
int videoFrames(const QString& file) {
    const Probe p = probe(file);
    return p.of("video") ? p.of("video")->frames : -1;
}

} // namespace

// A stop, then a start before the first file has its end: the start is refused by the module
// and, asked through WhenIdle, runs once the first file is finished. Both files are whole.
TEST(PartEnd, StartDuringAnEndWaitsForIt) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    const QString first = rig.box.path("avant.avi"), second = rig.box.path("apres.avi");
    QStringList finished;
    bool startedBeforeTheEnd = false;
    bool started = false;
    QObject::connect(&rig.dm, &Tdm::recordingPartFinished, [&](const QString& file, bool complete) {
        finished << file + (complete ? " complet" : " réparé");
        startedBeforeTheEnd = started;
    });
    ASSERT_TRUE(rig.dm.BuildRecording(kDivx, first, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    pump(1500);
    rig.dm.EndRecordingPart();
    ASSERT_TRUE(rig.dm.endingPart());
    // The call returned at once: the branch is still there, writing its last frames.
    EXPECT_TRUE(rig.dm.hasRecordingBranch());
    EXPECT_FALSE(rig.dm.BuildRecording(kDivx, second, nullptr, TRecordingSettings{}));
    EXPECT_FALSE(rig.dm.lastError().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(second));
    QObject context;
    rig.dm.WhenIdle(&context, [&] {
        started = rig.dm.BuildRecording(kDivx, second, nullptr, TRecordingSettings{});
    });
    EXPECT_FALSE(started);
    ASSERT_TRUE(waitFor([&] { return started; }, 30000)) << rig.dm.lastError().toStdString();
    EXPECT_FALSE(startedBeforeTheEnd);
    EXPECT_EQ(finished, QStringList{first + " complet"});
    pump(1500);
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_GE(videoFrames(first), 25);
    EXPECT_GE(videoFrames(second), 25);
    // Nothing is left to repair.
    EXPECT_FALSE(TRecordingJournal().Pending().contains(first));
    EXPECT_FALSE(TRecordingJournal().Pending().contains(second));
}

// A cut followed at once by a stop: the stop waits for the cut, and both parts are whole.
TEST(PartEnd, StopDuringACutFollowsIt) {
    Rig rig("Mire de test");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    const QString first = rig.box.path("coupe0.avi"), second = rig.box.path("coupe1.avi");
    QStringList finished;
    QObject::connect(&rig.dm, &Tdm::recordingPartFinished, [&](const QString& file, bool complete) {
        finished << file + (complete ? " complet" : " réparé");
    });
    ASSERT_TRUE(rig.dm.BuildRecording(kDivx, first, nullptr, TRecordingSettings{}));
    pump(1200);
    ASSERT_TRUE(rig.dm.SplitRecording(second));
    EXPECT_EQ(rig.dm.recordingFileName(), second);
    // Another cut cannot start while this one finishes its file.
    EXPECT_FALSE(rig.dm.SplitRecording(rig.box.path("coupe2.avi")));
    EXPECT_TRUE(endPart(rig.dm));
    EXPECT_EQ(finished, QStringList({first + " complet", second + " complet"}));
    EXPECT_GT(videoFrames(first), 20);
    EXPECT_GT(videoFrames(second), 0);
    EXPECT_FALSE(QFileInfo::exists(rig.box.path("coupe2.avi")));
}

// The module goes while a part is being ended (the window closed under it): the branch leaves
// before the elements it holds, nothing is reported any more, and the file is left to the
// repair of the next start.
TEST(PartEnd, TheModuleGoesWhileAPartEnds) {
    Sandbox box;
    std::unique_ptr<TCaptureDevice> mire = virtualDevice(TDeviceCategory::Video, "Mire de test");
    ASSERT_NE(mire, nullptr);
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    const QString file = box.path("orphelin.avi");
    int reported = 0;
    {
        auto dm = std::make_unique<Tdm>();
        QObject::connect(dm.get(), &Tdm::recordingPartFinished, [&] { ++reported; });
        mire->SourceFilter = mire->SetSourceGraph(*dm);
        ASSERT_TRUE(mire->SetVideoGraph(*dm, 1));
        ASSERT_TRUE(dm->BuildPreviewVideoChain(nullptr));
        ASSERT_TRUE(dm->RunGraph());
        ASSERT_TRUE(waitFor([&] { return dm->previewFrames() > 3; }, 30000));
        ASSERT_TRUE(dm->BuildRecording(kDivx, file, nullptr, TRecordingSettings{}));
        pump(1500);
        dm->EndRecordingPart();
        ASSERT_TRUE(dm->endingPart());
        // The sources go as they do at a close, then the module itself.
        dm->StopGraph();
        dm->RemovePreviewVideoChain();
        mire->KillVideoGraph(*dm);
        mire->KillSourceGraph(*dm);
        mire->SourceFilter = nullptr;
    }
    pump(300);
    EXPECT_EQ(reported, 0);
    ASSERT_TRUE(TRecordingJournal().Pending().contains(file));
    RepairRecording(file);
    TRecordingJournal().Remove(file);
    EXPECT_GE(videoFrames(file), 25);
}

// A graph that cannot start says why, in French, and the module stays usable: the next graph
// starts.
TEST(PartEnd, AGraphThatCannotStartSaysWhy) {
    Sandbox box;
    std::unique_ptr<TCaptureDevice> tone = virtualDevice(TDeviceCategory::Audio, "Signal de test");
    ASSERT_NE(tone, nullptr);
    Tdm dm;
    QStringList said;
    QObject::connect(&dm, &Tdm::graphFailed, [&](const QString& text) { said << text; });
    // An output that cannot be opened.
    const QString nowhere = box.path("absent/sortie.raw");
    dm.audioSinkFactory = [nowhere] {
        GstElement* sink = gst_element_factory_make("filesink", nullptr);
        g_object_set(sink, "location", QFile::encodeName(nowhere).constData(), nullptr);
        return sink;
    };
    tone->SourceFilter = tone->SetSourceGraph(dm);
    ASSERT_TRUE(tone->SetAudioGraph(dm, 1));
    ASSERT_TRUE(dm.BuildPreviewAudioChain());
    EXPECT_FALSE(dm.RunGraph());
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said.front().startsWith("Le graphe de capture n'a pas pu démarrer : "))
        << said.front().toStdString();
    EXPECT_TRUE(said.front().contains("le fichier ne peut pas être écrit"))
        << said.front().toStdString();
    EXPECT_FALSE(dm.isRunning());

    dm.audioSinkFactory = [] {
        GstElement* sink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(sink, "sync", TRUE, nullptr);
        return sink;
    };
    ASSERT_TRUE(dm.BuildPreviewAudioChain());
    EXPECT_TRUE(dm.RunGraph());
    EXPECT_EQ(said.size(), 1);
    // The clock and latency messages that live elements raise are the window thread's: the
    // pipeline keeps playing through them.
    GstElement* pipeline = GST_ELEMENT(dm.pipeline());
    GstClock* clock = gst_system_clock_obtain();
    gst_element_post_message(pipeline, gst_message_new_clock_lost(GST_OBJECT(pipeline), clock));
    gst_element_post_message(pipeline, gst_message_new_latency(GST_OBJECT(pipeline)));
    gst_object_unref(clock);
    pump(500);
    EXPECT_TRUE(waitFor([&] { return dm.isRunning(); }, 5000));
    dm.StopGraph();
    dm.RemovePreviewAudioChain();
    tone->KillAudioGraph(dm);
    tone->KillSourceGraph(dm);
}

// Errors raised on other threads while the window thread makes and drops the sound preview
// again and again: the bus handler looks at the sink it is given, never at one being freed.
TEST(PartEnd, TheBusHandlerAndTheSoundOutputChangingUnderIt) {
    Sandbox box;
    std::unique_ptr<TCaptureDevice> tone = virtualDevice(TDeviceCategory::Audio, "Signal de test");
    ASSERT_NE(tone, nullptr);
    Tdm dm;
    dm.audioSinkFactory = [] { return gst_element_factory_make("fakesink", nullptr); };
    tone->SourceFilter = tone->SetSourceGraph(dm);
    ASSERT_TRUE(tone->SetAudioGraph(dm, 1));
    GstElement* talker = gst_element_factory_make("identity", "bavard");
    ASSERT_TRUE(gst_bin_add(dm.pipeline(), talker));
    std::atomic<bool> stop{false};
    std::thread raiser([&] {
        for (int n = 0; n < 5000 && !stop; ++n) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "essai");
            gst_element_post_message(talker,
                                     gst_message_new_error(GST_OBJECT(talker), error, nullptr));
            g_error_free(error);
        }
    });
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(dm.BuildPreviewAudioChain());
        dm.RemovePreviewAudioChain();
        if (i % 20 == 0)
            QCoreApplication::processEvents();
    }
    stop = true;
    raiser.join();
    pump(100);
    EXPECT_FALSE(dm.audioOutputFailed());
    gst_bin_remove(dm.pipeline(), talker);
    tone->KillAudioGraph(dm);
    tone->KillSourceGraph(dm);
}

// An end whose encoder still trickles frames into the file long after the stop is cut at the
// longest end the program allows: the branch goes, the file is repaired and plays. A close
// therefore never waits longer than that for a recording (its watchdog allows more).
TEST(PartEnd, AnEndNeverOutlastsTheLongestEnd) {
    struct Limit {
        Limit() { qputenv("VIDORRA_LONGEST_END_MS", "1500"); }
        ~Limit() { qunsetenv("VIDORRA_LONGEST_END_MS"); }
    } limit;
    ASSERT_EQ(Tdm::longestEndMs(), 1500);
    Rig rig("Mire de test", "");
    ASSERT_TRUE(rig.ok());
    Encoders().Assign({{"Codec", "avenc_mpeg4", "XVID"}}, true);
    rig.dm.setEndWait(300);
    const QString file = rig.box.path("interminable.avi");
    ASSERT_TRUE(rig.dm.BuildRecording(kDivx, file, nullptr, TRecordingSettings{}))
        << rig.dm.lastError().toStdString();
    // An encoder three times slower than its source: seconds of pictures wait for it.
    GstElement* encoder = gst_bin_get_by_name(rig.dm.pipeline(), "divx");
    ASSERT_NE(encoder, nullptr);
    GstPad* in = gst_element_get_static_pad(encoder, "sink");
    gst_pad_add_probe(
        in, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer) {
            QThread::msleep(120);
            return GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
    gst_object_unref(in);
    gst_object_unref(encoder);
    pump(4000);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(endPart(rig.dm));
    EXPECT_GE(clock.elapsed(), 1400);
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_GE(videoFrames(file), 10);
    EXPECT_FALSE(TRecordingJournal().Pending().contains(file));
}
