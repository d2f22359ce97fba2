#include "Runtime.h"
#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

// A string temporary of a condition's right side is only set when that side runs: leaving
// the condition early must not release whatever an earlier statement left in its slot.
TEST(VmSafety, ShortCircuitConditionLeavesNoStaleTemporary) {
    EXPECT_EQ(runScript("function Compte(var s: string): Integer;\n"
                        "begin\n"
                        "  Result := 0;\n"
                        "  while (s <> '') and (s[1] = '*') do\n"
                        "  begin\n"
                        "    Delete(s, 1, 1);\n"
                        "    Result := Result + 1;\n"
                        "  end;\n"
                        "end;\n"
                        "var s: string;\n"
                        "begin\n"
                        "  s := '***';\n"
                        "  showmessage(IntToStr(Compte(s)) + '[' + s + ']');\n"
                        "  s := '**x';\n"
                        "  showmessage(IntToStr(Compte(s)) + '[' + s + ']');\n"
                        "end."),
              QString("3[]\n2[x]"));
}

// The left side of "and"/"or" in an expression runs once, the right side only when needed.
TEST(VmSafety, BooleanOperatorsEvaluateEachSideOnce) {
    EXPECT_EQ(runScript("var n: Integer; b: Boolean; s: string;\n"
                        "function F(v: Boolean): Boolean;\n"
                        "begin n := n + 1; Result := v; end;\n"
                        "begin\n"
                        "  n := 0; b := F(True) and F(False); showmessage(IntToStr(n));\n"
                        "  n := 0; b := F(False) and F(True); showmessage(IntToStr(n));\n"
                        "  n := 0; b := F(True) or F(True); showmessage(IntToStr(n));\n"
                        "  n := 0; b := F(False) or F(True);\n"
                        "  if b then showmessage(IntToStr(n));\n"
                        "  s := '';\n"
                        "  b := (s <> '') and (s[1] = 'a');\n"
                        "  if not b then showmessage('non');\n"
                        "  s := 'ab';\n"
                        "  b := (Copy(s, 1, 1) = 'a') and (Copy(s, 2, 1) = 'b');\n"
                        "  if b then showmessage('oui');\n"
                        "end."),
              QString("2\n1\n1\n2\nnon\noui"));
}

// Deep but finite recursion runs; endless recursion stops cleanly, whatever the frame size.
TEST(VmSafety, DeepRecursionRunsAndEndlessRecursionStops) {
    EXPECT_EQ(runScript("function Profond(n: Integer): Integer;\n"
                        "begin if n = 0 then Result := 0 else Result := 1 + Profond(n - 1); end;\n"
                        "begin showmessage(IntToStr(Profond(5000)) + ' ' + "
                        "IntToStr(Profond(50000))); end."),
              QString("5000 50000"));
    QString big = runScript("function F(n: Integer): Integer;\n"
                            "var a, b, c, d, e, k, l, m: string;\n"
                            "begin a := IntToStr(n); Result := F(n + 1) + Length(a); end;\n"
                            "begin F(0); end.");
    EXPECT_TRUE(big.startsWith("RUN:Dépassement de pile (3:"));
    vscript::ScriptEngine e;
    e.setMaxCallDepth(100);
    QString limited = runScript("function F(n: Integer): Integer;\n"
                                "begin if n = 0 then Result := 0 else Result := F(n - 1); end;\n"
                                "begin F(98); showmessage('ok'); F(100); end.",
                                &e);
    EXPECT_TRUE(limited.startsWith("ok\nRUN:Dépassement de pile (2:"));
}

// A var argument naming an array element or record field stays valid while the routine
// resizes that array or assigns the variable: the write lands in the old storage, as the
// program built by Free Pascal shows for the array, and nothing dangles.
TEST(VmSafety, VarArgumentOutlivesResizeOfItsArray) {
    EXPECT_EQ(runScript("type TR = record x, y: Integer; end; TA = array[0..2] of Integer;\n"
                        "var g: array of Integer; r, r2: TR;\n"
                        "procedure P(var x: Integer);\n"
                        "begin SetLength(g, 100000); x := 42; g[1] := g[1] + 1; end;\n"
                        "procedure Q(var x: Integer);\n"
                        "begin r := r2; x := 7; end;\n"
                        "procedure Local;\n"
                        "var a: array of Integer; t, u: TA;\n"
                        "  procedure In2(var v: Integer);\n"
                        "  begin SetLength(a, 50000); t := u; v := 9; end;\n"
                        "begin\n"
                        "  SetLength(a, 2); a[1] := 1; t[1] := 5;\n"
                        "  In2(a[1]); In2(t[1]);\n"
                        "  showmessage(IntToStr(a[1]) + ' ' + IntToStr(Length(a)) + ' ' + "
                        "IntToStr(t[1]));\n"
                        "end;\n"
                        "begin\n"
                        "  SetLength(g, 2); g[1] := 1;\n"
                        "  P(g[1]);\n"
                        "  showmessage(IntToStr(g[1]) + ' ' + IntToStr(Length(g)));\n"
                        "  r.x := 1; r2.x := 2; Q(r.x);\n"
                        "  showmessage(IntToStr(r.x));\n"
                        "  Local;\n"
                        "end."),
              QString("2 100000\n7\n1 50000 9"));
}

// Strings and arrays held by an expression that an exception interrupts are released, in
// the frame that handles it, in the frames it leaves, and when nothing handles it.
TEST(VmSafety, ExceptionMidStatementReleasesItsTemporaries) {
    const int64_t before = vscript::heapBytes();
    EXPECT_EQ(
        runScript("var i, n: Integer; s: string; a: array of Integer;\n"
                  "function Boum(const t: string): string;\n"
                  "begin if Length(t) > 3 then raise Exception.Create(t); Result := t; end;\n"
                  "function Profond(d: Integer; const t: string): string;\n"
                  "begin\n"
                  "  if d = 0 then Result := Boum(t + t) + t\n"
                  "  else Result := Copy(t, 1, 2) + Profond(d - 1, t + 'x') + t;\n"
                  "end;\n"
                  "begin\n"
                  "  n := 0; SetLength(a, 1000);\n"
                  "  for i := 1 to 200 do\n"
                  "    try\n"
                  "      s := IntToStr(i) + Boum('aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' + "
                  "IntToStr(i)) + 'b';\n"
                  "    except\n"
                  "      on E: Exception do n := n + 1;\n"
                  "    end;\n"
                  "  for i := 1 to 100 do\n"
                  "    try s := 'z' + Profond(5, 'ab') + 'y'; except n := n + 1; end;\n"
                  "  showmessage(IntToStr(n));\n"
                  "  s := 'fin' + Boum(Copy('qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq', 1, "
                  "40)) + 'x';\n"
                  "end."),
        QString("300\nRUN:qqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqq (3:29)"));
    EXPECT_EQ(vscript::heapBytes(), before);
}

// Exit, Break and a raise inside a handler leave statements midway: what those statements
// held (the array of a loop bound, a case selector, the caught exception) is released, and a
// later SetLength finds the array unshared.
TEST(VmSafety, JumpsOutOfStatementsReleaseWhatTheyHeld) {
    const int64_t before = vscript::heapBytes();
    EXPECT_EQ(runScript("var a: array of string; n: Integer;\n"
                        "procedure Ajoute(const m: string);\n"
                        "var i: Integer;\n"
                        "begin\n"
                        "  for i := 0 to High(a) do\n"
                        "    if a[i] = m then Exit;\n"
                        "  SetLength(a, Length(a) + 1);\n"
                        "  a[High(a)] := m;\n"
                        "end;\n"
                        "begin\n"
                        "  Ajoute('un'); Ajoute('deux'); Ajoute('un'); Ajoute('trois');\n"
                        "  n := 0;\n"
                        "  while True do\n"
                        "    case a[n] + 'x' of\n"
                        "      'troisx': Break;\n"
                        "    else n := n + 1;\n"
                        "    end;\n"
                        "  try\n"
                        "    try raise Exception.Create('a'); except raise Exception.Create('b'); "
                        "end;\n"
                        "  except on E: Exception do showmessage(E.Message); end;\n"
                        "  showmessage(IntToStr(Length(a)) + ' ' + IntToStr(n));\n"
                        "end."),
              QString("b\n3 2"));
    EXPECT_EQ(vscript::heapBytes(), before);
}

// A function left by an exception after setting its string result releases that result.
TEST(VmSafety, AbandonedFunctionResultIsReleased) {
    const int64_t before = vscript::heapBytes();
    EXPECT_EQ(runScript("var i, n: Integer; s: string;\n"
                        "function Essai(k: Integer): string;\n"
                        "begin\n"
                        "  Result := 'ok' + IntToStr(k);\n"
                        "  if k mod 2 = 1 then raise Exception.Create('impair');\n"
                        "end;\n"
                        "begin\n"
                        "  n := 0;\n"
                        "  for i := 1 to 100 do\n"
                        "    try s := Essai(i); except n := n + 1; end;\n"
                        "  showmessage(s + ' ' + IntToStr(n));\n"
                        "  s := Essai(3);\n"
                        "end."),
              QString("ok100 50\nRUN:impair (5:23)"));
    EXPECT_EQ(vscript::heapBytes(), before);
}

// A frame starts with its locals cleared, whatever its size and parameter count: a string
// local that lands where an earlier call left integers starts empty, not as a stale pointer.
TEST(VmSafety, FramesStartClearedWhateverTheirSize) {
    const int64_t before = vscript::heapBytes();
    EXPECT_EQ(runScript("procedure Remplit;\n"
                        "var a, b, c, d, e, f, g, h: Integer;\n"
                        "begin a := 12345; b := a; c := a; d := a; e := a; f := a; g := a; "
                        "h := a; end;\n"
                        "procedure Un;\n"
                        "var s: string;\n"
                        "begin s := s + 'a'; showmessage(s); end;\n"
                        "procedure Deux(p: Integer);\n"
                        "var s, t: string;\n"
                        "begin s := s + 'b'; t := t + s; showmessage(s + t); end;\n"
                        "procedure Trois(p, q: Integer);\n"
                        "var s, t, u: string; k: Integer;\n"
                        "begin s := s + 'c'; t := t + s; u := u + t; showmessage(s + t + u + "
                        "IntToStr(k)); end;\n"
                        "begin\n"
                        "  Remplit; Un; Remplit; Deux(1); Remplit; Trois(1, 2);\n"
                        "end."),
              QString("a\nbb\nccc0"));
    EXPECT_EQ(vscript::heapBytes(), before);
}

// Calls alone, without a loop, count against the step budget and the time limit: a
// recursion that branches stops at either, as a loop does. The message names a line of the
// routine or of the loop that ran out, not the statement before it.
TEST(VmSafety, LimitsStopARecursionWithoutLoops) {
    const char* source = "procedure P(n: Integer);\n"
                         "begin if n > 0 then begin P(n - 1); P(n - 1); end; end;\n"
                         "begin P(60); end.";
    vscript::ScriptEngine steps;
    steps.setStepBudget(100000);
    EXPECT_TRUE(runScript(source, &steps).startsWith("RUN:Nombre maximal d'étapes atteint (2:"));
    vscript::ScriptEngine time;
    time.setTimeLimit(200);
    EXPECT_TRUE(runScript(source, &time).startsWith("RUN:Durée maximale atteinte (0.2 s) (2:"));
    vscript::ScriptEngine loop;
    loop.setStepBudget(1000);
    EXPECT_TRUE(runScript("var y: Integer;\nbegin\n  y := 1;\n  repeat\n    y := y + 1;\n"
                          "  until y < 0;\nend.",
                          &loop)
                    .startsWith("RUN:Nombre maximal d'étapes atteint (6:"));
}
