#include "Compiler.h"

#include <algorithm>

namespace vscript {

namespace {

using Bits = std::array<uint64_t, 4>;

bool bitsHave(const Bits& b, int64_t e) {
    return e >= 0 && e < 256 && ((b[size_t(e >> 6)] >> (e & 63)) & 1);
}

bool overOneWord(const Bits& b) {
    return b[1] || b[2] || b[3];
}

} // namespace

Compiler::Operand Compiler::setLiteral(const Node* e, const Type* want, int dst) {
    const Type* elemType = want ? want->elem : nullptr;
    Bits bits{};
    bool big = want && want->isBigSet();
    std::vector<std::pair<Operand, Operand>> dynamicParts;
    for (auto& k : e->kids) {
        const Node* lo = k->kind == NK::Range ? k->kid(0) : k.get();
        const Node* hi = k->kind == NK::Range ? k->kid(1) : nullptr;
        Operand a = expr(lo), b = hi ? expr(hi) : a;
        if (stop())
            return a;
        if (!a.type->isOrdinal()) {
            m_diags.error(lo->pos, "élément d'ensemble ordinal attendu");
            return a;
        }
        if (!elemType)
            elemType = a.type;
        if (a.isConst() && b.isConst()) {
            if (a.ival <= b.ival && (a.ival < 0 || b.ival > 255)) {
                m_diags.error(lo->pos, "élément d'ensemble hors de 0..255");
                return a;
            }
            for (int64_t v = a.ival; v <= b.ival; ++v)
                bits[size_t(v >> 6)] |= uint64_t(1) << (v & 63);
        } else {
            dynamicParts.push_back({a, b});
            // An integer or character variable may reach past 63.
            big = big || (!want && (a.type->hi > 63 || b.type->hi > 63));
        }
    }
    big = big || (!want && overOneWord(bits));
    const Type* t = want;
    if (!t || t->isBigSet() != big) {
        Type st;
        st.kind = TK::Set;
        st.elem = elemType ? elemType : m_tInt;
        st.name = "set";
        st.hi = big ? 255 : 63;
        t = newType(st);
    }
    if (!big)
        bits[1] = bits[2] = bits[3] = 0; // a one-word set keeps what fits its base type
    Operand k{t, -1, int64_t(bits[0])};
    k.bits = bits;
    if (dynamicParts.empty())
        return k;
    // A slot handed in is a one-word destination: a larger set is built in its own temporary.
    int d = dst >= 0 && !big ? dst : temp(t);
    materialize(k, d);
    for (auto& [a, b] : dynamicParts) {
        int sa = materialize(a);
        bool single = a.slot == b.slot && a.ival == b.ival && !a.isConst();
        if (big && single)
            put(Op::BigSet, d, sa, 0, BsInclude);
        else if (big)
            put(Op::BigSet, d, sa, materialize(b), BsRange);
        else if (single)
            put(Op::SetBit, d, sa);
        else
            put(Op::SetRange, d, sa, materialize(b));
    }
    return Operand{t, d};
}

Compiler::Operand Compiler::setWidth(const Operand& o, const Type* to, int dst) {
    if (o.type->isBigSet() == to->isBigSet()) {
        Operand r = o;
        r.type = to;
        return r;
    }
    if (o.isConst()) {
        Operand r = o;
        r.type = to;
        if (!to->isBigSet())
            r.bits[1] = r.bits[2] = r.bits[3] = 0;
        return r;
    }
    if (to->isBigSet()) {
        int d = dst >= 0 ? dst : temp(to);
        put(Op::BigSet, d, o.slot, 0, BsWiden);
        return Operand{to, d};
    }
    // Into one word: what lies past 63 is outside the base type and dropped, as the
    // reference compiler does without range checks.
    int d = dst >= 0 ? dst : temp(to);
    put(Op::BigSet, d, o.slot, 0, BsNarrow);
    return Operand{to, d};
}

bool Compiler::setOperation(Tok op, const Operand& l, const Operand& r, int dst, Operand& res) {
    int d = dst;
    auto out = [&](const Type* t) {
        if (d < 0)
            d = temp(t);
        return d;
    };
    if (op == Tok::KwIn) {
        if (r.type->kind != TK::Set || !l.type->isOrdinal())
            return false;
        if (l.isConst() && r.isConst()) {
            bool in = r.type->isBigSet()
                          ? bitsHave(r.bits, l.ival)
                          : l.ival >= 0 && l.ival < 64 && ((uint64_t(r.ival) >> l.ival) & 1);
            res = Operand{m_tBool, -1, in};
            return true;
        }
        int a = materialize(l);
        if (r.isConst() && r.type->isBigSet()) {
            // A constant set is tested against a bitmap of the program, not built each time.
            auto* set = new SetObj;
            std::copy(r.bits.begin(), r.bits.end(), set->w);
            m_out.ownedSets.push_back(set);
            Value v;
            v.o = set;
            m_out.constants.push_back(v);
            put(Op::BigSet, out(m_tBool), a, int(m_out.constants.size()) - 1, BsInK);
        } else if (r.type->isBigSet()) {
            put(Op::BigSet, out(m_tBool), a, materialize(r), BsIn);
        } else {
            put(Op::In, out(m_tBool), a, materialize(r));
        }
        res = Operand{m_tBool, d};
        return true;
    }
    if (l.type->kind != TK::Set || r.type->kind != TK::Set)
        return false;
    bool swap = op == Tok::Ge;
    if (op != Tok::Plus && op != Tok::Star && op != Tok::Minus && op != Tok::Eq && op != Tok::Ne &&
        op != Tok::Le && op != Tok::Ge)
        return false;
    bool cmp = op == Tok::Eq || op == Tok::Ne || op == Tok::Le || op == Tok::Ge;
    bool big = l.type->isBigSet() || r.type->isBigSet();
    const Type* t = l.type->isBigSet() || !big ? l.type : r.type;
    Operand a = setWidth(swap ? r : l, t), b = setWidth(swap ? l : r, t);
    const Type* rt = cmp ? m_tBool : t;
    if (a.isConst() && b.isConst()) {
        Bits x = big ? a.bits : Bits{uint64_t(a.ival)}, y = big ? b.bits : Bits{uint64_t(b.ival)};
        Bits v{};
        bool eq = true, sub = true;
        for (size_t k = 0; k < 4; ++k) {
            v[k] = op == Tok::Plus ? x[k] | y[k] : op == Tok::Star ? x[k] & y[k] : x[k] & ~y[k];
            eq = eq && x[k] == y[k];
            sub = sub && (x[k] & ~y[k]) == 0;
        }
        if (cmp) {
            res = Operand{m_tBool, -1, op == Tok::Eq ? eq : op == Tok::Ne ? !eq : sub};
        } else {
            res = Operand{t, -1, int64_t(v[0])};
            res.bits = v;
        }
        return true;
    }
    int sa = materialize(a), sb = materialize(b);
    if (big && !cmp)
        d = -1;
    if (big) {
        uint8_t x = op == Tok::Plus                         ? BsUnion
                    : op == Tok::Star                       ? BsInter
                    : op == Tok::Minus                      ? BsDiff
                    : cmp && op != Tok::Eq && op != Tok::Ne ? BsSub
                                                            : BsEq;
        put(Op::BigSet, out(rt), sa, sb, x);
        if (op == Tok::Ne)
            put(Op::BNot, d, d);
    } else {
        Op o = op == Tok::Plus    ? Op::Or
               : op == Tok::Star  ? Op::And
               : op == Tok::Minus ? Op::AndNot
               : op == Tok::Eq    ? Op::Eq
               : op == Tok::Ne    ? Op::Ne
                                  : Op::SubSet;
        put(o, out(rt), sa, sb);
    }
    res = Operand{rt, d};
    return true;
}

void Compiler::includeExclude(bool include, const Type* t, int cur, int elem, int result) {
    if (t->isBigSet()) {
        if (result != cur)
            put(Op::MovM, result, cur, 0, Ref);
        putAt(m_pos, Op::BigSet, result, elem, 0, include ? BsInclude : BsExclude);
        return;
    }
    if (include) {
        if (result != cur)
            put(Op::Mov, result, cur);
        put(Op::SetBit, result, elem);
    } else {
        int m = temp();
        put(Op::LoadI, m, 0);
        put(Op::SetBit, m, elem);
        put(Op::AndNot, result, cur, m);
    }
}

} // namespace vscript
