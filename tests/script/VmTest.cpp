#include "Vm.h"
#include "ScriptTestUtil.h"

#include <gtest/gtest.h>
#include <thread>

using vscript::HostCall;
using vscript::ScriptEngine;
using vscript::ScriptValue;

TEST(Vm, RuntimeFailuresNameTheirPlace) {
    EXPECT_EQ(runScript("var a, b: Integer;\nbegin\n  a := 1; b := 0;\n  a := a div b;\nend."),
              QString("RUN:Division by zero (4:10)"));
    EXPECT_EQ(runScript("var a: array of Integer;\nbegin\n  SetLength(a, 2);\n  a[2] := 1;\nend."),
              QString("RUN:Range check error (4:4)"));
    EXPECT_EQ(
        runScript("var a: array[1..3] of Integer; i: Integer;\nbegin i := 0;\n  i := a[i];\nend."),
        QString("RUN:Range check error (3:9)"));
    EXPECT_EQ(runScript("var s: string;\nbegin s := 'ab';\n  s[3] := 'x';\nend."),
              QString("RUN:Range check error (3:4)"));
    EXPECT_EQ(runScript("begin\n  raise Exception.Create('boum');\nend."),
              QString("RUN:boum (2:3)"));
}

TEST(Vm, ExceptionsAreCaughtFinallyRunsAndRaiseRethrows) {
    EXPECT_EQ(
        runScript(
            "var i: Integer;\n"
            "begin\n"
            "  try\n"
            "    try i := 0; i := 10 div i; finally showmessage('fin'); end;\n"
            "  except on E: EDivByZero do showmessage(E.ClassName + ':' + E.Message); end;\n"
            "  try\n"
            "    try raise Exception.Create('a'); except showmessage('x'); raise; end;\n"
            "  except on E: Exception do showmessage(E.Message); end;\n"
            "  for i := 1 to 3 do try if i = 2 then break; finally showmessage(IntToStr(i)); end;\n"
            "end."),
        QString("fin\nEDivByZero:Division by zero\nx\na\n1\n2"));
}

TEST(Vm, DeepRecursionIsAnError) {
    QString r = runScript("function F(n: Integer): Integer; begin Result := F(n + 1); end;\n"
                          "begin F(0); end.");
    EXPECT_TRUE(r.startsWith("RUN:Dépassement de pile (1:"));
}

TEST(Vm, HugeSetLengthIsAnError) {
    QString r = runScript("var a: array of Int64;\nbegin\n  SetLength(a, 1000000000);\nend.");
    EXPECT_EQ(r, QString("RUN:Mémoire insuffisante (3:3)"));
    QString s = runScript("var s: string; i: Integer;\nbegin s := 'abcdefgh';\n"
                          "  for i := 1 to 40 do s := s + s;\nend.");
    EXPECT_TRUE(s.startsWith("RUN:Mémoire insuffisante (3:"));
}

TEST(Vm, StepBudgetEndsAnEndlessLoop) {
    ScriptEngine e;
    e.setStepBudget(100000);
    QString r = runScript("begin while true do ; end.", &e);
    EXPECT_TRUE(r.startsWith("RUN:Nombre maximal d'étapes atteint (1:"));
}

TEST(Vm, StopRequestAndPumpReachAnEndlessLoop) {
    ScriptEngine e;
    int pumps = 0;
    e.setPump([&] {
        if (++pumps == 3)
            e.stopRequest().store(true);
    });
    QString r = runScript("var i: Integer;\nbegin\n  while true do\n    i := i + 1;\nend.", &e);
    EXPECT_EQ(pumps, 3);
    EXPECT_TRUE(r.startsWith("RUN:Script arrêté (")) << r.toStdString();

    ScriptEngine other;
    ASSERT_TRUE(other.compile("begin while true do ; end.").ok);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        other.stopRequest().store(true);
    });
    auto run = other.run();
    stopper.join();
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(run.error.startsWith("Script arrêté"));
}

TEST(Vm, HostRoutinesConstantsTypesAndClasses) {
    ScriptEngine e;
    e.registerConstant("clMoneyGreen", "Integer", ScriptValue::fromInt(12639424));
    e.registerConstant("SecsPerDay", "Longint", ScriptValue::fromInt(86400));
    e.registerType("TSavePreferences", "(spRegistre,spPortable,spNone)");
    e.registerType("TPoint", "record X, Y: Longint; end");
    bool recorded = false;
    e.registerRoutine("procedure setEnregistrer(const fisTrue:Boolean);", [&](HostCall& c) {
        recorded = c.args[0].toBool();
        return ScriptValue();
    });
    e.registerRoutine(
        "function findfirst(dossier:widestring;masque:widestring):widestring;", [](HostCall& c) {
            return ScriptValue::fromString(c.args[0].toString() + "/" + c.args[1].toString());
        });
    int width = 0;
    e.registerClass("TBitmap", [](HostCall&) { return ScriptValue::fromObject(7); });
    e.registerProperty(
        "TBitmap", "Width", "Integer", false,
        [&](HostCall&) { return ScriptValue::fromInt(width); },
        [&](HostCall& c) {
            width = int(c.args[0].toInt());
            return ScriptValue();
        });
    e.registerMethod("TBitmap", "procedure SaveToFile(const f: string);", [](HostCall& c) {
        c.raise("non disponible");
        return ScriptValue();
    });
    QString r = runScript("var b: TBitmap; p: TPoint; s: TSavePreferences;\n"
                          "begin\n"
                          "  setEnregistrer(True);\n"
                          "  showmessage(findfirst('d', '*.avi'));\n"
                          "  showmessage(IntToStr(clMoneyGreen + SecsPerDay));\n"
                          "  p.X := 2; s := spPortable; showmessage(IntToStr(p.X + Ord(s)));\n"
                          "  b := TBitmap.Create;\n"
                          "  b.Width := 10; showmessage(IntToStr(b.Width * 2));\n"
                          "  b.SaveToFile('x.bmp');\n"
                          "end.",
                          &e);
    EXPECT_TRUE(recorded);
    EXPECT_EQ(width, 10);
    EXPECT_EQ(r, QString("d/*.avi\n12725824\n3\n20\nRUN:non disponible (9:5)"));
}

TEST(Vm, ProgramStaysValidUntilNextCompile) {
    ScriptEngine e;
    QString r1 = runScript("var i: Integer; begin i := 2; showmessage(IntToStr(i)); end.", &e);
    EXPECT_EQ(r1, QString("2"));
    EXPECT_TRUE(e.run().ok);
    EXPECT_TRUE(e.run().ok);
    EXPECT_FALSE(e.compile("begin x end.").ok);
    EXPECT_FALSE(e.run().ok);
}

TEST(Vm, UncaughtErrorsNameWhereTheyWereRaised) {
    // Through a finally and through "raise;": the place of the first raise.
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  try\n    n := 5 div n;\n  finally\n"
                        "    showmessage('f');\n  end;\nend."),
              QString("f\nRUN:Division by zero (4:12)"));
    EXPECT_EQ(runScript("begin\n  try\n    raise Exception.Create('r');\n  except\n"
                        "    on E: Exception do raise;\n  end;\nend."),
              QString("RUN:r (3:5)"));
    // A new raise in a handler names its own place.
    EXPECT_EQ(runScript("begin\n  try\n    raise Exception.Create('a');\n  except\n"
                        "    raise Exception.Create('b');\n  end;\nend."),
              QString("RUN:b (5:5)"));
    // A bad index names its "[", also inside a larger expression or a nested index.
    EXPECT_EQ(runScript("var t: array[0..4] of Integer; m: array of array of Integer; i: Integer;\n"
                        "begin\n  i := 2;\n  SetLength(m, 2);\n  SetLength(m[1], 2);\n"
                        "  i := i + m[1][i - 2] + t[i - 3];\nend."),
              QString("RUN:Range check error (6:27)"));
    EXPECT_EQ(
        runScript(
            "var m: array of array of Integer;\nbegin\n  SetLength(m, 2);\n  SetLength(m[1], 2);\n"
            "  m[1][2] := 0;\nend."),
        QString("RUN:Range check error (5:7)"));
}

// An operation takes over the Wrap after it only where no jump lands on that Wrap (the jump
// would then skip the cut); a jump to a return becomes the return.
TEST(Vm, FusionLeavesAWrapThatAJumpReaches) {
    using vscript::Op;
    vscript::Program p;
    p.routines.resize(1);
    p.routines[0].entry = 0;
    p.code = {{Op::AddK, 0, 1, 1, 1},
              {Op::Wrap, vscript::WS8, 1, 1, 0},
              {Op::SubK, 0, 2, 2, 1},
              {Op::Wrap, vscript::WS32, 3, 2, 0},
              {Op::JLtK, 0, 1, 5, 1},
              {Op::Jmp, 0, 6, 0, 0},
              {Op::Ret}};
    vscript::fuseInstructions(p);
    EXPECT_EQ(p.code[0].x, 0);
    EXPECT_EQ(p.code[2].x, vscript::WS32);
    EXPECT_EQ(p.code[5].op, Op::Ret);
}
