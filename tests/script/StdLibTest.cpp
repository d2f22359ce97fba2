#include "Builtins.h"
#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

// Expected texts come from the same programs compiled with fpc -Mdelphiunicode.
TEST(StdLib, FloatToStrAsFreePascal) {
    using vscript::formatFloatGeneral;
    EXPECT_EQ(formatFloatGeneral(1.0 / 3), QString("0.333333333333333"));
    EXPECT_EQ(formatFloatGeneral(1e20), QString("1E20"));
    EXPECT_EQ(formatFloatGeneral(123456789012345678.0), QString("1.23456789012346E17"));
    EXPECT_EQ(formatFloatGeneral(1e-5), QString("0.00001"));
    EXPECT_EQ(formatFloatGeneral(0.0001), QString("0.0001"));
    EXPECT_EQ(formatFloatGeneral(2.5), QString("2.5"));
    EXPECT_EQ(formatFloatGeneral(100), QString("100"));
    EXPECT_EQ(formatFloatGeneral(1e15), QString("1E15"));
    EXPECT_EQ(formatFloatGeneral(-1.5e-300), QString("-1.5E-300"));
}

TEST(StdLib, StringsIntegersAndFormat) {
    EXPECT_EQ(
        runScript(
            "var a, b: Integer; i64: Int64; c: Cardinal; s: string;\n"
            "begin\n"
            "  a := MaxInt; b := 1; i64 := a + b; showmessage(IntToStr(i64));\n"
            "  c := 0; c := c - 1; showmessage(IntToStr(c));\n"
            "  showmessage(IntToStr(Round(2.5)) + IntToStr(Round(3.5)) + IntToStr(Round(-2.5)));\n"
            "  showmessage(Format('%5.2f|%d|%x|%s|%8.3f|%-5d|%.3d', [3.14159, 42, 255, 'ok', -2.0, "
            "7, 5]));\n"
            "  s := 'abc';\n"
            "  showmessage(IntToStr(Pos('c', s)) + ' ' + Copy(s, 2, 10) + ' ' + Trim('  x ') + "
            "'|');\n"
            "  showmessage(IntToStr(-5 mod 3) + ' ' + IntToStr(-5 div 3) + ' ' + IntToStr(7 shr "
            "1));\n"
            "  Delete(s, 1, 1); Insert('XY', s, 2); showmessage(s + UpperCase('é-q') + "
            "LowerCase('AB'));\n"
            "  showmessage(IntToStr(StrToIntDef('12x', -1)) + IntToStr(StrToInt(' 42')));\n"
            "end."),
        QString("2147483648\n4294967295\n24-2\n 3.14|42|FF|ok|  -2.000|7    |005\n"
                "3 bc x|\n-2 -1 3\nbXYcé-Qab\n-142"));
}

TEST(StdLib, SetsEnumsCaseAndRecordsInArrays) {
    EXPECT_EQ(
        runScript(
            "type TColor = (Red, Green, Blue); TR = record n: Integer; t: string; end;\n"
            "var c: TColor; s: set of TColor; r: array[1..2] of TR; q: TR; k: Integer;\n"
            "begin\n"
            "  s := [Red, Blue]; Include(s, Green); Exclude(s, Red);\n"
            "  if (Green in s) and not (Red in s) then showmessage('set');\n"
            "  for c := Red to Blue do case c of Red: showmessage('r'); Green..Blue: "
            "showmessage('gb'); end;\n"
            "  case 'two' of 'one': k := 1; 'two': k := 2; else k := 0; end; "
            "showmessage(IntToStr(k));\n"
            "  r[1].n := 5; r[1].t := 'a'; q := r[1]; q.n := 6; r[2] := q;\n"
            "  showmessage(IntToStr(r[1].n) + r[1].t + IntToStr(r[2].n) + IntToStr(High(r)));\n"
            "end."),
        QString("set\nr\ngb\ngb\n2\n5a62"));
}
