// Programmed recordings: the alarm and its arming rules on a clock of the test's own, and one
// recording that starts and stops by itself on the real clock.
#include "Scheduler.h"
#include "Alarm.h"
#include "CaptureForm.h"
#include "Dm.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgrammerFrame.h"
#include "Prompts.h"
#include "RaccourcisForm.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "StatusPanels.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QProcess>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QDateTime at(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

TEST(Alarm, RingsOnceAtItsInstantOrLate) {
    TAlarm alarm;
    EXPECT_EQ(alarm.Tick(at(10, 8, 0)), TAlarm::Handler::None);
    alarm.Arm(at(11, 8, 0), TAlarm::Handler::Start);
    // The same time of day a day early is not the instant.
    EXPECT_EQ(alarm.Tick(at(10, 8, 0, 30)), TAlarm::Handler::None);
    EXPECT_EQ(alarm.Tick(at(11, 7, 59, 59)), TAlarm::Handler::None);
    qint64 late = -1;
    // A stall of 90 s across the minute: it rings at the next look, and says how late.
    EXPECT_EQ(alarm.Tick(at(11, 8, 1, 30), &late), TAlarm::Handler::Start);
    EXPECT_EQ(late, 90000);
    EXPECT_FALSE(alarm.enabled());
    EXPECT_EQ(alarm.Tick(at(11, 8, 1, 31)), TAlarm::Handler::None);
    alarm.Arm(at(11, 9, 0), TAlarm::Handler::End);
    alarm.Disarm();
    EXPECT_EQ(alarm.Tick(at(11, 9, 0)), TAlarm::Handler::None);

    EXPECT_EQ(TAlarm::NextOccurrence(QTime(21, 0), at(10, 22, 0)), at(11, 21, 0));
    EXPECT_EQ(TAlarm::NextOccurrence(QTime(23, 0), at(10, 22, 0)), at(10, 23, 0));
    EXPECT_EQ(TAlarm::NextOccurrence(QTime(22, 0), at(10, 22, 0)), at(11, 22, 0));
}

// The program on the test pattern, recording WAV from the test tone (quick to start and to
// stop), on a clock the test moves.
struct Program {
    Sandbox box;
    ScriptedPrompts answers;
    IPrompts* previous = setPrompts(&answers);
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque{&form};
    TRaccourcisForm raccourcis;
    QDateTime clock = at(10, 7, 0);

    Program() {
        form.attachModules(&dm, &plaque, &raccourcis);
        form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav"});
        form.scheduler->now = [this] { return clock; };
        form.show();
        waitFor([&] { return form.startupFinished(); });
        QDir().mkpath(box.path("videos"));
        Prm.videoDirectory->Value = box.path("videos") + "/";
        form.recorder->RecomputeNextName();
    }
    ~Program() {
        form.hide();
        setPrompts(previous);
    }
    TProgrammerFrame& panel() { return *form.ProgrammerFrame1; }
    RecordingState state() const { return form.recorder->state(); }
    void fields(const QDateTime& start, const QDateTime& end) {
        panel().DateEdit1->setDate(start.date());
        panel().RxSpinEdit1->setValue(start.time().hour());
        panel().RxSpinEdit2->setValue(start.time().minute());
        panel().RxSpinEdit3->setValue(start.time().second());
        panel().DateEdit2->setDate(end.date());
        panel().RxSpinEdit4->setValue(end.time().hour());
        panel().RxSpinEdit5->setValue(end.time().minute());
        panel().RxSpinEdit6->setValue(end.time().second());
    }
    void prog() { form.action("acProgrammerBascule")->executeInteractive(&form); }
    // The clock moves to t and ticks; the commands it causes run.
    void tickAt(const QDateTime& t) {
        clock = t;
        form.scheduler->Tick();
        waitFor([] { return false; }, 50);
    }
    QDateTime alarmAt() const { return form.scheduler->alarm().at(); }
};

} // namespace

TEST(Scheduler, PanelPresetAndArmingByDate) {
    Program p;
    // Shown at 10:59:30 with nothing programmed: 11:00:00 to 11:30:00.
    p.clock = at(10, 10, 59, 30);
    p.form.action("acProgrammerFrame")->executeInteractive(&p.form);
    EXPECT_EQ(p.panel().start(), at(10, 11, 0));
    EXPECT_EQ(p.panel().end(), at(10, 11, 30));
    p.clock = at(10, 23, 59, 10);
    p.form.scheduler->PanelShown();
    EXPECT_EQ(p.panel().start(), at(11, 0, 0));
    EXPECT_EQ(p.panel().end(), at(11, 0, 30));

    // 08:00 tomorrow at 07:00 today rings tomorrow, not today.
    p.clock = at(10, 7, 0);
    p.fields(at(11, 8, 0), at(11, 9, 0));
    p.prog();
    ASSERT_EQ(p.state(), RecordingState::rsProgrammed);
    EXPECT_EQ(p.alarmAt(), at(11, 8, 0));
    EXPECT_EQ(p.form.statusPanels->text(3), "début à 08:00:00");
    EXPECT_EQ(p.form.action("acProgrammerBascule")->text(), "Stop Prog");
    EXPECT_EQ(p.form.action("acProgrammerBascule")->toolTip(), "Interrompre la programmation");
    p.tickAt(at(10, 8, 0, 1));
    EXPECT_EQ(p.state(), RecordingState::rsProgrammed);
    // The fields shown while programmed keep their values.
    p.form.scheduler->PanelShown();
    EXPECT_EQ(p.panel().start(), at(11, 8, 0));

    // A start hour edited while programmed keeps the armed date.
    p.panel().RxSpinEdit1->setValue(6);
    EXPECT_EQ(p.alarmAt(), at(11, 6, 0));
    EXPECT_EQ(p.form.statusPanels->text(3), "début à 06:00:00");
    p.prog();
    EXPECT_EQ(p.state(), RecordingState::rsPreview);
    EXPECT_FALSE(p.form.scheduler->alarm().enabled());
    EXPECT_EQ(p.form.action("acProgrammerBascule")->text(), "Prog");

    // An end already past: the message, nothing programmed.
    p.fields(at(10, 6, 0), at(10, 6, 30));
    p.prog();
    EXPECT_EQ(p.state(), RecordingState::rsPreview);
    ASSERT_FALSE(p.answers.asked.isEmpty());
    EXPECT_EQ(p.answers.asked.last(),
              "On ne peut pas programmer la fin d'une capture pour une date déjà dépassée");
    // A start past and an end to come, not recorded at once when the answer is no.
    p.answers.answer = IPrompts::No;
    p.fields(at(10, 6, 0), at(10, 9, 0));
    p.prog();
    EXPECT_EQ(p.state(), RecordingState::rsPreview);
    EXPECT_TRUE(p.answers.asked.last().endsWith("Voulez-vous capturer immédiatement?"));
}

TEST(Scheduler, ProgrammedRecordingStartsEndsAndMissesNothing) {
    Program p;
    // 22:00 to 21:00 the same day, programmed in the afternoon: it ends at 21:00 the next day.
    p.fields(at(10, 22, 0), at(10, 21, 0));
    p.clock = at(10, 16, 0);
    p.prog();
    ASSERT_EQ(p.state(), RecordingState::rsProgrammed);
    p.tickAt(at(10, 22, 0, 0));
    ASSERT_TRUE(waitFor([&] { return p.state() == RecordingState::rsProgrammedRecording; }));
    EXPECT_EQ(p.alarmAt(), at(11, 21, 0));
    EXPECT_EQ(p.form.statusPanels->text(1), "capture jusqu'à 21:00:00");
    EXPECT_FALSE(p.panel().gbDebut->isVisibleTo(&p.panel()));
    // The end edited while recording keeps its date; past, it rings at the next tick.
    p.panel().RxSpinEdit4->setValue(23);
    EXPECT_EQ(p.alarmAt(), at(11, 23, 0));
    p.tickAt(at(11, 22, 59, 59));
    EXPECT_EQ(p.state(), RecordingState::rsProgrammedRecording);
    p.tickAt(at(11, 23, 0, 0));
    ASSERT_TRUE(waitFor([&] { return p.state() == RecordingState::rsPreview; }));
    EXPECT_FALSE(p.form.scheduler->alarm().enabled());
    EXPECT_TRUE(p.panel().gbDebut->isVisibleTo(&p.panel()));

    // The process stalled 90 s across the start: it starts late and records to its end.
    p.clock = at(12, 7, 0);
    p.fields(at(12, 8, 0), at(12, 9, 0));
    p.prog();
    p.tickAt(at(12, 7, 59, 59));
    EXPECT_EQ(p.state(), RecordingState::rsProgrammed);
    p.tickAt(at(12, 8, 1, 30));
    ASSERT_TRUE(waitFor([&] { return p.state() == RecordingState::rsProgrammedRecording; }));
    EXPECT_EQ(p.alarmAt(), at(12, 9, 0));
    p.prog(); // "Stop Prog" while recording: the recording goes on without an end
    EXPECT_EQ(p.state(), RecordingState::rsRecording);
    EXPECT_FALSE(p.form.scheduler->alarm().enabled());
    // Prog during a recording started by hand with an end date of yesterday: nothing.
    p.fields(at(11, 8, 0), at(11, 9, 0));
    p.prog();
    EXPECT_EQ(p.state(), RecordingState::rsRecording);
    // With an end today already past, it ends at that time tomorrow.
    p.fields(at(12, 7, 0), at(12, 7, 30));
    p.prog();
    EXPECT_EQ(p.state(), RecordingState::rsProgrammedRecording);
    EXPECT_EQ(p.alarmAt(), at(13, 7, 30));
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    EXPECT_EQ(p.state(), RecordingState::rsPreview);
    EXPECT_FALSE(p.form.scheduler->alarm().enabled());

    // The machine slept through the start and the end: nothing starts.
    p.clock = at(13, 7, 0);
    p.fields(at(13, 8, 0), at(13, 9, 0));
    p.prog();
    const int files = QDir(p.box.path("videos")).entryList(QDir::Files).size();
    p.tickAt(at(13, 9, 30));
    EXPECT_TRUE(waitFor([&] { return p.state() == RecordingState::rsPreview; }));
    EXPECT_FALSE(p.form.scheduler->alarm().enabled());
    EXPECT_EQ(QDir(p.box.path("videos")).entryList(QDir::Files).size(), files);

    // A start past with an end to come, answered yes: it records at once until the end.
    p.answers.answer = IPrompts::Yes;
    p.fields(at(13, 9, 0), at(13, 10, 0));
    p.prog();
    ASSERT_TRUE(waitFor([&] { return p.state() == RecordingState::rsProgrammedRecording; }));
    EXPECT_EQ(p.alarmAt(), at(13, 10, 0));
    p.tickAt(at(13, 10, 0));
    EXPECT_TRUE(waitFor([&] { return p.state() == RecordingState::rsPreview; }));
}

// On the real clock, the program started with "/pf /p" is programmed; with its start and end
// brought a few seconds ahead it records by itself, stops by itself, and the file plays.
TEST(Scheduler, RecordsByItselfOnTheRealClock) {
    Sandbox box;
    QDir().mkpath(box.path("videos"));
    TCaptureForm form;
    Tdm dm;
    Tplaque plaque(&form);
    TRaccourcisForm raccourcis;
    form.attachModules(&dm, &plaque, &raccourcis);
    form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav", "/pf", "/p"});
    form.show();
    ASSERT_TRUE(waitFor([&] { return form.startupFinished(); }));
    Prm.videoDirectory->Value = box.path("videos") + "/";
    form.recorder->RecomputeNextName();
    ASSERT_TRUE(waitFor([&] { return form.recorder->state() == RecordingState::rsProgrammed; }));
    TProgrammerFrame& panel = *form.ProgrammerFrame1;
    const QDateTime start = QDateTime::currentDateTime().addSecs(2);
    const QDateTime end = start.addSecs(3);
    panel.DateEdit2->setDate(end.date());
    panel.RxSpinEdit4->setValue(end.time().hour());
    panel.RxSpinEdit5->setValue(end.time().minute());
    panel.RxSpinEdit6->setValue(end.time().second());
    panel.DateEdit1->setDate(start.date());
    panel.RxSpinEdit1->setValue(start.time().hour());
    panel.RxSpinEdit2->setValue(start.time().minute());
    panel.RxSpinEdit3->setValue(start.time().second());
    ASSERT_TRUE(
        waitFor([&] { return form.recorder->state() == RecordingState::rsProgrammedRecording; }));
    const QString file = form.recorder->currentFile();
    ASSERT_TRUE(waitFor([&] { return form.recorder->state() == RecordingState::rsPreview; }));
    form.hide();
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration:stream=codec_name",
                            "-of", "compact=p=0", file});
    probe.waitForFinished(60000);
    const QString info = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(info.contains("codec_name=pcm_s16le")) << info.toStdString();
    const double seconds = info.section("duration=", 1).section('\n', 0, 0).toDouble();
    EXPECT_NEAR(seconds, 3.0, 1.2) << info.toStdString();
}
