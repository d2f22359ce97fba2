#pragma once

#include "Runtime.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace vscript {

enum class TK : uint8_t {
    Int,
    Bool,
    Char,
    Enum,
    Float,
    Str,
    SArr,
    DArr,
    Rec,
    Set,
    Class,
    Nil,
    Void
};

// Integer storage widths; arithmetic runs on 64 bits and values are cut down when stored.
enum IntWrap : uint8_t { W64 = 0, WS8, WU8, WS16, WU16, WS32, WU32 };

// A 64-bit value cut down to a storage width, as the compiler folds it and the machine stores it.
inline int64_t wrapTo(int64_t v, uint8_t w) {
    switch (w) {
    case WS8:
        return int8_t(v);
    case WU8:
        return uint8_t(v);
    case WS16:
        return int16_t(v);
    case WU16:
        return uint16_t(v);
    case WS32:
        return int32_t(v);
    case WU32:
        return uint32_t(v);
    default:
        return v;
    }
}

struct Type {
    TK kind = TK::Void;
    QString name;
    int64_t lo = 0, hi = 0; // ordinal bounds; static arrays: index bounds; sets: 63 or 255
    uint8_t wrap = W64;
    const Type* elem = nullptr; // arrays: element; sets: base; static arrays: index type
    const Type* base = nullptr; // subranges and enumerations: the ordinal they restrict
    struct Field {
        QString name;
        const Type* type;
    };
    std::vector<Field> fields;
    const Layout* layout = nullptr; // records, arrays
    int classId = -1;               // exception or host classes
    bool isHostClass = false;
    // "array of T" written in a parameter list: the routine reads and writes its elements
    // but cannot resize it nor assign it (it may be the caller's static array).
    bool openArray = false;

    bool isOrdinal() const {
        return kind == TK::Int || kind == TK::Bool || kind == TK::Char || kind == TK::Enum;
    }
    // Sets reaching past 63 live in a shared SetObj instead of one word.
    bool isBigSet() const { return kind == TK::Set && hi > 63; }
    bool isNumeric() const { return kind == TK::Int || kind == TK::Float; }
    uint8_t mode() const {
        switch (kind) {
        case TK::Str:
        case TK::DArr:
        case TK::Class:
            return Ref;
        case TK::Set:
            return hi > 63 ? Ref : Plain;
        case TK::SArr:
        case TK::Rec:
            return Aggr;
        default:
            return Plain;
        }
    }
};

} // namespace vscript
