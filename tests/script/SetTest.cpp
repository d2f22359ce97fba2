#include "ScriptTestUtil.h"

#include <gtest/gtest.h>

// Expected values are what the same program prints when built by Free Pascal.
TEST(Sets, ReachOrdinalsUpTo255) {
    EXPECT_EQ(
        runScript("type TB = set of Byte; TR = record n: Integer; s: TB; end;\n"
                  "var c: Char; b, b2: TB; i: Integer; r: TR; a: array[0..2] of TB; t: string;\n"
                  "function Yn(x: Boolean): string; begin if x then Result := 'T' else Result := "
                  "'F'; end;\n"
                  "procedure P(v: TB; var w: TB; const k: TB);\n"
                  "begin Include(v, 7); Include(w, 250); t := t + Yn(7 in v) + Yn(250 in k) + Yn(9 "
                  "in k); end;\n"
                  "begin\n"
                  "  t := '';\n"
                  "  c := 'q'; t := t + Yn(c in ['a'..'z', '_']);\n"
                  "  c := #$0161; t := t + Yn(c in ['a'..'z', '_']);\n"
                  "  c := #$00E9; t := t + Yn(c in ['a'..'z', #$E9]);\n"
                  "  b := [1, 200, 255];\n"
                  "  i := 200; t := t + Yn(i in b);\n"
                  "  i := 300; t := t + Yn(i in b);\n"
                  "  i := -1; t := t + Yn(i in b);\n"
                  "  showmessage(t); t := '';\n"
                  "  b2 := b + [3..5];\n"
                  "  t := t + Yn(b2 >= b) + Yn(b <= b2) + Yn(b2 <= b) + Yn(b = b2) + Yn(b <> b2) + "
                  "Yn(b2 - b = [3..5]) + Yn(b2 * [4, 255] = [4, 255]);\n"
                  "  showmessage(t); t := '';\n"
                  "  r.s := [100]; i := 140; a[1] := r.s + [i + 1]; t := t + Yn(100 in a[1]) + "
                  "Yn(141 in a[1]) + Yn(0 in a[1]) + Yn(100 in r.s) + Yn(141 in r.s);\n"
                  "  a[2] := a[1]; Include(a[2], 0); t := t + Yn(0 in a[1]) + Yn(0 in a[2]);\n"
                  "  P(b, b, b2); t := t + Yn(7 in b) + Yn(250 in b);\n"
                  "  Exclude(b, 250); t := t + Yn(250 in b);\n"
                  "  b := []; t := t + Yn(b = []);\n"
                  "  i := 20; b := [i..i + 200]; t := t + Yn(19 in b) + Yn(20 in b) + Yn(220 in b) "
                  "+ Yn(221 in b);\n"
                  "  showmessage(t);\n"
                  "end.\n"),
        QString("TFTTFF\nTTFFTTT\nTTFTFFTTFFFTFTFTTF"));
}

TEST(Sets, CharacterAboveTheRangeIsNotInAConstantSet) {
    EXPECT_EQ(runScript("var s: string; i, n: Integer;\n"
                        "begin\n"
                        "  s := 'aZ9_' + #$E9 + #$FF + #$100 + #$161 + #$1E9 + #$3FF + 'f';\n"
                        "  n := 0;\n"
                        "  for i := 1 to Length(s) do\n"
                        "    if s[i] in ['0'..'9', 'A'..'F', 'a'..'f', #255, #$E9] then Inc(n);\n"
                        "  showmessage(IntToStr(n));\n"
                        "end."),
              QString("5"));
}

TEST(Sets, SmallAndLargeSetsMix) {
    EXPECT_EQ(runScript("type TP = set of 0..31; TB = set of Byte;\n"
                        "var p: TP; b: TB; i: Integer;\n"
                        "begin\n"
                        "  i := 3; p := [i, 5]; b := [200];\n"
                        "  b := b + [i] + p;\n"
                        "  if (3 in b) and (5 in b) and (200 in b) and not (4 in b) then\n"
                        "    showmessage('ok');\n"
                        "  i := 100; p := [i]; if p = [] then showmessage('vide');\n"
                        "end."),
              QString("ok\nvide"));
}

TEST(Sets, BaseTypePast255IsRefused) {
    EXPECT_TRUE(runScript("var s: set of 0..256; begin end.").startsWith("ERR:"));
    EXPECT_TRUE(runScript("var s: set of Word; begin end.").startsWith("ERR:"));
}

// A set of Char holds #0..#255, as Delphi makes it; a character past #255 is never in it
// and cannot be put in it.
TEST(Sets, SetOfCharHoldsTheByteCharacters) {
    EXPECT_EQ(runScript("const Voyelles: set of Char = ['a', 'e', 'i', 'o', 'u', #233];\n"
                        "var s: string; i, n: Integer; c: WideChar;\n"
                        "begin s := 'Vidéo écrite €'; n := 0;\n"
                        "  for i := 1 to Length(s) do if s[i] in Voyelles then Inc(n);\n"
                        "  c := #8364; if not (c in Voyelles) then showmessage('hors');\n"
                        "  showmessage(IntToStr(n)); end."),
              "hors\n6");
    EXPECT_TRUE(runScript("var s: set of Char; begin s := ['€']; end.").startsWith("ERR:"));
    EXPECT_TRUE(runScript("var s: set of Char; c: Char; begin c := #8364; Include(s, c); end.")
                    .contains("RUN:"));
}
