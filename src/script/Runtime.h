#pragma once

#include "Diagnostics.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace vscript {

// Heap values shared by reference count. A slot that owns one holds a reference.
struct Obj {
    enum Kind : uint8_t { Str, Agg, Exc, Host, Set };
    int32_t rc = 1;
    Kind kind;
    explicit Obj(Kind k) : kind(k) {}
};

struct StrObj : Obj {
    QString s;
    int64_t bytes = 0; // what heapBytes() counts for this string
    StrObj() : Obj(Str) {}
    explicit StrObj(QString v) : Obj(Str), s(std::move(v)) {}
};

// How a slot is copied: a plain value, a shared reference, or an aggregate copied deeply
// (records and static arrays have value semantics).
enum SlotMode : uint8_t { Plain = 0, Ref = 1, Aggr = 2 };

struct Layout {
    bool uniform = false; // arrays: every element has elemMode and elemLayout
    uint8_t elemMode = Plain;
    const Layout* elemLayout = nullptr;
    int64_t count = 0;                     // fixed element or field count (static arrays, records)
    std::vector<uint8_t> modes;            // records: per field
    std::vector<const Layout*> subLayouts; // records: per field (aggregates only)
    mutable int64_t deep = -1;             // deepBytes, once computed
};

// Bytes in 64 bits that stop at INT64_MAX instead of wrapping.
int64_t mulBytes(int64_t a, int64_t b);
int64_t addBytes(int64_t a, int64_t b);
// What a new aggregate of this layout takes, everything it holds by value included.
int64_t deepBytes(const Layout* l);

union Value {
    int64_t i;
    double d;
    Obj* o;
    Value* p;
};
static_assert(sizeof(Value) == 8);

struct AggObj : Obj {
    const Layout* layout;
    std::vector<Value> v;
    explicit AggObj(const Layout* l) : Obj(Agg), layout(l) {}
    uint8_t modeAt(size_t i) const { return layout->uniform ? layout->elemMode : layout->modes[i]; }
    const Layout* subAt(size_t i) const {
        return layout->uniform ? layout->elemLayout : layout->subLayouts[i];
    }
};

struct ExcObj : Obj {
    int classId = 0;
    QString message;
    int raisedAt = -1; // instruction that first raised it: "raise;" keeps it
    ExcObj() : Obj(Exc) {}
};

struct HostObj : Obj {
    int classId = 0;
    int64_t handle = 0;
    HostObj() : Obj(Host) {}
};

// A set of ordinals 0..255. Never changed once shared (a slot holding the only reference may
// change it in place), so slots share it like a string; nil is the empty set.
struct SetObj : Obj {
    uint64_t w[4] = {0, 0, 0, 0};
    SetObj() : Obj(Set) {}
};

// Bytes held by strings and arrays on this thread, bounded by the machine.
int64_t& heapBytes();

void destroy(Obj* o);
// Brings the heap count in line with the string's current size.
void account(StrObj* s);
inline void incRef(Obj* o) {
    if (o)
        ++o->rc;
}
inline void decRef(Obj* o) {
    if (o && --o->rc == 0)
        destroy(o);
}
// A fresh aggregate for a layout, its nested aggregates allocated too.
AggObj* newAgg(const Layout* l);
AggObj* cloneAgg(const AggObj* src);
// Copies src's values into dst, of the same layout, nested aggregates in place too.
void copyAggInto(AggObj* dst, const AggObj* src);

inline void storeValue(Value& dst, Value src, uint8_t mode) {
    if (mode == Plain) {
        dst = src;
    } else if (mode == Ref) {
        incRef(src.o);
        Obj* old = dst.o;
        dst = src;
        decRef(old);
    } else {
        // A record or static array keeps its storage: the address of a field or element
        // handed to a var parameter stays valid when the whole variable is assigned.
        auto* d = static_cast<AggObj*>(dst.o);
        auto* s = static_cast<AggObj*>(src.o);
        if (d && s && d->layout == s->layout && d->v.size() == s->v.size()) {
            if (d != s)
                copyAggInto(d, s);
            return;
        }
        Obj* old = dst.o;
        dst.o = s ? cloneAgg(s) : nullptr;
        decRef(old);
    }
}

inline const QString& strOf(Value v) {
    static const QString empty;
    return v.o ? static_cast<StrObj*>(v.o)->s : empty;
}

} // namespace vscript
