#pragma once

#include "ScriptEngine.h"

#include <QDir>
#include <QStringList>
#include <functional>
#include <memory>

// The program's script component around the engine: the script text, the messages the
// script window shows, and what the program gives every script (file and system routines,
// constants, types, the graphics classes), registered at each compilation before OnCompile
// adds the application manager's actions.
class TKXScript {
public:
    TKXScript();
    ~TKXScript();
    TKXScript(const TKXScript&) = delete;
    TKXScript& operator=(const TKXScript&) = delete;

    QStringList Script;   // the source, line by line
    QStringList Messages; // compiler messages and the result lines
    bool Compiled = false;
    // Runs while compiling, after the program's own registrations (the manager's actions).
    std::function<void(TKXScript&)> OnCompile;

    // What the routines that need the window do (the program's message box, the event loop);
    // the defaults print on standard output and do nothing.
    std::function<void(const QString& text)> showMessage;
    std::function<void()> processMessages;
    // Where Write and WriteLn send their text; by default its lines join Messages.
    std::function<void(const QString& text)> write;

    bool Compile();
    bool Run();

    // For OnCompile: a procedure or function of the script bound to a host routine.
    void RegisterRoutine(const QString& declaration, vscript::HostRoutine routine);
    vscript::ScriptEngine& engine() { return *m_engine; }
    // Set from any thread (Esc): the running script stops at its next loop turn or call.
    void RequestStop();

    // A script file's text: UTF-8, or UTF-16 after its byte-order mark. A line that is not UTF-8
    // (old scripts were written in Windows-1252) is read in Windows-1252, and *warning then says so
    // in French, naming the first such line; it is left as it was otherwise.
    static QString DecodeSource(const QByteArray& bytes, QString* warning = nullptr);
    // One line of such a file: UTF-8, or Windows-1252 when it is not (utf8 false).
    static QString DecodeLine(QByteArrayView bytes, bool& utf8);

    // The declarations every script gets, in their order (the help window lists them).
    static QStringList HostDeclarations();

private:
    void registerProgramRoutines();
    void registerConstantsAndTypes();
    void registerGraphics();

    std::unique_ptr<vscript::ScriptEngine> m_engine;
    // findfirst / findnext: the folder searched and what is left of its entries.
    QString m_findFolder;
    QStringList m_found;
    // Objects of the graphics classes: their properties by name, per handle.
    struct GraphicObject;
    std::vector<std::unique_ptr<GraphicObject>> m_objects;
};
