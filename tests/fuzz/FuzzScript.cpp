// The script language, on any text a user may type in the script window: compiled with the
// routines the program declares to every script (bound here to routines that do nothing, so
// that no file is touched), then, when it compiles, run with a small step budget, heap and
// call depth, as the window runs it.
#include "FuzzSupport.h"
#include "KXScript.h"
#include "ScriptEngine.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietLogs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024 * 1024)
        return 0;
    static const QStringList declarations = TKXScript::HostDeclarations();
    vscript::ScriptEngine engine;
    engine.registerRoutine(QStringLiteral("procedure showmessage(z: string);"),
                           [](vscript::HostCall&) { return vscript::ScriptValue(); });
    for (const QString& d : declarations)
        engine.registerRoutine(d, [](vscript::HostCall&) { return vscript::ScriptValue(); });
    engine.setStepBudget(20000);
    engine.setMaxHeapBytes(32 << 20);
    engine.setMaxCallDepth(2000);

    const vscript::CompileResult compiled =
        engine.compile(QString::fromUtf8(fuzz::Bytes(data, size)));
    if (!compiled.ok) {
        FUZZ_CHECK(!compiled.messages.isEmpty());
        return 0;
    }
    const vscript::RunResult run = engine.run();
    if (!run.ok)
        FUZZ_CHECK(!run.error.isEmpty());
    return 0;
}
