#include "PartArea.h"
#include "CaptureForm.h"
#include "Dm.h"
#include "ParameterTable.h"
#include "ProgramUnderTest.h"
#include "Prompts.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "SuperAction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

// The folder of the small disk, set when the test runs inside its own mount namespace.
constexpr char kSmallDisk[] = "VIDORRA_SMALL_DISK";

bool shows(const TPartArea& area, const QString& file) {
    return area.isVisible() && area.nameText().contains(QFileInfo(file).fileName());
}

void startRecording(Program& p, const QString& folder) {
    Prm.videoDirectory->Value = folder + "/";
    p.form.recorder->RecomputeNextName();
    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(
        p.runUntil([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
}

// The warning that the disk reserve stopped the recording, expected here.
class ReservePrompts : public IPrompts {
public:
    Answer question(QWidget*, const QString& text, bool, bool) override {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return Cancel;
    }
    void information(QWidget*, const QString& text) override { others << text; }
    void warning(QWidget*, const QString& text) override { warnings << text; }
    void error(QWidget*, const QString& text) override { others << text; }
    QStringList warnings, others;
};

} // namespace

// The area names the part being recorded and its growing size, follows a cut to the new part
// and goes away when the recording stops.
TEST(PartArea, FollowsThePartsOfARecording) {
    Sandbox box;
    Program p;
    p.form.setCommandLine({"/sa=Signal de test", "/format_capture=Wav"});
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    TPartArea& area = *p.form.partArea;
    EXPECT_FALSE(area.isVisible());

    startRecording(p, box.path());
    const QString first = p.dm.recordingFileName();
    // The whole name from the first showing.
    ASSERT_TRUE(p.runUntil([&] { return area.isVisible(); }, 3000));
    EXPECT_TRUE(shows(area, first)) << area.nameText().toStdString();
    // WAV grows by 172 Ko a second: the size shown changes, and a time left comes once the
    // rate is known.
    const QString shown = area.nameText();
    EXPECT_TRUE(p.runUntil([&] { return area.nameText() != shown && shows(area, first); }, 4000));
    EXPECT_TRUE(p.runUntil([&] { return area.timeText().contains("restantes"); }, 4000))
        << area.timeText().toStdString();
    EXPECT_FALSE(area.warning()); // the sandbox's disk holds far more than ten minutes of WAV

    p.form.action("acCouper")->executeInteractive(&p.form);
    ASSERT_TRUE(p.runUntil(
        [&] { return !p.dm.recordingFileName().isEmpty() && p.dm.recordingFileName() != first; }));
    const QString second = p.dm.recordingFileName();
    EXPECT_TRUE(p.runUntil([&] { return shows(area, second); }, 3000))
        << area.nameText().toStdString();
    EXPECT_FALSE(area.nameText().contains(QFileInfo(first).fileName()));

    p.form.action("saCapturerBascule")->executeInteractive(&p.form);
    ASSERT_TRUE(p.runUntil([&] { return p.form.recorder->state() == RecordingState::rsPreview; }));
    EXPECT_TRUE(p.runUntil([&] { return !area.isVisible(); }, 3000));
}

// On a disk of 80 MB, DV (3.6 MB/s) reaches the reserve in about twenty seconds: the time
// left shown a few seconds in says when. The disk is a tmpfs mounted in a mount namespace of
// the test's own; the test runs itself once more inside it.
TEST(PartArea, TimeLeftSaysWhenTheReserveStopsTheRecording) {
    if (!qEnvironmentVariableIsEmpty(kSmallDisk)) {
        const QString disk = qEnvironmentVariable(kSmallDisk);
        ReservePrompts prompts;
        IPrompts* const before = setPrompts(&prompts);
        Sandbox box;
        Program p;
        p.form.setCommandLine({"/sv=DV Source - Video", "/format_capture=dv type 1 natif"});
        p.form.show();
        ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
        ASSERT_TRUE(p.runUntil([&] { return p.dm.previewFrames() > 10; }, 30000));
        startRecording(p, disk);
        TPartArea& area = *p.form.partArea;
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(p.runUntil([&] { return area.isVisible() && area.secondsLeft() >= 0; }, 3000));
        // The format's rate gives a time from the first second.
        const qint64 early = area.secondsLeft();
        p.runUntil([] { return false; }, 4000);
        const qint64 predicted = area.secondsLeft();
        EXPECT_TRUE(area.warning()) << "less than ten minutes left: " << predicted << " s";
        const qint64 from = clock.elapsed();
        ASSERT_TRUE(p.runUntil(
            [&] { return p.form.recorder->state() == RecordingState::rsPreview; }, 120000));
        const double actual = (clock.elapsed() - from) / 1000.0;
        std::printf("time left shown first %lld s, after 4 s %lld s; stopped after %.1f s\n",
                    static_cast<long long>(early), static_cast<long long>(predicted), actual);
        EXPECT_NEAR(double(predicted), actual, std::max(1.0, actual * 0.1));
        EXPECT_NEAR(double(early), actual + 4, std::max(2.0, (actual + 4) * 0.15));
        ASSERT_EQ(prompts.warnings.size(), 1) << prompts.others.join('\n').toStdString();
        EXPECT_TRUE(prompts.warnings[0].contains("presque plein"))
            << prompts.warnings[0].toStdString();
        EXPECT_TRUE(p.runUntil([&] { return !area.isVisible(); }, 3000));
        setPrompts(before);
        return;
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString mount =
        QStringLiteral("mount -t tmpfs -o size=80m vidorra-small-disk \"$1\" && exec \"$0\" "
                       "--gtest_filter=PartArea.TimeLeftSaysWhenTheReserveStopsTheRecording");
    QProcess probe;
    probe.start("unshare",
                {"-rm", "sh", "-c", "mount -t tmpfs -o size=1m none \"$0\"", dir.path()});
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here (unshare -rm, mount): "
                     << probe.readAllStandardError().toStdString();
    QProcess inner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kSmallDisk, dir.path());
    inner.setProcessEnvironment(env);
    inner.setProcessChannelMode(QProcess::MergedChannels);
    inner.start("unshare",
                {"-rm", "sh", "-c", mount, QCoreApplication::applicationFilePath(), dir.path()});
    ASSERT_TRUE(inner.waitForFinished(150000));
    const QString out = QString::fromLocal8Bit(inner.readAll());
    std::printf("%s", qPrintable(out));
    EXPECT_EQ(inner.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}
