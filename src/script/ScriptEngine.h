#pragma once

#include "ScriptValue.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace vscript {

// What a host routine receives; raise() turns into a script exception at the call.
class HostCall {
public:
    std::vector<ScriptValue> args;
    ScriptValue self; // the object, for methods and properties
    void raise(const QString& message) {
        m_failed = true;
        m_error = message;
    }
    bool failed() const { return m_failed; }
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

using HostRoutine = std::function<ScriptValue(HostCall&)>;

struct CompileResult {
    bool ok = false;
    QStringList messages; // "Erreur (L:C) : texte"
};

struct RunResult {
    bool ok = false;
    QString error; // "texte (L:C)"
};

// The script language as the program offers it: declarations from the host, compilation,
// and guarded runs.
class ScriptEngine {
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // "function findfirst(dossier: widestring; masque: widestring): widestring;"
    void registerRoutine(const QString& declaration, HostRoutine routine);
    // registerConstant("clMoneyGreen", "Integer", ScriptValue::fromInt(12639424))
    void registerConstant(const QString& name, const QString& type, const ScriptValue& value);
    // registerType("TPoint", "record X, Y: Longint; end")
    void registerType(const QString& name, const QString& declaration);
    // A class whose objects the host makes: "TBitmap.Create" calls create, which returns
    // ScriptValue::fromObject(handle).
    void registerClass(const QString& name, HostRoutine create);
    void registerMethod(const QString& className, const QString& declaration, HostRoutine routine);
    void registerProperty(const QString& className, const QString& name, const QString& type,
                          bool readOnly, HostRoutine getter, HostRoutine setter = {});

    CompileResult compile(const QString& source);
    RunResult run();

    // Loop iterations and calls a run may make; 0 for no limit.
    void setStepBudget(int64_t steps);
    // How long a run may last, in milliseconds; 0 for no limit.
    void setTimeLimit(int64_t ms);
    void setMaxHeapBytes(int64_t bytes);
    void setMaxCallDepth(int depth);
    // Called about every 50 ms while a script runs, from the running thread.
    void setPump(std::function<void()> pump);
    // Where Write and WriteLn send their text (line ends included); standard output if unset.
    void setOutput(std::function<void(const QString& text)> output);
    // Set from any thread to stop the running script ("Script arrêté").
    std::atomic<bool>& stopRequest();

private:
    struct Impl;
    std::unique_ptr<Impl> m_d;
};

} // namespace vscript
