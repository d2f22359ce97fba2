#pragma once

#include "Ast.h"
#include "Diagnostics.h"
#include "Lexer.h"

#include <vector>

namespace vscript {

// Recursive descent over the tokens; on an error it records a message and stops, leaving
// whatever tree it built so far.
class Parser {
public:
    Parser(std::vector<Token> tokens, Diagnostics& diags);
    NodePtr parseProgram();
    // A routine heading alone ("function f(a: Integer): string;"), for host declarations.
    NodePtr parseRoutineHeading();
    // A type expression alone ("(a, b, c)", "record X: Integer; end"), for host declarations.
    NodePtr parseTypeOnly();
    bool failed() const { return m_failed; }

private:
    const Token& cur() const { return m_toks[m_p]; }
    const Token& ahead(int n) const;
    bool at(Tok k) const { return cur().kind == k; }
    bool accept(Tok k);
    bool expect(Tok k);
    void fail(Pos pos, const QString& text);
    QString expectIdent();

    void parseDeclarations(Node* into, bool allowRoutines);
    void parseConstSection(Node* into);
    void parseTypeSection(Node* into);
    void parseVarSection(Node* into);
    NodePtr parseRoutine();
    void parseParams(Node* routine);
    NodePtr parseType();
    NodePtr parseBlock();
    NodePtr parseStatement();
    NodePtr parseStatementList(Tok terminator, Node* into);
    NodePtr parseIf();
    NodePtr parseCase();
    NodePtr parseFor();
    NodePtr parseTry();
    NodePtr parseExpr();
    NodePtr parseSimple();
    NodePtr parseTerm();
    NodePtr parseFactor();
    NodePtr parseDesignator();
    NodePtr parseSetLiteral();
    NodePtr parseInitValue();
    bool aggregateAhead() const;

    std::vector<Token> m_toks;
    Diagnostics& m_diags;
    size_t m_p = 0;
    bool m_failed = false;
    int m_depth = 0;
};

} // namespace vscript
