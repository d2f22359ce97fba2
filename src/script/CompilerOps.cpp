#include "Compiler.h"

#include <cmath>

namespace vscript {

namespace {
bool fits32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}
bool isCompare(Tok op) {
    return op == Tok::Eq || op == Tok::Ne || op == Tok::Lt || op == Tok::Le || op == Tok::Gt ||
           op == Tok::Ge;
}
int cmpIndex(Tok op) {
    switch (op) {
    case Tok::Eq:
        return 0;
    case Tok::Ne:
        return 1;
    case Tok::Lt:
        return 2;
    case Tok::Le:
        return 3;
    case Tok::Gt:
        return 4;
    default:
        return 5;
    }
}
// a op b is b swapped(op) a
int swapped(int c) {
    static const int s[] = {0, 1, 4, 5, 2, 3};
    return s[c];
}
int negated(int c) {
    static const int n[] = {1, 0, 5, 4, 3, 2};
    return n[c];
}
bool cmpConst(int c, double a, double b) {
    switch (c) {
    case 0:
        return a == b;
    case 1:
        return a != b;
    case 2:
        return a < b;
    case 3:
        return a <= b;
    case 4:
        return a > b;
    default:
        return a >= b;
    }
}
} // namespace

namespace {
uint8_t shiftWidth(const Compiler::Operand& l) {
    if (l.isConst())
        return l.ival >= INT32_MIN && l.ival <= INT32_MAX ? ShiftS32
               : l.ival >= 0 && l.ival <= UINT32_MAX      ? ShiftU32
                                                          : Shift64;
    switch (l.type->wrap) {
    case WS8:
    case WS16:
    case WS32:
        return ShiftS32;
    case WU8:
    case WU16:
    case WU32:
        return ShiftU32;
    default:
        return Shift64;
    }
}
} // namespace

Compiler::Operand Compiler::binary(const Node* e, int dst) {
    Tok op = e->op;
    int leftMark = m_slotTop;
    size_t leftTemps = m_managedTemps.size();
    Operand l = expr(e->kid(0));
    if (stop())
        return l;
    if (op == Tok::KwAnd || op == Tok::KwOr) {
        if (l.type->kind == TK::Bool) {
            // Short-circuit: the left side, evaluated once, decides whether the right one runs.
            bool isAnd = op == Tok::KwAnd;
            std::vector<int> toFalse, toTrue;
            if (l.isConst()) {
                if (bool(l.ival) != isAnd)
                    return Operand{m_tBool, -1, l.ival};
            } else {
                int ls = materialize(l);
                dropTemps(leftTemps);
                if (isAnd)
                    toFalse.push_back(put(Op::JF, ls));
                else
                    toTrue.push_back(put(Op::JT, ls));
                m_slotTop = leftMark;
            }
            int d = dst >= 0 ? dst : temp();
            condJump(e->kid(1), false, toFalse);
            for (int at : toTrue)
                patchTo(at, here());
            put(Op::LoadI, d, 1);
            int j = put(Op::Jmp);
            for (int at : toFalse)
                patchTo(at, here());
            put(Op::LoadI, d, 0);
            patchTo(j, here());
            return Operand{m_tBool, d};
        }
    }
    Operand r = e->kid(1) && e->kid(1)->kind == NK::SetLit && l.type && l.type->kind == TK::Set
                    ? setLiteral(e->kid(1), l.type, -1)
                    : expr(e->kid(1));
    if (stop())
        return l;
    m_pos = e->pos; // run-time errors point at the operator
    const Type* lt = l.type;
    const Type* rt = r.type;
    auto fail = [&]() {
        m_diags.error(e->pos,
                      QStringLiteral("opérateur %1 non applicable à « %2 » et « %3 »")
                          .arg(QString::fromUtf8(tokName(e->op)), typeName(lt), typeName(rt)));
        return Operand{m_tInt, -1};
    };
    int d = dst >= 0 ? dst : -1;
    auto out = [&](const Type* t) {
        if (d < 0)
            d = temp(t);
        return d;
    };
    if (op == Tok::KwIn || (lt->kind == TK::Set && rt->kind == TK::Set)) {
        Operand res;
        if (!setOperation(op, l, r, d, res))
            return fail();
        return res;
    }
    // A dynamic array is nil when it is empty.
    if ((op == Tok::Eq || op == Tok::Ne) &&
        ((lt->kind == TK::DArr && rt->kind == TK::Nil) ||
         (lt->kind == TK::Nil && rt->kind == TK::DArr))) {
        const int w = tempBlock(2);
        put(Op::Mov, w + 1, materialize(lt->kind == TK::DArr ? l : r));
        put(Op::CallB, w, int(Bi::LengthA), 1);
        put(op == Tok::Eq ? Op::Eq : Op::Ne, out(m_tBool), w,
            materialize(Operand{m_tInt, -1, 0}));
        return Operand{m_tBool, d};
    }
    // Strings and characters
    if ((lt->kind == TK::Str || lt->kind == TK::Char) &&
        (rt->kind == TK::Str || rt->kind == TK::Char) && (op == Tok::Plus || isCompare(op)) &&
        !(lt->kind == TK::Char && rt->kind == TK::Char && op != Tok::Plus)) {
        Operand ls = convert(l, m_tStr, e->pos), rs = convert(r, m_tStr, e->pos);
        if (ls.isConst() && rs.isConst()) {
            if (op == Tok::Plus) {
                Operand o{m_tStr};
                o.sval = ls.sval + rs.sval;
                return o;
            }
            int c = ls.sval.compare(rs.sval);
            return Operand{m_tBool, -1, cmpConst(cmpIndex(op), c, 0)};
        }
        int a = materialize(ls), b = materialize(rs);
        if (op == Tok::Plus) {
            put(Op::Concat, out(m_tStr), a, b);
            return Operand{m_tStr, d};
        }
        put(Op::CmpS, out(m_tBool), a, b, uint8_t(cmpIndex(op)));
        return Operand{m_tBool, d};
    }
    // Booleans, characters and enumerations compare as ordinals.
    if (isCompare(op) && lt->isOrdinal() && rt->isOrdinal() && lt->kind != TK::Int &&
        (lt->kind == rt->kind)) {
        if (l.isConst() && r.isConst())
            return Operand{m_tBool, -1, cmpConst(cmpIndex(op), double(l.ival), double(r.ival))};
        int a = materialize(l), b = materialize(r);
        put(Op(int(Op::Eq) + cmpIndex(op)), out(m_tBool), a, b);
        return Operand{m_tBool, d};
    }
    if (lt->kind == TK::Bool && rt->kind == TK::Bool &&
        (op == Tok::KwAnd || op == Tok::KwOr || op == Tok::KwXor)) {
        Op o = op == Tok::KwAnd ? Op::And : op == Tok::KwOr ? Op::Or : Op::Xor;
        if (l.isConst() && r.isConst())
            return Operand{m_tBool, -1,
                           o == Op::And  ? l.ival & r.ival
                           : o == Op::Or ? l.ival | r.ival
                                         : l.ival ^ r.ival};
        int a = materialize(l), b = materialize(r);
        put(o, out(m_tBool), a, b);
        return Operand{m_tBool, d};
    }
    if (!lt->isNumeric() || !rt->isNumeric())
        return fail();
    bool isFloat = lt->kind == TK::Float || rt->kind == TK::Float || op == Tok::Slash;
    if (isFloat) {
        if (op != Tok::Plus && op != Tok::Minus && op != Tok::Star && op != Tok::Slash &&
            !isCompare(op))
            return fail();
        Operand a = convert(l, m_tFloat, e->pos), b = convert(r, m_tFloat, e->pos);
        if (a.isConst() && b.isConst() && op != Tok::Slash) {
            if (isCompare(op))
                return Operand{m_tBool, -1, cmpConst(cmpIndex(op), a.fval, b.fval)};
            double v = op == Tok::Plus    ? a.fval + b.fval
                       : op == Tok::Minus ? a.fval - b.fval
                                          : a.fval * b.fval;
            return Operand{m_tFloat, -1, 0, v};
        }
        int sa = materialize(a), sb = materialize(b);
        if (isCompare(op)) {
            put(Op(int(Op::EqF) + cmpIndex(op)), out(m_tBool), sa, sb);
            return Operand{m_tBool, d};
        }
        Op o = op == Tok::Plus    ? Op::AddF
               : op == Tok::Minus ? Op::SubF
               : op == Tok::Star  ? Op::MulF
                                  : Op::DivF;
        put(o, out(m_tFloat), sa, sb);
        return Operand{m_tFloat, d};
    }
    if (isCompare(op)) {
        if (l.isConst() && r.isConst())
            return Operand{m_tBool, -1, cmpConst(cmpIndex(op), double(l.ival), double(r.ival))};
        int a = materialize(l), b = materialize(r);
        put(Op(int(Op::Eq) + cmpIndex(op)), out(m_tBool), a, b);
        return Operand{m_tBool, d};
    }
    Op o;
    switch (op) {
    case Tok::Plus:
        o = Op::Add;
        break;
    case Tok::Minus:
        o = Op::Sub;
        break;
    case Tok::Star:
        o = Op::Mul;
        break;
    case Tok::KwDiv:
        o = Op::Div;
        break;
    case Tok::KwMod:
        o = Op::Mod;
        break;
    case Tok::KwAnd:
        o = Op::And;
        break;
    case Tok::KwOr:
        o = Op::Or;
        break;
    case Tok::KwXor:
        o = Op::Xor;
        break;
    case Tok::KwShl:
        o = Op::Shl;
        break;
    case Tok::KwShr:
        o = Op::Shr;
        break;
    default:
        return fail();
    }
    // Integer arithmetic runs on 64 bits; the result is cut to the target when stored.
    const Type* t = (lt->wrap == W64 || rt->wrap == W64 || o == Op::Add || o == Op::Sub ||
                     o == Op::Mul || o == Op::Div || o == Op::Mod)
                        ? m_tInt64
                        : (lt->wrap == WU32 || rt->wrap == WU32 ? m_tInt64 : m_tInt);
    if (l.isConst() && r.isConst()) {
        uint64_t a = uint64_t(l.ival), b = uint64_t(r.ival);
        int64_t v = 0;
        switch (o) {
        case Op::Add:
            v = int64_t(a + b);
            break;
        case Op::Sub:
            v = int64_t(a - b);
            break;
        case Op::Mul:
            v = int64_t(a * b);
            break;
        case Op::Div:
        case Op::Mod:
            if (b == 0) {
                m_diags.error(e->pos, "division par zéro");
                return Operand{m_tInt, -1};
            }
            if (l.ival == INT64_MIN && r.ival == -1)
                v = o == Op::Div ? INT64_MIN : 0;
            else
                v = o == Op::Div ? l.ival / r.ival : l.ival % r.ival;
            break;
        case Op::And:
            v = int64_t(a & b);
            break;
        case Op::Or:
            v = int64_t(a | b);
            break;
        case Op::Xor:
            v = int64_t(a ^ b);
            break;
        case Op::Shl:
            v = int64_t(a << (b & 63));
            break;
        default:
            v = int64_t(a >> (b & 63));
            break;
        }
        return Operand{fits32(v) ? m_tInt : m_tInt64, -1, v};
    }
    if (r.isConst() && fits32(r.ival) && (o == Op::Add || o == Op::Sub || o == Op::Mul)) {
        int a = materialize(l);
        put(o == Op::Add   ? Op::AddK
            : o == Op::Sub ? Op::SubK
                           : Op::MulK,
            out(t), a, int32_t(r.ival));
        return Operand{t, d};
    }
    if (l.isConst() && fits32(l.ival) && (o == Op::Add || o == Op::Mul)) {
        int b = materialize(r);
        put(o == Op::Add ? Op::AddK : Op::MulK, out(t), b, int32_t(l.ival));
        return Operand{t, d};
    }
    if (o == Op::Shl || o == Op::Shr) {
        // The left operand's width decides, as in Free Pascal: types up to 32 bits shift as
        // 32-bit values (the count taken modulo 32), Int64 on 64 bits.
        uint8_t w = shiftWidth(l);
        t = w == ShiftS32 ? m_tInt : w == ShiftU32 ? m_tCardinal : m_tInt64;
        int a = materialize(l), b = materialize(r);
        put(o, out(t), a, b, w);
        return Operand{t, d};
    }
    int a = materialize(l), b = materialize(r);
    put(o, out(t), a, b);
    return Operand{t, d};
}

void Compiler::condJump(const Node* e, bool jumpWhen, std::vector<int>& patch) {
    if (stop() || tooDeep(e))
        return;
    const Nesting nesting(m_nesting);
    if (e->kind == NK::Binary && (e->op == Tok::KwAnd || e->op == Tok::KwOr)) {
        // Look at the left side's type without emitting code twice: a boolean "and"/"or"
        // becomes jumps, an integer one is an ordinary expression.
        bool isBool = true;
        {
            const Node* l = e->kid(0);
            if (l->kind == NK::IntLit)
                isBool = false;
            else if (l->kind == NK::Name) {
                Symbol* s = lookup(l->name);
                if (s && (s->kind == SymKind::Var || s->kind == SymKind::Const) &&
                    s->type->kind != TK::Bool)
                    isBool = false;
            }
        }
        if (isBool) {
            bool isAnd = e->op == Tok::KwAnd;
            if (isAnd == jumpWhen) {
                // (a and b) jump-when-true: if not a skip; if b jump.
                std::vector<int> skip;
                condJump(e->kid(0), !jumpWhen, skip);
                condJump(e->kid(1), jumpWhen, patch);
                for (int at : skip)
                    patchTo(at, here());
            } else {
                condJump(e->kid(0), jumpWhen, patch);
                condJump(e->kid(1), jumpWhen, patch);
            }
            return;
        }
    }
    if (e->kind == NK::Binary && isCompare(e->op)) {
        int mark = m_slotTop;
        size_t codeMark = m_out.code.size();
        size_t tempsMark = m_managedTemps.size();
        Operand l = expr(e->kid(0));
        Operand r = expr(e->kid(1));
        if (stop())
            return;
        bool ints =
            l.type->isOrdinal() && r.type->isOrdinal() &&
            (l.type->kind == r.type->kind || (l.type->kind == TK::Int && r.type->kind == TK::Int));
        if (ints && !(l.isConst() && r.isConst())) {
            int c = cmpIndex(e->op);
            if (!jumpWhen)
                c = negated(c);
            if (l.isConst()) {
                std::swap(l, r);
                c = swapped(c);
            }
            if (r.isConst() && fits32(r.ival)) {
                int a = materialize(l);
                dropTemps(tempsMark);
                patch.push_back(put(Op(int(Op::JEqK) + c), a, int32_t(r.ival)));
            } else {
                int a = materialize(l), b = materialize(r);
                dropTemps(tempsMark);
                patch.push_back(put(Op(int(Op::JEq) + c), a, b));
            }
            m_slotTop = mark;
            return;
        }
        // Other comparisons: the code is dropped and the comparison compiled as a boolean.
        m_out.code.resize(codeMark);
        m_out.positions.resize(codeMark);
        m_out.liveTemps.resize(codeMark);
        m_managedTemps.resize(tempsMark);
        m_slotTop = mark;
    }
    int mark = m_slotTop;
    size_t tempsMark = m_managedTemps.size();
    Operand v = expr(e);
    if (stop())
        return;
    if (v.type->kind != TK::Bool) {
        // Reported where the condition starts, not at its last operator.
        const Node* first = e;
        while ((first->kind == NK::Binary || first->kind == NK::Index ||
                first->kind == NK::Member || first->kind == NK::Call) &&
               !first->kids.empty() && first->kid(0))
            first = first->kid(0);
        mismatch(first->pos, v.type, m_tBool);
        return;
    }
    dropTemps(tempsMark);
    if (v.isConst()) {
        if (bool(v.ival) == jumpWhen)
            patch.push_back(put(Op::Jmp));
        return;
    }
    patch.push_back(put(jumpWhen ? Op::JT : Op::JF, v.slot));
    m_slotTop = mark;
}

} // namespace vscript
