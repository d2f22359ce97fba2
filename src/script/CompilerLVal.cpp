#include "Compiler.h"

namespace vscript {

Compiler::LVal Compiler::lvalue(const Node* e, bool forWrite) {
    LVal none;
    if (!e || stop() || tooDeep(e))
        return none;
    const Nesting nesting(m_nesting);
    switch (e->kind) {
    case NK::Name: {
        Symbol* s = lookup(e->name);
        if (!s) {
            m_diags.error(e->pos, QStringLiteral("identificateur inconnu « %1 »").arg(e->name));
            return none;
        }
        if (s->kind != SymKind::Var) {
            if (forWrite)
                m_diags.error(e->pos,
                              QStringLiteral("affectation impossible à « %1 »").arg(e->name));
            return none;
        }
        if (forWrite && isForVar(s)) {
            m_diags.error(e->pos,
                          QStringLiteral("affectation impossible à la variable de boucle « %1 »")
                              .arg(e->name));
            return none;
        }
        LVal lv;
        lv.type = s->type;
        lv.readOnly = s->isConst;
        if (s->withSlot >= 0) {
            lv.kind = LVal::Field;
            lv.a = s->withSlot;
            lv.b = s->index;
        } else if (s->byRef) {
            if (s->level == m_level) {
                lv.kind = LVal::Ptr;
                lv.a = s->slot;
            } else {
                int t = temp();
                put(Op::AddrO, t, m_level - s->level, s->slot);
                put(Op::LoadP, t, t, 0, Plain);
                lv.kind = LVal::Ptr;
                lv.a = t;
            }
        } else if (s->level == m_level) {
            lv.kind = LVal::Local;
            lv.a = s->slot;
        } else if (s->level == 0) {
            lv.kind = LVal::Global;
            lv.a = s->slot;
        } else {
            int t = temp();
            put(Op::AddrO, t, m_level - s->level, s->slot);
            lv.kind = LVal::Ptr;
            lv.a = t;
        }
        return lv;
    }
    case NK::Index: {
        // What a function returns, or a constant, is indexed as a value of its own: it can be
        // read (range checked as any array), never written.
        const Node* baseNode = e->kid(0);
        LVal base;
        if (baseNode->kind == NK::Call || denotesValue(baseNode)) {
            if (forWrite) {
                m_diags.error(e->pos, "affectation impossible à cette expression");
                return none;
            }
            base = valueBase(baseNode);
        } else {
            base = lvalue(baseNode, false);
        }
        if (base.kind == LVal::None)
            return none;
        LVal cur = base;
        for (size_t k = 1; k < e->kids.size(); ++k) {
            const Type* t = cur.type;
            const Node* ix = e->kid(k);
            if (t->kind == TK::Str) {
                LVal sc;
                sc.kind = LVal::StrChar;
                sc.type = m_tChar;
                if (forWrite && cur.kind != LVal::Local) {
                    sc.a = addressOf(cur);
                    sc.c = 1;
                } else {
                    sc.a = objSlot(cur);
                }
                Operand i = expr(ix);
                if (stop() || i.type->kind != TK::Int) {
                    if (!stop())
                        mismatch(ix->pos, i.type, m_tInt);
                    return none;
                }
                sc.b = materialize(i);
                sc.readOnly = cur.readOnly;
                sc.pos = e->pos;
                cur = sc;
                continue;
            }
            if (t->kind != TK::SArr && t->kind != TK::DArr) {
                m_diags.error(ix->pos, "tableau attendu");
                return none;
            }
            int arr = objSlot(cur);
            Operand i = expr(ix);
            if (stop())
                return none;
            if (!i.type->isOrdinal()) {
                mismatch(ix->pos, i.type, m_tInt);
                return none;
            }
            int idx;
            if (t->lo != 0) {
                if (i.isConst()) {
                    idx = materialize(Operand{m_tInt64, -1, i.ival - t->lo});
                } else {
                    idx = temp();
                    put(Op::SubK, idx, i.slot, int32_t(t->lo));
                }
            } else {
                idx = materialize(i);
            }
            LVal el;
            el.kind = LVal::Elem;
            el.type = t->elem;
            el.a = arr;
            el.b = idx;
            el.readOnly = cur.readOnly && t->kind == TK::SArr;
            el.pos = e->pos;
            cur = el;
        }
        return cur;
    }
    case NK::Member: {
        const Node* baseNode = e->kid(0);
        LVal base;
        const Type* vt = denotesValue(baseNode);
        if (vt && vt->kind == TK::Rec) {
            // G().b, or the field of a constant: read, never written.
            if (forWrite) {
                m_diags.error(e->pos, "affectation impossible à cette expression");
                return none;
            }
            base = valueBase(baseNode);
        } else {
            if (baseNode->kind == NK::Name) {
                Symbol* s = lookup(baseNode->name);
                if (s && s->kind != SymKind::Var)
                    return none;
            }
            base = lvalue(baseNode, false);
        }
        if (base.kind == LVal::None)
            return none;
        const Type* t = base.type;
        if (t->kind == TK::Rec) {
            for (size_t f = 0; f < t->fields.size(); ++f) {
                if (t->fields[f].name.compare(e->name, Qt::CaseInsensitive) == 0) {
                    LVal fl;
                    fl.kind = LVal::Field;
                    fl.type = t->fields[f].type;
                    fl.a = objSlot(base);
                    fl.b = int(f);
                    fl.readOnly = base.readOnly;
                    return fl;
                }
            }
            m_diags.error(e->pos, QStringLiteral("champ inconnu « %1 »").arg(e->name));
            return none;
        }
        if (t->kind == TK::Class && t->isHostClass) {
            Symbol* p = lookup(t->name + "." + e->name);
            if (p && p->kind == SymKind::Var) {
                LVal pl;
                pl.kind = LVal::Prop;
                pl.type = p->type;
                pl.a = objSlot(base);
                pl.prop = p;
                pl.readOnly = p->isConst;
                return pl;
            }
            return none;
        }
        if (t->kind == TK::Class)
            return none;
        m_diags.error(e->pos, QStringLiteral("champ inconnu « %1 »").arg(e->name));
        return none;
    }
    default:
        if (forWrite)
            m_diags.error(e->pos, "affectation impossible à cette expression");
        return none;
    }
}

const Type* Compiler::denotesValue(const Node* e) {
    const Node* name = e->kind == NK::Call ? e->kid(0) : e;
    if (!name || name->kind != NK::Name)
        return nullptr;
    const Symbol* s = e->kind == NK::Call ? lookupCallable(name->name) : lookup(name->name);
    if (!s)
        return nullptr;
    if (s->kind == SymKind::Routine || s->kind == SymKind::Host ||
        (s->kind == SymKind::Const && e->kind == NK::Name))
        return s->type;
    if (e->kind == NK::Call && s->kind == SymKind::Builtin)
        return m_tStr; // UpperCase(s)[1]: the builtin's result says what it is
    return nullptr;
}

Compiler::LVal Compiler::valueBase(const Node* e) {
    const Operand o = expr(e);
    if (stop())
        return LVal{};
    LVal base;
    base.kind = LVal::Local;
    base.type = o.type;
    base.a = materialize(o);
    base.readOnly = true;
    return base;
}

int Compiler::objSlot(const LVal& lv) {
    if (lv.kind == LVal::Local)
        return lv.a;
    Operand o = readLVal(lv, -1);
    return materialize(o);
}

Compiler::Operand Compiler::readLVal(const LVal& lv, int dst) {
    if (lv.kind == LVal::None)
        return Operand{m_tInt, -1};
    const Type* t = lv.type;
    uint8_t mode = t->mode() == Plain ? Plain : Ref;
    if (lv.kind == LVal::Local)
        return Operand{t, lv.a};
    int d = (dst >= 0 && mode == Plain) ? dst : temp(t);
    switch (lv.kind) {
    case LVal::Global:
        put(Op::LoadG, d, lv.a, 0, mode);
        break;
    case LVal::Ptr:
        put(Op::LoadP, d, lv.a, 0, mode);
        break;
    case LVal::Elem:
        putAt(lv.pos, Op::LoadE, d, lv.a, lv.b, mode);
        break;
    case LVal::Field:
        put(Op::LoadF, d, lv.a, lv.b, mode);
        break;
    case LVal::StrChar: {
        int s = lv.a;
        if (lv.c) {
            s = temp();
            put(Op::LoadP, s, lv.a, 0, Plain); // borrowed: the variable keeps it alive
        }
        putAt(lv.pos, Op::StrIdx, d, s, lv.b);
        break;
    }
    case LVal::Prop: {
        int w = tempBlock(2);
        if (t->mode() != Plain)
            put(Op::Null, w);
        put(Op::Mov, w + 1, lv.a);
        put(Op::CallH, w, lv.prop->index, 1);
        put(t->mode() == Plain ? Op::Mov : Op::MovM, d, w, 0, mode);
        if (t->mode() != Plain)
            put(Op::Clear, w);
        break;
    }
    default:
        break;
    }
    return Operand{t, d};
}

void Compiler::writeLVal(const LVal& lv, int src, const Type* srcType, Pos pos) {
    (void)srcType;
    (void)pos;
    uint8_t mode = lv.type->mode();
    switch (lv.kind) {
    case LVal::Local:
        if (src != lv.a)
            put(mode == Plain ? Op::Mov : Op::MovM, lv.a, src, 0, mode);
        break;
    case LVal::Global:
        put(Op::StoreG, lv.a, src, 0, mode);
        break;
    case LVal::Ptr:
        put(Op::StoreP, lv.a, src, 0, mode);
        break;
    case LVal::Elem:
        putAt(lv.pos, Op::StoreE, lv.a, lv.b, src, mode);
        break;
    case LVal::Field:
        put(Op::StoreF, lv.a, lv.b, src, mode);
        break;
    case LVal::StrChar:
        putAt(lv.pos, Op::StrSet, lv.a, lv.b, src, uint8_t(lv.c));
        break;
    case LVal::Prop: {
        int w = tempBlock(3);
        put(Op::Mov, w + 1, lv.a);
        put(Op::Mov, w + 2, src);
        put(Op::CallH, w, lv.prop->slot, 2);
        break;
    }
    default:
        break;
    }
}

int Compiler::addressOf(const LVal& lv) {
    int t;
    switch (lv.kind) {
    case LVal::Local:
        t = temp();
        put(Op::AddrL, t, lv.a);
        return t;
    case LVal::Global:
        t = temp();
        put(Op::AddrG, t, lv.a);
        return t;
    case LVal::Ptr:
        return lv.a;
    case LVal::Elem:
        t = temp();
        putAt(lv.pos, Op::AddrE, t, lv.a, lv.b);
        return t;
    case LVal::Field:
        t = temp();
        put(Op::AddrF, t, lv.a, lv.b);
        return t;
    default:
        m_diags.error(m_pos, "variable attendue");
        return temp();
    }
}

} // namespace vscript
