#include "Compiler.h"

#include <algorithm>
#include <cmath>

namespace vscript {

namespace {
bool fits32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}
} // namespace

bool Compiler::assignable(const Type* to, const Type* from, const Operand* o) const {
    if (!to || !from)
        return false;
    if (to == from)
        return true;
    switch (to->kind) {
    case TK::Int:
        return from->kind == TK::Int;
    case TK::Float:
        return from->kind == TK::Float || from->kind == TK::Int;
    case TK::Str:
        return from->kind == TK::Str || from->kind == TK::Char;
    case TK::Char:
        return from->kind == TK::Char ||
               (o && o->isConst() && from->kind == TK::Str && o->sval.size() == 1);
    case TK::Bool:
        return from->kind == TK::Bool;
    case TK::Enum:
        return from->kind == TK::Enum &&
               (from->base ? from->base : from) == (to->base ? to->base : to);
    case TK::Set:
        return from->kind == TK::Set;
    case TK::DArr:
        return from->kind == TK::Nil || (from->kind == TK::DArr && from->elem == to->elem);
    case TK::Class:
        return from->kind == TK::Nil ||
               (from->kind == TK::Class && from->isHostClass == to->isHostClass &&
                (to->isHostClass ? to->classId == from->classId : true));
    default:
        return false;
    }
}

int Compiler::materialize(const Operand& o, int dst) {
    if (!o.isConst()) {
        if (dst >= 0 && dst != o.slot)
            put(o.type->mode() == Plain ? Op::Mov : Op::MovM, dst, o.slot, 0,
                o.type->mode() == Plain ? 0 : Ref);
        return dst >= 0 ? dst : o.slot;
    }
    int d = dst >= 0 ? dst : temp(o.type);
    switch (o.type->kind) {
    case TK::Float: {
        Value v;
        v.d = o.fval;
        m_out.constants.push_back(v);
        put(Op::LoadK, d, int(m_out.constants.size()) - 1, 0, Plain);
        break;
    }
    case TK::Str:
        put(Op::LoadK, d, stringConst(o.sval), 0, Ref);
        break;
    case TK::Set:
        if (o.type->isBigSet()) {
            auto* set = new SetObj;
            std::copy(o.bits.begin(), o.bits.end(), set->w);
            m_out.ownedSets.push_back(set);
            Value v;
            v.o = set;
            m_out.constants.push_back(v);
            put(Op::LoadK, d, int(m_out.constants.size()) - 1, 0, Ref);
            break;
        }
        [[fallthrough]];
    default:
        if (fits32(o.ival)) {
            put(Op::LoadI, d, int32_t(o.ival));
        } else {
            Value v;
            v.i = o.ival;
            m_out.constants.push_back(v);
            put(Op::LoadK, d, int(m_out.constants.size()) - 1, 0, Plain);
        }
    }
    return d;
}

Compiler::Operand Compiler::convert(const Operand& o, const Type* to, Pos pos, int dst) {
    (void)pos;
    const Type* from = o.type;
    if (!from || !to || from == to)
        return o;
    if (to->kind == TK::Float && from->kind == TK::Int) {
        if (o.isConst())
            return Operand{to, -1, 0, double(o.ival)};
        int d = dst >= 0 ? dst : temp();
        put(Op::I2F, d, o.slot);
        return Operand{to, d};
    }
    if (to->kind == TK::Str && from->kind == TK::Char) {
        if (o.isConst()) {
            Operand r{to};
            r.sval = o.sval.isEmpty() ? QString(QChar(char16_t(o.ival))) : o.sval;
            return r;
        }
        int d = temp(to);
        put(Op::Chr2S, d, o.slot);
        return Operand{to, d};
    }
    if (to->kind == TK::Char && from->kind == TK::Str && o.isConst()) {
        Operand r{to};
        r.ival = o.sval.isEmpty() ? 0 : o.sval[0].unicode();
        return r;
    }
    if (to->kind == TK::Int && from->kind == TK::Int) {
        bool within = from->lo >= to->lo && from->hi <= to->hi;
        if (o.isConst()) {
            Operand r = o;
            r.type = to;
            r.ival = wrapTo(o.ival, to->wrap);
            return r;
        }
        if (within || to->wrap == W64)
            return Operand{to, o.slot};
        int d = dst >= 0 ? dst : temp();
        put(Op::Wrap, d, o.slot, 0, to->wrap);
        return Operand{to, d};
    }
    if (to->kind == TK::Set && from->kind == TK::Set)
        return setWidth(o, to, dst);
    Operand r = o;
    if (from->kind != TK::Nil)
        r.type = to;
    return r;
}

bool Compiler::tooDeep(const Node* e) {
    if (m_nesting < kMaxNesting)
        return false;
    m_diags.error(e->pos, QStringLiteral("expression trop longue ou trop imbriquée (plus de %1 "
                                         "niveaux)")
                              .arg(kMaxNesting));
    return true;
}

Compiler::Operand Compiler::expr(const Node* e, int dst) {
    if (!e || stop() || tooDeep(e))
        return Operand{m_tInt, -1};
    const Nesting nesting(m_nesting);
    switch (e->kind) {
    case NK::IntLit:
        return Operand{fits32(e->ival) ? m_tInt : m_tInt64, -1, e->ival};
    case NK::FloatLit:
        return Operand{m_tFloat, -1, 0, e->fval};
    case NK::StrLit: {
        Operand o{e->str.size() == 1 ? m_tChar : m_tStr};
        o.sval = e->str;
        o.ival = e->str.size() == 1 ? e->str[0].unicode() : 0;
        return o;
    }
    case NK::Nil:
        return Operand{m_tNil, -1, 0};
    case NK::SetLit:
        return setLiteral(e, nullptr, dst);
    case NK::Unary:
        return unary(e, dst);
    case NK::Binary:
        return binary(e, dst);
    case NK::Call: {
        std::vector<const Node*> args;
        for (size_t i = 1; i < e->kids.size(); ++i)
            args.push_back(e->kid(i));
        return call(e, e->kid(0), args, dst, true);
    }
    case NK::Name: {
        Symbol* s = lookup(e->name);
        if (!s) {
            m_diags.error(e->pos, QStringLiteral("identificateur inconnu « %1 »").arg(e->name));
            return Operand{m_tInt, -1};
        }
        if (s->kind == SymKind::Const) {
            Operand o{s->type, -1, s->ival, s->fval};
            o.sval = s->sval;
            o.bits = s->bits;
            return o;
        }
        if (s->kind == SymKind::Var)
            return readLVal(lvalue(e, false), dst);
        if (s->kind == SymKind::Type || s->kind == SymKind::HostClass) {
            m_diags.error(e->pos, QStringLiteral("« %1 » est un type").arg(e->name));
            return Operand{m_tInt, -1};
        }
        return call(e, e, {}, dst, true);
    }
    case NK::Member: {
        const Node* base = e->kid(0);
        if (base->kind == NK::Name) {
            Symbol* s = lookup(base->name);
            if (s && (s->kind == SymKind::Type || s->kind == SymKind::HostClass))
                return call(e, e, {}, dst, true);
        }
        LVal lv = lvalue(e, false);
        if (lv.kind == LVal::None)
            return call(e, e, {}, dst, true);
        return readLVal(lv, dst);
    }
    case NK::Index:
        return readLVal(lvalue(e, false), dst);
    default:
        m_diags.error(e->pos, "expression attendue");
        return Operand{m_tInt, -1};
    }
}

Compiler::Operand Compiler::unary(const Node* e, int dst) {
    Operand x = expr(e->kid(0));
    if (stop())
        return x;
    if (e->op == Tok::Plus)
        return x;
    if (e->op == Tok::Minus) {
        if (x.type->kind == TK::Float) {
            if (x.isConst())
                return Operand{x.type, -1, 0, -x.fval};
            int d = dst >= 0 ? dst : temp();
            put(Op::NegF, d, x.slot);
            return Operand{x.type, d};
        }
        if (x.type->kind != TK::Int) {
            m_diags.error(e->pos, "opérande numérique attendu");
            return x;
        }
        if (x.isConst())
            return Operand{fits32(-x.ival) ? m_tInt : m_tInt64, -1, int64_t(0 - uint64_t(x.ival))};
        int d = dst >= 0 ? dst : temp();
        put(Op::Neg, d, x.slot);
        return Operand{m_tInt64, d};
    }
    // not
    if (x.type->kind == TK::Bool) {
        if (x.isConst())
            return Operand{m_tBool, -1, !x.ival};
        int d = dst >= 0 ? dst : temp();
        put(Op::BNot, d, x.slot);
        return Operand{m_tBool, d};
    }
    if (x.type->kind == TK::Int) {
        if (x.isConst())
            return Operand{x.type, -1, wrapTo(~x.ival, x.type->wrap)};
        int d = dst >= 0 ? dst : temp();
        put(Op::Not, d, x.slot);
        if (x.type->wrap != W64)
            put(Op::Wrap, d, d, 0, x.type->wrap);
        return Operand{x.type, d};
    }
    m_diags.error(e->pos, "opérande booléen ou entier attendu");
    return x;
}

} // namespace vscript
