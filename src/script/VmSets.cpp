#include "Vm.h"

#include <algorithm>

namespace vscript {

namespace {

const uint64_t* setWords(Value v) {
    static const uint64_t none[4] = {0, 0, 0, 0};
    return v.o ? static_cast<SetObj*>(v.o)->w : none;
}

// The set in slot v, made its own so that it can be changed in place.
SetObj* ownSet(Value& v) {
    auto* s = static_cast<SetObj*>(v.o);
    if (s && s->rc == 1)
        return s;
    auto* n = new SetObj;
    if (s) {
        std::copy(s->w, s->w + 4, n->w);
        decRef(s);
    }
    v.o = n;
    return n;
}

bool setHas(const uint64_t* w, int64_t e) {
    return e >= 0 && e < 256 && ((w[e >> 6] >> (e & 63)) & 1);
}

} // namespace

// Sets of 0..255; false on an element out of range.
bool Vm::bigSet(const Instr& in, Value* R) {
    Value& a = R[in.a];
    switch (in.x) {
    case BsInclude:
    case BsExclude: {
        int64_t e = R[in.b].i;
        if (e < 0 || e > 255)
            return false;
        uint64_t bit = uint64_t(1) << (e & 63);
        if (in.x == BsExclude && !setHas(setWords(a), e))
            return true;
        SetObj* s = ownSet(a);
        s->w[e >> 6] = in.x == BsInclude ? s->w[e >> 6] | bit : s->w[e >> 6] & ~bit;
        return true;
    }
    case BsRange: {
        int64_t lo = R[in.b].i, hi = R[in.c].i;
        if (lo > hi)
            return true;
        if (lo < 0 || hi > 255)
            return false;
        SetObj* s = ownSet(a);
        for (int64_t e = lo; e <= hi; ++e)
            s->w[e >> 6] |= uint64_t(1) << (e & 63);
        return true;
    }
    case BsIn:
        a.i = setHas(setWords(R[in.c]), R[in.b].i);
        return true;
    case BsInK:
        a.i = setHas(setWords(m_prog.constants[size_t(in.c)]), R[in.b].i);
        return true;
    case BsEq:
    case BsSub: {
        const uint64_t *x = setWords(R[in.b]), *y = setWords(R[in.c]);
        bool r = true;
        for (int k = 0; k < 4; ++k)
            r = r && (in.x == BsEq ? x[k] == y[k] : (x[k] & ~y[k]) == 0);
        a.i = r;
        return true;
    }
    case BsNarrow:
        a.i = int64_t(setWords(R[in.b])[0]);
        return true;
    case BsWiden: {
        uint64_t w = uint64_t(R[in.b].i);
        Obj* old = a.o;
        SetObj* n = nullptr;
        if (w) {
            n = new SetObj;
            n->w[0] = w;
        }
        a.o = n;
        decRef(old);
        return true;
    }
    default: {
        const uint64_t *x = setWords(R[in.b]), *y = setWords(R[in.c]);
        uint64_t w[4];
        bool any = false;
        for (int k = 0; k < 4; ++k) {
            w[k] = in.x == BsUnion ? x[k] | y[k] : in.x == BsInter ? x[k] & y[k] : x[k] & ~y[k];
            any = any || w[k];
        }
        SetObj* n = nullptr;
        if (any) {
            n = new SetObj;
            std::copy(w, w + 4, n->w);
        }
        Obj* old = a.o;
        a.o = n;
        decRef(old);
        return true;
    }
    }
}

} // namespace vscript
