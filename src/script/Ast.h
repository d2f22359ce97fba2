#pragma once

#include "Diagnostics.h"
#include "Lexer.h"

#include <QString>
#include <memory>
#include <vector>

namespace vscript {

enum class NK {
    // expressions
    IntLit,
    FloatLit,
    StrLit,
    Nil,
    Name,
    Call,
    Index,
    Member,
    Unary,
    Binary,
    SetLit,
    Range,
    Aggregate, // (a, b, c) or (x: 1; y: 2) after a typed constant or an initialised variable
    WidthArg,  // Write's "value:width:decimals"
    // statements
    Assign,
    ExprStmt,
    Compound,
    If,
    While,
    Repeat,
    For,
    Case,
    CaseBranch,
    Break,
    Continue,
    Exit,
    Raise,
    TryExcept,
    OnHandler,
    TryFinally,
    With,
    Empty,
    // declarations
    Program,
    ConstDecl,
    TypeDecl,
    VarDecl,
    Routine,
    Param,
    // type expressions
    TypeName,
    StaticArray,
    DynArray,
    RecordType,
    EnumType,
    Subrange,
    SetType,
    ClassRef,
};

// One node shape for the whole tree: the kinds above say which fields mean something.
struct Node {
    NK kind;
    Pos pos;
    Tok op = Tok::End; // operator, parameter mode (KwVar / KwConst / End), for's direction
    QString name;
    QString str;
    int64_t ival = 0;
    double fval = 0.0;
    bool flag = false; // forward declaration, function (not procedure), else part present
    std::vector<std::unique_ptr<Node>> kids;
    std::unique_ptr<Node> type; // declared type of a variable, parameter, constant or function

    Node(NK k, Pos p) : kind(k), pos(p) {}
    // A chain of thousands of operators is a tree as deep: it goes without recursion.
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    Node* kid(size_t i) const { return i < kids.size() ? kids[i].get() : nullptr; }
    Node* add(std::unique_ptr<Node> n) {
        kids.push_back(std::move(n));
        return kids.back().get();
    }
};

using NodePtr = std::unique_ptr<Node>;

} // namespace vscript
