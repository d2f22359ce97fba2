#pragma once

#include "Ast.h"
#include "Builtins.h"
#include "Bytecode.h"
#include "Diagnostics.h"
#include "Types.h"

#include <QString>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace vscript {

// What the host declared, handed to each compilation.
struct HostDecls {
    struct Routine {
        QString decl;
        int index;
    };
    struct Const {
        QString name;
        QString type;
        QString valueText; // as a literal of the language
    };
    struct TypeDecl {
        QString name;
        QString decl;
    };
    struct Method {
        QString decl;
        int index;
    };
    struct Property {
        QString name;
        QString type;
        bool readOnly;
        int getIndex;
        int setIndex;
    };
    struct Class {
        QString name;
        int classId;
        std::vector<Method> methods;
        std::vector<Property> properties;
    };
    std::vector<Routine> routines;
    std::vector<Const> constants;
    std::vector<TypeDecl> types;
    std::vector<Class> classes;
};

// How the machine hands values to a host routine.
struct HostCallSite {
    int hostIndex;
    std::vector<const Type*> params;
    const Type* result; // null for procedures
    bool hasSelf = false;
};

struct CompiledProgram : Program {
    std::deque<Type> types;
    std::vector<HostCallSite> hostSites;
};

// The number of a layout in the program's list (-1 when not there).
int layoutIndex(CompiledProgram& p, const Layout* l);

class Compiler {
public:
    Compiler(CompiledProgram& out, Diagnostics& diags);
    void declareHost(const HostDecls& host);
    void compile(const Node* program);

    enum class SymKind { Var, Const, Type, Routine, Builtin, Host, HostClass };
    struct Symbol {
        explicit Symbol(SymKind k = SymKind::Var) : kind(k) {}
        SymKind kind;
        const Type* type = nullptr;
        int level = 0;
        int slot = 0;
        bool byRef = false;
        bool isConst = false; // const parameter or declared constant
        int64_t ival = 0;     // constants
        double fval = 0.0;
        QString sval;
        std::array<uint64_t, 4> bits{}; // constant sets of 0..255
        int index = -1;                 // routine, builtin or host call site
        const Node* decl = nullptr;
        std::vector<const Type*> params;
        std::vector<bool> paramByRef;
        bool defined = false;
        bool resultAlias = false; // a function's own name inside it: parameters and locals hide it
        int withSlot = -1;        // a field reached through "with": the slot holding the record
    };

    struct Operand {
        Operand(const Type* t = nullptr, int s = -1, int64_t i = 0, double f = 0.0)
            : type(t), slot(s), ival(i), fval(f) {}
        const Type* type = nullptr;
        int slot = -1;    // -1 for a constant not yet in a slot
        int64_t ival = 0; // constant ordinals, sets
        double fval = 0.0;
        QString sval;
        std::array<uint64_t, 4> bits{}; // constant sets: every word (ival is the first)
        bool isConst() const { return slot < 0; }
    };

    struct LVal {
        enum Kind { Local, Global, Ptr, Elem, Field, StrChar, Prop, None };
        LVal(Kind k = None, const Type* t = nullptr, int sa = 0) : kind(k), type(t), a(sa) {}
        Kind kind = None;
        const Type* type = nullptr;
        int a = 0, b = 0, c = 0;
        bool readOnly = false;
        const Symbol* prop = nullptr;
        Pos pos; // elements and characters: the "[" a bad index is reported at
    };

private:
    friend struct CompilerAccess;
    // Declarations
    const Type* resolveType(const Node* t);
    const Type* namedType(const QString& name, Pos pos);
    const Type* newType(Type t);
    const Layout* layoutFor(const Type* t);
    void declareConst(const Node* c);
    void declareVars(const Node* v, bool global);
    // A variable's slot in the current block (typed constants of records and arrays too).
    Symbol& declareStorage(const QString& name, Pos pos, const Type* t, bool global);
    // Initial values of typed constants and initialised variables, given at the block's start.
    void emitInits();
    void initInto(const LVal& lv, const Node* value);
    // An argument for a parameter: open arrays take a static array or a list "[a, b]".
    Operand argument(const Node* arg, const Type* param, int dst);
    Operand arrayFromList(const Node* list, const Type* to);
    Operand arrayFromStatic(const Operand& from, const Type* to, Pos pos);
    Operand typecast(const Type* to, const Node* arg, Pos pos, int dst);
    Operand writeText(bool newline, const std::vector<const Node*>& args);
    // How a value of type t travels in an array of const (Format's arguments, Write's
    // values); false when it cannot.
    static bool constTagOf(const Type* t, ConstTag& tag);
    // SetLength(a, n1, n2, ...) on an array of arrays: every element gets the next length.
    void setLengthRest(int arrSlot, const Type* t, const std::vector<const Node*>& lengths,
                       size_t from, Pos pos);
    // A function's result or a constant, indexed or followed by a field as a value of its own.
    // Its type when e is one (null otherwise), known before any code is emitted for it.
    const Type* denotesValue(const Node* e);
    LVal valueBase(const Node* e);
    void declareRoutine(const Node* r);
    void compileRoutineBody(Symbol& sym, const Node* r);
    Symbol* lookup(const QString& name);
    Symbol* lookupCallable(const QString& name);
    Operand builtinCall(Bi id, const std::vector<std::pair<const Node*, const Type*>>& args,
                        const Type* result, int dst, int ptrArgs = 0);
    Symbol& define(const QString& name, Pos pos, Symbol s);
    void pushScope();
    void popScope();

    // Statements
    void compileStmt(const Node* s);
    void compileAssign(const Node* s);
    void compileIf(const Node* s);
    void compileWhile(const Node* s);
    void compileRepeat(const Node* s);
    void compileFor(const Node* s);
    void compileCase(const Node* s);
    void compileTryExcept(const Node* s);
    void compileTryFinally(const Node* s);
    void compileJumpOut(const Node* s, int kind);
    void compileRaise(const Node* s);
    void compileWith(const Node* s);
    // A loop's body with its breaks and continues (a for loop's variable is kept from writes);
    // then its continues land, then its breaks, where the code then is.
    void loopBody(const Node* body, const Symbol* forVar = nullptr);
    void continuesHere();
    void breaksHere();
    // for x in s (characters), in an array (elements), in a set (its members, in order).
    void compileForIn(const Node* s, const Symbol* var);

    // Expressions
    Operand expr(const Node* e, int dst = -1);
    Operand binary(const Node* e, int dst);
    Operand unary(const Node* e, int dst);
    Operand call(const Node* e, const Node* callee, std::vector<const Node*> args, int dst,
                 bool wantValue);
    Operand callBuiltin(const QString& name, const Node* e, std::vector<const Node*>& args, int dst,
                        bool wantValue);
    Operand setLiteral(const Node* e, const Type* want, int dst);
    // Set operators and "in"; false when op does not apply to these operands.
    bool setOperation(Tok op, const Operand& l, const Operand& r, int dst, Operand& out);
    // A set value of the width of to: one word or 0..255.
    Operand setWidth(const Operand& o, const Type* to, int dst = -1);
    void includeExclude(bool include, const Type* t, int cur, int elem, int result);
    void condJump(const Node* e, bool jumpWhen, std::vector<int>& patch);
    LVal lvalue(const Node* e, bool forWrite);
    Operand readLVal(const LVal& lv, int dst);
    void writeLVal(const LVal& lv, int src, const Type* srcType, Pos pos);
    int addressOf(const LVal& lv);
    int objSlot(const LVal& lv);
    int materialize(const Operand& o, int dst = -1);
    Operand convert(const Operand& o, const Type* to, Pos pos, int dst = -1);
    bool assignable(const Type* to, const Type* from, const Operand* o = nullptr) const;
    QString typeName(const Type* t) const;
    void mismatch(Pos pos, const Type* got, const Type* want);

    // Emission
    int put(Op op, int a = 0, int b = 0, int c = 0, uint8_t x = 0);
    // Emits an instruction whose run-time error is reported at pos.
    int putAt(Pos pos, Op op, int a = 0, int b = 0, int c = 0, uint8_t x = 0);
    int here() const { return int(m_out.code.size()); }
    void patchTo(int at, int target);
    int temp(const Type* t = nullptr);
    int tempBlock(int n);
    void releaseTemps(int mark);
    // Releases the managed temporaries made after the first count ones (before a jump that
    // leaves their code path), keeping the slot top.
    void dropTemps(size_t count);
    int stringConst(const QString& s);

    CompiledProgram& m_out;
    Diagnostics& m_diags;
    std::vector<std::unordered_map<QString, Symbol>> m_scopes;
    Pos m_pos;
    int m_level = 0;
    int m_routine = 0;
    int m_slotTop = 0;
    int m_maxSlot = 0;
    std::vector<int> m_managedTemps;
    std::vector<std::vector<int>> m_breaks, m_continues;
    std::vector<int> m_exits;
    struct Unwind {
        int loopDepth;
        const Node* finallyBody; // null for an except handler
        int excSlot;
    };
    std::vector<Unwind> m_unwinds;
    std::vector<int> m_loopUnwindBase;
    std::vector<size_t> m_loopTemps; // managed temporaries already live when each loop began
    // The control variables of the for loops being compiled: nothing else may write them.
    std::vector<const Symbol*> m_forVars;
    bool isForVar(const Symbol* s) const;
    const Type* m_tInt = nullptr;
    const Type* m_tInt64 = nullptr;
    const Type* m_tCardinal = nullptr;
    const Type* m_tBool = nullptr;
    const Type* m_tChar = nullptr;
    const Type* m_tFloat = nullptr;
    const Type* m_tStr = nullptr;
    const Type* m_tNil = nullptr;
    const Type* m_tVoid = nullptr;
    const Type* m_tException = nullptr;
    const Type* m_tDateTime = nullptr;
    struct PendingInit {
        const Type* type;
        int slot;
        const Node* value;
    };
    std::vector<PendingInit> m_inits; // of the block being declared
    int m_errorsAtStart = 0;
    bool stop() const { return m_diags.count() > m_errorsAtStart; }

    // The compiler follows the syntax tree by recursion: a tree deeper than this (a chain of
    // thousands of "+" is one) is refused with an error instead of exhausting the stack.
    static constexpr int kMaxNesting = 2000;
    int m_nesting = 0;
    struct Nesting {
        int& depth;
        explicit Nesting(int& d) : depth(++d) {}
        ~Nesting() { --depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
    };
    // True, with the error said, when e lies too deep to be compiled.
    bool tooDeep(const Node* e);
};

} // namespace vscript
