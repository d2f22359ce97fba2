#pragma once

#include "Diagnostics.h"

#include <QString>
#include <cstdint>
#include <set>
#include <vector>

namespace vscript {

enum class Tok {
    End,
    Ident,
    IntLit,
    FloatLit,
    StrLit,
    // punctuation
    Plus,
    Minus,
    Star,
    Slash,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    LParen,
    RParen,
    LBracket,
    RBracket,
    Assign,
    Colon,
    Semi,
    Comma,
    Dot,
    DotDot,
    Caret,
    At,
    // keywords
    KwAnd,
    KwArray,
    KwBegin,
    KwCase,
    KwConst,
    KwDiv,
    KwDo,
    KwDownto,
    KwElse,
    KwEnd,
    KwExcept,
    KwFinally,
    KwFor,
    KwForward,
    KwFunction,
    KwIf,
    KwIn,
    KwMod,
    KwNil,
    KwNot,
    KwOf,
    KwOn,
    KwOr,
    KwOut,
    KwProcedure,
    KwProgram,
    KwRaise,
    KwRecord,
    KwRepeat,
    KwSet,
    KwShl,
    KwShr,
    KwThen,
    KwTo,
    KwTry,
    KwType,
    KwUntil,
    KwUses,
    KwVar,
    KwWhile,
    KwXor,
};

struct Token {
    Tok kind = Tok::End;
    Pos pos;
    QString text; // identifier as written, or the literal's value for strings
    int64_t ival = 0;
    double fval = 0.0;
};

// Turns a source into tokens, with the conditional directives applied as it goes.
class Lexer {
public:
    Lexer(const QString& source, Diagnostics& diags);
    void define(const QString& symbol);
    std::vector<Token> tokenize();

private:
    QChar peek(int ahead = 0) const;
    void advance();
    bool skipSpaceAndComments();
    void directive(const QString& body, Pos pos);
    bool skipping() const;
    Token lexNumber();
    Token lexString();
    Token lexIdent();

    QString m_src;
    Diagnostics& m_diags;
    int m_i = 0;
    int m_line = 1;
    int m_col = 1;
    std::set<QString> m_defines;
    struct Cond {
        bool active;     // this branch's condition
        bool parentLive; // whether the enclosing text is compiled
        Pos pos;
    };
    std::vector<Cond> m_conds;
};

// How messages name a token: « then », « ; », identificateur...
const char* tokName(Tok t);
inline bool isKeyword(Tok t) {
    return t >= Tok::KwAnd;
}

} // namespace vscript
