#pragma once

#include "Runtime.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

namespace vscript {

// Register machine: operands are slot numbers in the running frame unless said otherwise.
enum class Op : uint8_t {
    Nop,
    LoadI,  // a := imm b
    LoadK,  // a := constant b (x: slot mode)
    Mov,    // a := b
    MovM,   // a := b with mode x
    Clear,  // release slot a
    Null,   // slot a := nil without release (a temporary about to receive a value)
    LoadG,  // a := global b (x: mode)
    StoreG, // global a := b (x: mode)
    AddrL,  // a := @slot b
    AddrG,  // a := @global b
    AddrO,  // a := @slot c of the frame b static links up
    AddrE,  // a := @b[c] (checked)
    AddrF,  // a := @b.field c
    LoadP,  // a := b^ (x: mode)
    StoreP, // a^ := b (x: mode)
    LoadE,  // a := b[c] (x: mode, checked)
    StoreE, // a[b] := c (x: mode, checked)
    LoadF,  // a := b.field c (x: mode)
    StoreF, // a.field b := c (x: mode)
    NewAgg, // a := new aggregate of layout b
    Add,
    Sub,
    Mul,
    Div,
    Mod,
    And,
    Or,
    Xor,
    Shl, // x: ShiftWidth of the left operand
    Shr,
    Neg,
    Not,
    BNot,
    AddK,
    SubK,
    MulK, // a := b op imm c
    // Add to MulK (Div and Mod too) with x set also do the Wrap that follows them, of that
    // width, and step over it (see fuseInstructions: a new instruction that jumps is added there).
    Wrap, // a := b truncated to the integer kind x
    AddF,
    SubF,
    MulF,
    DivF,
    NegF,
    I2F,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge, // integers
    EqF,
    NeF,
    LtF,
    LeF,
    GtF,
    GeF,  // floats
    CmpS, // a := compare strings b, c by x (0 = .. 5 >=)
    Jmp,  // goto a
    JT,
    JF, // if a (not) then goto b
    JEq,
    JNe,
    JLt,
    JLe,
    JGt,
    JGe, // if a op b goto c
    JEqK,
    JNeK,
    JLtK,
    JLeK,
    JGtK,
    JGeK,    // if a op imm b goto c
    ForUp,   // if a < b then begin inc(a); goto c end
    ForDown, // if a > b then begin dec(a); goto c end
    Call,    // call routine b, frame at a, x static hops
    CallB,   // builtin b over slots a.., c arguments
    CallH,   // host routine b over slots a.., c arguments
    Ret,
    Concat,   // a := b + c (strings)
    Append,   // a := a + b (string in a slot)
    AppendP,  // a^ := a^ + b
    Chr2S,    // a := string of char b
    StrIdx,   // a := b[c] (1-based, checked)
    StrSet,   // a[b] := c (x = 1: a holds a pointer to the string)
    SetBit,   // a := a + [b] (sets), checked against 0..63
    SetRange, // a := a + [b..c]
    In,       // a := b in c
    AndNot,   // a := b and not c (set difference)
    SubSet,   // a := b <= c (sets of one word)
    BigSet,   // sets of 0..255 (slots hold a SetObj), x: BigSetOp
    Try,      // handler at a, kind x (0 except, 1 finally), exception into slot b
    EndTry,   // drop the innermost handler
    Raise,    // raise the exception in slot a
    Reraise,  // raise slot a again when set (end of finally, bare raise)
    ExcIs,    // a := exception b is of class c
    Halt,
};

enum BigSetOp : uint8_t {
    BsInclude, // a := a + [b], checked against 0..255
    BsRange,   // a := a + [b..c]
    BsExclude, // a := a - [b]
    BsIn,      // a := b in c
    BsInK,     // a := b in constant c
    BsUnion,   // a := b + c
    BsInter,   // a := b * c
    BsDiff,    // a := b - c
    BsEq,      // a := b = c
    BsSub,     // a := b <= c
    BsWiden,   // a := the one-word set b
    BsNarrow,  // a := the first word of set b
};

enum ShiftWidth : uint8_t { Shift64 = 0, ShiftS32, ShiftU32 };

struct Instr {
    Op op;
    uint8_t x = 0;
    int32_t a = 0, b = 0, c = 0;
};

struct Routine {
    QString name;
    int entry = -1;    // first instruction
    int frameSize = 1; // slots: result, parameters, locals, temporaries
    int paramCount = 0;
    int level = 1;                 // nesting depth (the main block is 0)
    std::vector<int> releaseSlots; // owned slots released on return (not the result)
    std::vector<int> aggSlots;     // slots holding a record or static array
    bool resultOwned = false;      // a string, array or record result, released if abandoned
};

struct ExcClass {
    QString name;
    int parent;
};

// The output of a compilation, run by the machine.
struct Program {
    std::vector<Instr> code;
    std::vector<Pos> positions; // per instruction
    // Temporaries holding a reference at each instruction (an index into tempLists), released
    // when an exception leaves the statement midway.
    std::vector<int32_t> liveTemps;
    std::vector<std::vector<int>> tempLists;
    std::vector<Value> constants;
    std::vector<StrObj*> ownedStrings;
    std::vector<SetObj*> ownedSets;
    std::deque<Layout> layouts;
    std::vector<Routine> routines; // routine 0 is the main block
    std::vector<ExcClass> excClasses;
    int globalCount = 0;
    ~Program() {
        for (StrObj* s : ownedStrings)
            decRef(s);
        for (SetObj* s : ownedSets)
            decRef(s);
    }
};

} // namespace vscript
