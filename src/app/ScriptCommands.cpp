// What scripts reach of the program beyond the manager's actions: commande runs a command line
// as the program's own, attendre lets the program run meanwhile; and what the macro recorder
// writes for the main window's actions the user applies.
#include "CaptureForm.h"

#include "AppliMan.h"
#include "CommandRunner.h"
#include "KXScript.h"
#include "Log.h"
#include "ScriptForm.h"
#include "SuperAction.h"

#include <QEventLoop>
#include <QTimer>

const QString TCaptureForm::kCommandeDeclaration =
    QStringLiteral("procedure commande(const ligne:string);");
const QString TCaptureForm::kAttendreDeclaration =
    QStringLiteral("procedure attendre(const ms:Integer);");

void TCaptureForm::registerScriptCommands(TKXScript& script) {
    script.RegisterRoutine(kCommandeDeclaration, [this](vscript::HostCall& call) {
        runScriptCommand(call.args.empty() ? QString() : call.args[0].toString());
        return vscript::ScriptValue();
    });
    script.RegisterRoutine(kAttendreDeclaration, [this](vscript::HostCall& call) {
        const int64_t ms = call.args.empty() ? 0 : call.args[0].toInt();
        waitForScript(int(std::clamp<int64_t>(ms, 0, std::numeric_limits<int>::max())));
        return vscript::ScriptValue();
    });
}

// The same readers as a command line handed over by another start; a quit ends the script
// first, and the window closes once its run is over.
void TCaptureForm::runScriptCommand(const QString& line) {
    const QStringList arguments = TCustomScript::SplitLine(line);
    if (arguments.isEmpty())
        return;
    bool quit = false;
    TKXSwitch manager(*am);
    manager.closeMainWindow = [&quit] { quit = true; };
    manager.run(arguments);
    TScript runner;
    runner.actionlist = al;
    runner.closeMainWindow = [&quit] { quit = true; };
    runner.ParseCommandLine(arguments);
    quit = quit || runner.quitRequested();
    runner.RunCommands();
    if (quit) {
        qCInfo(lcVidorra) << "a script asked the program to close: the script stops first";
        m_closeAfterScript = true;
        m_closeByCommand = true;
        if (m_script)
            m_script->RequestStop();
    }
}

// The event loop runs meanwhile: the preview, the recording, Esc and the stop request.
void TCaptureForm::waitForScript(int ms) {
    if (ms <= 0 || !m_script)
        return;
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer watch;
    connect(&watch, &QTimer::timeout, &loop, [this, &loop] {
        if (m_script->engine().stopRequest().load())
            loop.quit();
    });
    end.start(ms);
    watch.start(20);
    loop.exec();
}

// The line a macro gets for an action of the main list the user applied: its switch (its
// token when it has none), a two-state action with the state it took, so that a replay from
// another state does the same; the time since the line before as a wait.
void TCaptureForm::recordUserAction(TCustomSuperAction* action) {
    if (!am->recording || !scriptForm || !action)
        return;
    const QString name = action->Switch().isEmpty() ? action->Token() : action->Switch();
    if (name.isEmpty())
        return;
    const bool twoStates = qobject_cast<TtoggleAction*>(action) || action->AutoCheck;
    const QChar prefix = !twoStates ? u'/' : action->isChecked() ? u'+' : u'-';
    if (m_macroClock.isValid() && m_macroClock.elapsed() >= 100)
        scriptForm->AppendRecordedLine(
            QStringLiteral("    attendre(%1);").arg(m_macroClock.elapsed() / 100 * 100));
    m_macroClock.start();
    QString command = prefix + name;
    command.replace(u'\'', QStringLiteral("''"));
    scriptForm->AppendRecordedLine(QStringLiteral("    commande('%1');").arg(command));
}
