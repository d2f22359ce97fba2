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

// Free Pascal's output for the same Double values: the exact binary value rounded half away
// from zero, at most 18 decimals, no sign on a value rounded to zero.
TEST(StdLib, FormatRoundsFloatsAsFreePascal) {
    EXPECT_EQ(runScript("var x: Double; q: Int64;\n"
                        "procedure F(const f: string; v: Double);\n"
                        "begin showmessage(Format(f, [v, v, v, v])); end;\n"
                        "begin\n"
                        "  F('%.0f|%.1f|%.2f|%.3f', 0.15); F('%.0f|%.1f|%.2f|%.3f', 0.25);\n"
                        "  F('%.0f|%.1f|%.2f|%.3f', 1.005); F('%.0f|%.1f|%.2f|%.3f', 2.675);\n"
                        "  F('%.0f|%.1f|%.2f|%.3f', -0.5); F('%.0f|%.1f|%.2f|%.3f', 0.285);\n"
                        "  F('%.0f|%.1f|%.2f|%.3f', 1e15 + 0.5);\n"
                        "  x := 0.1; F('%.15f|%.16f|%.17f|%.20f', x);\n"
                        "  x := 1 / 3; F('%.15f|%.16f|%.17f|%.20f', x);\n"
                        "  F('%.0f|%.2f|%.1e|%.0e', -0.001); F('%.1f|%.1e|%.2e|%.3e', 9.96);\n"
                        "  F('%.2f|%.1e|%.0f|%.0n', 0); F('%.0e|%.1e|%.2e|%.1n', 1.25);\n"
                        "  q := -1; showmessage(Format('%x|%x|%.10x|%x', [-1, q, -1, -255]));\n"
                        "end."),
              QString("0|0.1|0.15|0.150\n0|0.3|0.25|0.250\n1|1.0|1.00|1.005\n3|2.7|2.67|2.675\n"
                      "-1|-0.5|-0.50|-0.500\n0|0.3|0.28|0.285\n"
                      "1000000000000001|1000000000000000.5|1000000000000000.50|"
                      "1000000000000000.500\n"
                      "0.100000000000000|0.1000000000000000|0.10000000000000001|"
                      "0.100000000000000006\n"
                      "0.333333333333333|0.3333333333333333|0.33333333333333331|"
                      "0.333333333333333315\n"
                      "0|0.00|-1.0E-003|-1.0E-003\n10.0|1.0E+001|1.0E+001|9.96E+000\n"
                      "0.00|0.0E+000|0|0\n1.3E+000|1.3E+000|1.3E+000|1.3\n"
                      "FFFFFFFF|FFFFFFFFFFFFFFFF|00FFFFFFFF|FFFFFF01"));
}
