#include "Parser.h"

namespace vscript {

namespace {
constexpr int kMaxDepth = 400;

NodePtr make(NK k, Pos p) {
    return std::make_unique<Node>(k, p);
}

QString found(const Token& t) {
    switch (t.kind) {
    case Tok::Ident:
        return QStringLiteral("« %1 »").arg(t.text);
    case Tok::End:
        return QStringLiteral("la fin du texte");
    case Tok::IntLit:
    case Tok::FloatLit:
        return QStringLiteral("un nombre");
    case Tok::StrLit:
        return QStringLiteral("une chaîne");
    default:
        return QString::fromUtf8(tokName(t.kind));
    }
}

// "mot réservé « then » inattendu": what the parser met, where nothing of its kind fits.
QString unexpected(const Token& t) {
    switch (t.kind) {
    case Tok::Ident:
        return QStringLiteral("identificateur « %1 » inattendu").arg(t.text);
    case Tok::End:
        return QStringLiteral("fin du texte inattendue");
    case Tok::IntLit:
    case Tok::FloatLit:
        return QStringLiteral("nombre inattendu");
    case Tok::StrLit:
        return QStringLiteral("chaîne inattendue");
    default:
        return QStringLiteral("%1 %2 inattendu")
            .arg(isKeyword(t.kind) ? QStringLiteral("mot réservé") : QStringLiteral("symbole"),
                 QString::fromUtf8(tokName(t.kind)));
    }
}
} // namespace

Parser::Parser(std::vector<Token> tokens, Diagnostics& diags)
    : m_toks(std::move(tokens)), m_diags(diags) {
    if (m_toks.empty() || m_toks.back().kind != Tok::End)
        m_toks.push_back(Token{});
}

const Token& Parser::ahead(int n) const {
    size_t j = std::min(m_p + size_t(n), m_toks.size() - 1);
    return m_toks[j];
}

bool Parser::accept(Tok k) {
    if (!at(k))
        return false;
    if (m_p + 1 < m_toks.size())
        ++m_p;
    return true;
}

void Parser::fail(Pos pos, const QString& text) {
    if (m_failed)
        return;
    m_failed = true;
    m_diags.error(pos, text);
}

bool Parser::expect(Tok k) {
    if (accept(k))
        return true;
    fail(cur().pos,
         QStringLiteral("%1 attendu, %2 trouvé").arg(QString::fromUtf8(tokName(k)), found(cur())));
    return false;
}

QString Parser::expectIdent() {
    if (at(Tok::Ident)) {
        QString n = cur().text;
        accept(Tok::Ident);
        return n;
    }
    fail(cur().pos, QStringLiteral("identificateur attendu, %1 trouvé").arg(found(cur())));
    return QString();
}

NodePtr Parser::parseProgram() {
    auto prog = make(NK::Program, cur().pos);
    if (accept(Tok::KwProgram)) {
        prog->name = expectIdent();
        expect(Tok::Semi);
    }
    if (accept(Tok::KwUses)) {
        do {
            expectIdent();
            while (accept(Tok::Dot))
                expectIdent();
        } while (!m_failed && accept(Tok::Comma));
        expect(Tok::Semi);
    }
    parseDeclarations(prog.get(), true);
    if (m_failed)
        return prog;
    if (!at(Tok::KwBegin)) {
        fail(cur().pos, QStringLiteral("« begin » attendu, %1 trouvé").arg(found(cur())));
        return prog;
    }
    prog->add(parseBlock());
    if (!m_failed && !at(Tok::Dot))
        fail(cur().pos, QStringLiteral("« . » attendu, %1 trouvé").arg(found(cur())));
    return prog;
}

void Parser::parseDeclarations(Node* into, bool allowRoutines) {
    while (!m_failed) {
        if (at(Tok::KwConst))
            parseConstSection(into);
        else if (at(Tok::KwType))
            parseTypeSection(into);
        else if (at(Tok::KwVar))
            parseVarSection(into);
        else if (allowRoutines && (at(Tok::KwProcedure) || at(Tok::KwFunction)))
            into->add(parseRoutine());
        else
            break;
    }
}

void Parser::parseConstSection(Node* into) {
    accept(Tok::KwConst);
    do {
        auto c = make(NK::ConstDecl, cur().pos);
        c->name = expectIdent();
        if (accept(Tok::Colon))
            c->type = parseType();
        expect(Tok::Eq);
        if (!m_failed)
            c->add(c->type ? parseInitValue() : parseExpr());
        expect(Tok::Semi);
        into->add(std::move(c));
    } while (!m_failed && at(Tok::Ident));
}

void Parser::parseTypeSection(Node* into) {
    accept(Tok::KwType);
    do {
        auto t = make(NK::TypeDecl, cur().pos);
        t->name = expectIdent();
        expect(Tok::Eq);
        if (!m_failed)
            t->type = parseType();
        expect(Tok::Semi);
        into->add(std::move(t));
    } while (!m_failed && at(Tok::Ident));
}

void Parser::parseVarSection(Node* into) {
    accept(Tok::KwVar);
    do {
        auto v = make(NK::VarDecl, cur().pos);
        do {
            auto n = make(NK::Name, cur().pos);
            n->name = expectIdent();
            v->add(std::move(n));
        } while (!m_failed && accept(Tok::Comma));
        expect(Tok::Colon);
        if (!m_failed)
            v->type = parseType();
        if (!m_failed && accept(Tok::Eq)) {
            v->str = "init";
            v->add(parseInitValue());
        }
        expect(Tok::Semi);
        into->add(std::move(v));
    } while (!m_failed && at(Tok::Ident));
}

NodePtr Parser::parseRoutineHeading() {
    auto r = make(NK::Routine, cur().pos);
    r->flag = at(Tok::KwFunction);
    if (!accept(Tok::KwFunction) && !accept(Tok::KwProcedure)) {
        fail(cur().pos, "« procedure » ou « function » attendu");
        return r;
    }
    r->pos = cur().pos;
    r->name = expectIdent();
    if (accept(Tok::LParen)) {
        if (!at(Tok::RParen))
            parseParams(r.get());
        expect(Tok::RParen);
    }
    if (r->flag && !m_failed) {
        expect(Tok::Colon);
        if (!m_failed)
            r->type = parseType();
    }
    accept(Tok::Semi);
    return r;
}

NodePtr Parser::parseTypeOnly() {
    auto t = parseType();
    accept(Tok::Semi);
    if (!m_failed && !at(Tok::End))
        fail(cur().pos, unexpected(cur()));
    return t;
}

void Parser::parseParams(Node* routine) {
    do {
        auto p = make(NK::Param, cur().pos);
        if (accept(Tok::KwVar) || accept(Tok::KwOut))
            p->op = Tok::KwVar;
        else if (accept(Tok::KwConst))
            p->op = Tok::KwConst;
        do {
            auto n = make(NK::Name, cur().pos);
            n->name = expectIdent();
            p->add(std::move(n));
        } while (!m_failed && accept(Tok::Comma));
        expect(Tok::Colon);
        if (!m_failed)
            p->type = parseType();
        routine->add(std::move(p));
    } while (!m_failed && accept(Tok::Semi));
}

NodePtr Parser::parseRoutine() {
    auto r = parseRoutineHeading();
    if (m_failed)
        return r;
    if (accept(Tok::KwForward)) {
        r->str = "forward";
        expect(Tok::Semi);
        return r;
    }
    auto body = make(NK::Compound, cur().pos);
    parseDeclarations(body.get(), true);
    if (m_failed)
        return r;
    if (!at(Tok::KwBegin)) {
        fail(cur().pos, QStringLiteral("« begin » attendu, %1 trouvé").arg(found(cur())));
        return r;
    }
    body->add(parseBlock());
    expect(Tok::Semi);
    r->add(std::move(body)); // last kid: declarations then the block
    return r;
}

NodePtr Parser::parseType() {
    Pos p = cur().pos;
    if (++m_depth > kMaxDepth) {
        fail(p, "type trop imbriqué");
        --m_depth;
        return make(NK::TypeName, p);
    }
    NodePtr t;
    if (accept(Tok::KwArray)) {
        if (accept(Tok::LBracket)) {
            t = make(NK::StaticArray, p);
            do {
                auto lo = parseSimple();
                if (accept(Tok::DotDot)) {
                    auto r = make(NK::Range, lo->pos);
                    r->add(std::move(lo));
                    r->add(parseSimple());
                    t->add(std::move(r));
                } else {
                    t->add(std::move(lo)); // a type name: enumeration or subrange
                }
            } while (!m_failed && accept(Tok::Comma));
            expect(Tok::RBracket);
            expect(Tok::KwOf);
            if (!m_failed)
                t->type = parseType();
        } else {
            t = make(NK::DynArray, p);
            expect(Tok::KwOf);
            if (!m_failed)
                t->type = parseType();
        }
    } else if (accept(Tok::KwRecord)) {
        t = make(NK::RecordType, p);
        while (!m_failed && at(Tok::Ident)) {
            auto v = make(NK::VarDecl, cur().pos);
            do {
                auto n = make(NK::Name, cur().pos);
                n->name = expectIdent();
                v->add(std::move(n));
            } while (!m_failed && accept(Tok::Comma));
            expect(Tok::Colon);
            if (!m_failed)
                v->type = parseType();
            t->add(std::move(v));
            if (!accept(Tok::Semi))
                break;
        }
        expect(Tok::KwEnd);
    } else if (accept(Tok::KwSet)) {
        t = make(NK::SetType, p);
        expect(Tok::KwOf);
        if (!m_failed)
            t->type = parseType();
    } else if (at(Tok::LParen)) {
        accept(Tok::LParen);
        t = make(NK::EnumType, p);
        do {
            auto n = make(NK::Name, cur().pos);
            n->name = expectIdent();
            t->add(std::move(n));
        } while (!m_failed && accept(Tok::Comma));
        expect(Tok::RParen);
    } else if (at(Tok::Ident) && ahead(1).kind != Tok::DotDot) {
        t = make(NK::TypeName, p);
        t->name = expectIdent();
    } else {
        t = make(NK::Subrange, p);
        t->add(parseSimple());
        expect(Tok::DotDot);
        if (!m_failed)
            t->add(parseSimple());
    }
    --m_depth;
    return t;
}

NodePtr Parser::parseBlock() {
    auto b = make(NK::Compound, cur().pos);
    expect(Tok::KwBegin);
    parseStatementList(Tok::KwEnd, b.get());
    expect(Tok::KwEnd);
    return b;
}

NodePtr Parser::parseStatementList(Tok terminator, Node* into) {
    for (;;) {
        if (m_failed)
            break;
        into->add(parseStatement());
        if (m_failed || at(terminator) || at(Tok::KwExcept) || at(Tok::KwFinally) ||
            at(Tok::KwEnd) || at(Tok::KwUntil))
            break;
        if (!accept(Tok::Semi)) {
            if (at(Tok::End) || at(Tok::Dot))
                fail(cur().pos, QStringLiteral("%1 attendu, %2 trouvé")
                                    .arg(QString::fromUtf8(tokName(terminator)), found(cur())));
            else
                fail(cur().pos, QStringLiteral("« ; » attendu, %1 trouvé").arg(found(cur())));
            break;
        }
    }
    return nullptr;
}

NodePtr Parser::parseStatement() {
    Pos p = cur().pos;
    if (++m_depth > kMaxDepth) {
        fail(p, "instruction trop imbriquée");
        --m_depth;
        return make(NK::Empty, p);
    }
    NodePtr s;
    switch (cur().kind) {
    case Tok::KwBegin:
        s = parseBlock();
        break;
    case Tok::KwIf:
        s = parseIf();
        break;
    case Tok::KwCase:
        s = parseCase();
        break;
    case Tok::KwFor:
        s = parseFor();
        break;
    case Tok::KwTry:
        s = parseTry();
        break;
    case Tok::KwWhile:
        accept(Tok::KwWhile);
        s = make(NK::While, p);
        s->add(parseExpr());
        expect(Tok::KwDo);
        if (!m_failed)
            s->add(parseStatement());
        break;
    case Tok::KwRepeat:
        accept(Tok::KwRepeat);
        s = make(NK::Repeat, p);
        {
            auto body = make(NK::Compound, p);
            parseStatementList(Tok::KwUntil, body.get());
            s->add(std::move(body));
        }
        expect(Tok::KwUntil);
        if (!m_failed)
            s->add(parseExpr());
        break;
    case Tok::KwRaise:
        accept(Tok::KwRaise);
        s = make(NK::Raise, p);
        if (!at(Tok::Semi) && !at(Tok::KwEnd) && !at(Tok::KwElse) && !at(Tok::KwExcept) &&
            !at(Tok::KwFinally) && !at(Tok::KwUntil))
            s->add(parseExpr());
        break;
    case Tok::Semi:
    case Tok::KwEnd:
    case Tok::KwUntil:
    case Tok::KwElse:
    case Tok::KwExcept:
    case Tok::KwFinally:
        s = make(NK::Empty, p);
        break;
    default: {
        if (!at(Tok::Ident) && !at(Tok::LParen)) {
            fail(p, isKeyword(cur().kind)
                        ? unexpected(cur())
                        : QStringLiteral("instruction attendue, %1 trouvé").arg(found(cur())));
            s = make(NK::Empty, p);
            break;
        }
        QString lower = cur().text.toLower();
        if (at(Tok::Ident) && ahead(1).kind != Tok::Assign && ahead(1).kind != Tok::LParen &&
            ahead(1).kind != Tok::LBracket && ahead(1).kind != Tok::Dot) {
            if (lower == "break" || lower == "continue") {
                accept(Tok::Ident);
                s = make(lower == "break" ? NK::Break : NK::Continue, p);
                break;
            }
        }
        if (at(Tok::Ident) && lower == "with" && ahead(1).kind != Tok::Assign &&
            ahead(1).kind != Tok::Semi) {
            // with a, b do s: the kids are the records, then the statement.
            accept(Tok::Ident);
            s = make(NK::With, p);
            do {
                s->add(parseDesignator());
            } while (!m_failed && accept(Tok::Comma));
            expect(Tok::KwDo);
            if (!m_failed)
                s->add(parseStatement());
            break;
        }
        if (at(Tok::Ident) && lower == "exit" && ahead(1).kind != Tok::Assign) {
            accept(Tok::Ident);
            s = make(NK::Exit, p);
            if (accept(Tok::LParen)) {
                if (!at(Tok::RParen))
                    s->add(parseExpr());
                expect(Tok::RParen);
            }
            break;
        }
        auto lhs = parseDesignator();
        if (at(Tok::Assign)) {
            s = make(NK::Assign, p);
            accept(Tok::Assign);
            s->add(std::move(lhs));
            if (!m_failed)
                s->add(parseExpr());
        } else {
            s = make(NK::ExprStmt, p);
            s->add(std::move(lhs));
        }
    }
    }
    --m_depth;
    return s;
}

NodePtr Parser::parseIf() {
    auto s = make(NK::If, cur().pos);
    accept(Tok::KwIf);
    s->add(parseExpr());
    expect(Tok::KwThen);
    if (m_failed)
        return s;
    s->add(parseStatement());
    if (accept(Tok::KwElse))
        s->add(parseStatement());
    return s;
}

NodePtr Parser::parseCase() {
    auto s = make(NK::Case, cur().pos);
    accept(Tok::KwCase);
    s->add(parseExpr());
    expect(Tok::KwOf);
    while (!m_failed && !at(Tok::KwEnd) && !at(Tok::KwElse)) {
        auto br = make(NK::CaseBranch, cur().pos);
        auto labels = make(NK::SetLit, cur().pos);
        do {
            auto lo = parseExpr();
            if (accept(Tok::DotDot)) {
                auto r = make(NK::Range, lo->pos);
                r->add(std::move(lo));
                r->add(parseExpr());
                labels->add(std::move(r));
            } else {
                labels->add(std::move(lo));
            }
        } while (!m_failed && accept(Tok::Comma));
        expect(Tok::Colon);
        br->add(std::move(labels));
        if (!m_failed)
            br->add(parseStatement());
        s->add(std::move(br));
        if (!accept(Tok::Semi))
            break;
    }
    if (accept(Tok::KwElse)) {
        s->flag = true;
        auto els = make(NK::Compound, cur().pos);
        parseStatementList(Tok::KwEnd, els.get());
        s->add(std::move(els));
    }
    expect(Tok::KwEnd);
    return s;
}

NodePtr Parser::parseFor() {
    auto s = make(NK::For, cur().pos);
    accept(Tok::KwFor);
    auto v = make(NK::Name, cur().pos);
    v->name = expectIdent();
    s->add(std::move(v));
    if (accept(Tok::KwIn)) {
        // for x in collection do: the kids are the variable, the collection, the statement.
        s->op = Tok::KwIn;
        s->add(parseExpr());
        expect(Tok::KwDo);
        if (!m_failed)
            s->add(parseStatement());
        return s;
    }
    expect(Tok::Assign);
    if (m_failed)
        return s;
    s->add(parseExpr());
    if (accept(Tok::KwDownto))
        s->op = Tok::KwDownto;
    else
        expect(Tok::KwTo);
    if (m_failed)
        return s;
    s->add(parseExpr());
    expect(Tok::KwDo);
    if (!m_failed)
        s->add(parseStatement());
    return s;
}

NodePtr Parser::parseTry() {
    Pos p = cur().pos;
    accept(Tok::KwTry);
    auto body = make(NK::Compound, p);
    parseStatementList(Tok::KwEnd, body.get()); // stops at except / finally too
    if (accept(Tok::KwFinally)) {
        auto s = make(NK::TryFinally, p);
        s->add(std::move(body));
        auto fin = make(NK::Compound, cur().pos);
        parseStatementList(Tok::KwEnd, fin.get());
        s->add(std::move(fin));
        expect(Tok::KwEnd);
        return s;
    }
    auto s = make(NK::TryExcept, p);
    s->add(std::move(body));
    if (!expect(Tok::KwExcept))
        return s;
    if (at(Tok::KwOn)) {
        while (!m_failed && at(Tok::KwOn)) {
            auto h = make(NK::OnHandler, cur().pos);
            accept(Tok::KwOn);
            QString first = expectIdent();
            if (accept(Tok::Colon)) {
                h->name = first;
                h->str = expectIdent();
            } else {
                h->str = first;
            }
            expect(Tok::KwDo);
            if (!m_failed)
                h->add(parseStatement());
            s->add(std::move(h));
            if (!accept(Tok::Semi))
                break;
        }
        if (accept(Tok::KwElse)) {
            auto els = make(NK::Compound, cur().pos);
            parseStatementList(Tok::KwEnd, els.get());
            s->flag = true;
            s->add(std::move(els));
        }
    } else {
        auto all = make(NK::Compound, cur().pos);
        parseStatementList(Tok::KwEnd, all.get());
        s->flag = true;
        s->add(std::move(all));
    }
    expect(Tok::KwEnd);
    return s;
}

NodePtr Parser::parseExpr() {
    if (++m_depth > kMaxDepth) {
        fail(cur().pos, "expression trop imbriquée");
        --m_depth;
        return make(NK::IntLit, cur().pos);
    }
    auto l = parseSimple();
    while (!m_failed && (at(Tok::Eq) || at(Tok::Ne) || at(Tok::Lt) || at(Tok::Le) || at(Tok::Gt) ||
                         at(Tok::Ge) || at(Tok::KwIn))) {
        auto b = make(NK::Binary, cur().pos);
        b->op = cur().kind;
        accept(cur().kind);
        b->add(std::move(l));
        b->add(parseSimple());
        l = std::move(b);
    }
    --m_depth;
    return l;
}

NodePtr Parser::parseSimple() {
    // A leading sign belongs to the first factor, as in Free Pascal: -1 and 255 is 255.
    NodePtr l = parseTerm();
    while (!m_failed && (at(Tok::Plus) || at(Tok::Minus) || at(Tok::KwOr) || at(Tok::KwXor))) {
        auto b = make(NK::Binary, cur().pos);
        b->op = cur().kind;
        accept(cur().kind);
        b->add(std::move(l));
        b->add(parseTerm());
        l = std::move(b);
    }
    return l;
}

NodePtr Parser::parseTerm() {
    auto l = parseFactor();
    while (!m_failed && (at(Tok::Star) || at(Tok::Slash) || at(Tok::KwDiv) || at(Tok::KwMod) ||
                         at(Tok::KwAnd) || at(Tok::KwShl) || at(Tok::KwShr))) {
        auto b = make(NK::Binary, cur().pos);
        b->op = cur().kind;
        accept(cur().kind);
        b->add(std::move(l));
        b->add(parseFactor());
        l = std::move(b);
    }
    return l;
}

NodePtr Parser::parseFactor() {
    Pos p = cur().pos;
    if (++m_depth > kMaxDepth) {
        fail(p, "expression trop imbriquée");
        --m_depth;
        return make(NK::IntLit, p);
    }
    NodePtr f;
    switch (cur().kind) {
    case Tok::IntLit:
        f = make(NK::IntLit, p);
        f->ival = cur().ival;
        accept(Tok::IntLit);
        break;
    case Tok::FloatLit:
        f = make(NK::FloatLit, p);
        f->fval = cur().fval;
        accept(Tok::FloatLit);
        break;
    case Tok::StrLit:
        f = make(NK::StrLit, p);
        f->str = cur().text;
        accept(Tok::StrLit);
        break;
    case Tok::KwNil:
        f = make(NK::Nil, p);
        accept(Tok::KwNil);
        break;
    case Tok::KwNot:
    case Tok::Minus:
    case Tok::Plus:
        f = make(NK::Unary, p);
        f->op = cur().kind;
        accept(cur().kind);
        f->add(parseFactor());
        break;
    case Tok::LBracket:
        f = parseSetLiteral();
        break;
    case Tok::Ident:
    case Tok::LParen:
        f = parseDesignator();
        break;
    default:
        fail(p, QStringLiteral("expression attendue, %1 trouvé").arg(found(cur())));
        f = make(NK::IntLit, p);
    }
    --m_depth;
    return f;
}

NodePtr Parser::parseSetLiteral() {
    auto s = make(NK::SetLit, cur().pos);
    accept(Tok::LBracket);
    if (!at(Tok::RBracket)) {
        do {
            auto lo = parseExpr();
            if (accept(Tok::DotDot)) {
                auto r = make(NK::Range, lo->pos);
                r->add(std::move(lo));
                r->add(parseExpr());
                s->add(std::move(r));
            } else {
                s->add(std::move(lo));
            }
        } while (!m_failed && accept(Tok::Comma));
    }
    expect(Tok::RBracket);
    return s;
}

// After "=" in a typed constant or an initialised variable: "(" opens a list of values when a
// comma or "name:" follows at its own level; otherwise it is an expression in parentheses.
bool Parser::aggregateAhead() const {
    if (!at(Tok::LParen))
        return false;
    if (ahead(1).kind == Tok::Ident && ahead(2).kind == Tok::Colon)
        return true;
    int depth = 0;
    for (size_t i = m_p; i < m_toks.size(); ++i) {
        const Tok k = m_toks[i].kind;
        if (k == Tok::LParen || k == Tok::LBracket)
            ++depth;
        else if (k == Tok::RParen || k == Tok::RBracket) {
            if (--depth == 0)
                return false;
        } else if (depth == 1 && (k == Tok::Comma || k == Tok::Semi))
            return true;
        else if (k == Tok::End)
            return false;
    }
    return false;
}

NodePtr Parser::parseInitValue() {
    if (!aggregateAhead())
        return parseExpr();
    Pos p = cur().pos;
    if (++m_depth > kMaxDepth) {
        fail(p, "valeur trop imbriquée");
        --m_depth;
        return make(NK::IntLit, p);
    }
    auto a = make(NK::Aggregate, p);
    accept(Tok::LParen);
    if (at(Tok::Ident) && ahead(1).kind == Tok::Colon) {
        a->flag = true; // a record: "field: value" separated by ";"
        do {
            if (at(Tok::RParen))
                break;
            auto f = make(NK::Member, cur().pos);
            f->name = expectIdent();
            expect(Tok::Colon);
            if (!m_failed)
                f->add(parseInitValue());
            a->add(std::move(f));
        } while (!m_failed && accept(Tok::Semi));
    } else {
        do {
            a->add(parseInitValue());
        } while (!m_failed && accept(Tok::Comma));
    }
    expect(Tok::RParen);
    --m_depth;
    return a;
}

NodePtr Parser::parseDesignator() {
    NodePtr d;
    Pos p = cur().pos;
    if (accept(Tok::LParen)) {
        d = parseExpr();
        expect(Tok::RParen);
    } else {
        d = make(NK::Name, p);
        d->name = expectIdent();
    }
    while (!m_failed) {
        if (at(Tok::LBracket)) {
            auto ix = make(NK::Index, cur().pos);
            accept(Tok::LBracket);
            ix->add(std::move(d));
            do {
                ix->add(parseExpr());
            } while (!m_failed && accept(Tok::Comma));
            expect(Tok::RBracket);
            d = std::move(ix);
        } else if (at(Tok::Dot)) {
            accept(Tok::Dot);
            auto m = make(NK::Member, cur().pos);
            m->name = expectIdent();
            m->add(std::move(d));
            d = std::move(m);
        } else if (at(Tok::LParen)) {
            auto c = make(NK::Call, cur().pos);
            accept(Tok::LParen);
            // Write, WriteLn and Str take "value:width:decimals".
            const bool widths =
                d->kind == NK::Name && (d->name.compare(u"write", Qt::CaseInsensitive) == 0 ||
                                        d->name.compare(u"writeln", Qt::CaseInsensitive) == 0 ||
                                        d->name.compare(u"str", Qt::CaseInsensitive) == 0);
            c->add(std::move(d));
            if (!at(Tok::RParen)) {
                do {
                    auto a = parseExpr();
                    if (widths && at(Tok::Colon)) {
                        auto w = make(NK::WidthArg, a->pos);
                        w->add(std::move(a));
                        while (!m_failed && w->kids.size() < 3 && accept(Tok::Colon))
                            w->add(parseExpr());
                        a = std::move(w);
                    }
                    c->add(std::move(a));
                } while (!m_failed && accept(Tok::Comma));
            }
            expect(Tok::RParen);
            d = std::move(c);
        } else {
            break;
        }
    }
    return d;
}

} // namespace vscript

namespace vscript {

Node::~Node() {
    // The children are taken out before each node goes, so that no destructor recurses.
    std::vector<NodePtr> pending;
    auto takeChildren = [&pending](Node& n) {
        for (NodePtr& k : n.kids)
            if (k)
                pending.push_back(std::move(k));
        n.kids.clear();
        if (n.type)
            pending.push_back(std::move(n.type));
    };
    takeChildren(*this);
    while (!pending.empty()) {
        NodePtr n = std::move(pending.back());
        pending.pop_back();
        takeChildren(*n);
    }
}

} // namespace vscript
