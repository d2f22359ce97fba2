#include "Compiler.h"

#include "Builtins.h"

#include <algorithm>
#include <map>

namespace vscript {

namespace {
bool fits32(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

} // namespace

int layoutIndex(CompiledProgram& p, const Layout* l) {
    for (size_t i = 0; i < p.layouts.size(); ++i)
        if (&p.layouts[i] == l)
            return int(i);
    return -1;
}

void Compiler::compile(const Node* program) {
    m_out.routines.emplace_back();
    m_out.routines[0].name = "main";
    m_out.routines[0].level = 0;
    m_level = 0;
    m_routine = 0;
    m_slotTop = 0;
    m_maxSlot = 0;
    size_t n = program->kids.size();
    const Node* block =
        n > 0 && program->kids.back()->kind == NK::Compound ? program->kids.back().get() : nullptr;
    for (size_t i = 0; i < n && !stop(); ++i) {
        const Node* d = program->kid(i);
        if (d == block)
            break;
        switch (d->kind) {
        case NK::ConstDecl:
            declareConst(d);
            break;
        case NK::TypeDecl: {
            Symbol s{SymKind::Type};
            s.type = resolveType(d->type.get());
            if (s.type->name == "record" || s.type->name == "énumération" ||
                s.type->kind == TK::SArr || s.type->kind == TK::DArr || s.type->kind == TK::Set)
                const_cast<Type*>(s.type)->name = d->name;
            define(d->name, d->pos, s);
            break;
        }
        case NK::VarDecl:
            declareVars(d, true);
            break;
        case NK::Routine: {
            int top = m_slotTop, maxSlot = m_maxSlot;
            declareRoutine(d);
            m_level = 0;
            m_routine = 0;
            m_slotTop = top;
            m_maxSlot = maxSlot;
            break;
        }
        default:
            break;
        }
    }
    if (stop())
        return;
    for (auto& scope : m_scopes)
        for (auto& [name, s] : scope)
            if (s.kind == SymKind::Routine && !s.defined && s.decl) {
                m_diags.error(s.decl->pos,
                              QStringLiteral("routine déclarée « forward » sans corps « %1 »")
                                  .arg(s.decl->name));
                return;
            }
    m_out.routines[0].entry = here();
    for (int slot : m_out.routines[0].aggSlots)
        for (auto& [name, s] : m_scopes.back())
            if (s.kind == SymKind::Var && s.level == 0 && s.slot == slot)
                put(Op::NewAgg, slot, layoutIndex(m_out, s.type->layout));
    emitInits();
    if (block)
        compileStmt(block);
    m_pos = block ? block->pos : Pos{};
    put(Op::Halt);
    m_out.routines[0].frameSize = std::max(m_maxSlot, 1);
    m_out.globalCount = m_out.routines[0].frameSize;
}

void Compiler::compileRoutineBody(Symbol& sym, const Node* r) {
    auto savedScopes = m_scopes.size();
    int savedLevel = m_level, savedRoutine = m_routine;
    auto savedExits = std::move(m_exits);
    auto savedUnwinds = std::move(m_unwinds);
    auto savedBreaks = std::move(m_breaks), savedContinues = std::move(m_continues);
    auto savedTemps = std::move(m_managedTemps);
    auto savedInits = std::move(m_inits);
    m_inits.clear();
    m_exits.clear();
    m_unwinds.clear();
    m_breaks.clear();
    m_continues.clear();
    m_managedTemps.clear();
    m_level = sym.level;
    m_routine = sym.index;
    m_slotTop = 0;
    m_maxSlot = 0;
    pushScope();
    Routine& rt = m_out.routines[m_routine];
    tempBlock(1); // Result
    rt.resultOwned = sym.type->mode() != Plain;
    if (sym.type->kind != TK::Void) {
        Symbol res{SymKind::Var};
        res.type = sym.type;
        res.level = m_level;
        res.slot = 0;
        define("Result", r->pos, res);
        Symbol self = res;
        self.resultAlias = true;
        define(r->name, r->pos, self);
    }
    size_t pi = 0;
    for (auto& p : r->kids) {
        if (p->kind != NK::Param)
            continue;
        for (auto& n : p->kids) {
            Symbol ps{SymKind::Var};
            ps.type = pi < sym.params.size() ? sym.params[pi] : m_tInt;
            ps.byRef = p->op == Tok::KwVar;
            ps.isConst = p->op == Tok::KwConst;
            ps.level = m_level;
            ps.slot = tempBlock(1);
            if (!ps.byRef && ps.type->mode() != Plain)
                m_out.routines[m_routine].releaseSlots.push_back(ps.slot);
            define(n->name, n->pos, ps);
            ++pi;
        }
    }
    const Node* body = r->kids.empty() ? nullptr : r->kids.back().get();
    const Node* block = nullptr;
    if (body && body->kind == NK::Compound) {
        for (auto& d : body->kids) {
            if (stop())
                break;
            switch (d->kind) {
            case NK::ConstDecl:
                declareConst(d.get());
                break;
            case NK::TypeDecl: {
                Symbol s{SymKind::Type};
                s.type = resolveType(d->type.get());
                define(d->name, d->pos, s);
                break;
            }
            case NK::VarDecl:
                declareVars(d.get(), false);
                break;
            case NK::Routine: {
                int top = m_slotTop, maxSlot = m_maxSlot, lvl = m_level, ri = m_routine;
                declareRoutine(d.get());
                m_level = lvl;
                m_routine = ri;
                m_slotTop = top;
                m_maxSlot = maxSlot;
                break;
            }
            case NK::Compound:
                block = d.get();
                break;
            default:
                break;
            }
        }
    }
    m_pos = r->pos;
    m_out.routines[m_routine].entry = here();
    if (sym.type->mode() == Aggr)
        put(Op::NewAgg, 0, layoutIndex(m_out, sym.type->layout));
    for (int slot : m_out.routines[m_routine].aggSlots)
        for (auto& [name, s] : m_scopes.back())
            if (s.kind == SymKind::Var && s.slot == slot && !s.byRef && s.level == m_level &&
                slot > int(sym.params.size()))
                put(Op::NewAgg, slot, layoutIndex(m_out, s.type->layout));
    emitInits();
    if (block && !stop())
        compileStmt(block);
    for (int at : m_exits)
        patchTo(at, here());
    put(Op::Ret);
    (void)rt;
    m_out.routines[m_routine].frameSize = std::max(m_maxSlot, 1);
    while (m_scopes.size() > savedScopes)
        popScope();
    m_level = savedLevel;
    m_routine = savedRoutine;
    m_exits = std::move(savedExits);
    m_unwinds = std::move(savedUnwinds);
    m_breaks = std::move(savedBreaks);
    m_continues = std::move(savedContinues);
    m_managedTemps = std::move(savedTemps);
    m_inits = std::move(savedInits);
}

void Compiler::compileStmt(const Node* s) {
    if (!s || stop())
        return;
    m_pos = s->pos;
    int mark = m_slotTop;
    switch (s->kind) {
    case NK::Compound:
        for (auto& k : s->kids)
            compileStmt(k.get());
        break;
    case NK::Assign:
        compileAssign(s);
        break;
    case NK::ExprStmt: {
        const Node* e = s->kid(0);
        if (e->kind == NK::Call) {
            std::vector<const Node*> args;
            for (size_t i = 1; i < e->kids.size(); ++i)
                args.push_back(e->kid(i));
            call(e, e->kid(0), args, -1, false);
        } else if (e->kind == NK::Name || e->kind == NK::Member) {
            call(e, e, {}, -1, false);
        } else {
            m_diags.error(e->pos, "instruction attendue");
        }
        break;
    }
    case NK::If:
        compileIf(s);
        break;
    case NK::While:
        compileWhile(s);
        break;
    case NK::Repeat:
        compileRepeat(s);
        break;
    case NK::For:
        compileFor(s);
        break;
    case NK::Case:
        compileCase(s);
        break;
    case NK::TryExcept:
        compileTryExcept(s);
        break;
    case NK::TryFinally:
        compileTryFinally(s);
        break;
    case NK::Break:
        compileJumpOut(s, 0);
        break;
    case NK::Continue:
        compileJumpOut(s, 1);
        break;
    case NK::Exit:
        compileJumpOut(s, 2);
        break;
    case NK::Raise:
        compileRaise(s);
        break;
    case NK::With:
        compileWith(s);
        break;
    default:
        break;
    }
    releaseTemps(mark);
}

void Compiler::compileAssign(const Node* s) {
    const Node* lhsNode = s->kid(0);
    const Node* rhs = s->kid(1);
    if (!lhsNode || !rhs)
        return;
    LVal lv = lvalue(lhsNode, true);
    if (stop() || lv.kind == LVal::None)
        return;
    if (lv.readOnly || (lv.type->openArray && lhsNode->kind == NK::Name)) {
        m_diags.error(lhsNode->pos, "affectation impossible à cette expression");
        return;
    }
    m_pos = s->pos;
    // s := s + x appends in place: a string built a character at a time stays linear.
    if (lv.type->kind == TK::Str && rhs->kind == NK::Binary && rhs->op == Tok::Plus &&
        (lv.kind == LVal::Local || lv.kind == LVal::Global || lv.kind == LVal::Ptr)) {
        const Node* left = rhs->kid(0);
        const Node* lhsName = lhsNode;
        if (left->kind == NK::Name && lhsName->kind == NK::Name &&
            left->name.compare(lhsName->name, Qt::CaseInsensitive) == 0) {
            Operand r = expr(rhs->kid(1));
            if (r.type && (r.type->kind == TK::Str || r.type->kind == TK::Char)) {
                r = convert(r, m_tStr, rhs->kid(1)->pos);
                int src = materialize(r);
                if (lv.kind == LVal::Local)
                    put(Op::Append, lv.a, src);
                else
                    put(Op::AppendP, addressOf(lv), src);
                return;
            }
        }
    }
    int dst = -1;
    if (lv.kind == LVal::Local && lv.type->mode() == Plain)
        dst = lv.a;
    // a := [1, 2, 3] makes a new dynamic array.
    Operand v = lv.type->kind == TK::DArr && rhs->kind == NK::SetLit
                    ? argument(rhs, lv.type, dst)
                    : expr(rhs, dst);
    if (stop())
        return;
    if (!assignable(lv.type, v.type, &v)) {
        mismatch(rhs->pos, v.type, lv.type);
        return;
    }
    v = convert(v, lv.type, rhs->pos, dst);
    if (lv.kind == LVal::Local && v.slot == lv.a)
        return;
    int src = materialize(v, dst);
    if (lv.kind == LVal::Local && src == lv.a)
        return;
    writeLVal(lv, src, v.type, s->pos);
}

void Compiler::compileIf(const Node* s) {
    std::vector<int> toElse;
    condJump(s->kid(0), false, toElse);
    compileStmt(s->kid(1));
    if (s->kids.size() > 2) {
        int j = put(Op::Jmp);
        for (int at : toElse)
            patchTo(at, here());
        compileStmt(s->kid(2));
        patchTo(j, here());
    } else {
        for (int at : toElse)
            patchTo(at, here());
    }
}

void Compiler::compileWhile(const Node* s) {
    int jcond = put(Op::Jmp);
    int top = here();
    loopBody(s->kid(1));
    patchTo(jcond, here());
    continuesHere();
    m_pos = s->pos;
    std::vector<int> toTop;
    condJump(s->kid(0), true, toTop);
    for (int at : toTop)
        patchTo(at, top);
    breaksHere();
}

void Compiler::compileRepeat(const Node* s) {
    int top = here();
    loopBody(s->kid(0));
    continuesHere();
    std::vector<int> toTop;
    if (s->kid(1))
        condJump(s->kid(1), false, toTop);
    for (int at : toTop)
        patchTo(at, top);
    breaksHere();
}

void Compiler::compileFor(const Node* s) {
    const Node* v = s->kid(0);
    Symbol* sym = lookup(v->name);
    if (!sym) {
        m_diags.error(v->pos, QStringLiteral("identificateur inconnu « %1 »").arg(v->name));
        return;
    }
    if (sym->kind != SymKind::Var || sym->byRef || sym->level != m_level ||
        sym->withSlot >= 0 || (!sym->type->isOrdinal() && s->op != Tok::KwIn)) {
        m_diags.error(v->pos, "variable de contrôle de boucle incorrecte");
        return;
    }
    if (isForVar(sym)) {
        m_diags.error(
            v->pos,
            QStringLiteral("affectation impossible à la variable de boucle « %1 »").arg(v->name));
        return;
    }
    if (s->op == Tok::KwIn) {
        compileForIn(s, sym);
        return;
    }
    int var = sym->slot;
    int lim = temp();
    Operand hi = expr(s->kid(2), lim);
    if (!stop() && !hi.type->isOrdinal())
        mismatch(s->kid(2)->pos, hi.type, sym->type);
    materialize(hi, lim);
    Operand lo = expr(s->kid(1), var);
    if (stop())
        return;
    if (!assignable(sym->type, lo.type, &lo) || !lo.type->isOrdinal()) {
        mismatch(s->kid(1)->pos, lo.type, sym->type);
        return;
    }
    lo = convert(lo, sym->type, s->kid(1)->pos, var);
    materialize(lo, var);
    bool down = s->op == Tok::KwDownto;
    int skip = put(down ? Op::JLt : Op::JGt, var, lim);
    int top = here();
    loopBody(s->kid(3), sym);
    continuesHere();
    m_pos = s->pos;
    put(down ? Op::ForDown : Op::ForUp, var, lim, top);
    patchTo(skip, here());
    breaksHere();
}

void Compiler::loopBody(const Node* body, const Symbol* forVar) {
    m_breaks.emplace_back();
    m_continues.emplace_back();
    m_loopUnwindBase.push_back(int(m_unwinds.size()));
    m_loopTemps.push_back(m_managedTemps.size());
    if (forVar)
        m_forVars.push_back(forVar);
    compileStmt(body);
    if (forVar)
        m_forVars.pop_back();
    m_loopUnwindBase.pop_back();
    m_loopTemps.pop_back();
}

void Compiler::continuesHere() {
    for (int at : m_continues.back())
        patchTo(at, here());
}

void Compiler::breaksHere() {
    for (int at : m_breaks.back())
        patchTo(at, here());
    m_breaks.pop_back();
    m_continues.pop_back();
}

bool Compiler::isForVar(const Symbol* s) const {
    return std::find(m_forVars.begin(), m_forVars.end(), s) != m_forVars.end();
}

void Compiler::compileCase(const Node* s) {
    Operand sel = expr(s->kid(0));
    if (stop())
        return;
    bool isStr = sel.type->kind == TK::Str || sel.type->kind == TK::Char;
    bool strCase = sel.type->kind == TK::Str;
    if (!sel.type->isOrdinal() && !strCase) {
        m_diags.error(s->kid(0)->pos, "expression ordinale ou chaîne attendue");
        return;
    }
    (void)isStr;
    int sv = materialize(sel);
    // The values the labels before took, as disjoint ranges by their first value: a value
    // two labels would share is refused, as Pascal does, instead of the second label never
    // being reached.
    std::map<int64_t, int64_t> taken;
    std::map<QString, QString> takenTexts;
    auto text = [](const Operand& o) {
        return o.type->kind == TK::Char ? QString(QChar(char16_t(o.ival))) : o.sval;
    };
    auto shares = [](auto& ranges, const auto& lo, const auto& hi) {
        if (hi < lo)
            return false; // an empty range takes nothing
        auto it = ranges.upper_bound(hi);
        if (it != ranges.begin() && !(std::prev(it)->second < lo))
            return true;
        ranges.emplace(lo, hi);
        return false;
    };
    auto claim = [&](const Operand& lo, const Operand& hi, Pos pos) {
        const bool shared =
            strCase ? shares(takenTexts, text(lo), text(hi)) : shares(taken, lo.ival, hi.ival);
        if (shared)
            m_diags.error(pos, "étiquette de case en double");
        return !shared;
    };
    std::vector<int> toEnd;
    size_t nb = s->kids.size() - (s->flag ? 1 : 0);
    for (size_t b = 1; b < nb; ++b) {
        const Node* br = s->kid(b);
        std::vector<int> toBody;
        for (auto& lab : br->kid(0)->kids) {
            // A label's temporaries are released before its jumps: the labels after a match
            // never run, so their slots must not be left for the end of the statement.
            int labelMark = m_slotTop;
            size_t labelTemps = m_managedTemps.size();
            if (lab->kind == NK::Range) {
                Operand lo = expr(lab->kid(0)), hi = expr(lab->kid(1));
                if (stop())
                    return;
                if (!lo.isConst() || !hi.isConst()) {
                    m_diags.error(lab->pos, "intervalle constant attendu");
                    return;
                }
                if (!assignable(sel.type, lo.type, &lo) || !assignable(sel.type, hi.type, &hi)) {
                    mismatch(lab->pos, assignable(sel.type, lo.type, &lo) ? hi.type : lo.type,
                             sel.type);
                    return;
                }
                if (!claim(lo, hi, lab->pos))
                    return;
                if (strCase) {
                    int below = temp(), above = temp();
                    int kl = materialize(convert(lo, m_tStr, lab->pos));
                    int kh = materialize(convert(hi, m_tStr, lab->pos));
                    put(Op::CmpS, below, sv, kl, 2);
                    put(Op::CmpS, above, sv, kh, 4);
                    put(Op::Or, below, below, above);
                    dropTemps(labelTemps);
                    toBody.push_back(put(Op::JF, below));
                } else {
                    int kl = fits32(lo.ival) ? -1 : materialize(lo);
                    int kh = fits32(hi.ival) ? -1 : materialize(hi);
                    int skip = kl < 0 ? put(Op::JLtK, sv, int32_t(lo.ival)) : put(Op::JLt, sv, kl);
                    toBody.push_back(kh < 0 ? put(Op::JLeK, sv, int32_t(hi.ival))
                                            : put(Op::JLe, sv, kh));
                    patchTo(skip, here());
                }
            } else {
                Operand c = expr(lab.get());
                if (stop())
                    return;
                if (!c.isConst() || !assignable(sel.type, c.type, &c)) {
                    if (c.isConst())
                        mismatch(lab->pos, c.type, sel.type);
                    else
                        m_diags.error(lab->pos, "constante attendue");
                    return;
                }
                if (!claim(c, c, lab->pos))
                    return;
                if (strCase) {
                    int t = temp();
                    int k = materialize(convert(c, m_tStr, lab->pos));
                    put(Op::CmpS, t, sv, k, 0);
                    dropTemps(labelTemps);
                    toBody.push_back(put(Op::JT, t));
                } else if (fits32(c.ival)) {
                    toBody.push_back(put(Op::JEqK, sv, int32_t(c.ival)));
                } else {
                    toBody.push_back(put(Op::JEq, sv, materialize(c)));
                }
            }
            m_slotTop = labelMark;
        }
        int next = put(Op::Jmp);
        for (int at : toBody)
            patchTo(at, here());
        compileStmt(br->kid(1));
        toEnd.push_back(put(Op::Jmp));
        patchTo(next, here());
    }
    if (s->flag)
        compileStmt(s->kids.back().get());
    for (int at : toEnd)
        patchTo(at, here());
}

void Compiler::compileTryExcept(const Node* s) {
    int exc = tempBlock(1);
    int t = put(Op::Try, 0, exc, m_slotTop, 0);
    m_unwinds.push_back({int(m_breaks.size()), nullptr, exc});
    compileStmt(s->kid(0));
    m_unwinds.pop_back();
    put(Op::EndTry);
    int toEnd = put(Op::Jmp);
    patchTo(t, here());
    // The caught exception is released if another one leaves the handler.
    m_managedTemps.push_back(exc);
    std::vector<int> ends{toEnd};
    bool caughtAll = false;
    for (size_t i = 1; i < s->kids.size(); ++i) {
        const Node* h = s->kid(i);
        if (h->kind == NK::OnHandler) {
            const Type* ct = namedType(h->str, h->pos);
            if (stop()) {
                m_managedTemps.pop_back();
                return;
            }
            if (ct->kind != TK::Class || ct->isHostClass) {
                m_diags.error(h->pos, "classe d'exception attendue");
                m_managedTemps.pop_back();
                return;
            }
            int test = temp();
            put(Op::ExcIs, test, exc, ct->classId);
            int next = put(Op::JF, test);
            pushScope();
            if (!h->name.isEmpty()) {
                Symbol e{SymKind::Var};
                e.type = ct;
                e.level = m_level;
                e.slot = exc;
                e.isConst = true;
                define(h->name, h->pos, e);
            }
            m_unwinds.push_back({int(m_breaks.size()), nullptr, -exc - 1});
            compileStmt(h->kid(0));
            m_unwinds.pop_back();
            popScope();
            put(Op::Clear, exc);
            ends.push_back(put(Op::Jmp));
            patchTo(next, here());
        } else {
            m_unwinds.push_back({int(m_breaks.size()), nullptr, -exc - 1});
            compileStmt(h);
            m_unwinds.pop_back();
            put(Op::Clear, exc);
            caughtAll = true;
        }
    }
    if (!caughtAll)
        put(Op::Reraise, exc);
    m_managedTemps.pop_back();
    for (int at : ends)
        patchTo(at, here());
}

void Compiler::compileTryFinally(const Node* s) {
    int exc = tempBlock(1);
    int t = put(Op::Try, 0, exc, m_slotTop, 1);
    m_unwinds.push_back({int(m_breaks.size()), s->kid(1), exc});
    compileStmt(s->kid(0));
    m_unwinds.pop_back();
    put(Op::EndTry);
    patchTo(t, here());
    m_managedTemps.push_back(exc); // the pending exception, if the finally part fails too
    compileStmt(s->kid(1));
    put(Op::Reraise, exc);
    m_managedTemps.pop_back();
}

void Compiler::compileJumpOut(const Node* s, int kind) {
    int stopAt = 0;
    if (kind < 2) {
        if (m_breaks.empty()) {
            m_diags.error(s->pos, kind == 0 ? "« break » hors d'une boucle"
                                            : "« continue » hors d'une boucle");
            return;
        }
        stopAt = m_loopUnwindBase.back();
    } else if (!s->kids.empty()) {
        Symbol* res = lookup("Result");
        if (!res || m_level == 0) {
            m_diags.error(s->pos, "« Exit » avec valeur hors d'une fonction");
            return;
        }
        Operand v = expr(s->kid(0));
        if (stop())
            return;
        if (!assignable(res->type, v.type, &v)) {
            mismatch(s->kid(0)->pos, v.type, res->type);
            return;
        }
        v = convert(v, res->type, s->pos);
        LVal lv{LVal::Local, res->type, 0};
        writeLVal(lv, materialize(v), v.type, s->pos);
    }
    // The temporaries of the statements being left are released: the jump skips their end.
    for (size_t k = kind < 2 ? m_loopTemps.back() : 0; k < m_managedTemps.size(); ++k)
        put(Op::Clear, m_managedTemps[k]);
    for (int i = int(m_unwinds.size()) - 1; i >= stopAt; --i) {
        const Unwind u = m_unwinds[i];
        if (u.excSlot < 0) { // leaving an except handler: its exception is done with
            put(Op::Clear, -u.excSlot - 1);
            continue;
        }
        put(Op::EndTry);
        if (u.finallyBody) {
            auto saved = m_unwinds;
            m_unwinds.resize(i);
            compileStmt(u.finallyBody);
            m_unwinds = saved;
        }
    }
    m_pos = s->pos;
    int j = put(Op::Jmp);
    if (kind == 0)
        m_breaks.back().push_back(j);
    else if (kind == 1)
        m_continues.back().push_back(j);
    else if (m_level == 0)
        m_out.code[j] = Instr{Op::Halt};
    else
        m_exits.push_back(j);
}

void Compiler::compileRaise(const Node* s) {
    if (s->kids.empty()) {
        for (int i = int(m_unwinds.size()) - 1; i >= 0; --i) {
            if (m_unwinds[i].excSlot < 0) {
                put(Op::Reraise, -m_unwinds[i].excSlot - 1);
                return;
            }
        }
        m_diags.error(s->pos, "« raise » sans exception hors d'un gestionnaire");
        return;
    }
    Operand e = expr(s->kid(0));
    if (stop())
        return;
    if (e.type->kind != TK::Class || e.type->isHostClass) {
        m_diags.error(s->kid(0)->pos, "exception attendue");
        return;
    }
    m_pos = s->pos;
    put(Op::Raise, materialize(e));
}

} // namespace vscript
