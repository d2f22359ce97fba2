#include "Compiler.h"

// Typed constants and initial values, open array arguments, typecasts, "with", "for … in",
// Write and WriteLn, and SetLength over several dimensions.

namespace vscript {

void Compiler::emitInits() {
    std::vector<PendingInit> inits = std::move(m_inits);
    m_inits.clear();
    for (const PendingInit& p : inits) {
        if (stop())
            return;
        m_pos = p.value->pos;
        const int mark = m_slotTop;
        initInto(LVal(LVal::Local, p.type, p.slot), p.value);
        releaseTemps(mark);
    }
}

void Compiler::initInto(const LVal& lv, const Node* value) {
    if (stop() || tooDeep(value))
        return;
    const Nesting nesting(m_nesting);
    const Type* t = lv.type;
    if (value->kind != NK::Aggregate) {
        Operand v = t->kind == TK::DArr ? argument(value, t, -1) : expr(value);
        if (stop())
            return;
        if (!assignable(t, v.type, &v)) {
            mismatch(value->pos, v.type, t);
            return;
        }
        v = convert(v, t, value->pos);
        writeLVal(lv, materialize(v), v.type, value->pos);
        return;
    }
    const int64_t given = int64_t(value->kids.size());
    if (t->kind == TK::SArr && !value->flag) {
        const int64_t want = t->hi - t->lo + 1;
        if (given != want) {
            m_diags.error(value->pos,
                          QStringLiteral("%1 valeurs attendues, %2 données").arg(want).arg(given));
            return;
        }
        const int arr = objSlot(lv);
        for (int64_t i = 0; i < given; ++i) {
            const int mark = m_slotTop;
            LVal el(LVal::Elem, t->elem);
            el.a = arr;
            el.b = materialize(Operand{m_tInt64, -1, i});
            el.pos = value->kid(size_t(i))->pos;
            initInto(el, value->kid(size_t(i)));
            releaseTemps(mark);
        }
        return;
    }
    if (t->kind == TK::DArr && !value->flag) {
        const Operand a = arrayFromList(value, t);
        if (!stop())
            writeLVal(lv, a.slot, t, value->pos);
        return;
    }
    if (t->kind == TK::Rec && value->flag) {
        const int rec = objSlot(lv);
        for (auto& f : value->kids) {
            size_t k = 0;
            while (k < t->fields.size() &&
                   t->fields[k].name.compare(f->name, Qt::CaseInsensitive) != 0)
                ++k;
            if (k == t->fields.size()) {
                m_diags.error(f->pos, QStringLiteral("champ inconnu « %1 »").arg(f->name));
                return;
            }
            const int mark = m_slotTop;
            LVal fl(LVal::Field, t->fields[k].type);
            fl.a = rec;
            fl.b = int(k);
            initInto(fl, f->kid(0));
            releaseTemps(mark);
        }
        return;
    }
    m_diags.error(value->pos,
                  QStringLiteral("valeur incompatible avec le type « %1 »").arg(typeName(t)));
}

namespace {

bool sameElements(const Type* a, const Type* b) {
    if (a == b)
        return true;
    if (a->kind != b->kind)
        return false;
    if (a->isOrdinal())
        return a->wrap == b->wrap && a->lo == b->lo && a->hi == b->hi;
    return a->kind == TK::Str || a->kind == TK::Float;
}

} // namespace

Compiler::Operand Compiler::argument(const Node* arg, const Type* param, int dst) {
    if (param->kind != TK::DArr)
        return expr(arg, dst);
    if (arg->kind == NK::SetLit) {
        for (auto& k : arg->kids)
            if (k->kind == NK::Range) {
                m_diags.error(k->pos, "intervalle impossible dans un tableau");
                return Operand{m_tInt, -1};
            }
        return arrayFromList(arg, param);
    }
    Operand v = expr(arg, dst);
    if (!stop() && v.type->kind == TK::SArr && sameElements(v.type->elem, param->elem))
        return arrayFromStatic(v, param, arg->pos);
    return v;
}

Compiler::Operand Compiler::arrayFromList(const Node* list, const Type* to) {
    const int arr = temp(to);
    const int n = int(list->kids.size());
    if (n > 0) {
        const int w = tempBlock(4);
        put(Op::AddrL, w + 1, arr);
        put(Op::LoadI, w + 2, n);
        put(Op::LoadI, w + 3, layoutIndex(m_out, to->layout));
        put(Op::CallB, w, int(Bi::SetLengthA), 3);
    }
    const uint8_t mode = to->elem->mode();
    for (int i = 0; i < n && !stop(); ++i) {
        const int mark = m_slotTop;
        const Node* k = list->kid(size_t(i));
        Operand v = argument(k, to->elem, -1);
        if (stop())
            break;
        if (!assignable(to->elem, v.type, &v)) {
            mismatch(k->pos, v.type, to->elem);
            break;
        }
        v = convert(v, to->elem, k->pos);
        const int src = materialize(v);
        putAt(k->pos, Op::StoreE, arr, materialize(Operand{m_tInt, -1, i}), src, mode);
        releaseTemps(mark);
    }
    return Operand{to, arr};
}

Compiler::Operand Compiler::arrayFromStatic(const Operand& from, const Type* to, Pos pos) {
    const int src = materialize(from);
    const int arr = temp(to);
    const int64_t n = from.type->hi - from.type->lo + 1;
    const int w = tempBlock(4);
    put(Op::AddrL, w + 1, arr);
    put(Op::LoadI, w + 2, int32_t(n));
    put(Op::LoadI, w + 3, layoutIndex(m_out, to->layout));
    put(Op::CallB, w, int(Bi::SetLengthA), 3);
    // Element by element: i from 0 to n - 1.
    const int i = temp(), last = temp();
    const int elem = temp(to->elem);
    const uint8_t mode = to->elem->mode();
    put(Op::LoadI, i, 0);
    put(Op::LoadI, last, int32_t(n - 1));
    const int top = here();
    putAt(pos, Op::LoadE, elem, src, i, mode == Plain ? Plain : Ref);
    putAt(pos, Op::StoreE, arr, i, elem, mode);
    put(Op::ForUp, i, last, top);
    return Operand{to, arr};
}

Compiler::Operand Compiler::typecast(const Type* to, const Node* arg, Pos pos, int dst) {
    Operand v = expr(arg, to->mode() == Plain ? dst : -1);
    if (stop())
        return Operand{to, -1};
    const Type* from = v.type;
    auto refused = [&] {
        m_diags.error(pos, QStringLiteral("transtypage impossible de « %1 » en « %2 »")
                               .arg(typeName(from), typeName(to)));
        return Operand{to, -1};
    };
    if (to->isOrdinal()) {
        if (!from->isOrdinal())
            return refused();
        if (v.isConst()) {
            Operand r{to, -1};
            r.ival = to->kind == TK::Bool   ? int64_t(v.ival != 0)
                     : to->kind == TK::Enum ? v.ival
                                            : wrapTo(v.ival, to->wrap);
            return r;
        }
        const int d = dst >= 0 ? dst : temp();
        if (to->kind == TK::Bool) {
            put(Op::Ne, d, v.slot, materialize(Operand{m_tInt, -1, 0}));
        } else if (to->kind != TK::Enum && to->wrap != W64 &&
                   !(from->lo >= to->lo && from->hi <= to->hi)) {
            put(Op::Wrap, d, v.slot, 0, to->wrap);
        } else if (d != v.slot) {
            put(Op::Mov, d, v.slot);
        }
        return Operand{to, d};
    }
    if (to->kind == TK::Float) {
        if (from->kind != TK::Float && from->kind != TK::Int)
            return refused();
        return convert(v, to, pos, dst);
    }
    if (to->kind == TK::Str) {
        if (from->kind != TK::Str && from->kind != TK::Char)
            return refused();
        return convert(v, to, pos);
    }
    if (from == to || assignable(to, from, &v))
        return convert(v, to, pos);
    return refused();
}

void Compiler::compileWith(const Node* s) {
    const size_t records = s->kids.size() - 1;
    const size_t scopes = m_scopes.size();
    for (size_t k = 0; k < records && !stop(); ++k) {
        const Node* r = s->kid(k);
        LVal lv;
        const Type* vt = denotesValue(r);
        if (vt || r->kind == NK::Call)
            lv = valueBase(r);
        else
            lv = lvalue(r, false);
        if (stop())
            break;
        if (lv.kind == LVal::None || lv.type->kind != TK::Rec) {
            m_diags.error(r->pos, "enregistrement attendu après « with »");
            break;
        }
        // The record stays in a slot of its own while the statement runs: its fields name it.
        int slot = lv.a;
        if (lv.kind != LVal::Local) {
            slot = temp(m_tStr);
            put(Op::MovM, slot, objSlot(lv), 0, Ref);
        }
        pushScope();
        const Type* t = lv.type;
        for (size_t f = 0; f < t->fields.size(); ++f) {
            Symbol field{SymKind::Var};
            field.type = t->fields[f].type;
            field.level = m_level;
            field.slot = slot;
            field.withSlot = slot;
            field.index = int(f);
            field.isConst = lv.readOnly;
            m_scopes.back()[t->fields[f].name.toLower()] = field;
        }
    }
    if (!stop())
        compileStmt(s->kids.back().get());
    while (m_scopes.size() > scopes)
        popScope();
}

void Compiler::compileForIn(const Node* s, const Symbol* var) {
    const Node* from = s->kid(1);
    const Operand c = expr(from);
    if (stop())
        return;
    const Type* ct = c.type;
    const Type* et = ct->kind == TK::Str                               ? m_tChar
                     : ct->kind == TK::SArr || ct->kind == TK::DArr || ct->kind == TK::Set ? ct->elem
                                                                       : nullptr;
    if (!et) {
        m_diags.error(from->pos, "chaîne, tableau ou ensemble attendu après « in »");
        return;
    }
    if (!assignable(var->type, et)) {
        mismatch(from->pos, et, var->type);
        return;
    }
    // The collection as it was when the loop began, held for the loop's length.
    int held;
    if (ct->mode() == Plain) {
        held = temp();
        materialize(c, held);
    } else {
        held = temp(m_tStr);
        put(Op::MovM, held, materialize(c), 0, Ref);
    }
    const int i = temp(), last = temp();
    const int elem = temp(et);
    if (ct->kind == TK::Set) {
        put(Op::LoadI, i, int32_t(et->lo));
        put(Op::LoadI, last, int32_t(et->hi));
    } else if (ct->kind == TK::SArr) {
        put(Op::LoadI, i, 0);
        put(Op::LoadI, last, int32_t(ct->hi - ct->lo));
    } else {
        const int w = tempBlock(2);
        put(Op::Mov, w + 1, held);
        put(Op::CallB, w, int(ct->kind == TK::Str ? Bi::LengthS : Bi::LengthA), 1);
        put(Op::SubK, last, w, ct->kind == TK::Str ? 0 : 1);
        put(Op::LoadI, i, ct->kind == TK::Str ? 1 : 0);
    }
    const int skip = put(Op::JGt, i, last);
    const int top = here();
    int notIn = -1;
    if (ct->kind == TK::Set) {
        // Members only: the others go straight to the next value.
        Operand member;
        setOperation(Tok::KwIn, Operand{et, i}, Operand{ct, held}, elem, member);
        notIn = put(Op::JF, member.slot);
        put(Op::Mov, elem, i);
    } else if (ct->kind == TK::Str) {
        putAt(from->pos, Op::StrIdx, elem, held, i);
    } else {
        putAt(from->pos, Op::LoadE, elem, held, i, et->mode() == Plain ? Plain : Ref);
    }
    const int mark = m_slotTop;
    writeLVal(LVal(LVal::Local, var->type, var->slot),
              materialize(convert(Operand{et, elem}, var->type, from->pos)), et, from->pos);
    releaseTemps(mark);
    loopBody(s->kid(2), var);
    continuesHere();
    if (notIn >= 0)
        patchTo(notIn, here());
    m_pos = s->pos;
    put(Op::ForUp, i, last, top);
    patchTo(skip, here());
    breaksHere();
}

void Compiler::setLengthRest(int arrSlot, const Type* t, const std::vector<const Node*>& lengths,
                             size_t from, Pos pos) {
    if (from >= lengths.size() || stop())
        return;
    if (t->kind != TK::DArr || t->elem->kind != TK::DArr) {
        m_diags.error(lengths[from]->pos, "tableau dynamique de tableaux attendu");
        return;
    }
    const Type* inner = t->elem;
    Operand len = expr(lengths[from]);
    if (stop())
        return;
    if (len.type->kind != TK::Int) {
        mismatch(lengths[from]->pos, len.type, m_tInt);
        return;
    }
    const int n = temp();
    materialize(len, n);
    // for i := 0 to Length(a) - 1 do SetLength(a[i], n, ...)
    const int i = temp(), last = temp();
    const int sub = from + 1 < lengths.size() ? temp(inner) : -1;
    int w = tempBlock(2);
    put(Op::Mov, w + 1, arrSlot);
    put(Op::CallB, w, int(Bi::LengthA), 1);
    put(Op::SubK, last, w, 1);
    put(Op::LoadI, i, 0);
    const int skip = put(Op::JGt, i, last);
    const int top = here();
    const int elem = temp();
    putAt(pos, Op::AddrE, elem, arrSlot, i);
    w = tempBlock(4);
    put(Op::Mov, w + 1, elem);
    put(Op::Mov, w + 2, n);
    put(Op::LoadI, w + 3, layoutIndex(m_out, inner->layout));
    putAt(pos, Op::CallB, w, int(Bi::SetLengthA), 3);
    if (sub >= 0) {
        put(Op::LoadP, sub, elem, 0, Ref);
        setLengthRest(sub, inner, lengths, from + 1, pos);
        put(Op::Clear, sub);
    }
    put(Op::ForUp, i, last, top);
    patchTo(skip, here());
}

Compiler::Operand Compiler::writeText(bool newline, const std::vector<const Node*>& args) {
    const int k = int(args.size());
    const int w = tempBlock(2 + 4 * k);
    put(Op::LoadI, w + 1, newline ? 1 : 0);
    for (int i = 0; i < k && !stop(); ++i) {
        const Node* a = args[size_t(i)];
        const Node* value = a->kind == NK::WidthArg ? a->kid(0) : a;
        Operand v = expr(value);
        if (stop())
            break;
        ConstTag tag;
        if (!constTagOf(v.type, tag)) {
            m_diags.error(value->pos,
                          QStringLiteral("« Write » ne sait pas écrire une valeur de type « %1 »")
                              .arg(typeName(v.type)));
            return Operand{m_tVoid, -1};
        }
        put(Op::LoadI, w + 2 + 4 * i, int32_t(tag));
        put(Op::Mov, w + 3 + 4 * i, materialize(v));
        for (int part = 1; part <= 2; ++part) {
            const Node* n = a->kind == NK::WidthArg ? a->kid(size_t(part)) : nullptr;
            const int to = w + 3 + 4 * i + part;
            if (!n) {
                put(Op::LoadI, to, -1);
                continue;
            }
            Operand x = expr(n);
            if (stop())
                break;
            if (x.type->kind != TK::Int) {
                mismatch(n->pos, x.type, m_tInt);
                break;
            }
            put(Op::Mov, to, materialize(x));
        }
    }
    put(Op::CallB, w, int(Bi::Write), 1 + 4 * k);
    return Operand{m_tVoid, -1};
}

} // namespace vscript
