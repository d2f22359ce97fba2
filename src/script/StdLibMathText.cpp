#include "Builtins.h"
#include "Vm.h"

#include <charconv>
#include <cmath>
#include <string>

// Routines of Free Pascal's Math and StrUtils units, System's UpCase, Str and Val, and
// SysUtils' Unicode case mapping and path delimiters, with Free Pascal 3.2.2's results.

namespace vscript {

namespace {

enum { ExcInvalidOp = 6, ExcZeroDivide = 7 };

bool invalidOp(Vm& vm) {
    vm.raise(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
    return false;
}

// Max and Min as Free Pascal writes them: "if a > b then a else b" (Min with <).
bool biMinMaxI(Vm&, Value* w, int) {
    const bool max = w[3].i;
    w[0].i = (max ? w[1].i > w[2].i : w[1].i < w[2].i) ? w[1].i : w[2].i;
    return true;
}
bool biMinMaxF(Vm& vm, Value* w, int) {
    // Free Pascal's comparison of a NaN is an invalid operation.
    if (std::isnan(w[1].d) || std::isnan(w[2].d))
        return invalidOp(vm);
    const bool max = w[3].i;
    w[0].d = (max ? w[1].d > w[2].d : w[1].d < w[2].d) ? w[1].d : w[2].d;
    return true;
}
// Ceil and Floor give an Integer: Free Pascal keeps the low 32 bits of the Int64 it computed,
// and a real past the Int64 range is an invalid operation.
bool roundedInteger(Vm& vm, double r, Value& out) {
    if (!std::isfinite(r) || r >= 9.2233720368547758e18 || r < -9.2233720368547758e18)
        return invalidOp(vm);
    out.i = int32_t(uint32_t(uint64_t(int64_t(r))));
    return true;
}
bool biCeil(Vm& vm, Value* w, int) {
    return roundedInteger(vm, std::ceil(w[1].d), w[0]);
}
bool biFloor(Vm& vm, Value* w, int) {
    return roundedInteger(vm, std::floor(w[1].d), w[0]);
}
// Free Pascal's intpower: squares and multiplies, at most 2 × 32 steps, on the 80-bit reals
// Free Pascal computes with (long double on x86), so that the rounded double is the same.
bool intPower(Vm& vm, long double base, int64_t exponent, Value& out) {
    if (base == 0 && exponent == 0) {
        out.d = 1;
        return true;
    }
    uint64_t i = exponent < 0 ? 0 - uint64_t(exponent) : uint64_t(exponent);
    long double r = 1;
    while (i > 0) {
        while ((i & 1) == 0) {
            i >>= 1;
            base *= base;
        }
        --i;
        r *= base;
    }
    if (exponent < 0) {
        if (r == 0) {
            vm.raise(ExcZeroDivide, QStringLiteral("Division by zero"));
            return false;
        }
        r = 1 / r;
    }
    out.d = double(r);
    return true;
}
bool biIntPower(Vm& vm, Value* w, int) {
    if (std::isnan(w[1].d))
        return invalidOp(vm);
    return intPower(vm, w[1].d, w[2].i, w[0]);
}
bool biPower(Vm& vm, Value* w, int) {
    const double base = w[1].d, exponent = w[2].d;
    if (std::isnan(exponent) || std::isinf(exponent))
        return invalidOp(vm);
    if (exponent == 0) {
        w[0].d = 1;
        return true;
    }
    if (std::isnan(base))
        return invalidOp(vm);
    if (base == 0 && exponent > 0) {
        w[0].d = 0;
        return true;
    }
    if (std::fabs(exponent) <= INT32_MAX && exponent == std::trunc(exponent))
        return intPower(vm, base, int64_t(exponent), w[0]);
    // exp(exponent × ln(base)) on 80-bit reals as Free Pascal; no real root of a negative number.
    if (base < 0)
        return invalidOp(vm);
    if (base == 0) {
        vm.raise(ExcZeroDivide, QStringLiteral("Division by zero"));
        return false;
    }
    w[0].d = double(
        std::exp(static_cast<long double>(exponent) * std::log(static_cast<long double>(base))));
    return true;
}
bool biSign(Vm& vm, Value* w, int) {
    if (std::isnan(w[1].d))
        return invalidOp(vm);
    w[0].i = w[1].d < 0 ? -1 : w[1].d > 0 ? 1 : 0;
    return true;
}

// Free Pascal maps case one character at a time (the C library's towupper): ß stays ß, İ
// becomes i; a character whose other case lies outside the basic plane keeps its case.
char16_t charCase(char16_t c, bool upper) {
    const char32_t r = upper ? QChar::toUpper(char32_t(c)) : QChar::toLower(char32_t(c));
    return r > 0xFFFF ? c : char16_t(r);
}
QString unicodeCase(const QString& s, bool upper) {
    QString r;
    r.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            const char32_t cp = QChar::surrogateToUcs4(c, s[i + 1].unicode());
            const char32_t m = upper ? QChar::toUpper(cp) : QChar::toLower(cp);
            const char32_t keep = m > 0xFFFF ? m : cp;
            r += QChar(QChar::highSurrogate(keep));
            r += QChar(QChar::lowSurrogate(keep));
            ++i;
        } else {
            r += QChar(charCase(c, upper));
        }
    }
    return r;
}
bool biUpCaseC(Vm&, Value* w, int) {
    w[0].i = charCase(char16_t(w[1].i), true);
    return true;
}
bool biAnsiUpperCase(Vm& vm, Value* w, int) {
    if (!allowChars(vm, strOf(w[1]).size()))
        return false;
    setStr(w[0], unicodeCase(strOf(w[1]), true));
    return true;
}
bool biAnsiLowerCase(Vm& vm, Value* w, int) {
    if (!allowChars(vm, strOf(w[1]).size()))
        return false;
    setStr(w[0], unicodeCase(strOf(w[1]), false));
    return true;
}

// Str(x:width:decimals, s): the text Write would print.
bool biStr(Vm& vm, Value* w, int) {
    const QString text = writeValueText(ConstTag(w[1].i), w[2], w[3].i, w[4].i);
    if (!allowChars(vm, text.size()))
        return false;
    setStr(*w[5].p, text);
    return true;
}

// Free Pascal reads Val's text as a ShortString: past 255 characters the error is at 256.
constexpr qsizetype kValMaxChars = 255;

// Val of an integer: blanks and tabs, a sign, a base ($, x, 0x, % or &), digits. Code is the
// position of the first character that does not belong, 0 when all were read. The value is
// computed on 64 bits and may wrap (Val('$FFFFFFFF', i) gives -1), as Free Pascal does.
int64_t valInteger(const QString& s, int64_t& out) {
    out = 0;
    const qsizetype n = s.size();
    if (n > kValMaxChars)
        return 256;
    if (n == 0)
        return 1;
    auto at = [&](qsizetype i) { return i < n ? s[i].unicode() : char16_t(0xFFFF); };
    qsizetype i = 0;
    while (i < n && (s[i] == u' ' || s[i] == u'\t'))
        ++i;
    bool negative = false;
    if (at(i) == u'-' || at(i) == u'+')
        negative = s[i++] == u'-';
    unsigned base = 10;
    if (i < n) {
        const char16_t c = s[i].unicode();
        if (c == u'$' || c == u'x' || c == u'X')
            base = 16, ++i;
        else if (c == u'%')
            base = 2, ++i;
        else if (c == u'&')
            base = 8, ++i;
        else if (c == u'0' && (at(i + 1) == u'x' || at(i + 1) == u'X'))
            base = 16, i += 2;
    }
    while (i + 1 < n && s[i] == u'0')
        ++i;
    if (i >= n)
        return i + 1;
    if (s[i] == u'\0')
        return i > 0 && s[i - 1] == u'0' ? 0 : i + 1;
    const uint64_t maxPrev = UINT64_MAX / base;
    const uint64_t maxNew = base == 10 ? uint64_t(INT64_MAX) + (negative ? 1 : 0) : UINT64_MAX;
    uint64_t v = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c == u'\0')
            break;
        const unsigned d = c >= '0' && c <= '9'   ? c - '0'
                           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                  : 16;
        const uint64_t prev = v;
        v *= base;
        if (d >= base || maxNew - d < v || prev > maxPrev)
            return i + 1;
        v += d;
    }
    out = negative ? int64_t(0 - v) : int64_t(v);
    return 0;
}

// Val of a real: blanks (not tabs), a sign, digits with one point, an exponent whose digits may
// be left out after its sign; "Inf" and "Nan" alone. A mantissa without digits reads as 0.
int64_t valReal(const QString& s, double& out) {
    out = 0;
    const qsizetype n = s.size();
    if (n > kValMaxChars)
        return 256;
    qsizetype i = 0;
    while (i < n && s[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (s[i] == u'-' || s[i] == u'+'))
        negative = s[i++] == u'-';
    if (i >= n)
        return i + 1;
    auto isDigit = [&](qsizetype k) { return k < n && s[k] >= u'0' && s[k] <= u'9'; };
    const char16_t first = s[i].unicode();
    if (!isDigit(i) && first != u'.' && first != u'e' && first != u'E') {
        const QStringView rest = QStringView(s).mid(i);
        if (rest.compare(u"inf", Qt::CaseInsensitive) == 0)
            out = negative ? -HUGE_VAL : HUGE_VAL;
        else if (rest.compare(u"nan", Qt::CaseInsensitive) == 0)
            out = std::nan("");
        else
            return i + 1;
        return 0;
    }
    std::string text = negative ? "-" : "";
    bool digits = false;
    for (; isDigit(i); ++i, digits = true)
        text += char(s[i].unicode());
    if (i < n && s[i] == u'.') {
        text += '.';
        for (++i; isDigit(i); ++i, digits = true)
            text += char(s[i].unicode());
    }
    bool expNegative = false;
    if (i < n) {
        if (s[i] != u'e' && s[i] != u'E')
            return i + 1;
        if (++i >= n)
            return i + 1;
        std::string exponent;
        if (s[i] == u'+' || s[i] == u'-')
            expNegative = s[i++] == u'-';
        for (; i < n; ++i) {
            if (!isDigit(i))
                return i + 1;
            exponent += char(s[i].unicode());
        }
        if (!exponent.empty())
            text += (expNegative ? "e-" : "e") + exponent;
    }
    if (!digits) {
        out = negative ? -0.0 : 0.0;
        return 0;
    }
    // from_chars reads '.' whatever the locale; past a double's range: 0 or an infinity.
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    if (r.ec == std::errc::result_out_of_range)
        out = expNegative ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
    return 0;
}

// Val(s, x, code); w[4] says what x is: 0 an Integer, 1 an Int64, 2 a real.
bool biVal(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    int64_t code;
    if (w[4].i == 2) {
        double d;
        code = valReal(s, d);
        w[2].p->d = code ? 0.0 : d;
    } else {
        int64_t v;
        code = valInteger(s, v);
        w[2].p->i = w[4].i == 0 ? int64_t(int32_t(uint32_t(uint64_t(v)))) : v;
    }
    w[3].p->i = code;
    return true;
}

// Free Pascal on Linux takes both '/' and '\' as directory separators and adds a '/'.
bool isPathDelimiter(QChar c) {
    return c == u'/' || c == u'\\';
}
bool biIncludeTrailingPathDelimiter(Vm& vm, Value* w, int) {
    const QString& s = strOf(w[1]);
    if (!s.isEmpty() && isPathDelimiter(s.back())) {
        setStr(w[0], s);
        return true;
    }
    if (!allowChars(vm, s.size() + 1))
        return false;
    setStr(w[0], s + u'/');
    return true;
}
bool biExcludeTrailingPathDelimiter(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    setStr(w[0], !s.isEmpty() && isPathDelimiter(s.back()) ? s.chopped(1) : s);
    return true;
}

bool biDupeString(Vm& vm, Value* w, int) {
    const QString& s = strOf(w[1]);
    const int64_t count = w[2].i;
    if (count <= 0 || s.isEmpty()) {
        setStr(w[0], QString());
        return true;
    }
    // Weighed before the product can overflow: a count of billions is refused, not wrapped.
    const int64_t total = count > INT32_MAX / s.size() ? int64_t(INT32_MAX) : count * s.size();
    if (!allowChars(vm, total))
        return false;
    setStr(w[0], s.repeated(qsizetype(count)));
    return true;
}
// Reversed character by character; a character outside the basic plane keeps its two halves
// in order.
bool biReverseString(Vm& vm, Value* w, int) {
    const QString& s = strOf(w[1]);
    if (!allowChars(vm, s.size()))
        return false;
    QString r(s.size(), Qt::Uninitialized);
    qsizetype out = s.size();
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            r[out - 2] = s[i];
            r[out - 1] = s[i + 1];
            out -= 2;
            ++i;
        } else {
            r[--out] = s[i];
        }
    }
    setStr(w[0], r);
    return true;
}
bool biLeftStr(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    setStr(w[0], w[2].i <= 0 ? QString() : s.left(qsizetype(std::min<int64_t>(w[2].i, s.size()))));
    return true;
}
bool biRightStr(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    setStr(w[0], w[2].i <= 0 ? QString() : s.right(qsizetype(std::min<int64_t>(w[2].i, s.size()))));
    return true;
}
// StartsText and EndsText compare the case-mapped characters; an empty text to find is found.
bool matchesAt(const QString& sub, const QString& s, bool atEnd, bool ignoreCase) {
    if (sub.size() > s.size())
        return false;
    const QStringView part = QStringView(s).mid(atEnd ? s.size() - sub.size() : 0, sub.size());
    if (!ignoreCase)
        return part == sub;
    for (qsizetype i = 0; i < sub.size(); ++i)
        if (charCase(part[i].unicode(), true) != charCase(sub[i].unicode(), true))
            return false;
    return true;
}
bool biStartsText(Vm&, Value* w, int) {
    w[0].i = matchesAt(strOf(w[1]), strOf(w[2]), false, true);
    return true;
}
bool biEndsText(Vm&, Value* w, int) {
    w[0].i = matchesAt(strOf(w[1]), strOf(w[2]), true, true);
    return true;
}
bool biStartsStr(Vm&, Value* w, int) {
    w[0].i = matchesAt(strOf(w[1]), strOf(w[2]), false, false);
    return true;
}
bool biEndsStr(Vm&, Value* w, int) {
    w[0].i = matchesAt(strOf(w[1]), strOf(w[2]), true, false);
    return true;
}

} // namespace

BuiltinFn mathTextFunction(Bi id) {
    // clang-format off
    static const BuiltinFn table[] = {
        biMinMaxI, biMinMaxF, biCeil, biFloor, biPower, biIntPower, biSign, biUpCaseC,
        biAnsiUpperCase, biAnsiLowerCase, biStr, biVal, biIncludeTrailingPathDelimiter,
        biExcludeTrailingPathDelimiter, biDupeString, biReverseString, biLeftStr, biRightStr,
        biStartsText, biEndsText, biStartsStr, biEndsStr};
    // clang-format on
    constexpr int first = int(Bi::Write) + 1;
    static_assert(sizeof(table) / sizeof(table[0]) == size_t(Bi::Count) - first);
    return table[int(id) - first];
}

} // namespace vscript
