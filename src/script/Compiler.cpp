#include "Compiler.h"

#include "Builtins.h"
#include "Parser.h"

namespace vscript {

namespace {

Type ordinal(const char* name, int64_t lo, int64_t hi, uint8_t wrap, TK kind = TK::Int) {
    Type t;
    t.kind = kind;
    t.name = name;
    t.lo = lo;
    t.hi = hi;
    t.wrap = wrap;
    return t;
}

} // namespace

Compiler::Compiler(CompiledProgram& out, Diagnostics& diags) : m_out(out), m_diags(diags) {
    m_errorsAtStart = diags.count();
    m_scopes.emplace_back();
    auto addType = [&](const QString& name, const Type* t) {
        Symbol s{SymKind::Type};
        s.type = t;
        m_scopes[0][name.toLower()] = s;
    };
    m_tInt = newType(ordinal("Integer", INT32_MIN, INT32_MAX, WS32));
    m_tInt64 = newType(ordinal("Int64", INT64_MIN, INT64_MAX, W64));
    m_tCardinal = newType(ordinal("Cardinal", 0, UINT32_MAX, WU32));
    m_tBool = newType(ordinal("Boolean", 0, 1, W64, TK::Bool));
    m_tChar = newType(ordinal("Char", 0, 0xFFFF, WU16, TK::Char));
    Type f;
    f.kind = TK::Float;
    f.name = "Double";
    m_tFloat = newType(f);
    f.name = "TDateTime";
    m_tDateTime = newType(f);
    Type s;
    s.kind = TK::Str;
    s.name = "string";
    m_tStr = newType(s);
    Type n;
    n.kind = TK::Nil;
    n.name = "nil";
    m_tNil = newType(n);
    Type v;
    v.kind = TK::Void;
    v.name = "procédure";
    m_tVoid = newType(v);
    for (const char* name : {"Integer", "Longint"})
        addType(name, m_tInt);
    addType("Int64", m_tInt64);
    addType("Cardinal", m_tCardinal);
    addType("Longword", m_tCardinal);
    addType("Byte", newType(ordinal("Byte", 0, 255, WU8)));
    addType("ShortInt", newType(ordinal("ShortInt", -128, 127, WS8)));
    addType("Word", newType(ordinal("Word", 0, 65535, WU16)));
    addType("SmallInt", newType(ordinal("SmallInt", -32768, 32767, WS16)));
    addType("Boolean", m_tBool);
    addType("Char", m_tChar);
    addType("WideChar", m_tChar);
    for (const char* name : {"Double", "Extended", "Single", "Real", "Currency"})
        addType(name, m_tFloat);
    addType("TDateTime", m_tDateTime);
    for (const char* name : {"string", "AnsiString", "WideString", "UnicodeString"})
        addType(name, m_tStr);

    // Exception classes as Free Pascal names them.
    const std::pair<const char*, int> classes[] = {
        {"Exception", -1}, {"EConvertError", 0}, {"EIntError", 0},
        {"EDivByZero", 2}, {"ERangeError", 2},   {"EMathError", 0},
        {"EInvalidOp", 5}, {"EZeroDivide", 5},   {"EOutOfMemory", 0}};
    for (auto& [name, parent] : classes) {
        Type c;
        c.kind = TK::Class;
        c.name = name;
        c.classId = int(m_out.excClasses.size());
        m_out.excClasses.push_back({name, parent});
        const Type* t = newType(c);
        if (c.classId == 0)
            m_tException = t;
        addType(name, t);
    }

    auto constant = [&](const char* name, const Type* t, int64_t iv) {
        Symbol s{SymKind::Const};
        s.type = t;
        s.ival = iv;
        m_scopes[0][QString(name).toLower()] = s;
    };
    constant("True", m_tBool, 1);
    constant("False", m_tBool, 0);
    constant("MaxInt", m_tInt, INT32_MAX);
    constant("MaxLongint", m_tInt, INT32_MAX);
    // Free Pascal's enumerations taken by StringReplace and FloatToStrF.
    auto enumeration = [&](const char* name, std::initializer_list<const char*> values) {
        Type e;
        e.kind = TK::Enum;
        e.hi = int64_t(values.size()) - 1;
        e.name = name;
        const Type* t = newType(e);
        addType(name, t);
        int64_t i = 0;
        for (const char* v : values)
            constant(v, t, i++);
        return t;
    };
    Type flags;
    flags.kind = TK::Set;
    flags.elem = enumeration("TReplaceFlag", {"rfReplaceAll", "rfIgnoreCase"});
    flags.hi = 63;
    flags.name = "TReplaceFlags";
    addType("TReplaceFlags", newType(flags));
    enumeration("TFloatFormat", {"ffGeneral", "ffExponent", "ffFixed", "ffNumber", "ffCurrency"});
    Symbol pi{SymKind::Const};
    pi.type = m_tFloat;
    pi.fval = 3.14159265358979323846;
    m_scopes[0]["pi"] = pi;

    // clang-format off
    const char* builtins[] = {"Length",      "SetLength",  "Copy",   "Pos",       "Delete",
                              "Insert",      "Inc",        "Dec",    "Ord",       "Chr",
                              "High",        "Low",        "Abs",    "Sqr",       "Sqrt",
                              "Round",       "Trunc",      "Odd",    "IntToStr",  "StrToInt",
                              "StrToIntDef", "FloatToStr", "Format", "UpperCase", "LowerCase",
                              "Trim",        "Now",        "Date",   "Time",      "FormatDateTime",
                              "DateToStr",   "TimeToStr",  "Random", "Randomize", "Include",
                              "Exclude",     "Succ",       "Pred",   "Assigned",
                              "StrToInt64", "StrToFloat", "StringReplace", "QuotedStr",
                              "IntToHex", "StringOfChar", "TrimLeft", "TrimRight", "CompareStr",
                              "CompareText", "SameText", "BoolToStr", "LastDelimiter",
                              "FormatFloat", "FloatToStrF", "Int", "Frac", "Ln", "Exp", "Sin",
                              "Cos", "ArcTan", "EncodeDate", "EncodeTime", "DecodeDate",
                              "DecodeTime", "DayOfWeek", "IncDay", "Max", "Min", "Ceil",
                              "Floor", "Power", "IntPower", "Sign", "UpCase", "Concat", "Str",
                              "Val", "AnsiUpperCase", "AnsiLowerCase",
                              "IncludeTrailingPathDelimiter", "ExcludeTrailingPathDelimiter",
                              "DupeString", "ReverseString", "LeftStr", "RightStr", "PosEx",
                              "StartsText", "EndsText", "StartsStr", "EndsStr", "AnsiStartsText",
                              "AnsiEndsText", "AnsiStartsStr", "AnsiEndsStr"};
    // clang-format on
    for (const char* b : builtins) {
        Symbol s{SymKind::Builtin};
        s.sval = b;
        m_scopes[0][QString(b).toLower()] = s;
    }
    for (const char* b : {"Write", "WriteLn"}) {
        Symbol w{SymKind::Builtin};
        w.sval = b;
        m_scopes[0][QString(b).toLower()] = w;
    }
    pushScope(); // host declarations, then the program's own
}

const Type* Compiler::newType(Type t) {
    m_out.types.push_back(std::move(t));
    return &m_out.types.back();
}

QString Compiler::typeName(const Type* t) const {
    return t ? t->name : QStringLiteral("?");
}

void Compiler::mismatch(Pos pos, const Type* got, const Type* want) {
    m_diags.error(pos, QStringLiteral("types incompatibles : « %1 » obtenu, « %2 » attendu")
                           .arg(typeName(got), typeName(want)));
}

void Compiler::pushScope() {
    m_scopes.emplace_back();
}
void Compiler::popScope() {
    m_scopes.pop_back();
}

Compiler::Symbol* Compiler::lookupCallable(const QString& name) {
    QString key = name.toLower();
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it) {
        auto f = it->find(key);
        if (f != it->end() && !(f->second.kind == SymKind::Var && f->second.slot == 0 &&
                                key != "result" && f->second.level > 0))
            return &f->second;
    }
    return nullptr;
}

Compiler::Symbol* Compiler::lookup(const QString& name) {
    QString key = name.toLower();
    for (auto it = m_scopes.rbegin(); it != m_scopes.rend(); ++it) {
        auto f = it->find(key);
        if (f != it->end())
            return &f->second;
    }
    return nullptr;
}

Compiler::Symbol& Compiler::define(const QString& name, Pos pos, Symbol s) {
    auto& scope = m_scopes.back();
    QString key = name.toLower();
    auto it = scope.find(key);
    if (it != scope.end() && m_scopes.size() > 2 && !it->second.resultAlias) {
        m_diags.error(pos, QStringLiteral("identificateur déjà déclaré « %1 »").arg(name));
        return it->second;
    }
    scope[key] = s;
    return scope[key];
}

int Compiler::put(Op op, int a, int b, int c, uint8_t x) {
    m_out.code.push_back(Instr{op, x, a, b, c});
    m_out.positions.push_back(m_pos);
    if (m_out.tempLists.empty() || m_out.tempLists.back() != m_managedTemps)
        m_out.tempLists.push_back(m_managedTemps);
    m_out.liveTemps.push_back(int32_t(m_out.tempLists.size()) - 1);
    return here() - 1;
}

int Compiler::putAt(Pos pos, Op op, int a, int b, int c, uint8_t x) {
    Pos saved = m_pos;
    m_pos = pos;
    int at = put(op, a, b, c, x);
    m_pos = saved;
    return at;
}

void Compiler::patchTo(int at, int target) {
    Instr& i = m_out.code[at];
    switch (i.op) {
    case Op::Jmp:
        i.a = target;
        break;
    case Op::JT:
    case Op::JF:
        i.b = target;
        break;
    case Op::Try:
        i.a = target;
        break;
    default:
        i.c = target;
    }
}

int Compiler::temp(const Type* t) {
    int s = m_slotTop++;
    m_maxSlot = std::max(m_maxSlot, m_slotTop);
    if (t && t->mode() != Plain) {
        m_managedTemps.push_back(s);
        put(Op::Null, s);
    }
    return s;
}

int Compiler::tempBlock(int n) {
    int s = m_slotTop;
    m_slotTop += n;
    m_maxSlot = std::max(m_maxSlot, m_slotTop);
    return s;
}

void Compiler::dropTemps(size_t count) {
    while (m_managedTemps.size() > count) {
        put(Op::Clear, m_managedTemps.back());
        m_managedTemps.pop_back();
    }
}

void Compiler::releaseTemps(int mark) {
    while (!m_managedTemps.empty() && m_managedTemps.back() >= mark) {
        put(Op::Clear, m_managedTemps.back());
        m_managedTemps.pop_back();
    }
    m_slotTop = std::min(m_slotTop, mark);
}

int Compiler::stringConst(const QString& s) {
    auto* obj = new StrObj(s);
    m_out.ownedStrings.push_back(obj);
    Value v;
    v.o = obj;
    m_out.constants.push_back(v);
    return int(m_out.constants.size()) - 1;
}

const Layout* Compiler::layoutFor(const Type* t) {
    m_out.layouts.emplace_back();
    Layout& l = m_out.layouts.back();
    if (t->kind == TK::Rec) {
        l.count = int64_t(t->fields.size());
        for (auto& f : t->fields) {
            l.modes.push_back(f.type->mode());
            l.subLayouts.push_back(f.type->mode() == Aggr ? f.type->layout : nullptr);
        }
    } else {
        l.uniform = true;
        l.elemMode = t->elem->mode();
        l.elemLayout = l.elemMode == Aggr ? t->elem->layout : nullptr;
        l.count = t->kind == TK::SArr ? t->hi - t->lo + 1 : 0;
    }
    return &l;
}

const Type* Compiler::namedType(const QString& name, Pos pos) {
    Symbol* s = lookup(name);
    if (!s) {
        m_diags.error(pos, QStringLiteral("identificateur inconnu « %1 »").arg(name));
        return m_tInt;
    }
    if (s->kind != SymKind::Type && s->kind != SymKind::HostClass) {
        m_diags.error(pos, QStringLiteral("« %1 » n'est pas un type").arg(name));
        return m_tInt;
    }
    return s->type;
}

const Type* Compiler::resolveType(const Node* t) {
    if (!t)
        return m_tInt;
    switch (t->kind) {
    case NK::TypeName:
        return namedType(t->name, t->pos);
    case NK::DynArray: {
        Type a;
        a.kind = TK::DArr;
        a.elem = resolveType(t->type.get());
        a.name = "array of " + typeName(a.elem);
        a.lo = 0;
        Type* nt = const_cast<Type*>(newType(a));
        nt->layout = layoutFor(nt);
        return nt;
    }
    case NK::StaticArray: {
        const Type* elem = resolveType(t->type.get());
        // array[a..b, c..d] of T is array[a..b] of array[c..d] of T
        for (size_t k = t->kids.size(); k-- > 0;) {
            const Node* r = t->kid(k);
            Type a;
            a.kind = TK::SArr;
            a.elem = elem;
            if (r->kind == NK::Range) {
                Operand lo = expr(r->kid(0)), hi = expr(r->kid(1));
                if (!lo.isConst() || !hi.isConst() || !lo.type || !lo.type->isOrdinal()) {
                    m_diags.error(r->pos, "bornes constantes attendues");
                    return m_tInt;
                }
                a.lo = lo.ival;
                a.hi = hi.ival;
                a.base = lo.type;
            } else {
                const Type* it = namedType(r->name, r->pos);
                if (!it->isOrdinal() || it->hi - it->lo > 100000000) {
                    m_diags.error(r->pos, "type d'indice incorrect");
                    return m_tInt;
                }
                a.lo = it->lo;
                a.hi = it->hi;
                a.base = it;
            }
            if (a.hi < a.lo || a.hi - a.lo >= (int64_t(1) << 26)) {
                m_diags.error(r->pos, "bornes de tableau incorrectes");
                return m_tInt;
            }
            a.name = QStringLiteral("array[%1..%2] of %3").arg(a.lo).arg(a.hi).arg(typeName(elem));
            Type* nt = const_cast<Type*>(newType(a));
            nt->layout = layoutFor(nt);
            elem = nt;
        }
        return elem;
    }
    case NK::RecordType: {
        Type r;
        r.kind = TK::Rec;
        r.name = "record";
        for (auto& v : t->kids) {
            const Type* ft = resolveType(v->type.get());
            for (auto& n : v->kids) {
                for (auto& f : r.fields)
                    if (f.name.compare(n->name, Qt::CaseInsensitive) == 0)
                        m_diags.error(n->pos,
                                      QStringLiteral("champ déjà déclaré « %1 »").arg(n->name));
                r.fields.push_back({n->name, ft});
            }
        }
        Type* nt = const_cast<Type*>(newType(r));
        nt->layout = layoutFor(nt);
        return nt;
    }
    case NK::EnumType: {
        Type e;
        e.kind = TK::Enum;
        e.lo = 0;
        e.hi = int64_t(t->kids.size()) - 1;
        e.name = "énumération";
        const Type* et = newType(e);
        int64_t i = 0;
        for (auto& n : t->kids) {
            Symbol s{SymKind::Const};
            s.type = et;
            s.ival = i++;
            define(n->name, n->pos, s);
        }
        return et;
    }
    case NK::Subrange: {
        Operand lo = expr(t->kid(0)), hi = expr(t->kid(1));
        if (!lo.isConst() || !hi.isConst() || !lo.type->isOrdinal() || hi.ival < lo.ival) {
            m_diags.error(t->pos, "intervalle constant attendu");
            return m_tInt;
        }
        Type r = *lo.type;
        r.lo = lo.ival;
        r.hi = hi.ival;
        r.base = lo.type->base ? lo.type->base : lo.type;
        if (r.kind == TK::Int)
            r.wrap = (r.lo >= 0 && r.hi <= 255)                 ? WU8
                     : (r.lo >= -128 && r.hi <= 127)            ? WS8
                     : (r.lo >= INT32_MIN && r.hi <= INT32_MAX) ? WS32
                                                                : W64;
        r.name = QStringLiteral("%1..%2").arg(lo.ival).arg(hi.ival);
        return newType(r);
    }
    case NK::SetType: {
        const Type* b = resolveType(t->type.get());
        // A set of Char holds the characters #0..#255, as in Delphi.
        if (b->kind == TK::Char && b->lo == 0 && b->hi > 255) {
            Type narrow = *b;
            narrow.hi = 255;
            narrow.base = b;
            b = newType(narrow);
        }
        if (!b->isOrdinal() || b->lo < 0 || b->hi > 255) {
            m_diags.error(t->pos, "ensemble limité aux ordinaux de 0 à 255");
            return m_tInt;
        }
        Type s;
        s.kind = TK::Set;
        s.elem = b;
        s.hi = b->hi > 63 ? 255 : 63;
        s.name = "set of " + typeName(b);
        return newType(s);
    }
    default:
        m_diags.error(t->pos, "type attendu");
        return m_tInt;
    }
}

void Compiler::declareConst(const Node* c) {
    const Type* declared = c->type ? resolveType(c->type.get()) : nullptr;
    if (stop())
        return;
    // A typed constant of a record or an array is a variable the program may only read.
    if (declared && (declared->mode() != Plain && declared->kind != TK::Str &&
                     declared->kind != TK::Set)) {
        Symbol& def = declareStorage(c->name, c->pos, declared, m_level == 0);
        def.isConst = true;
        m_inits.push_back({declared, def.slot, c->kid(0)});
        return;
    }
    if (c->kid(0)->kind == NK::Aggregate) {
        m_diags.error(c->kid(0)->pos, QStringLiteral("valeur incompatible avec le type « %1 »")
                                          .arg(typeName(declared ? declared : m_tInt)));
        return;
    }
    Operand v = expr(c->kid(0));
    if (!v.isConst()) {
        m_diags.error(c->kid(0)->pos, "expression constante attendue");
        return;
    }
    Symbol s{SymKind::Const};
    s.type = v.type;
    if (declared) {
        const Type* t = declared;
        if (!assignable(t, v.type, &v))
            mismatch(c->kid(0)->pos, v.type, t);
        else if (t->kind == TK::Float && v.type->kind == TK::Int)
            v.fval = double(v.ival);
        else if (t->kind == TK::Set && v.type->kind == TK::Set)
            v = setWidth(v, t);
        s.type = t;
    }
    s.ival = v.ival;
    s.fval = v.fval;
    s.sval = v.sval;
    s.bits = v.bits;
    define(c->name, c->pos, s);
}

Compiler::Symbol& Compiler::declareStorage(const QString& name, Pos pos, const Type* t,
                                           bool global) {
    Symbol s{SymKind::Var};
    s.type = t;
    s.level = m_level;
    s.slot = tempBlock(1);
    Symbol& def = define(name, pos, s);
    auto& r = m_out.routines[m_routine];
    if (t->mode() != Plain)
        r.releaseSlots.push_back(def.slot);
    if (t->mode() == Aggr)
        r.aggSlots.push_back(def.slot);
    if (global)
        m_out.globalCount = std::max(m_out.globalCount, m_slotTop);
    return def;
}

void Compiler::declareVars(const Node* v, bool global) {
    const Type* t = resolveType(v->type.get());
    const bool init = v->str == "init";
    // With an initial value, the last kid is that value.
    const size_t names = v->kids.size() - (init ? 1 : 0);
    for (size_t k = 0; k < names; ++k) {
        const Node* n = v->kid(k);
        Symbol& def = declareStorage(n->name, n->pos, t, global);
        if (init && names == 1)
            m_inits.push_back({t, def.slot, v->kids.back().get()});
    }
    if (init && names > 1)
        m_diags.error(v->pos, "une seule variable peut recevoir une valeur initiale");
}

void Compiler::declareHost(const HostDecls& host) {
    for (auto& t : host.types) {
        Diagnostics d;
        Lexer lx(t.decl, d);
        Parser p(lx.tokenize(), d);
        NodePtr n = p.parseTypeOnly();
        if (d.hasErrors()) {
            m_diags.error({1, 1},
                          QStringLiteral("déclaration d'hôte incorrecte « %1 »").arg(t.name));
            continue;
        }
        Symbol s{SymKind::Type};
        const Type* rt = resolveType(n.get());
        Type named = *rt;
        named.name = t.name;
        s.type = rt->kind == TK::Rec || rt->kind == TK::Enum ? rt : newType(named);
        const_cast<Type*>(s.type)->name = t.name;
        define(t.name, {1, 1}, s);
    }
    for (auto& c : host.constants) {
        Diagnostics d;
        Lexer lx(c.valueText, d);
        auto toks = lx.tokenize();
        Parser p(toks, d);
        Symbol s{SymKind::Const};
        s.type = namedType(c.type, {1, 1});
        if (!toks.empty() && toks[0].kind == Tok::StrLit)
            s.sval = toks[0].text;
        else if (!toks.empty() && toks[0].kind == Tok::FloatLit)
            s.fval = toks[0].fval;
        else if (!toks.empty() && toks[0].kind == Tok::IntLit)
            s.ival = toks[0].ival, s.fval = double(toks[0].ival);
        else if (toks.size() > 1 && toks[0].kind == Tok::Minus && toks[1].kind == Tok::IntLit)
            s.ival = -toks[1].ival, s.fval = -double(toks[1].ival);
        else if (!toks.empty() && toks[0].kind == Tok::Ident && s.type->kind == TK::Bool)
            s.ival = toks[0].text.compare("true", Qt::CaseInsensitive) == 0;
        define(c.name, {1, 1}, s);
    }
    auto hostRoutine = [&](const QString& decl, int index, const Type* self) -> bool {
        Diagnostics d;
        Lexer lx(decl, d);
        Parser p(lx.tokenize(), d);
        NodePtr r = p.parseRoutineHeading();
        if (d.hasErrors())
            return false;
        Symbol s{SymKind::Host};
        HostCallSite site;
        site.hostIndex = index;
        site.hasSelf = self != nullptr && r->name.compare("create", Qt::CaseInsensitive) != 0;
        for (auto& prm : r->kids) {
            const Type* pt = resolveType(prm->type.get());
            for (size_t k = 0; k < prm->kids.size(); ++k) {
                s.params.push_back(pt);
                s.paramByRef.push_back(false);
                site.params.push_back(pt);
            }
        }
        s.type = r->flag ? resolveType(r->type.get()) : m_tVoid;
        site.result = r->flag ? s.type : nullptr;
        s.index = int(m_out.hostSites.size());
        m_out.hostSites.push_back(site);
        if (self) {
            Type& cls = const_cast<Type&>(*self);
            cls.fields.push_back({r->name, nullptr});
            m_out.hostSites.back().hostIndex = index;
            Symbol ms = s;
            ms.decl = nullptr;
            define(self->name + "." + r->name, {1, 1}, ms);
        } else {
            define(r->name, {1, 1}, s);
        }
        return true;
    };
    for (auto& r : host.routines)
        if (!hostRoutine(r.decl, r.index, nullptr))
            m_diags.error({1, 1},
                          QStringLiteral("déclaration d'hôte incorrecte « %1 »").arg(r.decl));
    for (auto& c : host.classes) {
        Type ct;
        ct.kind = TK::Class;
        ct.name = c.name;
        ct.classId = c.classId;
        ct.isHostClass = true;
        const Type* t = newType(ct);
        Symbol s{SymKind::HostClass};
        s.type = t;
        define(c.name, {1, 1}, s);
        for (auto& m : c.methods)
            if (!hostRoutine(m.decl, m.index, t))
                m_diags.error({1, 1},
                              QStringLiteral("déclaration d'hôte incorrecte « %1 »").arg(m.decl));
        for (auto& p : c.properties) {
            Symbol ps{SymKind::Var};
            ps.type = namedType(p.type, {1, 1});
            ps.isConst = p.readOnly;
            HostCallSite get{p.getIndex, {}, ps.type, true};
            ps.index = int(m_out.hostSites.size());
            m_out.hostSites.push_back(get);
            HostCallSite set{p.setIndex, {ps.type}, nullptr, true};
            ps.slot = int(m_out.hostSites.size());
            m_out.hostSites.push_back(set);
            define(c.name + "." + p.name, {1, 1}, ps);
        }
    }
    pushScope();
}

void Compiler::declareRoutine(const Node* r) {
    Symbol* existing = m_scopes.back().count(r->name.toLower()) ? lookup(r->name) : nullptr;
    Symbol* sym = nullptr;
    if (existing && existing->kind == SymKind::Routine && !existing->defined &&
        r->str != "forward") {
        sym = existing; // the body of a forward declaration
    } else {
        Symbol s{SymKind::Routine};
        s.level = m_level + 1;
        s.type = r->flag ? resolveType(r->type.get()) : m_tVoid;
        for (auto& p : r->kids) {
            if (p->kind != NK::Param)
                continue;
            const Type* pt = resolveType(p->type.get());
            if (p->type && p->type->kind == NK::DynArray && pt->kind == TK::DArr)
                const_cast<Type*>(pt)->openArray = true; // a type of its own, made just now
            for (size_t k = 0; k < p->kids.size(); ++k) {
                s.params.push_back(pt);
                s.paramByRef.push_back(p->op == Tok::KwVar);
            }
        }
        s.index = int(m_out.routines.size());
        m_out.routines.emplace_back();
        m_out.routines.back().name = r->name;
        m_out.routines.back().level = s.level;
        m_out.routines.back().paramCount = int(s.params.size());
        s.decl = r;
        sym = &define(r->name, r->pos, s);
    }
    if (r->str == "forward")
        return;
    sym->defined = true;
    compileRoutineBody(*sym, r);
}

} // namespace vscript
