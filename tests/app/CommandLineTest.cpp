// The program's command line as a user meets it: the help and the version without a display,
// the help agreeing with the actions, and one program per session over the session bus.
#include "CaptureForm.h"
#include "CaptureFormat.h"
#include "CommandLineHelp.h"
#include "CommandRunner.h"
#include "IniFile.h"
#include "ParameterTable.h"
#include "ProgramProcess.h"
#include "ProgramUnderTest.h"
#include "Prompts.h"
#include "Sandbox.h"
#include "ScriptedPrompts.h"
#include "SingleInstance.h"
#include "SuperAction.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace ProgramProcess;

// As under cron: no display, no platform, no session bus address; the runtime folder is
// runtime (empty: one without a bus).
QProcessEnvironment headless(const Sandbox& box, const QString& runtime) {
    QProcessEnvironment env = environmentOf(box);
    for (const char* name :
         {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"})
        env.remove(name);
    env.insert("XDG_RUNTIME_DIR", runtime);
    return env;
}

struct Outcome {
    int exitCode = -1;
    bool normalExit = false;
    QString out, err;
};

Outcome runProgram(const QString& exe, const QStringList& arguments, const QProcessEnvironment& env,
                   int ms = 60000) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, arguments);
    Outcome r;
    if (!p.waitForFinished(ms)) {
        p.kill();
        p.waitForFinished();
        r.err = "did not end in time";
        return r;
    }
    r.exitCode = p.exitCode();
    r.normalExit = p.exitStatus() == QProcess::NormalExit;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err += QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Polls, letting the test's own events (a process that ended) through; true when done()
// held in time.
bool poll(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
    return true;
}

// A session bus of the test's own, started by dbus-run-session around the first program;
// its socket is the runtime folder's "bus", as a login session's is.
QString writeBusConfig(const Sandbox& box, const QString& runtime) {
    const QString config = box.path("session.conf");
    Sandbox::write(config,
                   QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                                  "Configuration 1.0//EN\"\n"
                                  " \"http://www.freedesktop.org/standards/dbus/1.0/"
                                  "busconfig.dtd\">\n"
                                  "<busconfig>\n"
                                  "  <type>session</type>\n"
                                  "  <listen>unix:path=%1/bus</listen>\n"
                                  "  <auth>EXTERNAL</auth>\n"
                                  "  <policy context=\"default\">\n"
                                  "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                  "    <allow eavesdrop=\"true\"/>\n"
                                  "    <allow own=\"*\"/>\n"
                                  "  </policy>\n"
                                  "</busconfig>\n")
                       .arg(runtime)
                       .toUtf8());
    return config;
}

} // namespace

TEST(CommandLine, HelpAndVersionNeedNoDisplay) {
    Sandbox box;
    QDir().mkpath(box.path("run"));
    const QProcessEnvironment env = headless(box, box.path("run"));

    const Outcome help = runProgram(VIDORRA_EXE, {"/c", "--help"}, env);
    ASSERT_TRUE(help.normalExit) << help.err.toStdString();
    EXPECT_EQ(help.exitCode, 0);
    // Nothing started: no message from Qt or GStreamer.
    EXPECT_EQ(help.err, "");
    EXPECT_TRUE(help.out.startsWith("Utilisation : vidorra [OPTION]... [COMMANDE]..."));
    for (const char* expected :
         {"--new-instance", "--version", "/quit", "Capturer", "/capture", "Ctrl+Espace", "/sv",
          "/source_video=nom", "Alt+Entrée", "Num +", "Maj+F4", "F5 (Ctrl+G)", "[+/-]"})
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(expected))) << expected;
    for (const CommandLineActionRow& row : CommandLineActionRows()) {
        EXPECT_TRUE(help.out.contains("/" + row.token)) << row.token.toStdString();
        EXPECT_TRUE(help.out.contains(row.caption)) << row.caption.toStdString();
    }
    // The capture format's switch is the freeze's: the help says so and lists the token.
    EXPECT_TRUE(help.out.contains("/fc désigne « Geler la capture »")) << help.out.toStdString();
    EXPECT_FALSE(help.out.contains(QRegularExpression("/fc +/format_capture")));

    const Outcome version = runProgram(VIDORRA_EXE, {"--version"}, env);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "Vidorra " VIDORRA_TEST_VERSION "\n");
    EXPECT_EQ(version.err, "");

    // Commands with nobody to take them and nowhere to show a window: a message, not an abort.
    const Outcome nowhere = runProgram(VIDORRA_EXE, {"/c"}, env);
    ASSERT_TRUE(nowhere.normalExit) << nowhere.err.toStdString();
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.contains("aucun écran")) << nowhere.err.toStdString();
}

TEST(CommandLine, ProgramOptionsAreNotCommands) {
    const ProgramOptions o = ParseProgramOptions(
        {"-fp", "--new-instance", "/c", "+fs", "--platform", "-m", "--help", "/sv=--version"});
    EXPECT_TRUE(o.newInstance);
    EXPECT_TRUE(o.help);
    EXPECT_FALSE(o.version);
    EXPECT_EQ(o.commands, QStringList({"-fp", "/c", "+fs", "--platform", "-m", "/sv=--version"}));
    EXPECT_EQ(SingleInstance::unixSocketAddress("/run/user/1000/bus"),
              "unix:path=/run/user/1000/bus");
    EXPECT_EQ(SingleInstance::unixSocketAddress("/tmp/a b,c=d"), "unix:path=/tmp/a%20b%2cc%3dd");
}

// The help's rows say what the window's actions are and what a command line reaches.
TEST(CommandLine, HelpRowsAgreeWithTheWindowsActions) {
    Sandbox box;
    TCaptureForm form;
    const QList<CommandLineActionRow> rows = CommandLineActionRows();
    int named = 0;
    for (TCustomSuperAction* action : form.al) {
        if (action->Switch().isEmpty() && action->Token().isEmpty())
            continue;
        ++named;
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) {
            return r.name == action->objectName();
        });
        ASSERT_NE(row, rows.end()) << action->objectName().toStdString();
        const std::string name = action->objectName().toStdString();
        EXPECT_EQ(row->switchName, action->Switch()) << name;
        EXPECT_EQ(row->token, action->Token()) << name;
        EXPECT_EQ(row->shortcut, FrenchKeyText(action->ShortCut)) << name;
        EXPECT_EQ(row->category, action->Category) << name;
        EXPECT_EQ(row->toggle, qobject_cast<TtoggleAction*>(action) != nullptr) << name;
        EXPECT_FALSE(row->caption.isEmpty()) << name;
        // A switch the help lists reaches this action; a shadowed one reaches another. The
        // token "quit" is the runner's own, which closes the window after the other commands.
        if (row->token != "quit") {
            EXPECT_EQ(form.Switch1->FindAction(row->token), action) << name;
        }
        if (!row->switchName.isEmpty()) {
            EXPECT_EQ(form.Switch1->FindAction(row->switchName) == action, !row->switchShadowed)
                << name;
        }
    }
    EXPECT_EQ(named, rows.size());
}

// Command lines handed over while the program starts wait for its own, then run in order;
// one of them may close it.
TEST(CommandLine, HandedCommandLinesRunAfterStartupInOrder) {
    Sandbox box;
    // Portable: the close asks nothing.
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    ProgramUnderTest p;
    p.form.setCommandLine({"/of"});
    p.form.receiveCommandLine({"/lf"});
    p.form.receiveCommandLine({"/w", "/df"});
    p.form.show();
    // Options, then the list, then the folders: the last panel shown is the folders'.
    ASSERT_TRUE(
        p.runUntil([&] { return Prm.panneauActif && Prm.panneauActif->Value == 1; }, 30000));
    EXPECT_NE(p.form.PreviewShiftX, 0); // the sides were swapped on the way
    p.form.receiveCommandLine({"/quit"});
    EXPECT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }, 30000));
}

// Format names typed by a person match without regard to case; an unknown one keeps the
// format and says which names there are. The stored values keep the exact rule.
TEST(CommandLine, FormatNamesTypedByHand) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    ProgramUnderTest p;
    p.form.setCommandLine({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=DivX"});
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }, 30000));
    ASSERT_TRUE(p.runUntil([&] { return Prm.captureFormat->Value == cfDivx; }));
    for (const auto& [typed, format] : {std::pair{"WAV", cfWav}, std::pair{" wmv ", cfWmv},
                                        std::pair{"MP3", cfMp3}, std::pair{"Divx", cfDivx}}) {
        p.form.receiveCommandLine({QStringLiteral("/format_capture=") + typed});
        EXPECT_TRUE(p.runUntil([&, format = format] { return Prm.captureFormat->Value == format; }))
            << typed;
    }
    EXPECT_TRUE(answers.asked.isEmpty());
    p.form.receiveCommandLine({"/format_capture=mpeg4"});
    ASSERT_TRUE(p.runUntil([&] { return !answers.asked.isEmpty(); }));
    EXPECT_TRUE(answers.asked[0].contains("« mpeg4 »") && answers.asked[0].contains("divx") &&
                answers.asked[0].contains("Wav"))
        << answers.asked[0].toStdString();
    EXPECT_EQ(Prm.captureFormat->Value, cfDivx);
    EXPECT_EQ(CaptureFormatFromLabel("DivX"), cfDefault);
    p.form.receiveCommandLine({"/quit"});
    EXPECT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }, 30000));
}

// The folders a job chooses from the command line: made when missing; a relative path keeps
// the folder and says why.
TEST(CommandLine, RecordingFoldersFromTheCommandLine) {
    Sandbox box;
    ASSERT_TRUE(IniFile::save(AppPaths::iniFilePath(), {"[]"}));
    ScriptedPrompts answers;
    PromptsGuard guard(&answers);
    ProgramUnderTest p;
    const QString videos = box.path("nuit/videos"), images = box.path("nuit/images");
    p.form.setCommandLine({"/dossier_video=" + videos, "/dossier_images=" + images});
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return Prm.videoDirectory->Value == videos + "/"; }, 30000));
    EXPECT_EQ(Prm.imageDirectory->Value, images + "/");
    EXPECT_TRUE(QFileInfo(videos).isDir() && QFileInfo(images).isDir());
    EXPECT_TRUE(p.form.nextVideoFileName.startsWith(videos + "/"))
        << p.form.nextVideoFileName.toStdString();
    p.form.receiveCommandLine({"/dossier_video=relatif/ailleurs"});
    ASSERT_TRUE(p.runUntil([&] { return !answers.asked.isEmpty(); }));
    EXPECT_TRUE(answers.asked[0].contains("chemin complet")) << answers.asked[0].toStdString();
    EXPECT_EQ(Prm.videoDirectory->Value, videos + "/");
    p.form.receiveCommandLine({"/quit"});
    EXPECT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }, 30000));
}

// A second start hands its command line to the program open in the session and ends; from
// cron too (no display, the bus found in the runtime folder). --new-instance starts a program
// of its own.
TEST(CommandLine, ASecondStartHandsItsCommandLineToTheOpenProgram) {
    if (QStandardPaths::findExecutable("dbus-run-session").isEmpty())
        GTEST_SKIP() << "dbus-run-session is missing (package dbus)";
    Sandbox box;
    const QString exe = install(box);
    const QString runtime = box.path("run");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString config = writeBusConfig(box, runtime);

    QProcess first;
    QProcessEnvironment env = environmentOf(box);
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    // Into a file: nobody reads a pipe while the test waits.
    const QString firstLog = box.path("first.log");
    first.setStandardOutputFile(firstLog);
    first.start("dbus-run-session",
                {"--config-file=" + config, "--", exe, "/sv=Mire de test", "/sa=Signal de test"});
    ASSERT_TRUE(first.waitForStarted());
    auto output = [&firstLog] { return Sandbox::read(firstLog).toStdString(); };

    // The program owns its name once it is up.
    const QString address = SingleInstance::unixSocketAddress(runtime + "/bus");
    bool owned = poll(
        [&] {
            QDBusConnection bus = QDBusConnection::connectToBus(address, "test-session");
            const bool up = bus.isConnected() &&
                            bus.interface()->isServiceRegistered(SingleInstance::kService).value();
            QDBusConnection::disconnectFromBus("test-session");
            return up || first.state() != QProcess::Running;
        },
        120000);
    ASSERT_TRUE(owned && first.state() == QProcess::Running) << output();

    // From cron: the second finds the bus, hands "record in MPEG-4" over and ends.
    const Outcome second =
        runProgram(exe, {"/format_capture=divx", "/c"}, headless(box, runtime), 60000);
    ASSERT_TRUE(second.normalExit) << second.err.toStdString();
    EXPECT_EQ(second.exitCode, 0) << second.err.toStdString();
    ASSERT_TRUE(poll([&] { return QFileInfo(recordedFile(box)).size() > 200000; }, 120000))
        << output();

    // A program of its own, though one is open: it runs its /quit itself and ends, while the
    // first goes on recording.
    Sandbox other;
    const QString otherExe = install(other);
    QProcessEnvironment otherEnv = environmentOf(other);
    otherEnv.insert("DBUS_SESSION_BUS_ADDRESS", address);
    const Outcome separate = runProgram(otherExe, {"--new-instance", "/quit"}, otherEnv, 120000);
    EXPECT_TRUE(separate.normalExit);
    EXPECT_EQ(separate.exitCode, 0) << separate.err.toStdString();
    EXPECT_FALSE(first.waitForFinished(500)) << output();

    // A third start closes the first, which finishes its recording.
    const Outcome third = runProgram(exe, {"/quit"}, headless(box, runtime), 60000);
    EXPECT_EQ(third.exitCode, 0) << third.err.toStdString();
    ASSERT_TRUE(first.waitForFinished(120000)) << output();
    EXPECT_EQ(first.exitCode(), 0) << output();
    const std::string log = output();
    // Two lines reached it, not the separate program's.
    size_t handed = 0;
    for (size_t at = 0; (at = log.find("command line from another start", at)) != std::string::npos;
         ++at)
        ++handed;
    EXPECT_EQ(handed, 2u) << log;
    const QString info = probe(recordedFile(box));
    EXPECT_TRUE(info.contains("codec_name=mpeg4")) << info.toStdString();
}

// Without a session bus a start is the program, as before.
TEST(CommandLine, WithoutASessionBusTheProgramStartsOnItsOwn) {
    Sandbox box;
    const QString exe = install(box);
    QDir().mkpath(box.path("run"));
    QProcessEnvironment env = environmentOf(box);
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + box.path("run/nothing"));
    const Outcome alone = runProgram(exe, {"/quit"}, env, 120000);
    EXPECT_TRUE(alone.normalExit);
    EXPECT_EQ(alone.exitCode, 0) << alone.err.toStdString();
}
