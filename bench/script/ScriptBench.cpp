#include "ScriptEngine.h"

#include <benchmark/benchmark.h>

using vscript::HostCall;
using vscript::ScriptEngine;
using vscript::ScriptValue;

namespace {

QString generatedScript(int lines) {
    QString s = "program Big;\nvar total: Integer; text: string;\n";
    int routines = lines / 10;
    for (int r = 0; r < routines; ++r) {
        s += QString("function F%1(a, b: Integer): Integer;\nvar i: Integer;\nbegin\n"
                     "  Result := 0;\n  for i := a to b do\n    if i mod 3 = 0 then Result := "
                     "Result + i\n"
                     "    else Result := Result - 1;\n  text := text + IntToStr(Result);\nend;\n\n")
                 .arg(r);
    }
    s += "begin\n  total := 0;\n";
    for (int r = 0; r < routines; ++r)
        s += QString("  total := total + F%1(1, 3);\n").arg(r);
    s += "end.\n";
    return s;
}

void registerShow(ScriptEngine& e) {
    e.registerRoutine("procedure showmessage(z: string);", [](HostCall&) { return ScriptValue(); });
}

void compileBench(benchmark::State& state) {
    const QString src = generatedScript(5000);
    ScriptEngine e;
    registerShow(e);
    for (auto _ : state) {
        auto r = e.compile(src);
        if (!r.ok)
            state.SkipWithError("compilation");
    }
    state.counters["lines"] = double(src.count('\n'));
}
BENCHMARK(compileBench)->Unit(benchmark::kMillisecond);

void runBench(benchmark::State& state, const char* source) {
    ScriptEngine e;
    registerShow(e);
    if (!e.compile(QString::fromUtf8(source)).ok) {
        state.SkipWithError("compilation");
        return;
    }
    for (auto _ : state) {
        auto r = e.run();
        if (!r.ok)
            state.SkipWithError("run");
    }
}

const char* kFib = "function Fib(n: Integer): Integer; begin if n < 2 then Result := n else "
                   "Result := Fib(n - 1) + Fib(n - 2); end;\n"
                   "begin showmessage(IntToStr(Fib(27))); end.";
const char* kSieve =
    "var flags: array of Boolean; i, j, n, count: Integer;\n"
    "begin n := 2000000; SetLength(flags, n + 1); for i := 2 to n do flags[i] := True; i := 2;\n"
    "while i * i <= n do begin if flags[i] then begin j := i * i; while j <= n do begin\n"
    "flags[j] := False; j := j + i; end; end; i := i + 1; end; count := 0;\n"
    "for i := 2 to n do if flags[i] then count := count + 1; showmessage(IntToStr(count)); end.";
const char* kStrings =
    "var s: string; i, k, total: Integer;\n"
    "begin s := ''; for i := 1 to 200000 do s := s + Chr(97 + i mod 26); total := 0;\n"
    "for i := 1 to 2000 do begin k := Pos('xyz', Copy(s, i * 90, 100)); total := total + k; end;\n"
    "showmessage(IntToStr(total)); end.";
const char* kLoops = "var a: array[0..999, 0..999] of Integer; i, j: Integer; sum: Int64;\n"
                     "begin for i := 0 to 999 do for j := 0 to 999 do a[i, j] := i * j; sum := 0;\n"
                     "for i := 0 to 999 do for j := 0 to 999 do sum := sum + a[i, j];\n"
                     "showmessage(IntToStr(sum)); end.";

} // namespace

BENCHMARK_CAPTURE(runBench, fib27, kFib)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runBench, sieve2M, kSieve)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runBench, strings200k, kStrings)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(runBench, loops1000, kLoops)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
