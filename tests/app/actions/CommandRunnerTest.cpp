#include "CommandRunner.h"
#include "QtPrinters.h"
#include "Sandbox.h"
#include "SuperAction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A small action list shaped like the main window's: what ran is logged in order.
struct Actions {
    QStringList log;
    TtoggleAction fullScreen, freezeCapture;
    TSuperAction formatCapture, sourceVideo, grab, vertFlip, disabled;
    QList<TCustomSuperAction*> list;

    Actions() {
        fullScreen.setSwitch("fs");
        fullScreen.setToken("full_screen");
        fullScreen.TrueCaption = "Enlever le plein écran";
        fullScreen.FalseCaption = "Mettre en plein écran";
        fullScreen.OnfalseExecute = [this](QObject*) {
            log << "fs on";
            fullScreen.SetChecked(true);
        };
        fullScreen.OnTrueExecute = [this](QObject*) {
            log << "fs off";
            fullScreen.SetChecked(false);
        };
        fullScreen.SetChecked(false);

        freezeCapture.setSwitch("fc");
        freezeCapture.setToken("freeze_capture");
        freezeCapture.AutoCheck = true;
        freezeCapture.TrueCaption = "Geler la capture";
        freezeCapture.FalseCaption = "Relancer la capture";
        freezeCapture.OnfalseExecute = [this](QObject*) { log << "freeze"; };
        freezeCapture.OnTrueExecute = [this](QObject*) { log << "unfreeze"; };
        freezeCapture.SetChecked(false);

        formatCapture.setSwitch("fc");
        formatCapture.setToken("format_capture");
        formatCapture.Onexecute = [this](QObject*) { log << "format " + arg(); };
        sourceVideo.setSwitch("sv");
        sourceVideo.setToken("source_video");
        sourceVideo.Onexecute = [this](QObject*) { log << "source " + arg(); };
        sourceVideo.Onprepare = [this](QObject*, bool&) { log << "prepare"; };
        grab.setSwitch("g");
        grab.setToken("grab");
        grab.Onexecute = [this](QObject* sender) {
            log << QString("grab from %1").arg(sender ? sender->metaObject()->className() : "");
        };
        vertFlip.setSwitch("vf");
        vertFlip.setToken("vertical_flip");
        vertFlip.AutoCheck = true;
        vertFlip.Onexecute = [this](QObject*) {
            log << QString("flip %1").arg(vertFlip.isChecked());
        };
        disabled.setSwitch("d");
        disabled.Onexecute = [this](QObject*) { log << "disabled ran"; };
        disabled.setEnabled(false);
        list = {&fullScreen, &freezeCapture, &formatCapture, &sourceVideo,
                &grab,       &vertFlip,      &disabled};
    }
    static QString arg() { return ActionArguments().value(0); }
};

struct Runner {
    Actions a;
    TScript script;
    int closes = 0;
    Runner() {
        script.actionlist = a.list;
        script.closeMainWindow = [this] {
            a.log << "close";
            ++closes;
        };
    }
    QStringList run(const QStringList& arguments) {
        script.ParseCommandLine(arguments);
        script.RunCommands();
        return a.log;
    }
    QStringList runScript(const QByteArray& text, Sandbox& box) {
        const QString file = box.path("script.txt");
        EXPECT_TRUE(Sandbox::write(file, text));
        script.RunScriptFile(file);
        return a.log;
    }
};

} // namespace

TEST(CommandRunner, NamesFindTheFirstActionBySwitchOrTokenInAnyCase) {
    Runner r;
    EXPECT_EQ(r.script.FindAction("FS"), &r.a.fullScreen);
    EXPECT_EQ(r.script.FindAction("Full_Screen"), &r.a.fullScreen);
    // The freeze toggle comes first in the list; the selector is reached by its token.
    EXPECT_EQ(r.script.FindAction("fc"), &r.a.freezeCapture);
    EXPECT_EQ(r.script.FindAction("format_capture"), &r.a.formatCapture);
    EXPECT_EQ(r.script.FindAction("nothing"), nullptr);
    EXPECT_EQ(r.script.FindAction(""), nullptr); // no default action here
    EXPECT_FALSE(r.script.quitRequested());
    EXPECT_EQ(r.script.FindAction("QUIT"), nullptr);
    EXPECT_TRUE(r.script.quitRequested());

    EXPECT_EQ(r.run({"/FS", "/full_screen", "/fc", "/fc", "/format_capture=DV"}),
              QStringList({"fs on", "fs off", "freeze", "unfreeze", "format DV"}));
}

TEST(CommandRunner, CommandLinePrefixesAndArguments) {
    Runner r;
    // +fs twice runs the switch-on handler twice; -fs the switch-off one.
    EXPECT_EQ(r.run({"+fs", "+fs", "-fs"}), QStringList({"fs on", "fs on", "fs off"}));
    r.a.log.clear();
    // Without a prefix, unknown, or disabled: nothing. The argument after "=" is whole.
    EXPECT_EQ(r.run({"fs", "g", "/unknown", "/d", "=g", "/sv=My Camera \"2\"", "/sv"}),
              QStringList({"source My Camera \"2\"", "source "}));
    r.a.log.clear();
    // The runner is the sender and the preparation handler is not run.
    EXPECT_EQ(r.run({"/g"}), QStringList({"grab from TScript"}));
}

TEST(CommandRunner, QuitClosesOnceAfterTheOtherCommands) {
    Runner r;
    EXPECT_EQ(r.run({"/quit", "/g", "+fs"}), QStringList({"grab from TScript", "fs on", "close"}));
    EXPECT_EQ(r.closes, 1);
    // A later list does not quit again.
    r.a.log.clear();
    r.run({"/g"});
    EXPECT_EQ(r.closes, 1);
    // /quit alone still closes.
    r.run({"/QUIT"});
    EXPECT_EQ(r.closes, 2);
}

TEST(CommandRunner, AbortStopsTheListAndQuitStillCloses) {
    Runner r;
    r.a.grab.Onexecute = [&](QObject*) {
        r.a.log << "grab";
        r.script.abort();
    };
    EXPECT_EQ(r.run({"/g", "/fs", "/quit"}), QStringList({"grab", "close"}));
    EXPECT_FALSE(r.script.Executing());
}

TEST(CommandRunner, AutoCheckingActionsEndInTheirNewState) {
    Runner r;
    // The flip handler reads the state it is to take, as when clicked.
    EXPECT_EQ(r.run({"/vf", "/vf", "+vf", "-vf"}),
              QStringList({"flip 1", "flip 0", "flip 1", "flip 0"}));
    EXPECT_FALSE(r.a.vertFlip.isChecked());

    // An auto-checking toggle: handler of the mode's state, then the state flips and the
    // captions follow it.
    r.a.log.clear();
    r.run({"/fc"});
    EXPECT_EQ(r.a.log, QStringList({"freeze"}));
    EXPECT_TRUE(r.a.freezeCapture.isChecked());
    EXPECT_EQ(r.a.freezeCapture.text(), "Geler la capture");
    r.run({"/fc"});
    EXPECT_EQ(r.a.log, QStringList({"freeze", "unfreeze"}));
    EXPECT_FALSE(r.a.freezeCapture.isChecked());
}

TEST(CommandRunner, ScriptLinesTakeTheFirstWordAndToggleWords) {
    Sandbox box;
    Runner r;
    EXPECT_EQ(
        r.runScript("sv My Camera\n"
                    "  source_video \"My Camera\" trailing  \r\n"
                    "\n"
                    "sv=\"A B\"C\n"
                    "/sv=Cam\n"
                    "format_capture\tDV AVI\n"
                    "unknown line here\n",
                    box),
        QStringList({"source My", "source My Camera", "source A B", "source Cam", "format DV"}));

    r.a.log.clear();
    // Words that set a toggle's mode; any other word simply toggles.
    EXPECT_EQ(r.runScript("full_screen false\n"
                          "full_screen TRUE\n"
                          "full_screen true\n"
                          "full_screen maybe\n"
                          "full_screen toggle\n"
                          "fs\n",
                          box),
              QStringList({"fs off", "fs on", "fs on", "fs off", "fs on", "fs off"}));
}

TEST(CommandRunner, ScriptAfterAClickOnAnAutoCheckingToggleRunsTheRightHandler) {
    Sandbox box;
    Runner r;
    r.a.freezeCapture.executeInteractive(&r.a.freezeCapture); // freezes
    EXPECT_EQ(r.runScript("freeze_capture\n", box), QStringList({"freeze", "unfreeze"}));
    EXPECT_FALSE(r.a.freezeCapture.isChecked());
}

TEST(CommandRunner, ScriptFilesThatAreMissingOrNotFilesRunNothing) {
    Sandbox box;
    Runner r;
    r.script.ParseCommandLine({"/g"});
    r.script.ParseScriptFile(box.path("missing.txt"));
    EXPECT_EQ(r.script.commands().size(), 1u); // nothing happens
    r.script.clear();

    r.script.RunScriptFile(box.path("missing.txt"));
    r.script.RunScriptFile(box.path()); // a folder
    const QByteArray fifo = box.path("fifo").toLocal8Bit();
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    r.script.RunScriptFile(box.path("fifo")); // would block if opened
    EXPECT_TRUE(r.a.log.isEmpty());
}

TEST(CommandRunner, GarbageScriptsAndCommandLinesNeitherCrashNorCrawl) {
    Sandbox box;
    Runner r;
    QByteArray garbage;
    for (int i = 0; i < 256; ++i)
        garbage.append(char(i));
    QByteArray text = "g\n" + garbage + "\n";
    text += "sv \xC3\xA9t\xC3\xA9\n";        // valid UTF-8
    text += "sv \xE9t\xE9\n";                // Latin-1: not UTF-8, dropped
    text += QByteArray("sv a\0b\n", 7);      // binary: dropped
    text += QByteArray(1 << 20, 'x') + "\n"; // one line of a megabyte
    text += "sv " + QByteArray(10000, ' ') + "\"" + QByteArray(5000, 'y') + "\n";
    for (int i = 0; i < 100000; ++i)
        text += "unknown_name_" + QByteArray::number(i) + " =x\n";
    text += "g";
    QElapsedTimer clock;
    clock.start();
    const QStringList log = r.runScript(text, box);
    ASSERT_GE(log.size(), 3);
    EXPECT_EQ(log.front(), "grab from TScript");
    EXPECT_EQ(log[1], QString::fromUtf8("source été"));
    EXPECT_EQ(log.back(), "grab from TScript");
    ASSERT_EQ(log.size(), 4); // an unclosed quote runs to the end of the line
    EXPECT_EQ(log[2], "source " + QString(5000, u'y'));
    EXPECT_LT(clock.elapsed(), 20000);

    // UTF-16 with a byte-order mark.
    r.a.log.clear();
    const QString utf16 = QStringLiteral("sv \"Caméra 1\"\r\ng\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    EXPECT_EQ(r.runScript(bytes, box),
              QStringList({QString::fromUtf8("source Caméra 1"), "grab from TScript"}));

    // A command line of a hundred thousand unknown names and odd prefixes.
    r.a.log.clear();
    QStringList arguments;
    for (int i = 0; i < 100000; ++i)
        arguments << QString("/x%1=%2").arg(i).arg(QString(i % 7, QChar(0xFFFD))) << "+"
                  << "="
                  << "";
    arguments << "/g";
    clock.restart();
    EXPECT_EQ(r.run(arguments), QStringList({"grab from TScript"}));
    EXPECT_LT(clock.elapsed(), 20000);
}

TEST(CommandRunner, SwitchRunsTheCommandLineOnceAtTheFirstActivation) {
    Actions a;
    TSwitch sw;
    sw.actionlist = a.list;
    sw.arguments = {"/g", "+fs"};
    int noCommandLine = 0;
    sw.OnNoCommandLine = [&] { ++noCommandLine; };
    sw.arm();
    QEvent activate(QEvent::ApplicationActivate);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &activate);
    QCoreApplication::processEvents();
    EXPECT_TRUE(sw.spent());
    EXPECT_EQ(a.log, QStringList({"grab from TSwitch", "fs on"}));
    EXPECT_TRUE(sw.commands().empty());
    QCoreApplication::sendEvent(QCoreApplication::instance(), &activate);
    QCoreApplication::processEvents();
    sw.runOnce();
    EXPECT_EQ(a.log.size(), 2);
    EXPECT_EQ(noCommandLine, 0);

    // No command for the list: the event, once.
    TSwitch empty;
    empty.actionlist = a.list;
    empty.arguments = {"plain", "/unknown"};
    empty.OnNoCommandLine = [&] { ++noCommandLine; };
    empty.runOnce();
    empty.runOnce();
    EXPECT_EQ(noCommandLine, 1);
}
