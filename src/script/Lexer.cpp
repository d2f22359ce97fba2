#include "Lexer.h"

#include <cmath>
#include <map>
#include <unordered_map>

namespace vscript {

namespace {

const std::unordered_map<QString, Tok>& keywords() {
    static const std::unordered_map<QString, Tok> map = {
        {"and", Tok::KwAnd},
        {"array", Tok::KwArray},
        {"begin", Tok::KwBegin},
        {"case", Tok::KwCase},
        {"const", Tok::KwConst},
        {"div", Tok::KwDiv},
        {"do", Tok::KwDo},
        {"downto", Tok::KwDownto},
        {"else", Tok::KwElse},
        {"end", Tok::KwEnd},
        {"except", Tok::KwExcept},
        {"finally", Tok::KwFinally},
        {"for", Tok::KwFor},
        {"forward", Tok::KwForward},
        {"function", Tok::KwFunction},
        {"if", Tok::KwIf},
        {"in", Tok::KwIn},
        {"mod", Tok::KwMod},
        {"nil", Tok::KwNil},
        {"not", Tok::KwNot},
        {"of", Tok::KwOf},
        {"on", Tok::KwOn},
        {"or", Tok::KwOr},
        {"out", Tok::KwOut},
        {"procedure", Tok::KwProcedure},
        {"program", Tok::KwProgram},
        {"raise", Tok::KwRaise},
        {"record", Tok::KwRecord},
        {"repeat", Tok::KwRepeat},
        {"set", Tok::KwSet},
        {"shl", Tok::KwShl},
        {"shr", Tok::KwShr},
        {"then", Tok::KwThen},
        {"to", Tok::KwTo},
        {"try", Tok::KwTry},
        {"type", Tok::KwType},
        {"until", Tok::KwUntil},
        {"uses", Tok::KwUses},
        {"var", Tok::KwVar},
        {"while", Tok::KwWhile},
        {"xor", Tok::KwXor},
    };
    return map;
}

} // namespace

const char* tokName(Tok t) {
    switch (t) {
    case Tok::End:
        return "fin du texte";
    case Tok::Ident:
        return "identificateur";
    case Tok::IntLit:
    case Tok::FloatLit:
        return "nombre";
    case Tok::StrLit:
        return "chaîne";
    case Tok::Plus:
        return "« + »";
    case Tok::Minus:
        return "« - »";
    case Tok::Star:
        return "« * »";
    case Tok::Slash:
        return "« / »";
    case Tok::Eq:
        return "« = »";
    case Tok::Ne:
        return "« <> »";
    case Tok::Lt:
        return "« < »";
    case Tok::Le:
        return "« <= »";
    case Tok::Gt:
        return "« > »";
    case Tok::Ge:
        return "« >= »";
    case Tok::LParen:
        return "« ( »";
    case Tok::RParen:
        return "« ) »";
    case Tok::LBracket:
        return "« [ »";
    case Tok::RBracket:
        return "« ] »";
    case Tok::Assign:
        return "« := »";
    case Tok::Colon:
        return "« : »";
    case Tok::Semi:
        return "« ; »";
    case Tok::Comma:
        return "« , »";
    case Tok::Dot:
        return "« . »";
    case Tok::DotDot:
        return "« .. »";
    case Tok::Caret:
        return "« ^ »";
    case Tok::At:
        return "« @ »";
    default:
        break;
    }
    // A keyword is named as it is written.
    static const std::map<Tok, QByteArray> words = [] {
        std::map<Tok, QByteArray> m;
        for (const auto& [word, kind] : keywords())
            m[kind] = "« " + word.toUtf8() + " »";
        return m;
    }();
    const auto it = words.find(t);
    return it != words.end() ? it->second.constData() : "symbole";
}

Lexer::Lexer(const QString& source, Diagnostics& diags) : m_src(source), m_diags(diags) {}

void Lexer::define(const QString& symbol) {
    m_defines.insert(symbol.toLower());
}

QChar Lexer::peek(int ahead) const {
    int j = m_i + ahead;
    return j < m_src.size() ? m_src[j] : QChar(0);
}

void Lexer::advance() {
    if (m_i >= m_src.size())
        return;
    if (m_src[m_i] == '\n') {
        ++m_line;
        m_col = 1;
    } else {
        ++m_col;
    }
    ++m_i;
}

bool Lexer::skipping() const {
    return !m_conds.empty() && !(m_conds.back().active && m_conds.back().parentLive);
}

void Lexer::directive(const QString& body, Pos pos) {
    QString text = body.trimmed();
    int sp = 0;
    while (sp < text.size() && (text[sp].isLetterOrNumber() || text[sp] == '_'))
        ++sp;
    const QString name = text.left(sp).toUpper();
    const QString arg = text.mid(sp).trimmed().section(' ', 0, 0).toLower();
    const bool live = !skipping();
    if (name == "IFDEF" || name == "IFNDEF") {
        bool has = m_defines.count(arg) > 0;
        m_conds.push_back({name == "IFDEF" ? has : !has, live, pos});
    } else if (name == "ELSE") {
        if (m_conds.empty())
            m_diags.error(pos, "{$ELSE} sans {$IFDEF}");
        else
            m_conds.back().active = !m_conds.back().active;
    } else if (name == "ENDIF" || name == "IFEND") {
        if (m_conds.empty())
            m_diags.error(pos, "{$ENDIF} sans {$IFDEF}");
        else
            m_conds.pop_back();
    } else if (!live) {
        return;
    } else if (name == "DEFINE") {
        m_defines.insert(arg);
    } else if (name == "UNDEF") {
        m_defines.erase(arg);
    }
    // Other directives (mode, H+, codepage...) describe what this engine always does.
}

// Returns false at the end of the text.
bool Lexer::skipSpaceAndComments() {
    for (;;) {
        QChar c = peek();
        if (c == QChar(0) && m_i >= m_src.size())
            return false;
        if (c.isSpace()) {
            advance();
            continue;
        }
        if (c == '/' && peek(1) == '/') {
            while (m_i < m_src.size() && peek() != '\n')
                advance();
            continue;
        }
        if (c == '{' || (c == '(' && peek(1) == '*')) {
            Pos start{m_line, m_col};
            bool brace = c == '{';
            advance();
            if (!brace)
                advance();
            bool isDirective = peek() == '$';
            QString body;
            for (;;) {
                if (m_i >= m_src.size()) {
                    m_diags.error(start, "commentaire non terminé");
                    return false;
                }
                if (brace && peek() == '}') {
                    advance();
                    break;
                }
                if (!brace && peek() == '*' && peek(1) == ')') {
                    advance();
                    advance();
                    break;
                }
                body += peek();
                advance();
            }
            if (isDirective)
                directive(body.mid(1), start);
            continue;
        }
        if (skipping()) {
            // Skipped text: only comments and directives matter, but strings may hide braces.
            if (c == '\'') {
                advance();
                while (m_i < m_src.size() && peek() != '\'' && peek() != '\n')
                    advance();
            }
            advance();
            continue;
        }
        return true;
    }
}

Token Lexer::lexNumber() {
    Token t;
    t.pos = {m_line, m_col};
    QString digits;
    if (peek() == '$') {
        advance();
        while (peek().isDigit() || (peek().toLower() >= 'a' && peek().toLower() <= 'f')) {
            digits += peek();
            advance();
        }
        bool ok = false;
        t.kind = Tok::IntLit;
        t.ival = int64_t(digits.toULongLong(&ok, 16));
        if (!ok)
            m_diags.error(t.pos, "nombre hexadécimal incorrect");
        return t;
    }
    while (peek().isDigit()) {
        digits += peek();
        advance();
    }
    bool isFloat = false;
    if (peek() == '.' && peek(1).isDigit()) {
        isFloat = true;
        digits += '.';
        advance();
        while (peek().isDigit()) {
            digits += peek();
            advance();
        }
    }
    if ((peek() == 'e' || peek() == 'E') &&
        (peek(1).isDigit() || ((peek(1) == '+' || peek(1) == '-') && peek(2).isDigit()))) {
        isFloat = true;
        digits += 'e';
        advance();
        if (peek() == '+' || peek() == '-') {
            digits += peek();
            advance();
        }
        while (peek().isDigit()) {
            digits += peek();
            advance();
        }
    }
    if (isFloat) {
        t.kind = Tok::FloatLit;
        t.fval = digits.toDouble();
    } else {
        bool ok = false;
        t.ival = digits.toLongLong(&ok);
        t.kind = Tok::IntLit;
        if (!ok) {
            // Too large for Int64: Pascal reads it as a real.
            t.kind = Tok::FloatLit;
            t.fval = digits.toDouble();
        }
    }
    return t;
}

Token Lexer::lexString() {
    Token t;
    t.kind = Tok::StrLit;
    t.pos = {m_line, m_col};
    for (;;) {
        if (peek() == '\'') {
            advance();
            for (;;) {
                if (m_i >= m_src.size() || peek() == '\n') {
                    m_diags.error(t.pos, "chaîne non terminée");
                    return t;
                }
                if (peek() == '\'') {
                    if (peek(1) == '\'') {
                        t.text += '\'';
                        advance();
                        advance();
                        continue;
                    }
                    advance();
                    break;
                }
                t.text += peek();
                advance();
            }
        } else if (peek() == '#') {
            advance();
            int64_t code = 0;
            bool any = false;
            if (peek() == '$') {
                advance();
                while (peek().isDigit() || (peek().toLower() >= 'a' && peek().toLower() <= 'f')) {
                    code = code * 16 + QString(peek()).toInt(nullptr, 16);
                    code = std::min<int64_t>(code, 0x10FFFF + 1);
                    any = true;
                    advance();
                }
            } else {
                while (peek().isDigit()) {
                    code = std::min<int64_t>(code * 10 + peek().digitValue(), 0x10FFFF + 1);
                    any = true;
                    advance();
                }
            }
            if (!any || code > 0x10FFFF) {
                m_diags.error(t.pos, "code de caractère incorrect");
                code = 0;
            }
            char32_t cp = char32_t(code);
            t.text += QString::fromUcs4(&cp, 1);
        } else {
            break;
        }
    }
    return t;
}

Token Lexer::lexIdent() {
    Token t;
    t.pos = {m_line, m_col};
    while (peek().isLetterOrNumber() || peek() == '_') {
        t.text += peek();
        advance();
    }
    auto it = keywords().find(t.text.toLower());
    t.kind = it == keywords().end() ? Tok::Ident : it->second;
    return t;
}

std::vector<Token> Lexer::tokenize() {
    std::vector<Token> out;
    for (;;) {
        if (!skipSpaceAndComments())
            break;
        QChar c = peek();
        if (c.isDigit() || (c == '$' && peek(1).isLetterOrNumber())) {
            out.push_back(lexNumber());
            continue;
        }
        if (c == '\'' || c == '#') {
            out.push_back(lexString());
            continue;
        }
        if (c.isLetter() || c == '_') {
            out.push_back(lexIdent());
            continue;
        }
        Token t;
        t.pos = {m_line, m_col};
        auto two = [&](QChar next, Tok both, Tok one) {
            advance();
            if (peek() == next) {
                advance();
                t.kind = both;
            } else {
                t.kind = one;
            }
        };
        switch (c.unicode()) {
        case '+':
            advance();
            t.kind = Tok::Plus;
            break;
        case '-':
            advance();
            t.kind = Tok::Minus;
            break;
        case '*':
            advance();
            t.kind = Tok::Star;
            break;
        case '/':
            advance();
            t.kind = Tok::Slash;
            break;
        case '=':
            advance();
            t.kind = Tok::Eq;
            break;
        case '(':
            advance();
            t.kind = Tok::LParen;
            break;
        case ')':
            advance();
            t.kind = Tok::RParen;
            break;
        case '[':
            advance();
            t.kind = Tok::LBracket;
            break;
        case ']':
            advance();
            t.kind = Tok::RBracket;
            break;
        case ';':
            advance();
            t.kind = Tok::Semi;
            break;
        case ',':
            advance();
            t.kind = Tok::Comma;
            break;
        case '^':
            advance();
            t.kind = Tok::Caret;
            break;
        case '@':
            advance();
            t.kind = Tok::At;
            break;
        case ':':
            two('=', Tok::Assign, Tok::Colon);
            break;
        case '.':
            two('.', Tok::DotDot, Tok::Dot);
            break;
        case '>':
            two('=', Tok::Ge, Tok::Gt);
            break;
        case '<':
            advance();
            if (peek() == '=') {
                advance();
                t.kind = Tok::Le;
            } else if (peek() == '>') {
                advance();
                t.kind = Tok::Ne;
            } else {
                t.kind = Tok::Lt;
            }
            break;
        default:
            // A control character is named by its code: the message must stay readable.
            m_diags.error(t.pos, c.isPrint()
                                     ? QStringLiteral("caractère inattendu « %1 »").arg(c)
                                     : QStringLiteral("caractère inattendu #%1").arg(c.unicode()));
            advance();
            continue;
        }
        out.push_back(t);
    }
    if (!m_conds.empty())
        m_diags.error(m_conds.back().pos, "{$ENDIF} manquant");
    Token end;
    end.kind = Tok::End;
    end.pos = {m_line, m_col};
    out.push_back(end);
    return out;
}

} // namespace vscript
