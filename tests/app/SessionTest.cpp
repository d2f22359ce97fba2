// A capture session driven without a window: the graph on the virtual devices, the commands
// given to the session, the files read back.
#include "../graph/RecordingRig.h"

#include "AppPaths.h"
#include "CaptureFormats.h"
#include "Encoders.h"
#include "ParameterTable.h"
#include "RecordingController.h"
#include "ScriptedPrompts.h"
#include "Session.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

namespace {

// Keeps what the session asked of its view.
struct SeenView : ISessionView {
    QList<RecordingState> states;
    QList<bool> frozen;
    void showRecordingState(RecordingState state, bool isFrozen) override {
        states << state;
        frozen << isFrozen;
    }
};

// The virtual test pattern previewing, and a session over it that records DivX into a folder
// of its own.
struct Headless {
    Rig rig{"Mire de test"};
    ScriptedPrompts prompts;
    PromptsGuard guard{&prompts};
    TSession session{AppPaths::signature()};
    QString folder = rig.box.path("videos");
    Headless() {
        QDir().mkpath(folder);
        Encoders().Discover(); // as start-up does
        CreateParameters(session.parameters());
        Prm.videoDirectory->Value = folder + "/";
        Prm.captureFormat->Value = cfDivx;
    }
};

} // namespace

// Start, cut, freeze and stop through the session alone: two complete DivX files, the frozen
// stretch left out, the state said to the view and in the status texts, no window made.
TEST(Session, RecordsCutsFreezesAndStopsWithoutAWindow) {
    Headless h;
    ASSERT_TRUE(h.rig.ok());
    Rig& rig = h.rig;
    TSession& session = h.session;
    SeenView view;
    session.attachGraph(rig.dm, &view);
    QList<RecordingState> signalled;
    QObject::connect(&session, &TSession::stateChanged,
                     [&](RecordingState state) { signalled << state; });
    TRecordingController& recorder = *session.recorder();

    session.startRecording();
    ASSERT_TRUE(waitFor([&] { return rig.dm.recordedFrames() > 10; }, 20000));
    EXPECT_EQ(session.state(), RecordingState::rsRecording);
    const QString first = recorder.currentFile();
    EXPECT_TRUE(first.startsWith(h.folder)) << first.toStdString();

    session.cutRecording();
    ASSERT_TRUE(waitFor([&] { return recorder.currentFile() != first; }, 20000));
    const QString second = recorder.currentFile();
    ASSERT_TRUE(waitFor([&] { return rig.dm.recordedFrames() > 10; }, 20000));

    // While frozen no picture enters the file; the view is told, the frame stays frozen in
    // the parameters.
    session.setFrozen(true);
    pump(300); // what was already on its way in
    const quint64 atFreeze = rig.dm.recordedFrames();
    pump(600);
    EXPECT_LE(rig.dm.recordedFrames(), atFreeze + 1);
    EXPECT_TRUE(Prm.freezeCapture->Value);
    ASSERT_FALSE(view.frozen.isEmpty());
    EXPECT_TRUE(view.frozen.last());
    session.setFrozen(false);
    ASSERT_TRUE(waitFor([&] { return rig.dm.recordedFrames() > atFreeze + 10; }, 20000));

    // The status texts say the recording and its length.
    recorder.DroppedActionTimer();
    EXPECT_TRUE(session.status().text(2).startsWith("durée"))
        << session.status().text(2).toStdString();

    session.stopRecording();
    ASSERT_TRUE(waitUntilIdle(rig.dm));
    EXPECT_EQ(session.state(), RecordingState::rsPreview);
    EXPECT_EQ(signalled,
              (QList<RecordingState>{RecordingState::rsRecording, RecordingState::rsPreview}));
    EXPECT_EQ(view.states.last(), RecordingState::rsPreview);
    EXPECT_EQ(session.recordedFiles(), (QStringList{first, second}));
    EXPECT_TRUE(h.prompts.asked.isEmpty()) << h.prompts.asked.join(" | ").toStdString();
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty());

    for (const QString& file : {first, second}) {
        const Probe p = probe(file);
        ASSERT_NE(p.of("video"), nullptr) << file.toStdString();
        EXPECT_EQ(p.of("video")->tag, "XVID");
        EXPECT_GT(p.of("video")->frames, 10);
        const Probe::Stream* sound = p.of("audio");
        ASSERT_NE(sound, nullptr) << file.toStdString();
        ASSERT_GT(sound->rate, 0);
        // The sound is cut where the pictures are.
        EXPECT_NEAR(sound->frames * 1152.0 / sound->rate, p.of("video")->frames / 25.0, 0.15);
    }
}

// A programmed recording without a window: the schedule reads plain values, rings on the
// session's clock and leaves a complete file.
TEST(Session, ProgrammedRecordingWithoutAWindow) {
    Headless h;
    ASSERT_TRUE(h.rig.ok());
    Rig& rig = h.rig;
    TSession& session = h.session;
    TScheduleValues fields;
    const QDateTime start(QDate(2031, 5, 17), QTime(22, 30));
    fields.startAt = start;
    fields.endAt = start.addSecs(120);
    session.attachGraph(rig.dm, nullptr, &fields);
    QDateTime clock = start.addSecs(-600);
    session.scheduler()->now = [&] { return clock; };

    session.toggleSchedule();
    ASSERT_EQ(session.state(), RecordingState::rsProgrammed);
    EXPECT_EQ(session.status().text(3), "début à 22:30:00");
    clock = start;
    session.scheduler()->Tick();
    ASSERT_TRUE(
        waitFor([&] { return session.state() == RecordingState::rsProgrammedRecording; }, 10000));
    EXPECT_EQ(session.status().text(1), "capture jusqu'à 22:32:00");
    ASSERT_TRUE(waitFor([&] { return rig.dm.recordedFrames() > 10; }, 20000));
    const QString file = session.recorder()->currentFile();

    clock = start.addSecs(120);
    session.scheduler()->Tick();
    ASSERT_TRUE(waitFor([&] { return session.state() == RecordingState::rsPreview; }, 10000));
    ASSERT_TRUE(waitUntilIdle(rig.dm));
    EXPECT_TRUE(h.prompts.asked.isEmpty()) << h.prompts.asked.join(" | ").toStdString();
    const Probe p = probe(file);
    ASSERT_NE(p.of("video"), nullptr) << file.toStdString();
    EXPECT_EQ(p.of("video")->tag, "XVID");
    EXPECT_GT(p.of("video")->frames, 10);
}
