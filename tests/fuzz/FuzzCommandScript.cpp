// A command script file ("+fs", "source_video \"Caméra DV\"", "vertical_flip true"...), in
// any encoding and of any length, parsed and run as the script action runs it.
#include "CommandFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::CommandSetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024 * 1024)
        return 0;
    const QString file = fuzz::WorkFile(QStringLiteral("commandes.txt"));
    FUZZ_CHECK(fuzz::WriteWhole(file, fuzz::Bytes(data, size)));

    fuzz::CommandBench bench;
    bench.nested = {QStringLiteral("+fs"), QStringLiteral("/r")};
    bench.runner.ParseScriptFile(file);
    bench.CheckCommands();
    bench.runner.RunCommands();
    FUZZ_CHECK(!bench.runner.Executing());
    bench.runner.RunScriptFile(file);
    FUZZ_CHECK(bench.runner.commands().empty());
    return 0;
}
