// The script window: a macro recorded from the manager's actions compiles and replays them,
// and the script component reports in its own words.
#include "ActionEchoes.h"
#include "AppliMan.h"
#include "CaptureForm.h"
#include "Dm.h"
#include "HelpFrame.h"
#include "KXScript.h"
#include "OptionsFrame.h"
#include "ParameterTable.h"
#include "Plaque.h"
#include "ProgramUnderTest.h"
#include "RaccourcisForm.h"
#include "Sandbox.h"
#include "ScriptForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

QStringList lines(QPlainTextEdit* edit) {
    return edit->toPlainText().split('\n');
}

} // namespace

// Recorded: the about and options frames shown and hidden. The macro is a whole program
// which, run again, shows and hides them again.
TEST(ScriptWindow, ARecordedMacroReplaysTheActions) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    auto managed = [&](const char* name) {
        for (TCustomAbstractAction* a : p.form.am->actions)
            if (a && a->objectName() == QLatin1String(name))
                return qobject_cast<TCheckAction*>(a);
        return static_cast<TCheckAction*>(nullptr);
    };
    TCheckAction* script = managed("caScript");
    TCheckAction* about = managed("caAbout");
    TCheckAction* options = managed("caOptions");
    ASSERT_TRUE(script && about && options);
    script->Execute();
    TScriptForm* window = p.form.scriptForm;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());

    // Stop without start does nothing; running before compiling is refused.
    const QString before = window->Editor->toPlainText();
    window->naStopMacro->trigger();
    EXPECT_EQ(window->Editor->toPlainText(), before);

    window->naStartMacro->trigger();
    about->Execute();
    options->Execute();
    about->Execute();
    options->Execute();
    window->naStopMacro->trigger();
    const QStringList recorded = lines(window->Editor);
    ASSERT_GE(recorded.size(), 8);
    EXPECT_TRUE(recorded[0].startsWith(QStringLiteral("//Macro enregistrée le ")));
    EXPECT_EQ(recorded[1], "");
    EXPECT_EQ(recorded[2], "begin");
    EXPECT_EQ(recorded.mid(3, 4), (QStringList{"    setAbout(True);", "    setOptions(True);",
                                               "    setAbout(False);", "    setOptions(False);"}));
    EXPECT_EQ(recorded.last(), "end.");
    EXPECT_FALSE(about->Value);

    // Replayed: the frames come and go again, the run says so.
    int aboutShown = 0;
    about->OnBeforeTrueApply = [&] { ++aboutShown; };
    window->naExecuteMacro->trigger();
    EXPECT_EQ(lines(window->Memo), (QStringList{"*** Exécution réussie ***"}));
    EXPECT_EQ(aboutShown, 1);
    EXPECT_FALSE(about->Value);
    EXPECT_FALSE(options->Value);
    script->Execute();
    EXPECT_FALSE(window->isVisible());
}

// The component's words: compilation and run results, errors with their positions.
TEST(ScriptWindow, MessagesInTheComponentsWords) {
    TKXScript script;
    EXPECT_FALSE(script.Run());
    EXPECT_EQ(script.Messages, (QStringList{"### Compilation non prête"}));
    script.Script = QStringList{"begin", "  inconnu := 1;", "end."};
    EXPECT_FALSE(script.Compile());
    ASSERT_EQ(script.Messages.size(), 2);
    EXPECT_TRUE(script.Messages[0].contains("(2:3)")) << script.Messages[0].toStdString();
    EXPECT_EQ(script.Messages[1], "### Compilation Failed");
    EXPECT_FALSE(script.Run());
    EXPECT_EQ(script.Messages, (QStringList{"### Compilation non prête"}));
    script.Script =
        QStringList{"var i: Integer;", "begin", "  i := 0;", "  i := 10 div i;", "end."};
    ASSERT_TRUE(script.Compile());
    EXPECT_EQ(script.Messages.last(), "*** Compilation succeeded ***");
    EXPECT_FALSE(script.Run());
    ASSERT_EQ(script.Messages.size(), 1);
    EXPECT_TRUE(script.Messages[0].startsWith("### Erreur pendant l'exécution: Division by zero"))
        << script.Messages[0].toStdString();
    EXPECT_TRUE(script.Messages[0].contains("(4:"));
}

// The file routines every script gets, on a folder of the test's own.
TEST(ScriptWindow, FileRoutines) {
    QTemporaryDir dir;
    for (const char* name : {"b.txt", "a.txt", "c.dat"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TKXScript script;
    QStringList shown;
    script.showMessage = [&](const QString& text) { shown << text; };
    const QString folder = dir.path(); // no trailing separator
    script.Script = QStringList{
        "var f: widestring;",
        "begin",
        "  f := findfirst('" + folder + "', '*.txt');",
        "  while f <> '' do begin showmessage(f); f := findnext; end;",
        "  findclose;",
        "  forcedirectories('" + folder + "/x/y');",
        "  renamefile('" + folder + "/c.dat', '" + folder + "/x/y/d.dat');",
        "  showmessage(extractfilename('" + folder + "/x/y/d.dat'));",
        "  showmessage(extractfilepath('/a/b.c/d'));",
        "  showmessage(extractfileext('/a/b.c/d') + '|' + extractfileext('/a/e.tar.gz'));",
        "  showmessage(changefileext('/a/b.c/d', '.txt') + '|' + changefileext('e.avi', '.scn'));",
        "end."};
    ASSERT_TRUE(script.Compile()) << script.Messages.join('\n').toStdString();
    ASSERT_TRUE(script.Run()) << script.Messages.join('\n').toStdString();
    EXPECT_EQ(shown, (QStringList{folder + "/a.txt", folder + "/b.txt", "d.dat", "/a/b.c/", "|.gz",
                                  "/a/b.c/d.txt|e.scn"}));
    EXPECT_TRUE(QFile::exists(folder + "/x/y/d.dat"));
    EXPECT_FALSE(QFile::exists(folder + "/c.dat"));
}

// A rectangle is recorded as left, top, right, bottom and replays as it was.
TEST(ScriptWindow, RectanglesReplayAsRecorded) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    TRectAction* rect = nullptr;
    for (TCustomAbstractAction* a : p.form.am->actions)
        if (a && a->objectName() == QLatin1String("raScriptFormSave"))
            rect = qobject_cast<TRectAction*>(a);
    ASSERT_NE(rect, nullptr);
    TScriptForm* window = p.form.scriptForm;
    window->naStartMacro->trigger();
    rect->Value = QRect(10, 20, 500, 400);
    rect->Apply();
    window->naStopMacro->trigger();
    EXPECT_TRUE(window->Editor->toPlainText().contains("    ScriptFormSave(10,20,510,420);"));
    rect->Value = QRect(0, 0, 300, 300);
    window->naExecuteMacro->trigger();
    EXPECT_EQ(lines(window->Memo), (QStringList{"*** Exécution réussie ***"}));
    EXPECT_EQ(rect->Value, QRect(10, 20, 500, 400));
}

// vidorra-script declares the procedures the program's scripts get, so that a macro that
// runs in the window runs from the command line too.
TEST(ScriptWindow, TheRunnerKnowsTheManagersProcedures) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    QStringList declared;
    for (TCustomAbstractAction* a : p.form.am->actions)
        if (a && !a->ScriptName.isEmpty())
            for (const QString& d : a->ScriptDeclaration().split("\r\n", Qt::SkipEmptyParts))
                declared << d.trimmed();
    declared << TCaptureForm::kDecalageDeclaration << TCaptureForm::kCommandeDeclaration
             << TCaptureForm::kAttendreDeclaration;
    EXPECT_EQ(declared, actionDeclarations());
}

// The inlay's clock correction is set from a script as from the window.
TEST(ScriptWindow, DecalageFromAScript) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    TScriptForm* window = p.form.scriptForm;
    window->Editor->setPlainText("begin\n  Decalage('1,5');\nend.");
    window->naExecuteMacro->trigger();
    EXPECT_EQ(lines(window->Memo), (QStringList{"*** Exécution réussie ***"}));
    ASSERT_NE(Prm.incrustRec, nullptr);
    EXPECT_DOUBLE_EQ(Prm.incrustRec->Value.Decalage, 1.5);
}

// The manager's help lists its keys, every procedure of its actions and every routine.
TEST(ScriptWindow, TheHelpWindowListsTheProcedures) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    for (TCustomAbstractAction* a : p.form.am->actions)
        if (a && a->objectName() == QLatin1String("caHelp"))
            a->Execute();
    auto* help = p.form.findChild<QTextBrowser*>("managerHelp");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    const QString text = help->toPlainText();
    for (const QString& d : actionDeclarations())
        EXPECT_TRUE(text.contains(d)) << d.toStdString();
    for (const QString& d : TKXScript::HostDeclarations())
        EXPECT_TRUE(text.contains(d)) << d.toStdString();
    EXPECT_TRUE(text.contains("F12"));
}

// A file given to the recycle bin goes to the desktop's trash, read-only or not.
TEST(ScriptWindow, DeleteToTheTrash) {
    Sandbox box;
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", box.path("data").toUtf8());
    QDir().mkpath(box.path("data"));
    const QString file = box.path("home/jeter.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QFile::setPermissions(file, QFile::ReadOwner);
    TKXScript script;
    QStringList shown;
    script.showMessage = [&](const QString& text) { shown << text; };
    script.Script = QStringList{"begin",
                                "  if deletefiletorecyclebin('" + file +
                                    "') then showmessage('oui') else showmessage('non');",
                                "  if deletefiletorecyclebin('" + file +
                                    "') then showmessage('oui') else showmessage('non');",
                                "end."};
    ASSERT_TRUE(script.Compile()) << script.Messages.join('\n').toStdString();
    ASSERT_TRUE(script.Run());
    qputenv("XDG_DATA_HOME", data);
    EXPECT_EQ(shown, (QStringList{"oui", "non"}));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QFile::exists(box.path("data/Trash/files/jeter.txt")));
}

// Esc in the script window stops a script that never ends; the window answers meanwhile.
TEST(ScriptWindow, EscapeStopsAnEndlessScript) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    TScriptForm* window = p.form.scriptForm;
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    window->Editor->setPlainText(
        "var i: Integer;\nbegin\n  i := 0;\n  while True do\n    Inc(i);\nend.");
    QTimer::singleShot(300, window, [window] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(window->Editor, &press);
        QApplication::sendEvent(window->Editor, &release);
    });
    QElapsedTimer clock;
    clock.start();
    window->naExecuteMacro->trigger();
    EXPECT_LT(clock.elapsed(), 5000);
    const QStringList memo = lines(window->Memo);
    ASSERT_EQ(memo.size(), 1);
    EXPECT_TRUE(memo[0].startsWith("### Erreur pendant l'exécution: Script arrêté"))
        << memo[0].toStdString();
}

// In the window: a compilation error stays in view with its position; a run-time error is
// told in the component's words; the program's types and graphics classes are known.
TEST(ScriptWindow, ErrorsInTheMessageBox) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    TScriptForm* window = p.form.scriptForm;
    window->Editor->setPlainText("begin\n  showmessage(inconnu);\nend.");
    window->naExecuteMacro->trigger();
    QStringList memo = lines(window->Memo);
    ASSERT_EQ(memo.size(), 3);
    EXPECT_TRUE(memo[0].contains("(2:15)")) << memo[0].toStdString();
    EXPECT_EQ(memo[1], "### Compilation Failed");
    EXPECT_EQ(memo[2], "### Compilation non prête");

    window->Editor->setPlainText("var p: TPoint; m: TSavePreferences; b: TBitmap;\nbegin\n"
                                 "  p.X := clRed; m := spNone; b := TBitmap.Create;\n"
                                 "  b.Width := 10;\n  b.SaveToFile('x.bmp');\nend.");
    window->naExecuteMacro->trigger();
    memo = lines(window->Memo);
    ASSERT_EQ(memo.size(), 1);
    EXPECT_TRUE(memo[0].startsWith("### Erreur pendant l'exécution: non disponible (5:"))
        << memo[0].toStdString();
}

// The help opens on its first page; the cut and the scene file tell what they do.
TEST(ScriptWindow, HelpPanelOpensOnItsText) {
    Sandbox box;
    Program p;
    p.form.show();
    ASSERT_TRUE(p.runUntil([&] { return p.form.startupFinished(); }));
    p.form.HelpFrame1->PageControl->setCurrentIndex(2);
    p.form.action("acHelp")->executeInteractive(&p.form);
    EXPECT_EQ(p.form.HelpFrame1->PageControl->currentIndex(), 0);
    EXPECT_EQ(p.form.action("acCouper")->toolTip(),
              "Couper la capture en cours et continuer dans un nouveau fichier.");
    EXPECT_TRUE(p.form.OptionsFrame->cbScn->toolTip().startsWith("Créer un fichier scn qui"));
}
