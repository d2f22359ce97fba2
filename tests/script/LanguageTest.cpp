#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

// Expected values are what the same program prints when built by Free Pascal.
TEST(Language, ShiftsTakeTheWidthOfTheLeftOperand) {
    EXPECT_EQ(runScript("var a: ShortInt; c, k: Integer; d: Int64; e: Cardinal; w: Word; "
                        "by: Byte;\n"
                        "procedure P(v: Int64); begin showmessage(IntToStr(v)); end;\n"
                        "begin\n"
                        "  a := -8; c := -8; d := -8; e := 4000000000; w := 65535; by := 255;\n"
                        "  k := 1;\n"
                        "  P(a shr 1); P(c shr 1); P(d shr 1); P(e shr 1);\n"
                        "  P(c shr 33); P(c shl 33); P(d shr 65); P(c shl 31); P(a shl 4);\n"
                        "  P(w shl 16); P(by shl 24); P(by shl 31); P(w shl 20); P(e shl 4);\n"
                        "  P(by shl 33); P(c shr 0); P((c shl 1) shr 1); P((c + 1) shr 1);\n"
                        "  P((c div 2) shr 1); P((c and c) shr 1); P(1 shl (k + 30));\n"
                        "  P($FFFFFFFF shr k); P(5000000000 shr k); P(-8 shr k); P(-8 shr 1);\n"
                        "end."),
              QString("2147483644\n2147483644\n9223372036854775804\n2000000000\n"
                      "2147483644\n-16\n9223372036854775804\n0\n-128\n"
                      "4294901760\n4278190080\n2147483648\n4293918720\n3870457856\n"
                      "510\n-8\n2147483640\n9223372036854775804\n"
                      "9223372036854775806\n2147483644\n-2147483648\n"
                      "2147483647\n2500000000\n2147483644\n9223372036854775804"));
}

TEST(Language, SignBindsToTheFirstFactor) {
    EXPECT_EQ(runScript("var x: Integer;\n"
                        "procedure P(v: Int64); begin showmessage(IntToStr(v)); end;\n"
                        "begin\n"
                        "  x := 1;\n"
                        "  P(-1 and 255); P(-x and 255); P(-x shr 28); P(- x * 3); P(-2 * -3);\n"
                        "  P(not x and 3); P(-x + 5); P(-7 div 2); P(-7 mod 2);\n"
                        "end."),
              QString("255\n255\n68719476735\n-3\n6\n2\n4\n-3\n-1"));
}

TEST(Language, ParametersAndLocalsMayTakeTheFunctionsName) {
    EXPECT_EQ(runScript("function F(f: Integer): Integer;\n"
                        "begin Result := f + 1; end;\n"
                        "function G(x: Integer): Integer;\n"
                        "var g: Integer;\n"
                        "begin g := x; Result := g * 2; end;\n"
                        "function H(x: Integer): Integer;\n"
                        "begin H := x * 3; end;\n"
                        "begin showmessage(IntToStr(F(1)) + ' ' + IntToStr(G(2)) + ' ' + "
                        "IntToStr(H(3))); end."),
              QString("2 4 9"));
    EXPECT_TRUE(runScript("procedure P(a: Integer; a: string); begin end;\nbegin end.")
                    .startsWith("ERR:Erreur (1:25) : identificateur déjà déclaré « a »"));
}

TEST(Language, CaseTakesStringRangesAndWideLabels) {
    EXPECT_EQ(runScript("function Tranche(const s: string): string;\n"
                        "begin\n"
                        "  case s of\n"
                        "    'a'..'lzz': Result := 'debut';\n"
                        "    'm', 'n'..'rzz': Result := 'milieu';\n"
                        "  else Result := 'hors';\n"
                        "  end;\n"
                        "end;\n"
                        "function Grand(v: Int64): Integer;\n"
                        "begin\n"
                        "  case v of\n"
                        "    5000000000: Result := 1;\n"
                        "    6000000000..7000000000: Result := 2;\n"
                        "    705032704: Result := 3;\n"
                        "  else Result := 0;\n"
                        "  end;\n"
                        "end;\n"
                        "var i: Integer; t: string;\n"
                        "begin\n"
                        "  t := '';\n"
                        "  for i := 1 to 3 do\n"
                        "    t := t + Tranche('avi') + Tranche('m') + Tranche('mkv') + "
                        "Tranche('Zoom') + ' ';\n"
                        "  showmessage(t);\n"
                        "  showmessage(IntToStr(Grand(5000000000)) + IntToStr(Grand(6500000000)) + "
                        "IntToStr(Grand(705032704)) + IntToStr(Grand(7000000001)));\n"
                        "end."),
              QString("debutmilieuhorshors debutmilieuhorshors debutmilieuhorshors \n"
                      "1230"));
}
