#include "Compiler.h"

namespace vscript {

Compiler::Operand
Compiler::builtinCall(Bi id, const std::vector<std::pair<const Node*, const Type*>>& args,
                      const Type* result, int dst, int ptrArgs) {
    // A run-time error of the routine points at its call, not at the last argument's operator.
    const Pos at = m_pos;
    int n = int(args.size());
    int w = tempBlock(1 + n);
    for (int i = 0; i < n; ++i) {
        int mark = m_slotTop;
        const Node* a = args[i].first;
        if (ptrArgs & (1 << i)) {
            LVal lv = lvalue(a, true);
            if (stop())
                return Operand{m_tInt, -1};
            if (lv.readOnly || lv.type != args[i].second) {
                // An integer variable must hold every value the routine may write (a Byte
                // given for DecodeDate's year would hold 2024).
                if (lv.type && (lv.type->kind != args[i].second->kind ||
                                (lv.type->kind == TK::Int && (lv.type->lo > args[i].second->lo ||
                                                              lv.type->hi < args[i].second->hi))))
                    mismatch(a->pos, lv.type, args[i].second);
                else if (lv.readOnly)
                    m_diags.error(a->pos, "variable attendue");
            }
            put(Op::Mov, w + 1 + i, addressOf(lv));
            m_slotTop = std::max(m_slotTop, mark);
            continue;
        }
        Operand v = expr(a);
        if (stop())
            return Operand{m_tInt, -1};
        if (!assignable(args[i].second, v.type, &v)) {
            mismatch(a->pos, v.type, args[i].second);
            return Operand{m_tInt, -1};
        }
        v = convert(v, args[i].second, a->pos);
        // Arguments are borrowed: their owners outlive the call.
        int s = materialize(v);
        put(Op::Mov, w + 1 + i, s);
    }
    m_pos = at;
    if (result && result->mode() != Plain)
        put(Op::Null, w);
    put(Op::CallB, w, int(id), n);
    if (!result)
        return Operand{m_tVoid, w};
    if (result->mode() != Plain)
        m_managedTemps.push_back(w);
    if (dst >= 0 && result->mode() == Plain) {
        put(Op::Mov, dst, w);
        return Operand{result, dst};
    }
    return Operand{result, w};
}

Compiler::Operand Compiler::call(const Node* e, const Node* callee, std::vector<const Node*> args,
                                 int dst, bool wantValue) {
    Pos pos = callee->pos;
    m_pos = pos;
    if (callee->kind == NK::Member) {
        const Node* baseNode = callee->kid(0);
        QString member = callee->name.toLower();
        Symbol* bs = baseNode->kind == NK::Name ? lookup(baseNode->name) : nullptr;
        if (bs && (bs->kind == SymKind::Type || bs->kind == SymKind::HostClass) &&
            member == "create") {
            const Type* ct = bs->type;
            if (ct->kind != TK::Class) {
                m_diags.error(callee->pos, "classe attendue");
                return Operand{m_tInt, -1};
            }
            if (ct->isHostClass) {
                Symbol* ctor = lookup(ct->name + ".create");
                if (!ctor) {
                    m_diags.error(callee->pos,
                                  QStringLiteral("constructeur inconnu pour « %1 »").arg(ct->name));
                    return Operand{m_tInt, -1};
                }
                int w = tempBlock(1);
                put(Op::Null, w);
                put(Op::CallH, w, ctor->index, 0);
                m_managedTemps.push_back(w);
                return Operand{ct, w};
            }
            if (args.size() != 1) {
                m_diags.error(callee->pos, "un message attendu");
                return Operand{m_tInt, -1};
            }
            int w = tempBlock(3);
            put(Op::LoadI, w + 1, ct->classId);
            Operand msg = expr(args[0]);
            if (stop())
                return msg;
            if (!assignable(m_tStr, msg.type, &msg)) {
                mismatch(args[0]->pos, msg.type, m_tStr);
                return msg;
            }
            put(Op::Mov, w + 2, materialize(convert(msg, m_tStr, args[0]->pos)));
            put(Op::Null, w);
            put(Op::CallB, w, int(Bi::NewExc), 2);
            m_managedTemps.push_back(w);
            return Operand{ct, w};
        }
        Operand obj = expr(baseNode);
        if (stop())
            return obj;
        if (obj.type->kind != TK::Class) {
            m_diags.error(callee->pos,
                          QStringLiteral("champ ou méthode inconnu « %1 »").arg(callee->name));
            return Operand{m_tInt, -1};
        }
        if (member == "free" && args.empty())
            return Operand{m_tVoid, -1};
        if (!obj.type->isHostClass) {
            if (member == "message" || member == "classname") {
                int w = tempBlock(2);
                put(Op::Mov, w + 1, materialize(obj));
                put(Op::Null, w);
                put(Op::CallB, w, int(member == "message" ? Bi::ExcMessage : Bi::ExcClassName), 1);
                m_managedTemps.push_back(w);
                return Operand{m_tStr, w};
            }
            m_diags.error(callee->pos,
                          QStringLiteral("champ ou méthode inconnu « %1 »").arg(callee->name));
            return Operand{m_tInt, -1};
        }
        Symbol* m = lookup(obj.type->name + "." + callee->name);
        if (!m || m->kind != SymKind::Host) {
            m_diags.error(callee->pos, QStringLiteral("méthode inconnue « %1 »").arg(callee->name));
            return Operand{m_tInt, -1};
        }
        int self = materialize(obj);
        if (args.size() != m->params.size()) {
            m_diags.error(callee->pos, "nombre de paramètres incorrect");
            return Operand{m_tInt, -1};
        }
        int n = int(args.size());
        int w = tempBlock(2 + n);
        put(Op::Mov, w + 1, self);
        for (int i = 0; i < n; ++i) {
            Operand v = expr(args[i]);
            if (stop())
                return v;
            if (!assignable(m->params[i], v.type, &v)) {
                mismatch(args[i]->pos, v.type, m->params[i]);
                return v;
            }
            put(Op::Mov, w + 2 + i, materialize(convert(v, m->params[i], args[i]->pos)));
        }
        m_pos = pos;
        if (m->type->mode() != Plain) {
            put(Op::Null, w);
            m_managedTemps.push_back(w);
        }
        put(Op::CallH, w, m->index, n + 1);
        return Operand{m->type, w};
    }
    if (callee->kind != NK::Name) {
        m_diags.error(callee->pos, "appel incorrect");
        return Operand{m_tInt, -1};
    }
    Symbol* s = args.empty() ? lookup(callee->name) : lookupCallable(callee->name);
    if (s && s->kind == SymKind::Var && !args.empty())
        s = lookupCallable(callee->name);
    if (!s) {
        m_diags.error(callee->pos,
                      QStringLiteral("identificateur inconnu « %1 »").arg(callee->name));
        return Operand{m_tInt, -1};
    }
    if (s->kind == SymKind::Var && args.empty()) {
        if (!wantValue) {
            m_diags.error(callee->pos, "instruction attendue");
            return Operand{m_tInt, -1};
        }
        return readLVal(lvalue(callee, false), dst);
    }
    if (s->kind == SymKind::Builtin)
        return callBuiltin(s->sval, e, args, dst, wantValue);
    if (s->kind == SymKind::Type && args.size() == 1 && wantValue)
        return typecast(s->type, args[0], callee->pos, dst);
    if (s->kind != SymKind::Routine && s->kind != SymKind::Host) {
        m_diags.error(callee->pos,
                      QStringLiteral("« %1 » n'est pas une routine").arg(callee->name));
        return Operand{m_tInt, -1};
    }
    if (wantValue && s->type->kind == TK::Void) {
        m_diags.error(callee->pos,
                      QStringLiteral("« %1 » ne rend pas de valeur").arg(callee->name));
        return Operand{m_tInt, -1};
    }
    if (args.size() != s->params.size()) {
        m_diags.error(
            callee->pos,
            QStringLiteral("nombre de paramètres incorrect pour « %1 »").arg(callee->name));
        return Operand{m_tInt, -1};
    }
    Symbol sym = *s; // the table may grow while the arguments compile
    int n = int(args.size());
    // An array element or record field passed by reference: its array or record is held by a
    // reference below the callee's frame until the statement ends, so the address stays valid
    // even if the routine resizes the array (SetLength then copies) or assigns the variable.
    std::vector<int> holds(size_t(n), -1);
    for (int i = 0; i < n; ++i)
        if (i < int(sym.paramByRef.size()) && sym.paramByRef[i] &&
            (args[i]->kind == NK::Index || args[i]->kind == NK::Member))
            holds[size_t(i)] = temp(m_tStr);
    int w = tempBlock(1 + n);
    bool host = sym.kind == SymKind::Host;
    for (int i = 0; i < n; ++i) {
        int mark = m_slotTop;
        const Type* pt = sym.params[i];
        if (sym.paramByRef[i]) {
            LVal lv = lvalue(args[i], true);
            if (stop())
                return Operand{m_tInt, -1};
            if (lv.type != pt &&
                !(lv.type->kind == pt->kind && lv.type->isOrdinal() && lv.type->wrap == pt->wrap) &&
                !(lv.type->kind == pt->kind && (pt->kind == TK::Str || pt->kind == TK::Float)) &&
                !((lv.type->kind == TK::DArr || (lv.type->kind == TK::SArr && pt->openArray)) &&
                  pt->kind == TK::DArr && lv.type->elem == pt->elem &&
                  (pt->openArray || !lv.type->openArray))) {
                mismatch(args[i]->pos, lv.type, pt);
                return Operand{m_tInt, -1};
            }
            if (lv.readOnly) {
                m_diags.error(args[i]->pos, "variable attendue");
                return Operand{m_tInt, -1};
            }
            put(Op::Mov, w + 1 + i, addressOf(lv));
            if (holds[size_t(i)] >= 0 && (lv.kind == LVal::Elem || lv.kind == LVal::Field))
                put(Op::MovM, holds[size_t(i)], lv.a, 0, Ref);
            releaseTemps(mark);
            continue;
        }
        int target = w + 1 + i;
        bool plain = pt->mode() == Plain;
        Operand v = argument(args[i], pt, plain ? target : -1);
        if (stop())
            return Operand{m_tInt, -1};
        if (!assignable(pt, v.type, &v)) {
            mismatch(args[i]->pos, v.type, pt);
            return Operand{m_tInt, -1};
        }
        v = convert(v, pt, args[i]->pos, plain ? target : -1);
        if (plain || host) {
            int src = materialize(v);
            if (src != target)
                put(Op::Mov, target, src);
        } else {
            int src = materialize(v);
            put(Op::Null, target);
            put(Op::MovM, target, src, 0, pt->mode() == Aggr ? Aggr : Ref);
        }
        // A host routine borrows its arguments: their temporaries live until it returns.
        if (!host)
            releaseTemps(mark);
    }
    m_pos = pos;
    const Type* rt = sym.type;
    if (host) {
        if (rt->mode() != Plain)
            put(Op::Null, w);
        put(Op::CallH, w, sym.index, n);
    } else {
        put(Op::Call, w, sym.index, 0, uint8_t(m_level - sym.level + 1));
    }
    if (!host)
        m_slotTop = w + 1;
    if (rt->kind == TK::Void)
        return Operand{m_tVoid, w};
    if (rt->mode() != Plain) {
        m_managedTemps.push_back(w);
        if (!wantValue)
            releaseTemps(w);
    }
    if (dst >= 0 && rt->mode() == Plain && wantValue) {
        put(Op::Mov, dst, w);
        return Operand{rt, dst};
    }
    return Operand{rt, w};
}

} // namespace vscript
