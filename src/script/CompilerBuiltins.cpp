#include "Compiler.h"

namespace vscript {

bool Compiler::constTagOf(const Type* t, ConstTag& tag) {
    switch (t->kind) {
    case TK::Int:
        tag = t->wrap == W64 || t->wrap == WU32 ? TagInt : TagInt32;
        return true;
    case TK::Float:
        tag = TagFloat;
        return true;
    case TK::Str:
        tag = TagStr;
        return true;
    case TK::Char:
        tag = TagChar;
        return true;
    case TK::Bool:
        tag = TagBool;
        return true;
    default:
        return false;
    }
}

Compiler::Operand Compiler::callBuiltin(const QString& name, const Node* e,
                                        std::vector<const Node*>& args, int dst, bool wantValue) {
    (void)e;
    const QString n = name.toLower();
    Pos pos = m_pos;
    auto argc = [&](size_t lo, size_t hi) {
        if (args.size() < lo || args.size() > hi) {
            m_diags.error(pos,
                          QStringLiteral("nombre de paramètres incorrect pour « %1 »").arg(name));
            return false;
        }
        return true;
    };
    const Operand bad{m_tInt, -1};
    auto fn = [&](Bi id, std::vector<const Type*> types, const Type* result, int ptrArgs = 0) {
        if (!argc(types.size(), types.size()))
            return bad;
        std::vector<std::pair<const Node*, const Type*>> a;
        for (size_t i = 0; i < types.size(); ++i)
            a.push_back({args[i], types[i]});
        return builtinCall(id, a, result, dst, ptrArgs);
    };
    if (n == "inttostr")
        return fn(Bi::IntToStr, {m_tInt64}, m_tStr);
    if (n == "floattostr")
        return fn(Bi::FloatToStr, {m_tFloat}, m_tStr);
    if (n == "strtoint")
        return fn(Bi::StrToInt, {m_tStr}, m_tInt);
    if (n == "strtointdef")
        return fn(Bi::StrToIntDef, {m_tStr, m_tInt64}, m_tInt);
    if (n == "copy") {
        if (args.size() == 2) {
            // Copy(s, i) takes the rest of the string.
            static const NodePtr rest = [] {
                auto r = std::make_unique<Node>(NK::IntLit, Pos{});
                r->ival = INT32_MAX;
                return r;
            }();
            args.push_back(rest.get());
        }
        return fn(Bi::Copy, {m_tStr, m_tInt64, m_tInt64}, m_tStr);
    }
    // A last argument left out is 1 (Pos's offset, IncDay's count).
    auto defaultOne = [&](size_t count) {
        static const NodePtr one = [] {
            auto r = std::make_unique<Node>(NK::IntLit, Pos{});
            r->ival = 1;
            return r;
        }();
        if (args.size() + 1 == count)
            args.push_back(one.get());
    };
    if (n == "pos" || n == "posex") {
        defaultOne(3); // Pos(sub, s, offset)
        return fn(Bi::Pos, {m_tStr, m_tStr, m_tInt64}, m_tInt);
    }
    if (n == "strtoint64")
        return fn(Bi::StrToInt64, {m_tStr}, m_tInt64);
    if (n == "strtofloat")
        return fn(Bi::StrToFloat, {m_tStr}, m_tFloat);
    if (n == "stringreplace")
        return fn(Bi::StringReplace, {m_tStr, m_tStr, m_tStr, m_scopes[0]["treplaceflags"].type},
                  m_tStr);
    if (n == "quotedstr")
        return fn(Bi::QuotedStr, {m_tStr}, m_tStr);
    if (n == "stringofchar")
        return fn(Bi::StringOfChar, {m_tChar, m_tInt64}, m_tStr);
    if (n == "trimleft")
        return fn(Bi::TrimLeft, {m_tStr}, m_tStr);
    if (n == "trimright")
        return fn(Bi::TrimRight, {m_tStr}, m_tStr);
    if (n == "comparestr")
        return fn(Bi::CompareStr, {m_tStr, m_tStr}, m_tInt);
    if (n == "comparetext")
        return fn(Bi::CompareText, {m_tStr, m_tStr}, m_tInt);
    if (n == "sametext")
        return fn(Bi::SameText, {m_tStr, m_tStr}, m_tBool);
    if (n == "booltostr") {
        if (args.size() == 1)
            return fn(Bi::BoolToStr, {m_tBool}, m_tStr);
        return fn(Bi::BoolToStr, {m_tBool, m_tBool}, m_tStr);
    }
    if (n == "lastdelimiter")
        return fn(Bi::LastDelimiter, {m_tStr, m_tStr}, m_tInt);
    if (n == "formatfloat")
        return fn(Bi::FormatFloat, {m_tStr, m_tFloat}, m_tStr);
    if (n == "floattostrf")
        return fn(Bi::FloatToStrF, {m_tFloat, m_scopes[0]["tfloatformat"].type, m_tInt64, m_tInt64},
                  m_tStr);
    const std::pair<const char*, Bi> reals[] = {
        {"int", Bi::Int}, {"frac", Bi::Frac}, {"ln", Bi::Ln},        {"exp", Bi::Exp},
        {"sin", Bi::Sin}, {"cos", Bi::Cos},   {"arctan", Bi::ArcTan}};
    for (auto& [name, id] : reals)
        if (n == name)
            return fn(id, {m_tFloat}, m_tFloat);
    const Type* word = m_scopes[0]["word"].type;
    if (n == "encodedate")
        return fn(Bi::EncodeDate, {m_tInt64, m_tInt64, m_tInt64}, m_tDateTime);
    if (n == "encodetime")
        return fn(Bi::EncodeTime, {m_tInt64, m_tInt64, m_tInt64, m_tInt64}, m_tDateTime);
    if (n == "decodedate")
        return fn(Bi::DecodeDate, {m_tFloat, word, word, word}, nullptr, 0b1110);
    if (n == "decodetime")
        return fn(Bi::DecodeTime, {m_tFloat, word, word, word, word}, nullptr, 0b11110);
    if (n == "dayofweek")
        return fn(Bi::DayOfWeek, {m_tFloat}, m_tInt);
    if (n == "incday") {
        defaultOne(2);
        return fn(Bi::IncDay, {m_tFloat, m_tInt64}, m_tDateTime);
    }
    if (n == "ceil")
        return fn(Bi::Ceil, {m_tFloat}, m_tInt);
    if (n == "floor")
        return fn(Bi::Floor, {m_tFloat}, m_tInt);
    if (n == "power")
        return fn(Bi::Power, {m_tFloat, m_tFloat}, m_tFloat);
    if (n == "intpower")
        return fn(Bi::IntPower, {m_tFloat, m_tInt}, m_tFloat);
    if (n == "sign")
        return fn(Bi::Sign, {m_tFloat}, m_tInt);
    if (n == "ansiuppercase")
        return fn(Bi::AnsiUpperCase, {m_tStr}, m_tStr);
    if (n == "ansilowercase")
        return fn(Bi::AnsiLowerCase, {m_tStr}, m_tStr);
    if (n == "includetrailingpathdelimiter")
        return fn(Bi::IncludeTrailingPathDelimiter, {m_tStr}, m_tStr);
    if (n == "excludetrailingpathdelimiter")
        return fn(Bi::ExcludeTrailingPathDelimiter, {m_tStr}, m_tStr);
    if (n == "dupestring")
        return fn(Bi::DupeString, {m_tStr, m_tInt64}, m_tStr);
    if (n == "reversestring")
        return fn(Bi::ReverseString, {m_tStr}, m_tStr);
    if (n == "leftstr")
        return fn(Bi::LeftStr, {m_tStr, m_tInt64}, m_tStr);
    if (n == "rightstr")
        return fn(Bi::RightStr, {m_tStr, m_tInt64}, m_tStr);
    const std::pair<const char*, Bi> affixes[] = {
        {"startstext", Bi::StartsText},     {"endstext", Bi::EndsText},
        {"startsstr", Bi::StartsStr},       {"endsstr", Bi::EndsStr},
        {"ansistartstext", Bi::StartsText}, {"ansiendstext", Bi::EndsText},
        {"ansistartsstr", Bi::StartsStr},   {"ansiendsstr", Bi::EndsStr}};
    for (auto& [name, id] : affixes)
        if (n == name)
            return fn(id, {m_tStr, m_tStr}, m_tBool);
    if (n == "max" || n == "min") {
        // Free Pascal's overloads: two values that fit an Integer give an Integer, other
        // integers an Int64, and a real among them a real.
        if (!argc(2, 2))
            return bad;
        const int w = tempBlock(4);
        const Type* types[2];
        for (int i = 0; i < 2; ++i) {
            Operand v = expr(args[size_t(i)]);
            if (stop())
                return bad;
            if (v.type->kind != TK::Int && v.type->kind != TK::Float) {
                mismatch(args[size_t(i)]->pos, v.type, m_tFloat);
                return bad;
            }
            types[i] = v.type;
            put(Op::Mov, w + 1 + i, materialize(v));
        }
        const bool real = types[0]->kind == TK::Float || types[1]->kind == TK::Float;
        const Type* result = m_tFloat;
        if (real) {
            for (int i = 0; i < 2; ++i)
                if (types[i]->kind == TK::Int)
                    put(Op::Mov, w + 1 + i,
                        materialize(convert(Operand{types[i], w + 1 + i}, m_tFloat, pos)));
        } else {
            auto fits = [](const Type* t) { return t->lo >= INT32_MIN && t->hi <= INT32_MAX; };
            result = fits(types[0]) && fits(types[1]) ? m_tInt : m_tInt64;
        }
        put(Op::LoadI, w + 3, n == "max" ? 1 : 0);
        m_pos = pos;
        put(Op::CallB, w, int(real ? Bi::MinMaxF : Bi::MinMaxI), 3);
        return Operand{result, w};
    }
    if (n == "upcase") {
        // UpCase of a character is a character; of a string, the string in capitals.
        if (!argc(1, 1))
            return bad;
        Operand v = expr(args[0]);
        if (stop())
            return bad;
        if (v.type->kind != TK::Char && v.type->kind != TK::Str) {
            mismatch(args[0]->pos, v.type, m_tChar);
            return bad;
        }
        const bool ch = v.type->kind == TK::Char;
        const int w = tempBlock(2);
        put(Op::Mov, w + 1, materialize(v));
        if (!ch)
            put(Op::Null, w);
        put(Op::CallB, w, int(ch ? Bi::UpCaseC : Bi::AnsiUpperCase), 1);
        if (ch)
            return Operand{m_tChar, w};
        m_managedTemps.push_back(w);
        return Operand{m_tStr, w};
    }
    if (n == "concat") {
        if (args.empty()) {
            m_diags.error(pos,
                          QStringLiteral("nombre de paramètres incorrect pour « %1 »").arg(name));
            return bad;
        }
        Operand acc{m_tStr};
        int d = -1;
        for (size_t i = 0; i < args.size(); ++i) {
            Operand v = expr(args[i]);
            if (stop())
                return bad;
            if (v.type->kind != TK::Str && v.type->kind != TK::Char) {
                mismatch(args[i]->pos, v.type, m_tStr);
                return bad;
            }
            v = convert(v, m_tStr, args[i]->pos);
            if (i == 0) {
                acc = v;
            } else if (acc.isConst() && v.isConst()) {
                acc.sval += v.sval;
            } else {
                const int a = materialize(acc), b = materialize(v);
                if (d < 0)
                    d = temp(m_tStr);
                m_pos = pos;
                put(Op::Concat, d, a, b);
                acc = Operand{m_tStr, d};
            }
        }
        return acc;
    }
    if (n == "str") {
        // Str(x:width:decimals, s) writes in s what Write would print.
        if (!argc(2, 2))
            return bad;
        const Node* a = args[0];
        const Node* value = a->kind == NK::WidthArg ? a->kid(0) : a;
        Operand v = expr(value);
        if (stop())
            return bad;
        ConstTag tag;
        if ((v.type->kind != TK::Int && v.type->kind != TK::Float) || !constTagOf(v.type, tag)) {
            mismatch(value->pos, v.type, m_tFloat);
            return bad;
        }
        const int w = tempBlock(6);
        put(Op::LoadI, w + 1, int32_t(tag));
        put(Op::Mov, w + 2, materialize(v));
        for (int part = 1; part <= 2; ++part) {
            const Node* p = a->kind == NK::WidthArg && a->kids.size() > size_t(part)
                                ? a->kid(size_t(part))
                                : nullptr;
            if (!p) {
                put(Op::LoadI, w + 2 + part, -1);
                continue;
            }
            if (part == 2 && v.type->kind != TK::Float) {
                m_diags.error(p->pos, "décimales réservées aux réels");
                return bad;
            }
            Operand x = expr(p);
            if (stop())
                return bad;
            if (x.type->kind != TK::Int) {
                mismatch(p->pos, x.type, m_tInt);
                return bad;
            }
            put(Op::Mov, w + 2 + part, materialize(x));
        }
        LVal lv = lvalue(args[1], true);
        if (stop())
            return bad;
        if (lv.readOnly || lv.type->kind != TK::Str) {
            if (lv.type->kind != TK::Str)
                mismatch(args[1]->pos, lv.type, m_tStr);
            else
                m_diags.error(args[1]->pos, "variable attendue");
            return bad;
        }
        put(Op::Mov, w + 5, addressOf(lv));
        m_pos = pos;
        put(Op::CallB, w, int(Bi::Str), 5);
        return Operand{m_tVoid, -1};
    }
    if (n == "val") {
        // Val(s, x, code): x an Integer, an Int64 or a real; code any integer that holds 256.
        if (!argc(3, 3))
            return bad;
        const int w = tempBlock(5);
        Operand s = expr(args[0]);
        if (stop())
            return bad;
        if (!assignable(m_tStr, s.type, &s)) {
            mismatch(args[0]->pos, s.type, m_tStr);
            return bad;
        }
        put(Op::Mov, w + 1, materialize(convert(s, m_tStr, args[0]->pos)));
        int kind = 0;
        for (int i = 1; i <= 2; ++i) {
            LVal lv = lvalue(args[size_t(i)], true);
            if (stop())
                return bad;
            const Type* t = lv.type;
            const bool integer = t->kind == TK::Int;
            const bool ok = i == 1 ? t->kind == TK::Float || t->wrap == W64 ||
                                         (integer && t->lo == INT32_MIN && t->hi == INT32_MAX)
                                   : integer && t->lo <= 0 && t->hi >= 256;
            if (!ok) {
                mismatch(args[size_t(i)]->pos, t, m_tInt);
                return bad;
            }
            if (lv.readOnly) {
                m_diags.error(args[size_t(i)]->pos, "variable attendue");
                return bad;
            }
            if (i == 1)
                kind = t->kind == TK::Float ? 2 : t->wrap == W64 ? 1 : 0;
            put(Op::Mov, w + 1 + i, addressOf(lv));
        }
        put(Op::LoadI, w + 4, kind);
        m_pos = pos;
        put(Op::CallB, w, int(Bi::Val), 4);
        return Operand{m_tVoid, -1};
    }
    if (n == "inttohex") {
        // Free Pascal writes an Integer on 32 bits and an Int64 on 64: the width follows the
        // argument's type.
        if (!argc(2, 2))
            return bad;
        int w = tempBlock(4);
        for (int i = 0; i < 2; ++i) {
            Operand v = expr(args[size_t(i)]);
            if (stop())
                return bad;
            if (v.type->kind != TK::Int) {
                mismatch(args[size_t(i)]->pos, v.type, m_tInt);
                return bad;
            }
            put(Op::Mov, w + 1 + i, materialize(v));
            if (i == 0)
                put(Op::LoadI, w + 3, v.type->wrap == W64 || v.type->wrap == WU32 ? 64 : 32);
        }
        m_pos = pos;
        put(Op::Null, w);
        put(Op::CallB, w, int(Bi::IntToHex), 3);
        m_managedTemps.push_back(w);
        return Operand{m_tStr, w};
    }
    if (n == "delete")
        return fn(Bi::Delete, {m_tStr, m_tInt64, m_tInt64}, nullptr, 1);
    if (n == "insert")
        return fn(Bi::Insert, {m_tStr, m_tStr, m_tInt64}, nullptr, 2);
    if (n == "uppercase")
        return fn(Bi::UpperCase, {m_tStr}, m_tStr);
    if (n == "lowercase")
        return fn(Bi::LowerCase, {m_tStr}, m_tStr);
    if (n == "trim")
        return fn(Bi::Trim, {m_tStr}, m_tStr);
    if (n == "sqrt")
        return fn(Bi::Sqrt, {m_tFloat}, m_tFloat);
    if (n == "round")
        return fn(Bi::Round, {m_tFloat}, m_tInt64);
    if (n == "trunc")
        return fn(Bi::Trunc, {m_tFloat}, m_tInt64);
    if (n == "randomize")
        return fn(Bi::Randomize, {}, nullptr);
    if (n == "now")
        return fn(Bi::Now, {}, m_tDateTime);
    if (n == "date")
        return fn(Bi::Date, {}, m_tDateTime);
    if (n == "time")
        return fn(Bi::Time, {}, m_tDateTime);
    if (n == "formatdatetime")
        return fn(Bi::FormatDateTime, {m_tStr, m_tFloat}, m_tStr);
    if (n == "datetostr")
        return fn(Bi::DateToStr, {m_tFloat}, m_tStr);
    if (n == "timetostr")
        return fn(Bi::TimeToStr, {m_tFloat}, m_tStr);
    if (n == "random") {
        if (args.empty())
            return fn(Bi::RandomF, {}, m_tFloat);
        return fn(Bi::RandomI, {m_tInt64}, m_tInt64);
    }
    if (n == "format") {
        if (!argc(2, 2))
            return bad;
        if (args[1]->kind != NK::SetLit) {
            m_diags.error(args[1]->pos, "tableau de constantes attendu « [...] »");
            return bad;
        }
        const Node* list = args[1];
        int k = int(list->kids.size());
        int w = tempBlock(2 + 2 * k);
        Operand f = expr(args[0]);
        if (stop())
            return bad;
        if (!assignable(m_tStr, f.type, &f)) {
            mismatch(args[0]->pos, f.type, m_tStr);
            return bad;
        }
        put(Op::Mov, w + 1, materialize(convert(f, m_tStr, args[0]->pos)));
        for (int i = 0; i < k; ++i) {
            Operand v = expr(list->kid(i));
            if (stop())
                return bad;
            ConstTag tag;
            if (!constTagOf(v.type, tag)) {
                m_diags.error(list->kid(i)->pos, "valeur non affichable");
                return bad;
            }
            if (v.isConst() && v.type->kind == TK::Char && !v.sval.isEmpty()) {
                v.type = m_tStr;
                tag = TagStr;
            }
            put(Op::LoadI, w + 2 + 2 * i, int32_t(tag));
            put(Op::Mov, w + 3 + 2 * i, materialize(v));
        }
        m_pos = pos;
        put(Op::Null, w);
        put(Op::CallB, w, int(Bi::Format), 1 + 2 * k);
        m_managedTemps.push_back(w);
        return Operand{m_tStr, w};
    }
    if (n == "length") {
        if (!argc(1, 1))
            return bad;
        Operand v = expr(args[0]);
        if (stop())
            return bad;
        if (v.type->kind == TK::SArr)
            return Operand{m_tInt, -1, v.type->hi - v.type->lo + 1};
        if (v.type->kind == TK::Char)
            return Operand{m_tInt, -1, 1};
        if (v.isConst() && v.type->kind == TK::Str)
            return Operand{m_tInt, -1, v.sval.size()};
        if (v.type->kind != TK::Str && v.type->kind != TK::DArr) {
            m_diags.error(args[0]->pos, "chaîne ou tableau attendu");
            return bad;
        }
        int w = tempBlock(2);
        put(Op::Mov, w + 1, materialize(v));
        put(Op::CallB, w, int(v.type->kind == TK::Str ? Bi::LengthS : Bi::LengthA), 1);
        return Operand{m_tInt, w};
    }
    if (n == "write" || n == "writeln")
        return writeText(n == "writeln", args);
    if (n == "setlength") {
        if (!argc(2, 10))
            return bad;
        LVal lv = lvalue(args[0], true);
        if (stop())
            return bad;
        if ((lv.type->kind != TK::Str && lv.type->kind != TK::DArr) || lv.type->openArray) {
            m_diags.error(args[0]->pos, lv.type->openArray
                                            ? "un paramètre tableau ouvert ne change pas de taille"
                                            : "chaîne ou tableau dynamique attendu");
            return bad;
        }
        int w = tempBlock(4);
        put(Op::Mov, w + 1, addressOf(lv));
        Operand len = expr(args[1]);
        if (stop())
            return bad;
        if (len.type->kind != TK::Int) {
            mismatch(args[1]->pos, len.type, m_tInt);
            return bad;
        }
        put(Op::Mov, w + 2, materialize(len));
        int li = 0;
        for (size_t i = 0; i < m_out.layouts.size(); ++i)
            if (&m_out.layouts[i] == lv.type->layout)
                li = int(i);
        put(Op::LoadI, w + 3, li);
        m_pos = pos;
        put(Op::CallB, w, int(lv.type->kind == TK::Str ? Bi::SetLengthS : Bi::SetLengthA), 3);
        if (args.size() > 2) {
            const int arr = temp(lv.type);
            put(Op::LoadP, arr, w + 1, 0, Ref);
            setLengthRest(arr, lv.type, args, 2, pos);
        }
        return Operand{m_tVoid, -1};
    }
    if (n == "high" || n == "low") {
        if (!argc(1, 1))
            return bad;
        bool high = n == "high";
        const Type* t = nullptr;
        if (args[0]->kind == NK::Name) {
            Symbol* s = lookup(args[0]->name);
            if (s && s->kind == SymKind::Type)
                t = s->type;
        }
        Operand v{m_tInt, -1};
        if (!t) {
            v = expr(args[0]);
            if (stop())
                return bad;
            t = v.type;
        }
        if (t->kind == TK::SArr)
            return Operand{t->base && t->base->kind != TK::Int ? t->base : m_tInt, -1,
                           high ? t->hi : t->lo};
        if (t->isOrdinal())
            return Operand{t, -1, high ? t->hi : t->lo};
        if (t->kind == TK::DArr || t->kind == TK::Str) {
            if (!high)
                return Operand{m_tInt, -1, t->kind == TK::Str ? 1 : 0};
            int w = tempBlock(2);
            put(Op::Mov, w + 1, materialize(v));
            put(Op::CallB, w, int(t->kind == TK::Str ? Bi::LengthS : Bi::LengthA), 1);
            if (t->kind == TK::DArr)
                put(Op::SubK, w, w, 1);
            return Operand{m_tInt, w};
        }
        m_diags.error(args[0]->pos, "tableau ou type ordinal attendu");
        return bad;
    }
    if (n == "inc" || n == "dec" || n == "include" || n == "exclude") {
        if (!argc(1, 2))
            return bad;
        LVal lv = lvalue(args[0], true);
        if (stop())
            return bad;
        if (lv.readOnly) {
            m_diags.error(args[0]->pos, "variable attendue");
            return bad;
        }
        bool isSet = n == "include" || n == "exclude";
        if (isSet ? lv.type->kind != TK::Set : !lv.type->isOrdinal()) {
            m_diags.error(args[0]->pos, isSet ? "ensemble attendu" : "variable ordinale attendue");
            return bad;
        }
        Operand cur = readLVal(lv, -1);
        int c = materialize(cur);
        int r = lv.kind == LVal::Local ? lv.a : temp(isSet ? lv.type : nullptr);
        if (isSet) {
            if (args.size() != 2) {
                m_diags.error(pos, "nombre de paramètres incorrect");
                return bad;
            }
            Operand el = expr(args[1]);
            if (stop())
                return bad;
            int es = materialize(el);
            includeExclude(n == "include", lv.type, c, es, r);
        } else {
            Operand by{m_tInt, -1, 1};
            if (args.size() == 2) {
                by = expr(args[1]);
                if (stop())
                    return bad;
                if (by.type->kind != TK::Int) {
                    mismatch(args[1]->pos, by.type, m_tInt);
                    return bad;
                }
            }
            bool dec = n == "dec";
            if (by.isConst() && by.ival >= INT32_MIN && by.ival <= INT32_MAX)
                put(dec ? Op::SubK : Op::AddK, r, c, int32_t(by.ival));
            else
                put(dec ? Op::Sub : Op::Add, r, c, materialize(by));
            if (lv.type->wrap != W64)
                put(Op::Wrap, r, r, 0, lv.type->wrap);
        }
        if (lv.kind != LVal::Local)
            writeLVal(lv, r, lv.type, pos);
        return Operand{m_tVoid, -1};
    }
    // Ordinal conversions: the value stays, only its type changes.
    if (n == "ord" || n == "chr" || n == "succ" || n == "pred" || n == "odd" || n == "abs" ||
        n == "sqr" || n == "assigned") {
        if (!argc(1, 1))
            return bad;
        Operand v = expr(args[0], n == "ord" || n == "chr" ? dst : -1);
        if (stop())
            return bad;
        const Type* t = v.type;
        if (n == "assigned") {
            int d = temp();
            put(Op::Ne, d, materialize(v), materialize(Operand{m_tInt, -1, 0}));
            return Operand{m_tBool, d};
        }
        if (n == "abs" || n == "sqr") {
            if (t->kind == TK::Float) {
                if (n == "abs")
                    return fn(Bi::AbsF, {m_tFloat}, m_tFloat);
                int s = materialize(v), d = temp();
                put(Op::MulF, d, s, s);
                return Operand{m_tFloat, d};
            }
            if (t->kind != TK::Int) {
                mismatch(args[0]->pos, t, m_tInt);
                return bad;
            }
            if (n == "abs")
                return fn(Bi::AbsI, {m_tInt64}, t->wrap == W64 ? m_tInt64 : m_tInt);
            int s = materialize(v), d = temp();
            put(Op::Mul, d, s, s);
            return Operand{m_tInt64, d};
        }
        if (!t->isOrdinal()) {
            mismatch(args[0]->pos, t, m_tInt);
            return bad;
        }
        if (n == "ord") {
            v.type = t->kind == TK::Int ? t : m_tInt;
            return v;
        }
        if (n == "chr") {
            Operand c = convert(Operand{m_tInt64, v.slot, v.ival}, m_tChar, pos);
            c.type = m_tChar;
            c.sval.clear();
            return c;
        }
        if (n == "odd") {
            if (v.isConst())
                return Operand{m_tBool, -1, v.ival & 1};
            int d = temp(), one = materialize(Operand{m_tInt, -1, 1});
            put(Op::And, d, v.slot, one);
            return Operand{m_tBool, d};
        }
        if (v.isConst()) {
            v.ival += n == "succ" ? 1 : -1;
            v.sval.clear(); // a character constant's text was its own, not its successor's
            return v;
        }
        int d = temp();
        put(n == "succ" ? Op::AddK : Op::SubK, d, v.slot, 1);
        return Operand{t, d};
    }
    (void)wantValue;
    m_diags.error(pos, QStringLiteral("routine non prise en charge « %1 »").arg(name));
    return bad;
}

} // namespace vscript
