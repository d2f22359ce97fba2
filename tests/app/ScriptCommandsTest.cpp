// Scripts that drive the capture: commande and attendre, a macro recorded over a session of
// captures, cuts and grabs that replays them, and the questions before a script is lost.
#include "AppliMan.h"
#include "CaptureForm.h"
#include "CommandLineHelp.h"
#include "EndPart.h"
#include "MornePreferences.h"
#include "ParameterTable.h"
#include "ProgramUnderTest.h"
#include "RecordingController.h"
#include "Sandbox.h"
#include "ScriptForm.h"
#include "ScriptedPrompts.h"
#include "SuperAction.h"
#include "WaitFor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

using Program = ProgramUnderTest;

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QStringList suffixes(const QStringList& files) {
    QStringList out;
    for (const QString& f : files)
        out << f.section(u'.', -1);
    out.sort();
    return out;
}

// The program started on the test pattern and signal, its folders in a sandbox, every
// question answered as the test says.
struct Started {
    Sandbox box;
    ScriptedPrompts prompts;
    PromptsGuard guard{&prompts};
    Program p;
    TScriptForm* window = nullptr;
    bool ok = false;
    Started() {
        QDir().mkpath(box.path("videos"));
        QDir().mkpath(box.path("images"));
        p.form.setCommandLine({"/sv=Mire de test", "/sa=Signal de test", "/format_capture=divx",
                               "/dossier_video=" + box.path("videos"),
                               "/dossier_images=" + box.path("images")});
        p.form.show();
        ok = p.runUntil([&] { return p.form.startupFinished(); });
        // Preferences kept in the sandbox: a close asks nothing about where they go.
        p.form.gp->SetMode(spPortable);
        window = p.form.scriptForm;
    }
};

void run(TScriptForm* window, const QString& text) {
    window->Editor->setPlainText(text);
    window->ExecuteMacro();
}

} // namespace

// Capture, cut, grab and stop through the window's own actions while a macro records: the
// macro holds them as command lines with the waits between them, and its replay makes the
// same files again.
TEST(ScriptCommands, ARecordedSessionReplaysItsFiles) {
    Started s;
    ASSERT_TRUE(s.ok);
    Program& p = s.p;
    Sandbox& box = s.box;
    TScriptForm* window = s.window;
    ASSERT_NE(window, nullptr);

    window->naStartMacro->trigger();
    ASSERT_TRUE(window->recording());
    auto user = [&](const char* name) { p.form.action(name)->executeInteractive(&p.form); };
    user("saCapturerBascule");
    ASSERT_TRUE(waitFor([&] { return p.form.recorder->state() == RecordingState::rsRecording; }));
    pause(1500);
    user("acCouper");
    pause(1200);
    user("saGrab");
    pause(600);
    user("saCapturerBascule");
    ASSERT_TRUE(waitUntilIdle(p.dm));
    window->naStopMacro->trigger();

    const QString macro = window->Editor->toPlainText();
    for (const char* line :
         {"commande('+c');", "commande('/k');", "commande('/g');", "commande('-c');", "attendre("})
        EXPECT_TRUE(macro.contains(QLatin1String(line))) << line << "\n" << macro.toStdString();
    const QStringList firstVideos = filesIn(box.path("videos"));
    const QStringList firstImages = filesIn(box.path("images"));
    ASSERT_EQ(firstVideos.size(), 2) << firstVideos.join(' ').toStdString();
    ASSERT_EQ(firstImages.size(), 1);

    // The replay: Execute and Start are off while it runs.
    bool offWhileRunning = true;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (window->running())
            offWhileRunning = offWhileRunning && !window->naExecuteMacro->isEnabled() &&
                              !window->naStartMacro->isEnabled();
    });
    probe.start(50);
    window->ExecuteMacro();
    probe.stop();
    EXPECT_TRUE(offWhileRunning);
    EXPECT_TRUE(window->naExecuteMacro->isEnabled());
    EXPECT_TRUE(window->Memo->toPlainText().contains("*** Exécution réussie ***"))
        << window->Memo->toPlainText().toStdString();
    ASSERT_TRUE(waitUntilIdle(p.dm));
    const QStringList videos = filesIn(box.path("videos"));
    const QStringList images = filesIn(box.path("images"));
    EXPECT_EQ(videos.size(), 4) << videos.join(' ').toStdString();
    EXPECT_EQ(suffixes(videos), (QStringList{"avi", "avi", "avi", "avi"}));
    EXPECT_EQ(images.size(), 2);
    EXPECT_EQ(p.form.recorder->state(), RecordingState::rsPreview);
    p.form.hide();
}

// commande takes every prefix and a text with blanks; attendre lets the program run, and Esc
// (the stop request) ends it early; an unknown command changes nothing.
TEST(ScriptCommands, CommandeAndAttendre) {
    Started s;
    ASSERT_TRUE(s.ok);
    Program& p = s.p;
    Sandbox& box = s.box;
    TScriptForm* window = s.window;
    TCustomSuperAction* mute = p.form.action("taMute");
    const bool muted = mute->isChecked();

    run(window, "begin commande('+m'); commande('/inconnu'); commande(''); end.");
    EXPECT_TRUE(mute->isChecked());
    run(window, "begin commande('-m') end.");
    EXPECT_FALSE(mute->isChecked());
    run(window, "begin commande('/m'); commande('/m'); end.");
    EXPECT_FALSE(mute->isChecked());
    run(window, "begin commande('/dossier_video=" + box.path("autre dossier") + "') end.");
    EXPECT_TRUE(QDir(box.path("autre dossier")).exists());

    // The event loop runs during attendre: a timer fires in the middle of it.
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    run(window, "begin attendre(400) end.");
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 380);

    // A stop asked while it waits ends the script at once.
    QTimer::singleShot(200, [&] {
        for (QAction* a : window->actions())
            if (a->shortcut() == QKeySequence(Qt::Key_Escape))
                a->trigger();
    });
    clock.restart();
    window->show();
    run(window, "begin attendre(20000); commande('+m') end.");
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(window->Memo->toPlainText().contains("Script arrêté"))
        << window->Memo->toPlainText().toStdString();
    EXPECT_FALSE(mute->isChecked());
    // Closing the window stops its script too.
    QTimer::singleShot(200, [&] { window->close(); });
    clock.restart();
    run(window, "begin attendre(20000) end.");
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_TRUE(window->Memo->toPlainText().contains("Script arrêté"));
    mute->SetChecked(muted);
    p.form.hide();
}

// commande('/quit') stops the script and then closes the program, without a question even
// with the script modified.
TEST(ScriptCommands, QuitFromAScriptStopsItFirst) {
    Started s;
    ASSERT_TRUE(s.ok);
    Program& p = s.p;
    ScriptedPrompts& prompts = s.prompts;
    TScriptForm* window = s.window;
    QElapsedTimer clock;
    clock.start();
    run(window, "begin commande('/quit'); attendre(20000); showmessage('pas ici') end.");
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_FALSE(prompts.asked.contains("pas ici"));
    EXPECT_TRUE(p.runUntil([&] { return !p.form.isVisible(); }));
    EXPECT_TRUE(prompts.asked.filter("Le script a été modifié").isEmpty());
}

// Start replaces the editor's text and the user's close loses it: both ask first; a refusal
// keeps the text and the window.
TEST(ScriptCommands, AModifiedScriptIsAskedAbout) {
    Started s;
    ASSERT_TRUE(s.ok);
    Program& p = s.p;
    ScriptedPrompts& prompts = s.prompts;
    TScriptForm* window = s.window;
    window->Editor->setPlainText("begin showmessage('mon script') end.");
    const QString question = "Le script a été modifié. Abandonner les modifications ?";

    prompts.answer = IPrompts::No;
    window->naStartMacro->trigger();
    EXPECT_FALSE(window->recording());
    EXPECT_TRUE(window->Editor->toPlainText().contains("mon script"));
    EXPECT_EQ(prompts.asked.count(question), 1);

    p.form.close();
    EXPECT_TRUE(p.form.isVisible());
    EXPECT_EQ(prompts.asked.count(question), 2);

    prompts.answer = IPrompts::Yes;
    window->naStartMacro->trigger();
    EXPECT_TRUE(window->recording());
    window->naStopMacro->trigger();
    p.form.hide();
}

// The window has a key of its own that no action of the main list takes, and a button.
TEST(ScriptCommands, TheWindowCanBeReached) {
    Started s;
    ASSERT_TRUE(s.ok);
    Program& p = s.p;
    const QKeySequence key(Qt::SHIFT | Qt::Key_F12);
    for (TCustomSuperAction* a : std::as_const(p.form.al))
        EXPECT_FALSE(a->matchesKey(key)) << a->objectName().toStdString();
    ASSERT_NE(p.form.scriptWindowAction, nullptr);
    EXPECT_TRUE(p.form.scriptWindowAction->matchesKey(key));
    EXPECT_TRUE(p.form.actionToolBar->actions().contains(p.form.scriptWindowAction));
    p.form.scriptWindowAction->executeInteractive(&p.form);
    EXPECT_TRUE(p.form.scriptForm->isVisible());
    p.form.scriptWindowAction->executeInteractive(&p.form);
    EXPECT_FALSE(p.form.scriptForm->isVisible());
    // Closed by its title bar, it opens again at the next press.
    p.form.scriptWindowAction->executeInteractive(&p.form);
    p.form.scriptForm->close();
    p.form.scriptWindowAction->executeInteractive(&p.form);
    EXPECT_TRUE(p.form.scriptForm->isVisible());
    // The help lists every command of the manager.
    const QString help = CommandLineHelp();
    for (TCustomSuperAction* a : p.form.am->actions)
        if (a && !a->Switch().isEmpty()) {
            EXPECT_TRUE(help.contains(u'/' + a->Switch())) << a->Switch().toStdString();
        }
    EXPECT_TRUE(help.contains("Maj+F12"));
    p.form.hide();
}
