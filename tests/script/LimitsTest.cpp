// Hostile scripts: syntax trees thousands of levels deep, aggregates and texts larger than
// the heap, endless runs. None may take the program down or eat its memory; each ends with
// an error a script can catch where Pascal lets it, or one the user reads.
#include "Runtime.h"
#include "ScriptTestUtil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

QString chain(const QString& head, const QString& term, const QString& op, const QString& tail,
              int count) {
    QStringList terms;
    for (int i = 0; i < count; ++i)
        terms << term;
    return head + terms.join(op) + tail;
}

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

// Chains of one operator make trees as deep as they are long: past 2000 levels they are
// refused with an error, at any length (the tree of 200 000 terms goes without recursion
// too); below that they compile and run.
TEST(ScriptLimits, LongChainsAreRefusedNotOverflowed) {
    for (const QString& source :
         {chain("var x: Integer;\nbegin x := ", "1", " + ", "; end.", 9000),
          chain("var s: string;\nbegin s := ", "'a'", " + ", "; end.", 9000),
          chain("var b: Boolean;\nbegin b := True; if ", "b", " and ", " then b := False; end.",
                9000),
          chain("var b: Boolean;\nbegin b := ", "b", " or ", "; end.", 9000),
          chain("var x: Integer;\nbegin x := ", "1", " * ", "; end.", 200000)}) {
        const QString r = runScript(source);
        EXPECT_TRUE(r.startsWith("ERR:") &&
                    r.contains("expression trop longue ou trop imbriquée (plus de 2000 niveaux)"))
            << r.left(200).toStdString();
    }
    EXPECT_EQ(runScript(chain("var x: Integer;\nbegin x := ", "1", " + ",
                              "; showmessage(IntToStr(x)); end.", 1500)),
              "1500");
    EXPECT_EQ(runScript(chain("var s: string;\nbegin s := ", "'a'", " + ",
                              "; showmessage(IntToStr(Length(s))); end.", 1500)),
              "1500");
}

// Every allocation is weighed against the heap before it is made, in 64 bits, with all that
// a nested aggregate holds: nothing of the sizes below is ever allocated.
TEST(ScriptLimits, AllocationsAreWeighedBeforeTheyAreMade) {
    const long before = peakKiB();
    EXPECT_TRUE(runScript("var a: array[0..1023, 0..67108863] of Byte;\n"
                          "begin showmessage('alloué'); end.")
                    .startsWith("RUN:Mémoire insuffisante"));
    EXPECT_TRUE(runScript("var a: array[0..3, 0..67108863] of Byte;\n"
                          "begin showmessage('alloué'); end.")
                    .startsWith("RUN:Mémoire insuffisante"));
    EXPECT_TRUE(runScript("procedure P;\nvar a: array[0..3, 0..9999999] of Int64;\n"
                          "begin a[0, 0] := 1; end;\nbegin P; end.")
                    .startsWith("RUN:Mémoire insuffisante"));
    EXPECT_EQ(runScript("type R = record v: array[0..9999] of Int64; end;\n"
                        "var a: array of R;\n"
                        "begin SetLength(a, 20000); showmessage('alloué'); end."),
              "RUN:Mémoire insuffisante (3:7)");
    // A width given as an argument is capped as a written one is.
    EXPECT_EQ(runScript("var s: string;\n"
                        "begin s := Format('%*s|%-*s|', [2147483647, 'a', -5, 'b']);\n"
                        "showmessage(IntToStr(Length(s))); end."),
              "1003");
    // What fits still works, nested or resized.
    EXPECT_EQ(runScript("type R = record v: array[0..99] of Int64; n: string; end;\n"
                        "var a: array of R; m: array[0..9, 0..9] of Integer;\n"
                        "begin SetLength(a, 1000); a[999].v[99] := 5; m[9, 9] := 7;\n"
                        "showmessage(IntToStr(a[999].v[99] + m[9, 9])); end."),
              "12");
    EXPECT_LT(peakKiB() - before, 200 * 1024);
}

// Running out of the heap is an exception like any other: caught, the script goes on.
TEST(ScriptLimits, OutOfMemoryCanBeCaught) {
    EXPECT_EQ(
        runScript("var a: array of Int64; s: string;\n"
                  "begin\n"
                  "  try SetLength(a, 1000000000);\n"
                  "  except on E: EOutOfMemory do showmessage(E.ClassName + ': ' + E.Message);\n"
                  "  end;\n"
                  "  s := 'abcdefgh';\n"
                  "  try while True do s := s + s;\n"
                  "  except on E: Exception do begin s := ''; showmessage(E.Message); end;\n"
                  "  end;\n"
                  "  SetLength(a, 10); showmessage(IntToStr(Length(a)));\n"
                  "end."),
        "EOutOfMemory: Mémoire insuffisante\nMémoire insuffisante\n10");
}

// A run with a time limit ends when it is reached, with the limit in its message.
TEST(ScriptLimits, ATimeLimitEndsTheRun) {
    vscript::ScriptEngine e;
    e.setTimeLimit(300);
    EXPECT_TRUE(runScript("begin while True do ; end.", &e)
                    .startsWith("RUN:Durée maximale atteinte (0.3 s) (1:"));
}

// The command-line runner takes the same limits for scripts run unattended and ends with 2.
TEST(ScriptLimits, TheRunnerTakesATimeAndAStepLimit) {
    QTemporaryDir dir;
    const QString loop = dir.filePath("boucle.pas");
    QFile f(loop);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("begin while True do ; end.\n");
    f.close();
    for (const auto& [option, message] :
         {std::pair{QStringLiteral("--limite=0.5"),
                    QStringLiteral("Durée maximale atteinte (0.5 s)")},
          std::pair{QStringLiteral("--etapes=5000"),
                    QStringLiteral("Nombre maximal d'étapes atteint")}}) {
        QProcess p;
        p.start(QStringLiteral(VIDORRA_SCRIPT_EXE), {option, loop});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).startsWith(message));
    }
    QProcess wrong;
    wrong.start(QStringLiteral(VIDORRA_SCRIPT_EXE), {"--limite=jamais", loop});
    ASSERT_TRUE(wrong.waitForFinished(30000));
    EXPECT_EQ(wrong.exitCode(), 1);
}
