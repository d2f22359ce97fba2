// SysUtils, Math and DateUtils routines where Free Pascal cannot be the reference: results
// asked larger than the heap, NaN and infinities, the engine's French date names, and the
// messages of conversion errors. What Free Pascal does run is in corpus/*routines.pas.
#include "ScriptTestUtil.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs each statement in its own try and shows what it printed or the exception it raised.
QString eachCaught(const QString& vars, const QStringList& statements) {
    QString body;
    for (const QString& s : statements)
        body += "  try " + s +
                " except on E: Exception do showmessage(E.ClassName + ': ' + "
                "E.Message); end;\n";
    return runScript("var " + vars + ";\nbegin\n" + body + "end.");
}

} // namespace

// Results sized by the script are weighed before they are made: nothing of the sizes below is
// allocated, each is an EOutOfMemory the script catches; counts below zero give empty texts.
TEST(StdLibRoutines, HugeResultsAreRefusedBeforeTheyAreMade) {
    const long before = peakKiB();
    EXPECT_EQ(eachCaught("s: string",
                         {"s := StringOfChar('x', MaxInt);", "s := StringOfChar('x', 150000000);",
                          "s := IntToHex(1, MaxInt);", "s := IntToHex(1, 150000000);",
                          "s := StringOfChar('a', 1000000); s := StringReplace(s, 'a', "
                          "StringOfChar('b', 1000), [rfReplaceAll]);",
                          "s := StringOfChar('''', 45000000); s := QuotedStr(s);",
                          // each "ct" writes a date and two times: 24 characters
                          "s := StringReplace(StringOfChar('c', 6000000), 'c', 'ct', "
                          "[rfReplaceAll]); s := FormatDateTime(s, 45351.5);",
                          "showmessage('[' + StringOfChar('x', -5) + '|' + IntToHex(255, -9) + "
                          "'|' + StringReplace('abc', 'b', '', [rfReplaceAll]) + ']');"}),
              QString("EOutOfMemory: Mémoire insuffisante\n").repeated(7) + "[|FF|ac]");
    EXPECT_LT(peakKiB() - before, 400 * 1024);
    // Patterns of millions of placeholders are written in one pass.
    EXPECT_EQ(
        runScript("var p, s: string;\n"
                  "begin p := '#,' + StringOfChar('0', 3000000) + '.' + "
                  "StringOfChar('0', 1000000);\n"
                  "s := FormatFloat(p, 1234.5);\n"
                  "showmessage(IntToStr(Length(s)) + ' ' + Copy(s, Length(s) - 1000009, 9));\n"
                  "s := FloatToStrF(1.5, ffFixed, 15, MaxInt) + FloatToStrF(1.5, "
                  "ffExponent, MaxInt, MaxInt);\n"
                  "showmessage(s); end."),
        "5000000 0,001,234\n1.5000000000000000001.5000000000000000E+0000");
}

// NaN and infinities are written as FloatToStr writes them; a routine that would make NaN out
// of a number raises EInvalidOp as Sqrt does, Ln(0) divides by zero.
TEST(StdLibRoutines, NaNInfinityAndDomainErrors) {
    EXPECT_EQ(eachCaught("nan, inf, d: Double; w: Word",
                         {"nan := StrToFloat('nan'); inf := StrToFloat('inf');",
                          "showmessage(FormatFloat('#,##0.00', nan) + ' ' + FormatFloat('0', "
                          "-inf) + ' ' + FloatToStrF(inf, ffNumber, 15, 2) + ' ' + "
                          "FloatToStrF(nan, ffExponent, 4, 2));",
                          "showmessage(FloatToStr(Int(inf)) + ' ' + FloatToStr(Int(nan)) + ' ' + "
                          "FloatToStr(Frac(nan)) + ' ' + FloatToStr(Exp(1000)) + ' ' + "
                          "FloatToStr(Exp(-inf)));",
                          "d := Frac(inf);", "d := Ln(-1);", "d := Ln(0);", "d := Sin(inf);",
                          "d := Cos(-inf);", "showmessage(FloatToStr(ArcTan(inf) * 2));",
                          "w := DayOfWeek(nan);", "d := IncDay(inf, 1);",
                          "DecodeDate(1e10, w, w, w);", "DecodeTime(nan, w, w, w, w);",
                          "d := EncodeDate(2024, 2, 30);", "d := EncodeTime(-1, 0, 0, 0);",
                          "d := EncodeDate(10000, 1, 1);", "d := StrToFloat('1.5.2');"}),
              "Nan -Inf +Inf Nan\n"
              "+Inf Nan Nan +Inf 0\n"
              "EInvalidOp: Invalid floating point operation\n"
              "EInvalidOp: Invalid floating point operation\n"
              "EZeroDivide: Division by zero\n"
              "EInvalidOp: Invalid floating point operation\n"
              "EInvalidOp: Invalid floating point operation\n"
              "3.14159265358979\n"
              "EInvalidOp: Invalid floating point operation\n"
              "EInvalidOp: Invalid floating point operation\n"
              "EConvertError: 10000000000 is not a valid date and time\n"
              "EConvertError: Nan is not a valid date and time\n"
              "EConvertError: 2024-2-30 is not a valid date\n"
              "EConvertError: -1:0:0.0 is not a valid time\n"
              "EConvertError: 10000-1-1 is not a valid date\n"
              "EConvertError: \"1.5.2\" is an invalid float");
}

// The engine writes French day and month names and the French short and long forms, where
// Free Pascal under the C locale writes English ones.
TEST(StdLibRoutines, FormatDateTimeInFrench) {
    EXPECT_EQ(runScript("var d: TDateTime;\n"
                        "begin d := EncodeDate(2024, 2, 29) + EncodeTime(18, 30, 15, 0);\n"
                        "showmessage(FormatDateTime('ddd dddd mmm mmmm', d));\n"
                        "showmessage(FormatDateTime('ddddd|dddddd|c|t|tt|d/m', d));\n"
                        "showmessage(FormatDateTime('c', EncodeDate(2024, 8, 1)));\n"
                        "showmessage(FormatDateTime('hh:nn ampm, h a/p', d)); end."),
              "jeu. jeudi févr. février\n"
              "29/02/2024|jeudi 29 février 2024|29/02/2024 18:30:15|18:30|18:30:15|29/2\n"
              "01/08/2024\n"
              "06:30 PM, 6 p");
}

// Case folding is ASCII's, as UpperCase's: accented letters compare as they are written.
TEST(StdLibRoutines, IgnoringCaseFoldsAsciiLettersOnly) {
    EXPECT_EQ(runScript("begin\n"
                        "showmessage(StringReplace('Déjà vu, DÉJÀ', 'déjà', 'x', "
                        "[rfReplaceAll, rfIgnoreCase]));\n"
                        "showmessage(BoolToStr(SameText('Été', 'éTÉ'), True) + ' ' + "
                        "BoolToStr(SameText('ÉtÉ', 'éTÉ'), True) + ' ' + "
                        "IntToStr(CompareText('é', 'É')));\n"
                        "end."),
              "x vu, DÉJÀ\nFalse False 32");
}

// A bad specifier's message names the specifier; the position follows, the script's own text
// ("%2", "%1") left as it was written.
TEST(StdLibRoutines, FormatErrorsNameTheSpecifier) {
    EXPECT_EQ(runScript("begin\n  showmessage(Format('%2:s et %1', ['a']));\nend."),
              "RUN:No argument for format \"%2:s\" (2:15)");
    EXPECT_EQ(runScript("begin\n  showmessage(Format('%s %5.2q', ['a', 1]));\nend."),
              "RUN:Invalid format specifier : \"%5.2q\" (2:15)");
    EXPECT_EQ(runScript("begin\n  showmessage(Format('%s %d', ['a', 'b']));\nend."),
              "RUN:Invalid argument type for format \"%d\" (2:15)");
    EXPECT_EQ(runScript("begin\n  raise Exception.Create('50%2 de %1');\nend."),
              "RUN:50%2 de %1 (2:3)");
}

TEST(StdLibRoutines, ArgumentsAreChecked) {
    EXPECT_TRUE(
        runScript("begin showmessage(StringReplace('a', 'a', 'b', 1)); end.").startsWith("ERR:"));
    EXPECT_TRUE(
        runScript("begin showmessage(FloatToStrF(1.5, 2, 15, 2)); end.").startsWith("ERR:"));
    EXPECT_TRUE(runScript("var y: Word; begin DecodeDate(1, y, y, 3); end.").startsWith("ERR:"));
    EXPECT_TRUE(runScript("begin showmessage(IntToHex(1.5, 2)); end.").startsWith("ERR:"));
    EXPECT_TRUE(
        runScript("begin showmessage(BoolToStr(True, True, True)); end.").startsWith("ERR:"));
    EXPECT_TRUE(
        runScript("begin showmessage(IntToStr(Pos('a', 'b', 1, 2))); end.").startsWith("ERR:"));
    // A program's own routine of the same name wins over the standard one.
    EXPECT_EQ(runScript("function Int(x: Integer): string; begin Result := 'mien'; end;\n"
                        "begin showmessage(Int(3)); end."),
              "mien");
}

// The program runs under the user's locale (Qt sets it): reals are still read and written with
// '.', as the C locale Free Pascal's defaults follow. Skipped where no French locale is installed.
TEST(StdLibRoutines, RealsIgnoreTheLocale) {
    const std::string saved = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "fr_FR.UTF-8 is not installed";
    const QString out =
        runScript("begin showmessage(Format('%.2f %e %n %f', [3.14159, 2.5, 1234.5, 1e300]) + ' ' "
                  "+ FloatToStr(StrToFloat('2.5') / 4) + ' ' + FormatFloat('0.00', 1.5)); end.");
    setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(out, "3.14 2.50000000000000E+000 1,234.50 1.00E+300 0.625 1.50");
}

// What Val reads that a double cannot hold becomes 0 or an infinity; a variable given to
// DecodeDate or DecodeTime must hold a Word.
TEST(StdLibRoutines, EdgesOfReadingAndDecoding) {
    EXPECT_EQ(
        runScript("begin showmessage(FloatToStr(StrToFloat('1e400')) + ' ' + "
                  "FloatToStr(StrToFloat('-1e400')) + ' ' + FloatToStr(StrToFloat('1e-400')) "
                  "+ ' ' + FloatToStr(StrToFloat('5.')) + ' ' + FloatToStr(StrToFloat('-INF'))); "
                  "end."),
        "+Inf -Inf 0 5 -Inf");
    EXPECT_TRUE(runScript("var y, m: Word; d: Byte;\nbegin DecodeDate(45351, y, m, d); end.")
                    .startsWith("ERR:"));
    EXPECT_EQ(runScript("var y: Integer; m: Int64; d: Word; h, n, s, z: Cardinal;\n"
                        "begin DecodeDate(45351.75, y, m, d); DecodeTime(45351.75, h, n, s, z);\n"
                        "showmessage(Format('%d %d %d %d:%d', [y, m, d, h, n])); end."),
              "2024 2 29 18:0");
}

// Math, StrUtils, Str and Val where Free Pascal cannot be the reference: results sized by the
// script, NaN and infinities (Free Pascal computes on 80 bits where the engine has doubles), and
// text outside ASCII, which StrUtils handles as bytes of UTF-8.
TEST(StdLibRoutines, DupeStringConcatAndStrStayBounded) {
    const long before = peakKiB();
    EXPECT_EQ(eachCaught("s: string",
                         {"s := DupeString('x', 2000000000);", "s := DupeString('abc', MaxInt);",
                          "s := DupeString(StringOfChar('x', 1000000), 1000);",
                          "s := StringOfChar('x', 100000000); s := Concat(s, s, s, s);",
                          "s := DupeString('ab', 4611686018427387904);",
                          "Str(1.5:MaxInt:MaxInt, s); showmessage(IntToStr(Length(s)));",
                          "Str(7:MaxInt, s); showmessage(IntToStr(Length(s)));"}),
              QString("EOutOfMemory: Mémoire insuffisante\n").repeated(5) + "1002\n1000");
    EXPECT_LT(peakKiB() - before, 400 * 1024);
}

TEST(StdLibRoutines, MathOfNaNAndInfinities) {
    EXPECT_EQ(
        eachCaught("nan, inf, d: Double; i: Integer",
                   {"nan := StrToFloat('nan'); inf := StrToFloat('inf');", "d := Max(nan, 1);",
                    "d := Min(1, nan);", "i := Sign(nan);", "i := Ceil(nan);", "i := Floor(-inf);",
                    "d := Power(2, inf);", "d := Power(nan, 2);", "d := IntPower(nan, 2);",
                    // past a double's range: an infinity, as the engine's products give
                    "showmessage(FloatToStr(Power(10, 400)) + ' ' + FloatToStr(IntPower(2, "
                    "-2000)) + ' ' + FloatToStr(Power(inf, 2)) + ' ' + FloatToStr(Power(nan, "
                    "0)) + ' ' + FloatToStr(Max(inf, 2)) + ' ' + FloatToStr(Power(10, "
                    "400.5)));"}),
        QString("EInvalidOp: Invalid floating point operation\n").repeated(8) +
            "+Inf 0 +Inf 1 +Inf +Inf");
    EXPECT_EQ(runScript("var d: Double; c: Integer;\n"
                        "begin Val('1e400', d, c); showmessage(FloatToStr(d) + ' ' + IntToStr(c));"
                        " Val('-1e99999999', d, c); showmessage(FloatToStr(d) + ' ' + IntToStr(c));"
                        " end."),
              "+Inf 0\n-Inf 0");
}

// Characters outside the basic plane keep their two halves together; Val refuses a letter
// that is not ASCII at its own position.
TEST(StdLibRoutines, TextOutsideAscii) {
    EXPECT_EQ(runScript(QString::fromUtf8(
                  "var i, c: Integer; d: Double;\n"
                  "begin showmessage(ReverseString('Noël 😀a') + '|' + AnsiUpperCase('𐐨é') + '|' "
                  "+ AnsiLowerCase('𐐀') + '|' + UpCase('ǆ') + '|' + BoolToStr(StartsText('ÉT', "
                  "'été'), True) + BoolToStr(EndsText('Ë', 'noë'), True));\n"
                  "Val('1é', i, c); showmessage(IntToStr(c)); Val('٣', i, c); "
                  "showmessage(IntToStr(c)); Val('2.5é', d, c); showmessage(IntToStr(c)); end.")),
              QString::fromUtf8("a😀 lëoN|𐐀É|𐐨|Ǆ|TrueTrue\n2\n1\n4"));
}

TEST(StdLibRoutines, OverloadsAndVariablesOfTheNewRoutines) {
    // Max of integers is an integer, with a real among them a real.
    EXPECT_EQ(runScript("var i: Integer; b: Int64; w: Word; c: Cardinal;\n"
                        "begin w := 3; c := 4000000000; i := Max(w, -2) + Min(1, 2);\n"
                        "b := Max(c, 1); showmessage(IntToStr(i) + ' ' + IntToStr(b)); end."),
              "4 4000000000");
    for (const char* bad :
         {"var i: Integer; begin i := Max(1, 2.5); end.", "begin showmessage(Max('a', 1)); end.",
          "var s: string; begin Str('abc', s); end.", "var s: string; begin Str(5:3:2, s); end.",
          "var s: string; begin Str(True, s); end.", "begin Str(5, 'x'); end.",
          "procedure p(const s: string); begin Str(5, s); end; begin p(''); end.",
          "var b: Byte; c: Integer; begin Val('1', b, c); end.",
          "var i: Integer; c: Byte; begin Val('1', i, c); end.",
          "var i: Integer; c: Double; begin Val('1', i, c); end.",
          "var i, c: Integer; begin Val(5, i, c); end.", "begin showmessage(Concat()); end.",
          "begin showmessage(Concat('a', 1)); end.", "begin showmessage(UpCase(1)); end.",
          "begin showmessage(DupeString('a')); end."})
        EXPECT_TRUE(runScript(bad).startsWith("ERR:")) << bad;
}
