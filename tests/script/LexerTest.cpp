#include "Lexer.h"

#include <gtest/gtest.h>

using namespace vscript;

namespace {
std::vector<Token> lex(const QString& s, Diagnostics& d) {
    Lexer l(s, d);
    l.define("VIDORRA");
    return l.tokenize();
}
} // namespace

TEST(Lexer, TokensKeywordsAndPositions) {
    Diagnostics d;
    auto t = lex("BEGIN x := 12 + $1F;\n  End.", d);
    ASSERT_FALSE(d.hasErrors());
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t[0].kind, Tok::KwBegin);
    EXPECT_EQ(t[1].kind, Tok::Ident);
    EXPECT_EQ(t[2].kind, Tok::Assign);
    EXPECT_EQ(t[3].ival, 12);
    EXPECT_EQ(t[5].ival, 31);
    EXPECT_EQ(t[7].kind, Tok::KwEnd);
    EXPECT_EQ(t[7].pos.line, 2);
    EXPECT_EQ(t[7].pos.col, 3);
    EXPECT_EQ(t[8].kind, Tok::Dot);
}

TEST(Lexer, CommentsAndStrings) {
    Diagnostics d;
    auto t = lex("// line\n{ brace } (* star *) 'it''s'#13#10'x' 1.5e3 1..2", d);
    ASSERT_FALSE(d.hasErrors());
    ASSERT_GE(t.size(), 5u);
    EXPECT_EQ(t[0].kind, Tok::StrLit);
    EXPECT_EQ(t[0].text, QString("it's\r\nx"));
    EXPECT_EQ(t[1].kind, Tok::FloatLit);
    EXPECT_DOUBLE_EQ(t[1].fval, 1500.0);
    EXPECT_EQ(t[2].kind, Tok::IntLit);
    EXPECT_EQ(t[3].kind, Tok::DotDot);
}

TEST(Lexer, ConditionalDirectivesNest) {
    Diagnostics d;
    auto t = lex("{$IFDEF VIDORRA} a {$IFDEF NOPE} b {$ELSE} c {$ENDIF} {$ELSE} d {$ENDIF}"
                 "{$DEFINE X}{$IFNDEF X} e {$ENDIF}{$UNDEF X}{$IFNDEF X} f {$ENDIF}{$mode delphi}",
                 d);
    ASSERT_FALSE(d.hasErrors());
    QStringList names;
    for (auto& k : t)
        if (k.kind == Tok::Ident)
            names << k.text;
    EXPECT_EQ(names.join(','), QString("a,c,f"));
}

TEST(Lexer, ReportsUnterminatedText) {
    Diagnostics d1, d2, d3;
    lex("x := 'abc", d1);
    lex("{ never closed", d2);
    lex("{$IFDEF A} x", d3);
    EXPECT_TRUE(d1.hasErrors());
    EXPECT_TRUE(d2.hasErrors());
    EXPECT_TRUE(d3.hasErrors());
}
