#include "CaptureForm.h"
#include "CaptureFormats.h"
#include "CommandRunner.h"
#include "DVGenerator.h"
#include "Dm.h"
#include "DossiersFrame.h"
#include "DvFile.h"
#include "EndPart.h"
#include "ExtraireFrame.h"
#include "ImageList.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "SceneFile.h"
#include "ScriptedPrompts.h"
#include "SourcesController.h"
#include "StatusPanels.h"
#include "StillsController.h"
#include "SuperAction.h"
#include "VirtualDevices.h"
#include "WaitFor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// What ffprobe says of a file: "codec_name=... nb_read_frames=..." per stream, or empty.
QString probe(const QString& file) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                        "stream=codec_type,codec_name,nb_read_frames,sample_rate,channels", "-of",
                        "compact=p=0:nk=0", file});
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput()) : QString();
}

int framesOf(const QString& probeText, const QString& type) {
    for (const QString& line : probeText.split('\n'))
        if (line.contains("codec_type=" + type)) {
            const int at = line.indexOf("nb_read_frames=");
            if (at >= 0)
                return line.mid(at + 15).section('|', 0, 0).toInt();
        }
    return -1;
}

struct Program {
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    Program() { form.attachModules(&dm, &plaque, &raccourcis); }
};

} // namespace

// The capture command from the command line, stopped by the capture action: the file is
// complete and of the chosen format.
TEST(RecordingEndToEnd, CommandLineStartsAndTheActionStops) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p;
    p.form.setCommandLine({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx", "/c"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    const QString file = p.form.recorder->currentFile();
    pause(2500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    // A stop returns at once; the file gets its end from the event loop.
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=mpeg4")) << info.toStdString();
    EXPECT_TRUE(info.contains("codec_name=mp3")) << info.toStdString();
    EXPECT_GT(framesOf(info, "video"), 30) << info.toStdString();
    p.form.hide();
}

// Image by image: each grab sent by /g puts one picture into the file.
TEST(RecordingEndToEnd, GrabsMakeTheFramesOfAnImageByImageRecording) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p;
    p.form.setCommandLine({"/sv=Mire de test", "/format_capture=Image/Image", "/c"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    ASSERT_TRUE(p.form.recorder->imageByImage());
    // The grab button and both next-image labels tell where the grabs go.
    const QString intoTheVideo = QStringLiteral("Capture Image/Image dans Vidéo");
    EXPECT_EQ(p.form.action("saGrab")->imageindex(), ImageList::imGrabImageByImage);
    EXPECT_EQ(p.form.ExtraireFrame1->destlabel->text(), intoTheVideo);
    EXPECT_EQ(p.form.DossiersFrame1->LabelImage->text(), intoTheVideo);
    const QString file = p.form.recorder->currentFile();
    for (int i = 0; i < 3; ++i) {
        p.form.action("saGrab")->executeInteractive(&p.form);
        pause(300);
    }
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->frameCount() == 3; }));
    pause(300);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_EQ(p.form.action("saGrab")->imageindex(), ImageList::imGrab);
    EXPECT_EQ(p.form.ExtraireFrame1->destlabel->text(),
              QFileInfo(p.form.stills->nextName()).fileName());
    EXPECT_EQ(p.form.DossiersFrame1->LabelImage->text(), p.form.ExtraireFrame1->destlabel->text());
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=dvvideo")) << info.toStdString();
    EXPECT_EQ(framesOf(info, "video"), 3) << info.toStdString();
    p.form.hide();
}

// DivX from the DV camcorder decodes at half size while recording, and at full size again
// after it; the preview goes on.
TEST(RecordingEndToEnd, DivxFromDvDecodesAtHalfSizeWhileRecording) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p;
    p.form.setCommandLine(
        {"/sv=DV Source - Video", "/sa=DV Source - Audio", "/format_capture=divx", "/c"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    ASSERT_TRUE(
        waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }, 30000));
    EXPECT_TRUE(p.dm.dvHalfSize());
    const QString file = p.form.recorder->currentFile();
    const quint64 shown = p.dm.previewFrames();
    pause(2500);
    EXPECT_GT(p.dm.previewFrames(), shown + 20);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    EXPECT_FALSE(p.dm.dvHalfSize());
    const quint64 after = p.dm.previewFrames();
    EXPECT_TRUE(waitFor([&] { return p.dm.previewFrames() > after + 5; }));
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                            "stream=codec_name,width,height", "-of", "csv=p=0", file});
    probe.waitForFinished(60000);
    const QString info = QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
    EXPECT_TRUE(info.startsWith("mpeg4,")) << info.toStdString();
    // Half-decoded DV (360 x 288 of 16/15 pixels) keeps its 4:3 shape.
    EXPECT_TRUE(info.endsWith(",360,270")) << info.toStdString();
    p.form.hide();
}

// A WAV file about to reach the RIFF size limit goes on in a new file, as a cut does.
TEST(RecordingEndToEnd, WavContinuesInANewFileBeforeTheSizeLimit) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    Program p;
    p.dm.setRiffLimit(1536 * 1024); // the real limit is 4 GiB
    p.form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav", "/c"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->recordedFiles().size() >= 2; }, 15000));
    pause(500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    const QStringList files = p.form.recorder->recordedFiles();
    ASSERT_GE(files.size(), 2);
    for (const QString& file : files.mid(0, 2)) {
        EXPECT_TRUE(file.endsWith(".wav")) << file.toStdString();
        const QString info = probe(file);
        EXPECT_TRUE(info.contains("codec_name=pcm_s16le")) << info.toStdString();
    }
    p.form.hide();
}

// A recording asked for while the source's clip is still being made (here another program
// makes it: the test holds its lock) waits for it, says so, and makes no file before the
// first frame; the file then starts with the stream.
TEST(RecordingEndToEnd, RecordingWaitsForItsSourceToBeReady) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    // Whole clips to hand over, made once in the folder the tests share.
    TVirtualDevices shared;
    ASSERT_TRUE(shared.dvMaterial()->WaitReady(180000));
    ASSERT_TRUE(shared.mpegMaterial()->WaitReady(180000));
    const QString data = box.path("data/vidorra");
    ASSERT_TRUE(QDir().mkpath(data));
    ASSERT_TRUE(QFile::copy(shared.dvMaterial()->path(), data + "/dv-virtuel.dv"));
    const QByteArray lockPath = QFile::encodeName(data + "/mpeg-virtuel.m2v.lock");
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    qputenv("XDG_DATA_HOME", box.path("data").toUtf8());

    Program p;
    p.form.setCommandLine({"/sv=MPEG virtuel", "/format_capture=flux mpeg2 natif"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    ASSERT_TRUE(waitFor([&] { return Prm.captureFormat->Value == cfMpeg2Native; }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    p.form.recorder->RecomputeNextName();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    EXPECT_TRUE(p.form.recorder->waitingForSource());
    EXPECT_TRUE(waitFor(
        [&] { return p.form.statusPanels->text(2) == QString("Préparation de la source…"); }));
    pause(1000);
    EXPECT_TRUE(QDir(box.path("videos")).entryList(QDir::Files).isEmpty());
    // A format chosen by a command meanwhile is for the next recording.
    TScript script;
    script.actionlist = p.form.al;
    script.ParseCommandLine({"/format_capture=divx"});
    script.RunCommands();
    ASSERT_EQ(Prm.captureFormat->Value, cfDivx);

    ASSERT_TRUE(QFile::copy(shared.mpegMaterial()->path(), data + "/mpeg-virtuel.m2v"));
    ::close(lock);
    ASSERT_TRUE(waitFor([&] { return !p.form.recorder->waitingForSource(); }));
    const QString file = p.form.recorder->currentFile();
    EXPECT_TRUE(file.endsWith(".mpg")) << file.toStdString();
    pause(2000);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=mpeg2video")) << info.toStdString();
    EXPECT_GE(framesOf(info, "video"), 25) << info.toStdString();
    EXPECT_TRUE(p.form.recorder->nextVideoFileName().endsWith(".avi"))
        << p.form.recorder->nextVideoFileName().toStdString();
    p.form.hide();
}

// Stopped before its source was ready, a recording leaves no file behind.
TEST(RecordingEndToEnd, RecordingStoppedBeforeItsSourceLeavesNoFile) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    const QString data = box.path("data/vidorra");
    ASSERT_TRUE(QDir().mkpath(data));
    const QByteArray lockPath = QFile::encodeName(data + "/dv-virtuel.dv.lock");
    const int lock = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    qputenv("XDG_DATA_HOME", box.path("data").toUtf8());

    Program p;
    p.form.setCommandLine({"/sv=DV Source - Video", "/sa=DV Source - Audio",
                           "/format_capture=dv type 2 natif", "/c"});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    EXPECT_TRUE(p.form.recorder->waitingForSource());
    pause(500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    EXPECT_FALSE(p.form.recorder->waitingForSource());
    EXPECT_TRUE(p.form.recorder->recordedFiles().isEmpty());
    EXPECT_TRUE(QDir(box.path("videos")).entryList(QDir::Files).isEmpty());
    p.form.hide();
    ::close(lock);
}

namespace {

// The program recording WAV from the test tone into the sandbox's folder, its files numbered
// without a date, every question answered by the test.
struct WavProgram {
    Sandbox box;
    ScriptedPrompts answers;
    PromptsGuard guard{&answers};
    Program p;
    bool start() {
        QDir().mkpath(box.path("videos"));
        p.form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav"});
        p.form.show();
        if (!waitFor([&] { return p.form.startupFinished(); }) || Prm.captureFormat->Value != cfWav)
            return false;
        Prm.videoDirectory->Value = box.path("videos") + "/";
        Prm.videoDate->Value = false;
        p.form.recorder->RecomputeNextName();
        return true;
    }
};

} // namespace

// A cut never overwrites a file (no question can wait while recording): it takes the next free
// number; and the next name after the stop is the number after the last file written.
TEST(RecordingEndToEnd, CutTakesTheNextFreeNumber) {
    WavProgram w;
    ASSERT_TRUE(w.start());
    Program& p = w.p;
    const QString first = p.form.recorder->nextVideoFileName();
    ASSERT_TRUE(first.endsWith("_0.wav")) << first.toStdString();
    auto numbered = [&](int n) {
        return QString(first).replace("_0.wav", QString("_%1.wav").arg(n));
    };
    ASSERT_TRUE(Sandbox::write(numbered(1), "ancien"));
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    pause(500);
    p.form.action("acCouper")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_EQ(p.form.recorder->currentFile(), numbered(2));
    pause(500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    EXPECT_EQ(Sandbox::read(numbered(1)), "ancien");
    EXPECT_TRUE(probe(numbered(2)).contains("codec_name=pcm_s16le"));
    EXPECT_EQ(p.form.recorder->nextVideoFileName(), numbered(3));
    EXPECT_TRUE(w.answers.asked.isEmpty()) << w.answers.asked.join('|').toStdString();
    p.form.hide();
}

// Commands that reach the program while it records (a script, a command line handed over by a
// second start) cannot pull the file from under the recording: the sound source chosen again
// leaves it running, a format chosen is for the next recording (a cut keeps the one being
// written), and another sound source ends the recording with its file complete.
TEST(RecordingEndToEnd, SourceAndFormatCommandsWhileRecordingKeepTheFile) {
    WavProgram w;
    ASSERT_TRUE(w.start());
    Program& p = w.p;
    auto run = [&](const QString& command) {
        TScript script;
        script.actionlist = p.form.al;
        script.ParseCommandLine({command});
        script.RunCommands();
    };
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    const QString first = p.form.recorder->currentFile();
    pause(500);
    run("/sa=Signal de test");
    run("/format_capture=mp3");
    ASSERT_EQ(Prm.captureFormat->Value, cfMp3);
    pause(500);
    p.form.action("acCouper")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    const QString second = p.form.recorder->currentFile();
    EXPECT_TRUE(second.endsWith("_1.wav")) << second.toStdString();
    pause(500);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    for (const QString& file : {first, second}) {
        const QString info = probe(file);
        EXPECT_TRUE(info.contains("codec_name=pcm_s16le")) << file.toStdString();
        EXPECT_GT(framesOf(info, "audio"), 10) << info.toStdString();
    }
    // The next recording is in the format chosen meanwhile.
    EXPECT_TRUE(p.form.recorder->nextVideoFileName().endsWith("_2.mp3"))
        << p.form.recorder->nextVideoFileName().toStdString();

    // Without its sound source the recording cannot go on: it ends, its file complete.
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    const QString third = p.form.recorder->currentFile();
    pause(800);
    run("/sa=aucun flux audio");
    EXPECT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsPreview; }));
    // The user changed the source: so the message says, the source was not lost.
    EXPECT_TRUE(waitFor([&] { return w.answers.asked.join('\n').contains("a été changée"); }))
        << w.answers.asked.join('\n').toStdString();
    const QString info = probe(third);
    EXPECT_TRUE(info.contains("codec_name=mp3")) << third.toStdString() << info.toStdString();
    EXPECT_GT(framesOf(info, "audio"), 10) << info.toStdString();
    p.form.hide();
}

// The recording's folder removed while it records: the user is told, the folder is made
// again with what had been recorded put back in it, and the recording goes on in a new file.
TEST(RecordingEndToEnd, AFolderRemovedWhileRecordingLosesNothing) {
    WavProgram w;
    ASSERT_TRUE(w.start());
    Program& p = w.p;
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    const QString first = p.form.recorder->currentFile();
    pause(1500);
    ASSERT_TRUE(QDir(w.box.path("videos")).removeRecursively());
    ASSERT_TRUE(waitFor([&] { return !w.answers.asked.isEmpty(); }, 20000));
    EXPECT_TRUE(w.answers.asked[0].contains("a été recréé")) << w.answers.asked[0].toStdString();
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsRecording);
    const QString second = p.form.recorder->currentFile();
    EXPECT_NE(second, first);
    pause(1200);
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    // More than a second of sound in each (blocks of 1 024 samples at 48 kHz).
    EXPECT_GE(framesOf(probe(first), "audio"), 50);
    EXPECT_GE(framesOf(probe(second), "audio"), 30);
    p.form.hide();
}

// A DV file recorded on two days, played from "Fichier DV" and recorded in DV type 1 with its
// scene list: the list cuts where the date changes, and the file has every frame of the tape.
TEST(RecordingEndToEnd, ADvFilesScenesCutWhereItsDateChanges) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    dv::ClipSpec spec;
    spec.frames = 50;
    spec.dateJumps = {{20, 86400.0 + 3600.0}}; // the next day, an hour later
    std::string error;
    const QString tape = box.path("deux jours.dv");
    ASSERT_TRUE(dv::GenerateClip(tape.toStdString(), spec, &error)) << error;
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    Program p;
    p.form.setCommandLine({"/dv_fichier=" + tape});
    p.form.show();
    ASSERT_TRUE(waitFor([&] { return p.form.startupFinished(); }));
    TSourcesController& sources = *p.form.sources;
    ASSERT_TRUE(waitFor([&] {
        return sources.currentVideo() && sources.currentVideo()->Name == "Fichier DV - Video";
    }));
    ASSERT_NE(sources.currentAudio(), nullptr);
    EXPECT_EQ(sources.currentAudio()->Name, "Fichier DV - Audio");
    Prm.videoDirectory->Value = box.path("videos") + "/";
    Prm.scn->Value = true;
    sources.FillCaptureFormats(cfDvType1Native);
    ASSERT_EQ(Prm.captureFormat->Value, cfDvType1Native);

    // The preview has shown the tape's first frame, and the tape waits there.
    const std::shared_ptr<TDvFileDeck> deck = sources.dvFileDeck();
    ASSERT_NE(deck, nullptr);
    auto settle = [&] {
        quint64 last = p.dm.sourceFrames();
        for (int still = 0; still < 15;) {
            pause(20);
            const quint64 now = p.dm.sourceFrames();
            still = now == last ? still + 1 : 0;
            last = now;
        }
    };
    deck->setMode(IDvTransport::ED_MODE_STOP);
    settle();
    deck->seek(0);
    deck->setMode(IDvTransport::ED_MODE_FREEZE);
    const quint64 seen = p.dm.previewFrames();
    ASSERT_TRUE(waitFor([&] { return p.dm.previewFrames() > seen + 3; }));
    deck->setMode(IDvTransport::ED_MODE_STOP);
    settle();

    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    ASSERT_TRUE(waitFor([&] { return p.dm.hasRecordingBranch() && !p.dm.endingPart(); }));
    const QString file = p.form.recorder->currentFile();
    deck->setMode(IDvTransport::ED_MODE_PLAY);
    ASSERT_TRUE(waitFor(
        [&] { return deck->mode() == IDvTransport::ED_MODE_STOP && deck->position() == 50; },
        60000));
    settle();
    answers.answer = IPrompts::No; // a list is never deleted here
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(waitUntilIdle(p.dm));
    ASSERT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    EXPECT_TRUE(answers.asked.isEmpty()) << answers.asked.join('\n').toStdString();
    const QString info = probe(file);
    EXPECT_TRUE(info.contains("codec_name=dvvideo")) << info.toStdString();
    EXPECT_EQ(framesOf(info, "video"), 50) << info.toStdString();

    // Two scenes: the first day's 20 frames, then the next day's 30 (which the scene rule counts
    // from the frame it reports the change on, the first day's last).
    const QString scn = TSceneFile::PathFor(file);
    const QByteArray list = Sandbox::read(scn);
    const QByteArray name = TSceneFile::NameBytes(scn);
    const qsizetype first = TSceneFile::Header(name).size() + TSceneFile::ClipBlock().size();
    auto le32 = [&list](qsizetype at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | uint8_t(list.at(at + i));
        return v;
    };
    const qsizetype second = first + 4 + 7 + name.size() + 8 + 4;
    ASSERT_EQ(list.size(), second + 35) << list.toHex().toStdString();
    const uint32_t cut = le32(first);         // the frame that opens the next day (1-based)
    EXPECT_EQ(le32(second + 9), cut);         // where the last scene starts
    EXPECT_EQ(le32(second + 13), 31u) << cut; // and how long it lasts
    EXPECT_EQ(list.mid(first, 4), list.mid(second - 4, 4));
    p.form.hide();
}
