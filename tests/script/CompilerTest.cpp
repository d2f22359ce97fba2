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
