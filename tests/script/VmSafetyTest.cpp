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
