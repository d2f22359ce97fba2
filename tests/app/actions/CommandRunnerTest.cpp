#include "CommandRunner.h"
#include "QtPrinters.h"
#include "Sandbox.h"
#include "SuperAction.h"

#include <QCoreApplication>
#include <QEvent>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// A small list shaped like the main window's; what ran is logged in order.
struct Runner {
    QStringList log;
    TtoggleAction fullScreen, freezeCapture;
    TSuperAction formatCapture, sourceVideo, grab, vertFlip, disabled;
    TScript script;
    int closes = 0;

    static void name(TCustomSuperAction& a, const char* sw, const char* token) {
        a.setSwitch(sw);
        a.setToken(token);
    }
    TCustomSuperAction::Handler logs(const QString& what) {
        return [this, what](QObject*) { log << (what + ActionArguments().value(0)).trimmed(); };
    }
    Runner() {
        name(fullScreen, "fs", "full_screen");
        fullScreen.OnfalseExecute = [this](QObject*) {
            log << "fs on";
            fullScreen.SetChecked(true);
        };
        fullScreen.OnTrueExecute = [this](QObject*) {
            log << "fs off";
            fullScreen.SetChecked(false);
        };
        name(freezeCapture, "fc", "freeze_capture");
        freezeCapture.AutoCheck = true;
        freezeCapture.TrueCaption = "Geler la capture";
        freezeCapture.OnfalseExecute = logs("freeze");
        freezeCapture.OnTrueExecute = logs("unfreeze");
        name(formatCapture, "fc", "format_capture");
        formatCapture.Onexecute = logs("format ");
        name(sourceVideo, "sv", "source_video");
        sourceVideo.Onexecute = logs("source ");
        sourceVideo.Onprepare = [this](QObject*, bool&) { log << "prepare"; };
        name(grab, "g", "grab");
        grab.Onexecute = [this](QObject* sender) {
            log << QString("grab by ") + sender->metaObject()->className();
        };
        name(vertFlip, "vf", "vertical_flip");
        vertFlip.AutoCheck = true;
        vertFlip.Onexecute = [this](QObject*) {
            log << QString("flip %1").arg(vertFlip.isChecked());
        };
        name(disabled, "d", "disabled");
        disabled.Onexecute = logs("disabled ran");
        disabled.setEnabled(false);
        script.actionlist = {&fullScreen, &freezeCapture, &formatCapture, &sourceVideo,
                             &grab,       &vertFlip,      &disabled};
        script.closeMainWindow = [this] {
            log << "close";
            ++closes;
        };
    }
    QStringList run(const QStringList& arguments) {
        log.clear();
        script.ParseCommandLine(arguments);
        script.RunCommands();
        return log;
    }
    QStringList runScript(const QByteArray& text, Sandbox& box) {
        log.clear();
        EXPECT_TRUE(Sandbox::write(box.path("script.txt"), text));
        script.RunScriptFile(box.path("script.txt"));
        return log;
    }
};

} // namespace

TEST(CommandRunner, NamesFindTheFirstActionBySwitchOrTokenInAnyCase) {
    Runner r;
    EXPECT_EQ(r.script.FindAction("Full_Screen"), &r.fullScreen);
    // The freeze toggle comes first; the selector is reached by its token.
    EXPECT_EQ(r.script.FindAction("fc"), &r.freezeCapture);
    EXPECT_EQ(r.script.FindAction("format_capture"), &r.formatCapture);
    EXPECT_EQ(r.script.FindAction(""), nullptr); // no default action here
    EXPECT_FALSE(r.script.quitRequested());
    EXPECT_EQ(r.script.FindAction("QUIT"), nullptr);
    EXPECT_TRUE(r.script.quitRequested());
    EXPECT_EQ(r.run({"/FS", "/full_screen", "/fc", "/fc", "/format_capture=DV"}),
              QStringList({"fs on", "fs off", "freeze", "unfreeze", "format DV"}));
}

TEST(CommandRunner, CommandLinePrefixesArgumentsAndQuit) {
    Runner r;
    EXPECT_EQ(r.run({"+fs", "+fs", "-fs"}), QStringList({"fs on", "fs on", "fs off"}));
    // Without a prefix, unknown or disabled: nothing. The text after "=" is whole, and the
    // preparation handler is not run.
    EXPECT_EQ(r.run({"fs", "g", "/unknown", "/d", "=g", "/sv=My Camera \"2\"", "/sv"}),
              QStringList({"source My Camera \"2\"", "source"}));
    // quit closes once, after the other commands; a later list does not quit again.
    EXPECT_EQ(r.run({"/quit", "/g", "+fs"}), QStringList({"grab by TScript", "fs on", "close"}));
    r.run({"/g"});
    EXPECT_EQ(r.closes, 1);
    EXPECT_EQ(r.run({"/QUIT"}), QStringList({"close"})); // alone too

    r.grab.Onexecute = [&](QObject*) {
        r.log << "grab";
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
    // An auto-checking toggle: the mode's handler, then the state and captions flip.
    r.run({"/fc"});
    EXPECT_TRUE(r.freezeCapture.isChecked());
    EXPECT_EQ(r.freezeCapture.text(), "Geler la capture");
    EXPECT_EQ(r.run({"/fc"}), QStringList({"unfreeze"}));
    // After a click the script runs the handler of the new state.
    Sandbox box;
    r.freezeCapture.executeInteractive(&r.freezeCapture);
    EXPECT_EQ(r.runScript("freeze_capture\n", box), QStringList({"unfreeze"}));
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
    EXPECT_EQ(r.runScript("full_screen false\nfull_screen TRUE\nfull_screen true\n"
                          "full_screen maybe\nfull_screen toggle\nfs\n",
                          box),
              QStringList({"fs off", "fs on", "fs on", "fs off", "fs on", "fs off"}));
}

TEST(CommandRunner, BadScriptsAndCommandLinesNeitherCrashNorBlock) {
    Sandbox box;
    Runner r;
    // Missing, a folder, a pipe that would block if opened.
    ASSERT_EQ(mkfifo(box.path("fifo").toLocal8Bit().constData(), 0600), 0);
    for (const char* name : {"missing.txt", "", "fifo"})
        r.script.RunScriptFile(box.path(name));
    EXPECT_TRUE(r.log.isEmpty());

    QByteArray text = "g\n";
    for (int i = 0; i < 256; ++i)
        text.append(char(i));                // binary, unknown names: dropped
    text += "\nsv \xC3\xA9t\xC3\xA9\n";      // UTF-8
    text += "sv \xE9t\xE9 \x80\n";           // Windows-1252
    text += QByteArray("sv a\0b\n", 7);      // NUL: dropped
    text += QByteArray(1 << 20, 'x') + "\n"; // too long: dropped
    text += "sv " + QByteArray(10000, ' ') + "\"" + QByteArray(5000, 'y') + "\n";
    for (int i = 0; i < 100000; ++i)
        text += "unknown_name_" + QByteArray::number(i) + " =x\n";
    text += "g";
    EXPECT_EQ(r.runScript(text, box),
              QStringList({"grab by TScript", QString::fromUtf8("source été"),
                           QString::fromUtf8("source été"), "source " + QString(5000, u'y'),
                           "grab by TScript"}));

    const QString utf16 = QStringLiteral("sv \"Caméra 1\"\r\ng\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    EXPECT_EQ(r.runScript(bytes, box),
              QStringList({QString::fromUtf8("source Caméra 1"), "grab by TScript"}));

    QStringList arguments;
    for (int i = 0; i < 100000; ++i)
        arguments << QString("/x%1=%2").arg(i).arg(QString(i % 7, QChar(0xFFFD))) << "+"
                  << "";
    EXPECT_EQ(r.run(arguments << "/g"), QStringList({"grab by TScript"}));
}

TEST(CommandRunner, SwitchRunsTheCommandLineOnceAtTheFirstActivation) {
    Runner r;
    TSwitch sw;
    sw.actionlist = r.script.actionlist;
    sw.arguments = {"/g", "+fs"};
    int noCommandLine = 0;
    sw.OnNoCommandLine = [&] { ++noCommandLine; };
    sw.arm();
    QEvent activate(QEvent::ApplicationActivate);
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::sendEvent(QCoreApplication::instance(), &activate);
        QCoreApplication::processEvents();
    }
    sw.runOnce();
    EXPECT_EQ(r.log, QStringList({"grab by TSwitch", "fs on"}));
    EXPECT_TRUE(sw.spent() && sw.commands().empty());

    TSwitch empty; // nothing for the list: the event, once
    empty.actionlist = r.script.actionlist;
    empty.arguments = {"plain", "/unknown"};
    empty.OnNoCommandLine = [&] { ++noCommandLine; };
    empty.runOnce();
    empty.runOnce();
    EXPECT_EQ(noCommandLine, 1);
}

// A script's commande line: commands start at a prefixed word, the rest is the text of the
// one before; quotes group as on a shell's line.
TEST(CommandRunner, SplitLineOfAScript) {
    using L = QStringList;
    EXPECT_EQ(TCustomScript::SplitLine("/c"), L{"/c"});
    EXPECT_EQ(TCustomScript::SplitLine("  +fs   -m "), (L{"+fs", "-m"}));
    EXPECT_EQ(TCustomScript::SplitLine("/sv=Mire de test /c"), (L{"/sv=Mire de test", "/c"}));
    EXPECT_EQ(TCustomScript::SplitLine("/sv=Caméra -2"), L{"/sv=Caméra -2"});
    EXPECT_EQ(TCustomScript::SplitLine("\"/dossier_video=/a b/-c\" /k"),
              (L{"/dossier_video=/a b/-c", "/k"}));
    EXPECT_EQ(TCustomScript::SplitLine(""), L{});
    EXPECT_EQ(TCustomScript::SplitLine("texte seul"), L{"texte seul"});
}
