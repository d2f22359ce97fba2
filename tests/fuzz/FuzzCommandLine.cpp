// The process command line ("+fs", "-vf", "/fc=DV", "quit"...), as a launcher, a shortcut
// or a user types it: arguments separated by NUL bytes in the input.
#include "CommandFuzz.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::CommandSetup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024 * 1024)
        return 0;
    const QList<QByteArray> parts = fuzz::Bytes(data, size).split('\0');
    QStringList arguments;
    for (const QByteArray& p : parts)
        arguments << QString::fromLocal8Bit(p);

    fuzz::CommandBench bench;
    bench.nested = arguments.mid(arguments.size() / 2);
    bench.runner.ParseCommandLine(arguments);
    bench.CheckCommands();
    FUZZ_CHECK(bench.runner.commands().size() <= size_t(arguments.size()));
    bench.runner.RunCommands();
    FUZZ_CHECK(!bench.runner.Executing());
    return 0;
}
