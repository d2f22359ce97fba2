#include "ScriptTestUtil.h"

#include <gtest/gtest.h>
#include <random>

TEST(Compiler, ErrorsCarryTheirPosition) {
    EXPECT_EQ(runScript("begin\n  x := 1;\nend."),
              QString("ERR:Erreur (2:3) : identificateur inconnu « x »"));
    EXPECT_EQ(
        runScript("var i: Integer;\nbegin\n  i := 'abc';\nend."),
        QString("ERR:Erreur (3:8) : types incompatibles : « string » obtenu, « Integer » attendu"));
    EXPECT_TRUE(runScript("var i: Integer;\nbegin\n  i := 1\n  i := 2;\nend.")
                    .startsWith("ERR:Erreur (4:3) : « ; » attendu"));
    EXPECT_TRUE(runScript("begin\n  showmessage('a');\n").startsWith("ERR:Erreur (3:1)"));
    EXPECT_TRUE(runScript("begin end").startsWith("ERR:Erreur (1:10) : « . » attendu"));
}

TEST(Compiler, CaseInsensitiveNamesAndNestedRoutines) {
    EXPECT_EQ(runScript("VAR Total: INTEGER;\n"
                        "procedure Outer(n: integer);\n"
                        "  var acc: Integer;\n"
                        "  procedure Add(k: Integer); begin acc := acc + k; end;\n"
                        "  var i: integer;\n"
                        "begin acc := 0; for i := 1 to n do add(i); total := ACC; end;\n"
                        "BEGIN outer(10); ShowMessage(IntToStr(TOTAL)); END."),
              QString("55"));
}

TEST(Compiler, RandomAndTruncatedSourcesNeverCrash) {
    const QString base =
        "program P; type R = record a: Integer; s: string; end; var x: array of R; i: Integer;\n"
        "function F(var q: Integer; const s: string): string; begin q := q + 1; Result := s + "
        "'!'; end;\n"
        "begin SetLength(x, 3); for i := 0 to 2 do begin x[i].a := i; x[i].s := F(i, 'z'); end;\n"
        "try raise Exception.Create('e'); except on E: Exception do i := 0; end;\n"
        "case i of 0: i := 1; 1..3: i := 2; else i := 3; end; end.";
    std::mt19937 rng(1234);
    const char* pieces[] = {"begin", "end",   ";",   ":=",       "(",    ")",      "[", "]",
                            "x",     "1",     "'s'", "if",       "then", "else",   ".", ",",
                            "var",   "array", "of",  "record",   "try",  "except", "+", "*",
                            "{",     "}",     "..",  "function", "case"};
    for (int n = 0; n < 3000; ++n) {
        QString src = base;
        if (n % 3 == 0) {
            src.truncate(int(rng() % src.size()));
        } else {
            for (int k = 0; k < 4; ++k) {
                int at = int(rng() % (src.size() + 1));
                if (rng() % 2)
                    src.insert(at, QString(" ") + pieces[rng() % std::size(pieces)] + " ");
                else
                    src.remove(at, int(rng() % 6));
            }
        }
        vscript::ScriptEngine e;
        e.setStepBudget(10000);
        auto c = e.compile(src);
        if (c.ok)
            e.run();
        else
            EXPECT_FALSE(c.messages.isEmpty());
    }
}

TEST(Compiler, NonBooleanConditionIsReportedWhereItStarts) {
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  while n * 2 + 1 do n := 0;\nend."),
              QString("ERR:Erreur (3:9) : types incompatibles : « Int64 » obtenu, « Boolean » "
                      "attendu"));
}

// Two labels of one case that share a value: the second is refused where it stands, as
// Free Pascal does, whether the labels are values, ranges, characters or strings.
TEST(Compiler, DuplicateCaseLabelsAreRefused) {
    const QString dup = "ERR:Erreur (%1) : étiquette de case en double";
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  case n of\n    1: ;\n    2, 1: ;\n  end;\nend."),
              dup.arg("5:8"));
    EXPECT_EQ(
        runScript("var n: Integer;\nbegin\n  case n of\n    1..5: ;\n    7, 3: ;\n  end;\nend."),
        dup.arg("5:8"));
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  case n of\n    4: ;\n    1..9: ;\n  end;\nend."),
              dup.arg("5:5"));
    EXPECT_EQ(runScript("var n: Int64;\nbegin\n  case n of\n    $100000000..$100000005: ;\n"
                        "    $100000005: ;\n  end;\nend."),
              dup.arg("5:5"));
    EXPECT_EQ(runScript("var c: Char;\nbegin\n  case c of\n    'a'..'f': ;\n    'z', 'c': ;\n"
                        "  end;\nend."),
              dup.arg("5:10"));
    EXPECT_EQ(runScript("var s: string;\nbegin\n  case s of\n    'un': ;\n    'deux', 'un': ;\n"
                        "  end;\nend."),
              dup.arg("5:13"));
    EXPECT_EQ(runScript("var s: string;\nbegin\n  case s of\n    'a'..'m': ;\n    'c': ;\n"
                        "  end;\nend."),
              dup.arg("5:5"));
    EXPECT_EQ(runScript("type T = (a, b, c);\nvar v: T;\nbegin\n  case v of\n    a..b: ;\n"
                        "    b: ;\n  end;\nend."),
              dup.arg("6:5"));
    // Ranges that touch without sharing, and an empty range, are sound.
    EXPECT_EQ(runScript("var n: Integer; s: string;\nbegin\n  for n := 0 to 8 do\n"
                        "    case n of 1..3: s := s + 'a'; 4..6, 0: s := s + 'b'; 8..7: ;\n"
                        "    else s := s + 'c'; end;\n  showmessage(s);\nend."),
              QString("baaabbbcc"));
}

// The control variable of a for loop is written by the loop alone while it runs: an
// assignment, a var parameter, Inc or an inner loop over it is refused; read, and after
// the loop, it is a variable as any other.
TEST(Compiler, ForLoopVariableIsNotWrittenInsideTheLoop) {
    const QString refused =
        "ERR:Erreur (%1) : affectation impossible à la variable de boucle « i »";
    EXPECT_EQ(runScript("var i: Integer;\nbegin\n  for i := 1 to 3 do\n    i := 5;\nend."),
              refused.arg("4:5"));
    EXPECT_EQ(runScript("var i: Integer;\nprocedure P(var k: Integer); begin end;\nbegin\n"
                        "  for i := 1 to 3 do begin\n    P(i);\n  end;\nend."),
              refused.arg("5:7"));
    EXPECT_EQ(runScript("var i: Integer;\nbegin\n  for i := 3 downto 1 do\n    Inc(i);\nend."),
              refused.arg("4:9"));
    EXPECT_EQ(runScript("var i: Integer;\nbegin\n  for i := 1 to 3 do\n"
                        "    for i := 1 to 2 do ;\nend."),
              refused.arg("4:9"));
    EXPECT_EQ(runScript("procedure P;\nvar i, j: Integer;\nbegin\n  for i := 1 to 2 do\n"
                        "    for j := 1 to 2 do\n      i := j;\nend;\nbegin P; end."),
              refused.arg("6:7"));
    EXPECT_EQ(runScript("var i, j, n: Integer;\nbegin\n  for i := 1 to 3 do\n"
                        "    for j := i to 3 do n := n + i * j;\n  i := i * 10;\n"
                        "  showmessage(IntToStr(n) + ' ' + IntToStr(i));\nend."),
              QString("25 30"));
}

// A keyword or a symbol where it does not belong is named in the message.
TEST(Compiler, MessagesNameTheKeywordOrSymbolMet) {
    EXPECT_EQ(runScript("begin\n  if True then then;\nend."),
              QString("ERR:Erreur (2:16) : mot réservé « then » inattendu"));
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  if True then n := 1; else n := 2;\nend."),
              QString("ERR:Erreur (3:24) : « ; » attendu, « else » trouvé"));
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  n := 1 do;\nend."),
              QString("ERR:Erreur (3:10) : « ; » attendu, « do » trouvé"));
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  n := (1 + ];\nend."),
              QString("ERR:Erreur (3:13) : expression attendue, « ] » trouvé"));
    EXPECT_EQ(runScript("var n: Integer;\nbegin\n  while n < 3 begin end;\nend."),
              QString("ERR:Erreur (3:15) : « do » attendu, « begin » trouvé"));
    EXPECT_EQ(runScript("var a: array[0..2 of Integer;\nbegin\nend."),
              QString("ERR:Erreur (1:19) : « ] » attendu, « of » trouvé"));
    EXPECT_EQ(runScript("begin\n  repeat until;\nend."),
              QString("ERR:Erreur (2:15) : expression attendue, « ; » trouvé"));
    EXPECT_EQ(runScript("begin\n  x := 1 @ 2;\nend."),
              QString("ERR:Erreur (2:10) : « ; » attendu, « @ » trouvé"));
    EXPECT_EQ(runScript("var b: Boolean;\nbegin\n  b := 'ab' mod 2 = 0;\nend."),
              QString("ERR:Erreur (3:13) : opérateur « mod » non applicable à « string » et "
                      "« Integer »"));
    EXPECT_EQ(runScript(QString("begin\n  ") + QChar(1) + " ;\nend."),
              QString("ERR:Erreur (2:3) : caractère inattendu #1"));
}
