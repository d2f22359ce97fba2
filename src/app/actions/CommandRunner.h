#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class TCustomSuperAction;

// One parsed command: the action, its argument text, and how to apply it.
struct TActionEx {
    enum Mode : int { Set = 0, Reset = 1, Toggle = 2, Plain = 3 };
    TCustomSuperAction* action = nullptr;
    QString argument;
    int mode = Plain;
};

// Runs commands naming actions of a list by switch or token. The command line and script
// files share the runner; `quit` is a pseudo-command that closes the main window once the
// other commands of the list ran.
class TCustomScript : public QObject {
    Q_OBJECT
public:
    explicit TCustomScript(QObject* parent = nullptr);

    TCustomSuperAction* DefaultAction = nullptr;
    QList<TCustomSuperAction*> actionlist; // searched in order, first match wins
    std::function<void()> closeMainWindow; // what quit does

    // Lower-cased name; empty gives DefaultAction; "quit" sets the quit flag and gives none.
    TCustomSuperAction* FindAction(const QString& name);

    // Arguments as the process received them, without the program name.
    void ParseCommandLine(const QStringList& arguments);
    // A command line written as one text (a script's commande): the arguments it holds. A
    // word starting with "/", "+" or "-" and a letter starts a command; the other words
    // belong to the text after the "=" before them ("/sv=Mire de test /c" is two commands);
    // double quotes group as on a shell's line.
    static QStringList SplitLine(const QString& line);
    void ParseScriptFile(const QString& fileName); // nothing when the file does not exist
    void RunCommands();
    void RunScriptFile(const QString& fileName); // parse, run, clear
    void clear();

    const std::vector<TActionEx>& commands() const { return m_commands; }
    bool Executing() const { return m_executing; }
    bool quitRequested() const { return m_quit; }
    void abort() { m_abort = true; }

private:
    std::vector<TActionEx> m_commands;
    bool m_executing = false;
    bool m_abort = false;
    bool m_quit = false;
    int m_running = -1;
};

class TScript : public TCustomScript {
    Q_OBJECT
public:
    using TCustomScript::TCustomScript;
};

// Runs the process command line once, at the application's first activation, or at
// arm() time when the platform never reports one (offscreen, no window manager): the
// owner calls runOnce() from both places and only the first call acts.
class TSwitch : public TCustomScript {
    Q_OBJECT
public:
    explicit TSwitch(QObject* parent = nullptr);

    QStringList arguments; // the process arguments after the program name
    std::function<void()> OnNoCommandLine;

    // Installs itself as an application event filter for the first activation.
    void arm();
    void runOnce();
    bool spent() const { return m_spent; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_armed = false;
    bool m_spent = false;
};
