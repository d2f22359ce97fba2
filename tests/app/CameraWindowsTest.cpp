// The camcorder windows: how DV sources bind to them, with devices of the test's own, and the
// virtual deck driven through the whole program.
#include "CameraWindows.h"
#include "CamForm.h"
#include "CaptureForm.h"
#include "DVGenerator.h"
#include "Dm.h"
#include "DvFile.h"
#include "DvTransport.h"
#include "EndPart.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "SceneDetect.h"
#include "ScriptedPrompts.h"
#include "SourcesController.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

class FakeTransport : public IDvTransport {
public:
    explicit FakeTransport(bool vcr) : m_vcr(vcr) {}
    bool setMode(Mode m) override {
        sent.push_back(m);
        current = m;
        return true;
    }
    Mode mode() const override { return current; }
    Timecode timecode() const override { return {0, 12, 34, 56, true}; }
    bool isVcr() const override { return m_vcr; }
    bool isCamera() const override { return !m_vcr; }
    std::vector<int> sent;
    Mode current = ED_MODE_PLAY;

private:
    bool m_vcr;
};

// "dvvideo,<frames>" as ffprobe counts the DV pictures of a file.
QString dvFrames(const QString& file) {
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                            "stream=codec_name,nb_read_frames", "-of", "csv=p=0", file});
    probe.waitForFinished(60000);
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
}

struct FakeDevice {
    std::shared_ptr<FakeTransport> transport;
    std::unique_ptr<TCaptureDevice> device;
    TVideoSource video;
    TAudioSource audio;
    FakeDevice(const QString& name, bool vcr) : transport(std::make_shared<FakeTransport>(vcr)) {
        TDeviceDescriptor d;
        d.id = name;
        d.friendlyName = name;
        d.caps = gst_caps_from_string("video/x-dv, systemstream=(boolean)true");
        d.transport = transport;
        d.createSource = [] { return static_cast<GstElement*>(nullptr); };
        device = CreateCaptureDevice(d, 1);
        for (TavFlux* f : {static_cast<TavFlux*>(&video), static_cast<TavFlux*>(&audio)}) {
            f->Device = device.get();
            f->Connected = true;
        }
    }
};

} // namespace

TEST(CameraWindows, SourcesBindReleaseAndTheKeyboardCamera) {
    QWidget main;
    TCameraWindows cameras(&main);
    cameras.window(0)->showFlag = cameras.window(1)->showFlag = true;
    FakeDevice deck("Caméscope A", true), camera("Caméscope B", false);

    // One device for picture and sound: one window, bound once.
    cameras.Bind(deck.video, nullptr);
    cameras.Bind(deck.audio, &deck.video);
    EXPECT_EQ(deck.video.CameraWindow, cameras.window(0));
    EXPECT_EQ(deck.audio.CameraWindow, cameras.window(0));
    EXPECT_TRUE(deck.video.HasTransport && deck.video.IsVcr);
    EXPECT_EQ(cameras.window(0)->windowTitle(), "Caméscope A");
    // A second device takes window 2.
    cameras.Bind(camera.audio, &deck.video);
    EXPECT_EQ(camera.audio.CameraWindow, cameras.window(1));
    EXPECT_TRUE(camera.audio.IsCamera);

    // The keyboard camera starts on window 1 and switches only to a visible window.
    EXPECT_EQ(cameras.keyboardCamera(), 0);
    cameras.window(1)->hide();
    cameras.Toggle();
    EXPECT_EQ(cameras.keyboardCamera(), 0);
    main.show();
    cameras.window(1)->show();
    cameras.Toggle();
    EXPECT_EQ(cameras.keyboardCamera(), 1);
    EXPECT_TRUE(cameras.window(1)->keyboardCamera());
    EXPECT_FALSE(cameras.window(0)->keyboardCamera());
    cameras.keyboardBar()->Stop();
    EXPECT_EQ(camera.transport->sent, (std::vector<int>{4297}));

    // The pilot action shows a deck's window, never a camera's.
    const bool shown = cameras.window(0)->isVisible();
    cameras.ShowPilot(&deck.video);
    EXPECT_NE(cameras.window(0)->isVisible(), shown);
    EXPECT_EQ(cameras.window(0)->showFlag, !shown);
    const bool cameraShown = cameras.window(1)->isVisible();
    cameras.ShowPilot(&camera.audio);
    EXPECT_EQ(cameras.window(1)->isVisible(), cameraShown);

    // The refresh shows the tape's timecode and what the tape does.
    cameras.Refresh(&deck.video, &camera.audio);
    EXPECT_EQ(cameras.window(0)->TimecodePanel->text(), "0:12:34:56");
    EXPECT_EQ(cameras.window(0)->ModePanel->text(), TcamForm::ModeText(deck.transport->mode()));
    EXPECT_FALSE(cameras.window(0)->ModePanel->text().isEmpty());

    // Released with "Stop en quittant": Stop, the window free, the keyboard passed on.
    cameras.window(1)->cbStopQuittant->setChecked(true);
    cameras.Release(camera.audio);
    EXPECT_EQ(camera.transport->sent.back(), 4297);
    EXPECT_FALSE(cameras.window(1)->nav_captureframe1->hasTransport());
    EXPECT_FALSE(camera.audio.HasTransport);
    EXPECT_EQ(cameras.keyboardCamera(), 0);
    cameras.window(0)->cbStopQuittant->setChecked(false);
    const size_t sent = deck.transport->sent.size();
    cameras.Release(deck.video);
    EXPECT_EQ(deck.transport->sent.size(), sent);
}

// The virtual deck through the whole program: its window runs with the tape, the keys move
// the tape for real, and "Stop en quittant" stops it at close.
TEST(CameraWindows, VirtualDeckDrivenFromTheProgram) {
    Sandbox box;
    std::shared_ptr<IDvTransport> tape;
    {
        TCaptureForm form;
        Tdm dm;
        Tplaque plaque(&form);
        TRaccourcisForm raccourcis;
        form.attachModules(&dm, &plaque, &raccourcis);
        form.setCommandLine({"/sv=DV Source - Video"});
        form.show();
        ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
        ASSERT_TRUE(waitFor([&] {
            return form.sources->currentVideo() && form.sources->currentVideo()->HasTransport;
        }));
        TVideoSource* video = form.sources->currentVideo();
        tape = video->Device->Moniker.transport;
        TcamForm* window = form.cameras->window(0);
        EXPECT_EQ(video->CameraWindow, window);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->windowTitle(), "DV virtuel");
        EXPECT_TRUE(video->IsVcr);

        ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 5; }, 60000));
        const QString first = window->TimecodePanel->text();
        EXPECT_TRUE(waitFor([&] { return window->TimecodePanel->text() != first; }));
        EXPECT_TRUE(waitFor([&] { return !window->Label1->text().isEmpty(); }));

        // Ctrl+End of the main window: the tape stops and no picture comes.
        EXPECT_TRUE(waitFor([&] { return window->ModePanel->text() == "▶ Lecture"; }));
        form.action("cam_Stop")->executeInteractive(&form);
        EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_STOP);
        EXPECT_TRUE(waitFor([&] { return window->ModePanel->text() == "■ Arrêt"; }));
        waitFor([] { return false; }, 300);
        const quint64 stopped = dm.previewFrames();
        waitFor([] { return false; }, 400);
        EXPECT_LE(dm.previewFrames(), stopped + 1);
        // Fast forward from stop winds; Ins then plays.
        form.action("cam_AvanceRapide")->executeInteractive(&form);
        EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_FF);
        EXPECT_TRUE(waitFor([&] { return window->ModePanel->text() == "▶▶ Avance rapide"; }));
        form.action("cam_PlayPause")->executeInteractive(&form);
        EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_PLAY);
        EXPECT_TRUE(waitFor([&] { return dm.previewFrames() > stopped + 5; }));
        ASSERT_TRUE(window->cbStopQuittant->isChecked()); // ticked by default
        form.hide();
    }
    EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_STOP);
}

// Started with "/s", the tape is stopped; a recording that runs while the tape stands gains
// nothing, and its file is finished at once when it stops.
TEST(CameraWindows, RecordingWhileTheTapeIsStopped) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine({"/sv=DV Source - Video", "/sa=DV Source - Audio",
                         "/format_capture=dv type 2 natif", "/s"});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    form.recorder->RecomputeNextName();
    ASSERT_TRUE(waitFor([&] {
        return form.sources->currentVideo() && form.sources->currentVideo()->HasTransport &&
               form.sources->currentVideo()->Device->Transport()->mode() ==
                   IDvTransport::ED_MODE_STOP;
    }));
    IDvTransport* tape = form.sources->currentVideo()->Device->Transport();
    form.action("cam_Play")->executeInteractive(&form);
    ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 10; }, 60000));
    form.action("saCapturerBascule")->executeInteractive(&form);
    ASSERT_EQ(form.recorder->state(), RecordingState::rsRecording);
    const QString file = form.recorder->currentFile();
    pause(1500);
    form.action("cam_Stop")->executeInteractive(&form);
    EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_STOP);
    pause(300);
    const quint64 recorded = dm.recordedFrames();
    pause(800);
    EXPECT_LE(dm.recordedFrames(), recorded + 1);
    QElapsedTimer clock;
    clock.start();
    form.action("saCapturerBascule")->executeInteractive(&form);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(form.recorder->state(), RecordingState::rsPreview);
    const QString info = dvFrames(file);
    EXPECT_TRUE(info.startsWith("dvvideo,")) << info.toStdString();
    EXPECT_GE(info.section(',', 1).toInt(), 20) << info.toStdString();
    form.hide();
}

// Leaving the deck (its tape stops, "Stop en quittant") and coming back: the deck plays again
// in the one window it had, the transport keys drive it, and what is recorded has pictures.
// A deck that stands is said to stand, not taken for a source that stalls; a recording
// stopped before the first picture leaves no file and says why.
TEST(CameraWindows, LeavingTheDeckAndComingBack) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine(
        {"/sv=DV Source - Video", "/sa=Signal de test", "/format_capture=dv type 2 (recomp)"});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    form.recorder->RecomputeNextName();
    ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 10; }, 60000));
    const std::shared_ptr<IDvTransport> tape =
        form.sources->currentVideo()->Device->Moniker.transport;
    auto deckWindows = [&] {
        int n = 0;
        for (int i = 0; i < 2; ++i)
            n += form.cameras->window(i)->nav_captureframe1->transport() == tape.get();
        return n;
    };
    auto sourceMoves = [&] {
        const quint64 before = dm.sourceFrames();
        return waitFor([&] { return dm.sourceFrames() > before + 10; });
    };

    form.sources->SelectVideoSource("Mire de test");
    ASSERT_TRUE(waitFor([&] { return tape->mode() == IDvTransport::ED_MODE_STOP; }));
    EXPECT_EQ(deckWindows(), 0);
    form.sources->SelectVideoSource("DV Source - Video");
    EXPECT_TRUE(waitFor([&] { return tape->mode() == IDvTransport::ED_MODE_PLAY; }));
    EXPECT_EQ(deckWindows(), 1);
    EXPECT_TRUE(sourceMoves());
    form.sources->SelectAudioSource("DV Source - Audio");
    EXPECT_EQ(deckWindows(), 1);

    // The keys drive the deck's window.
    form.action("cam_Stop")->executeInteractive(&form);
    EXPECT_EQ(tape->mode(), IDvTransport::ED_MODE_STOP);
    EXPECT_TRUE(waitFor(
        [&] { return form.recorder->stallWatch().state() == TStallWatch::State::Standing; }));
    EXPECT_TRUE(form.statusPanels->text(1).contains("arrêt"));
    pause(TStallWatch::kStallMs + 700);
    EXPECT_EQ(form.recorder->stallWatch().state(), TStallWatch::State::Standing);

    // Recording while it stands gets nothing: no file is left, the user is told.
    form.action("saCapturerBascule")->executeInteractive(&form);
    ASSERT_TRUE(waitUntilIdle(dm));
    const QString empty = form.recorder->currentFile();
    pause(500);
    form.action("saCapturerBascule")->executeInteractive(&form);
    ASSERT_TRUE(waitUntilIdle(dm));
    ASSERT_TRUE(waitFor([&] { return !answers.asked.isEmpty(); }));
    EXPECT_FALSE(QFileInfo::exists(empty));
    EXPECT_TRUE(answers.asked.last().contains("supprimé")) << answers.asked.last().toStdString();

    form.action("cam_Play")->executeInteractive(&form);
    EXPECT_TRUE(sourceMoves());
    EXPECT_TRUE(waitFor(
        [&] { return form.recorder->stallWatch().state() == TStallWatch::State::Flowing; }));
    form.action("saCapturerBascule")->executeInteractive(&form);
    ASSERT_TRUE(waitUntilIdle(dm));
    const QString file = form.recorder->currentFile();
    pause(2000);
    form.action("saCapturerBascule")->executeInteractive(&form);
    ASSERT_TRUE(waitUntilIdle(dm));
    const QString info = dvFrames(file);
    EXPECT_TRUE(info.startsWith("dvvideo,")) << info.toStdString();
    EXPECT_GE(info.section(',', 1).toInt(), 30) << info.toStdString();
    form.hide();
}

// A DV file in its deck through the whole program: its window is the file's, shows the
// tape's timecode and recording date, and the keys move the file's tape; at the end of the
// file the tape stops, and rewinding brings it back to its start.
TEST(CameraWindows, DvFileDeckDrivenFromTheProgram) {
    Sandbox box;
    dv::ClipSpec spec;
    spec.frames = 100;
    spec.startTimecode = {0, 20, 0, 0};
    std::string error;
    const QString tape = box.path("cassette.dv");
    ASSERT_TRUE(dv::GenerateClip(tape.toStdString(), spec, &error)) << error;
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine({"/dv_fichier=" + tape});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] {
        return form.sources->currentVideo() && form.sources->currentVideo()->HasTransport;
    }));
    TVideoSource* video = form.sources->currentVideo();
    EXPECT_EQ(video->Name, "Fichier DV - Video");
    const std::shared_ptr<TDvFileDeck> deck = form.sources->dvFileDeck();
    ASSERT_NE(deck, nullptr);
    EXPECT_EQ(video->Device->Transport(), deck.get());
    // The window the program started with went to the virtual deck, the file has the other.
    TcamForm* window = video->CameraWindow;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Fichier DV");
    EXPECT_TRUE(video->IsVcr);
    ASSERT_TRUE(waitFor([&] { return dm.previewFrames() > 5; }, 60000));
    EXPECT_TRUE(waitFor([&] { return window->TimecodePanel->text().startsWith("0:20:0"); }))
        << window->TimecodePanel->text().toStdString();
    EXPECT_TRUE(waitFor([&] { return !window->Label1->text().isEmpty(); }));

    // At the end of the file the tape stops by itself.
    EXPECT_TRUE(waitFor(
        [&] { return deck->mode() == IDvTransport::ED_MODE_STOP && deck->position() == 100; },
        30000));
    EXPECT_TRUE(waitFor([&] { return window->ModePanel->text() == "■ Arrêt"; }));
    EXPECT_TRUE(window->TimecodePanel->text().startsWith("0:20:03:2"))
        << window->TimecodePanel->text().toStdString();
    // Rewinding from stop brings it back to its start, where it stops again; then it plays.
    form.action("cam_ReculeRapide")->executeInteractive(&form);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_REW);
    EXPECT_TRUE(
        waitFor([&] { return deck->mode() == IDvTransport::ED_MODE_STOP && deck->position() == 0; },
                30000));
    form.action("cam_Play")->executeInteractive(&form);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_PLAY);
    EXPECT_TRUE(waitFor([&] { return window->ModePanel->text() == "▶ Lecture"; }));
    EXPECT_TRUE(waitFor([&] { return deck->position() > 5; }));
    // Picture search forward runs to the end.
    form.action("cam_AvanceRapide")->executeInteractive(&form);
    EXPECT_EQ(deck->mode(), IDvTransport::ED_MODE_PLAY_FASTEST_FWD);
    EXPECT_TRUE(waitFor(
        [&] { return deck->mode() == IDvTransport::ED_MODE_STOP && deck->position() == 100; },
        30000));
    form.hide();
}
