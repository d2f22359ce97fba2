#include "Runtime.h"

namespace vscript {

int64_t& heapBytes() {
    thread_local int64_t bytes = 0;
    return bytes;
}

void account(StrObj* s) {
    int64_t now = int64_t(s->s.size()) * 2;
    heapBytes() += now - s->bytes;
    s->bytes = now;
}

static void releaseContents(AggObj* a) {
    const Layout* l = a->layout;
    if (l->uniform) {
        if (l->elemMode != Plain)
            for (Value& v : a->v)
                decRef(v.o);
    } else {
        for (size_t i = 0; i < a->v.size(); ++i)
            if (l->modes[i] != Plain)
                decRef(a->v[i].o);
    }
}

void destroy(Obj* o) {
    switch (o->kind) {
    case Obj::Str: {
        auto* s = static_cast<StrObj*>(o);
        heapBytes() -= s->bytes;
        delete s;
        break;
    }
    case Obj::Agg: {
        auto* a = static_cast<AggObj*>(o);
        heapBytes() -= int64_t(a->v.size()) * 8;
        releaseContents(a);
        delete a;
        break;
    }
    case Obj::Exc:
        delete static_cast<ExcObj*>(o);
        break;
    case Obj::Host:
        delete static_cast<HostObj*>(o);
        break;
    case Obj::Set:
        delete static_cast<SetObj*>(o);
        break;
    }
}

int64_t mulBytes(int64_t a, int64_t b) {
    if (a <= 0 || b <= 0)
        return 0;
    return a > INT64_MAX / b ? INT64_MAX : a * b;
}

int64_t addBytes(int64_t a, int64_t b) {
    return a > INT64_MAX - b ? INT64_MAX : a + b;
}

int64_t deepBytes(const Layout* l) {
    if (!l)
        return 0;
    if (l->deep >= 0)
        return l->deep;
    int64_t bytes = mulBytes(l->count, 8);
    if (l->uniform) {
        if (l->elemMode == Aggr)
            bytes = addBytes(bytes, mulBytes(l->count, deepBytes(l->elemLayout)));
    } else {
        for (size_t i = 0; i < l->modes.size(); ++i)
            if (l->modes[i] == Aggr && i < l->subLayouts.size())
                bytes = addBytes(bytes, deepBytes(l->subLayouts[i]));
    }
    l->deep = bytes;
    return bytes;
}

AggObj* newAgg(const Layout* l) {
    auto* a = new AggObj(l);
    a->v.assign(size_t(l->count), Value{0});
    heapBytes() += l->count * 8;
    for (int64_t i = 0; i < l->count; ++i)
        if (a->modeAt(i) == Aggr)
            a->v[i].o = newAgg(a->subAt(i));
    return a;
}

AggObj* cloneAgg(const AggObj* src) {
    auto* a = new AggObj(src->layout);
    a->v = src->v;
    heapBytes() += int64_t(a->v.size()) * 8;
    for (size_t i = 0; i < a->v.size(); ++i) {
        uint8_t m = a->modeAt(i);
        if (m == Ref)
            incRef(a->v[i].o);
        else if (m == Aggr && a->v[i].o)
            a->v[i].o = cloneAgg(static_cast<AggObj*>(a->v[i].o));
    }
    return a;
}

void copyAggInto(AggObj* dst, const AggObj* src) {
    for (size_t i = 0; i < dst->v.size(); ++i)
        storeValue(dst->v[i], src->v[i], dst->modeAt(i));
}

} // namespace vscript
