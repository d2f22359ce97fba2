#include "Builtins.h"
#include "Compiler.h"
#include "DateTimeFormatQt.h"
#include "Vm.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>

namespace vscript {

namespace {

enum { ExcConvert = 1, ExcRange = 4, ExcInvalidOp = 6, ExcZeroDivide = 7, ExcOutOfMemory = 8 };

std::mt19937_64& rng() {
    thread_local std::mt19937_64 g(0x5eed);
    return g;
}

// wide: Int64's range, and hexadecimal up to 64 bits.
bool parseInt(const QString& text, int64_t& out, bool wide = false) {
    int i = 0, n = int(text.size());
    while (i < n && text[i] == ' ')
        ++i;
    bool neg = false;
    if (i < n && (text[i] == '-' || text[i] == '+'))
        neg = text[i++] == '-';
    int base = 10;
    if (i < n && text[i] == '$')
        base = 16, ++i;
    else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        base = 16, i += 2;
    if (i >= n)
        return false;
    uint64_t v = 0;
    for (; i < n; ++i) {
        int d = text[i].isDigit() ? text[i].digitValue()
                : (base == 16 && text[i].toLower() >= 'a' && text[i].toLower() <= 'f')
                    ? text[i].toLower().unicode() - 'a' + 10
                    : -1;
        if (d < 0 || d >= base)
            return false;
        if (v > (UINT64_MAX - uint64_t(d)) / uint64_t(base))
            return false;
        v = v * uint64_t(base) + uint64_t(d);
        if (v > uint64_t(INT64_MAX) + 1 && !(wide && base == 16))
            return false;
    }
    out = neg ? int64_t(0 - v) : int64_t(v);
    if (wide)
        return base == 16 || (neg ? v <= uint64_t(INT64_MAX) + 1 : v <= uint64_t(INT64_MAX));
    return out >= INT32_MIN && out <= (base == 16 ? int64_t(UINT32_MAX) : INT32_MAX);
}

bool biIntToStr(Vm&, Value* w, int) {
    setStr(w[0], QString::number(w[1].i));
    return true;
}
bool biFloatToStr(Vm&, Value* w, int) {
    setStr(w[0], formatFloatGeneral(w[1].d));
    return true;
}
bool biStrToInt(Vm& vm, Value* w, int) {
    int64_t v;
    if (!parseInt(strOf(w[1]), v)) {
        vm.raise(ExcConvert, QStringLiteral("\"%1\" is an invalid integer").arg(strOf(w[1])));
        return false;
    }
    w[0].i = int32_t(v);
    return true;
}
bool biStrToIntDef(Vm&, Value* w, int) {
    int64_t v;
    w[0].i = parseInt(strOf(w[1]), v) ? int32_t(v) : int32_t(w[2].i);
    return true;
}
bool biCopy(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    int64_t i = std::max<int64_t>(w[2].i, 1), n = w[3].i;
    if (i > s.size() || n <= 0) {
        setStr(w[0], QString());
        return true;
    }
    n = std::min<int64_t>(n, s.size() - i + 1);
    setStr(w[0], s.mid(int(i - 1), int(n)));
    return true;
}
bool biPos(Vm&, Value* w, int) {
    const QString& sub = strOf(w[1]);
    const QString& s = strOf(w[2]);
    int64_t from = w[3].i; // Pos(sub, s, offset): 1 unless given
    w[0].i = sub.isEmpty() || from < 1 || from > s.size() ? 0 : s.indexOf(sub, from - 1) + 1;
    return true;
}
bool biDelete(Vm&, Value* w, int) {
    Value& s = *w[1].p;
    QString v = strOf(s);
    int64_t i = w[2].i, n = w[3].i;
    if (i < 1 || i > v.size() || n <= 0)
        return true;
    v.remove(int(i - 1), int(std::min<int64_t>(n, v.size() - i + 1)));
    setStr(s, v);
    return true;
}
bool biInsert(Vm& vm, Value* w, int) {
    Value& s = *w[2].p;
    QString v = strOf(s);
    int64_t i = std::clamp<int64_t>(w[3].i, 1, v.size() + 1);
    if (!vm.heapAllows(strOf(w[1]).size() * 2))
        return false;
    v.insert(int(i - 1), strOf(w[1]));
    setStr(s, v);
    return true;
}
QString asciiCase(const QString& s, bool upper) {
    QString r = s;
    for (QChar& c : r) {
        char16_t u = c.unicode();
        if (upper && u >= 'a' && u <= 'z')
            c = QChar(char16_t(u - 32));
        else if (!upper && u >= 'A' && u <= 'Z')
            c = QChar(char16_t(u + 32));
    }
    return r;
}
bool biUpper(Vm&, Value* w, int) {
    setStr(w[0], asciiCase(strOf(w[1]), true));
    return true;
}
bool biLower(Vm&, Value* w, int) {
    setStr(w[0], asciiCase(strOf(w[1]), false));
    return true;
}
bool biTrim(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    int a = 0, b = int(s.size());
    while (a < b && s[a].unicode() <= ' ')
        ++a;
    while (b > a && s[b - 1].unicode() <= ' ')
        --b;
    setStr(w[0], s.mid(a, b - a));
    return true;
}
bool biLengthS(Vm&, Value* w, int) {
    w[0].i = strOf(w[1]).size();
    return true;
}
bool biLengthA(Vm&, Value* w, int) {
    w[0].i = w[1].o ? int64_t(static_cast<AggObj*>(w[1].o)->v.size()) : 0;
    return true;
}
bool biSetLengthS(Vm& vm, Value* w, int) {
    Value& s = *w[1].p;
    int64_t n = std::max<int64_t>(w[2].i, 0);
    if (n > INT32_MAX / 2) {
        vm.raise(ExcOutOfMemory, QStringLiteral("Mémoire insuffisante"));
        return false;
    }
    if (!vm.heapAllows((n - strOf(s).size()) * 2))
        return false;
    QString v = strOf(s);
    v.resize(int(n), QChar(' '));
    setStr(s, v);
    return true;
}
bool biSetLengthA(Vm& vm, Value* w, int) {
    Value& slot = *w[1].p;
    int64_t n = std::max<int64_t>(w[2].i, 0);
    const Layout* l = &vm.program().layouts[size_t(w[3].i)];
    auto* a = static_cast<AggObj*>(slot.o);
    int64_t old = a ? int64_t(a->v.size()) : 0;
    // Each new element of records or static arrays brings its whole contents.
    const int64_t each = l->elemMode == Aggr ? 8 + deepBytes(l->elemLayout) : 8;
    if (n > (int64_t(1) << 31)) {
        vm.raise(ExcOutOfMemory, QStringLiteral("Mémoire insuffisante"));
        return false;
    }
    if (n > old && !vm.heapAllows(mulBytes(n - old, each)))
        return false;
    // A shared array is copied first: its copy counts too.
    if (a && a->rc > 1 && n > 0 && !vm.heapAllows(mulBytes(std::min(n, old), each)))
        return false;
    if (n == 0) {
        decRef(slot.o);
        slot.o = nullptr;
        return true;
    }
    if (!a || a->rc > 1) {
        // A shared array is copied before it changes size, as Pascal does.
        auto* c = new AggObj(l);
        if (a) {
            c->v = a->v;
            heapBytes() += old * 8;
            for (auto& v : c->v)
                if (l->elemMode == Ref)
                    incRef(v.o);
                else if (l->elemMode == Aggr && v.o)
                    v.o = cloneAgg(static_cast<AggObj*>(v.o));
        }
        decRef(slot.o);
        slot.o = a = c;
    }
    if (n < old && l->elemMode != Plain)
        for (int64_t i = n; i < old; ++i)
            decRef(a->v[size_t(i)].o);
    a->v.resize(size_t(n), Value{0});
    heapBytes() += (n - old) * 8;
    if (l->elemMode == Aggr)
        for (int64_t i = old; i < n; ++i)
            a->v[size_t(i)].o = newAgg(l->elemLayout);
    return true;
}
bool biAbsI(Vm&, Value* w, int) {
    w[0].i = w[1].i < 0 ? int64_t(0 - uint64_t(w[1].i)) : w[1].i;
    return true;
}
bool biAbsF(Vm&, Value* w, int) {
    w[0].d = std::fabs(w[1].d);
    return true;
}
bool biSqrt(Vm& vm, Value* w, int) {
    if (w[1].d < 0) {
        vm.raise(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
        return false;
    }
    w[0].d = std::sqrt(w[1].d);
    return true;
}
bool toInt64(Vm& vm, double d, Value& out) {
    if (!std::isfinite(d) || d >= 9.2233720368547758e18 || d < -9.2233720368547758e18) {
        vm.raise(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
        return false;
    }
    out.i = int64_t(d);
    return true;
}
bool biRound(Vm& vm, Value* w, int) {
    return toInt64(vm, std::nearbyint(w[1].d), w[0]);
}
bool biTrunc(Vm& vm, Value* w, int) {
    return toInt64(vm, std::trunc(w[1].d), w[0]);
}
bool biRandomI(Vm&, Value* w, int) {
    int64_t n = w[1].i;
    w[0].i = n <= 0 ? 0 : int64_t(rng()() % uint64_t(n));
    return true;
}
bool biRandomF(Vm&, Value* w, int) {
    w[0].d = double(rng()() >> 11) * (1.0 / 9007199254740992.0);
    return true;
}
bool biRandomize(Vm&, Value*, int) {
    rng().seed(std::random_device{}());
    return true;
}
bool biNow(Vm&, Value* w, int) {
    w[0].d = vrdate::nowLocal();
    return true;
}
bool biDate(Vm&, Value* w, int) {
    w[0].d = std::floor(vrdate::nowLocal());
    return true;
}
bool biTime(Vm&, Value* w, int) {
    double n = vrdate::nowLocal();
    w[0].d = n - std::floor(n);
    return true;
}
bool biFormatDateTime(Vm& vm, Value* w, int) {
    // A pattern character writes at most 12 ("ctct..." writes 24 for 2): weighed before the text
    // is made, so that a long pattern cannot make a text many times the size of the heap.
    if (!vm.heapAllows(mulBytes(strOf(w[1]).size(), 24)))
        return false;
    setStr(w[0], vrdate::qt::formatDateTime(strOf(w[1]), w[2].d));
    return true;
}
bool biDateToStr(Vm&, Value* w, int) {
    setStr(w[0], vrdate::qt::formatDateTime(QStringLiteral("dd/mm/yyyy"), w[1].d));
    return true;
}
bool biTimeToStr(Vm&, Value* w, int) {
    setStr(w[0], vrdate::qt::formatDateTime(QStringLiteral("hh:nn:ss"), w[1].d));
    return true;
}
bool biFormat(Vm& vm, Value* w, int argc) {
    QString out, err;
    if (!formatPascal(strOf(w[1]), w + 2, (argc - 1) / 2, out, err, vm.heapLeft() / 2)) {
        if (err.isEmpty()) // longer than the memory left
            return vm.heapAllows(vm.heapLeft() + 1);
        vm.raise(ExcConvert, err);
        return false;
    }
    if (!vm.heapAllows(out.size() * 2))
        return false;
    setStr(w[0], out);
    return true;
}
bool biNewExc(Vm&, Value* w, int) {
    auto* e = new ExcObj;
    e->classId = int(w[1].i);
    e->message = strOf(w[2]);
    Obj* old = w[0].o;
    w[0].o = e;
    decRef(old);
    return true;
}
bool biExcMessage(Vm&, Value* w, int) {
    setStr(w[0], w[1].o ? static_cast<ExcObj*>(w[1].o)->message : QString());
    return true;
}
bool biExcClassName(Vm& vm, Value* w, int) {
    auto* e = static_cast<ExcObj*>(w[1].o);
    setStr(w[0], e ? vm.program().excClasses[size_t(e->classId)].name : QString());
    return true;
}
bool biRangeError(Vm& vm, Value*, int) {
    vm.raise(ExcRange, QStringLiteral("Range check error"));
    return false;
}

// Routines added for scripts written against Free Pascal's SysUtils, Math and DateUtils.

bool outOfMemory(Vm& vm) {
    vm.raise(ExcOutOfMemory, QStringLiteral("Mémoire insuffisante"));
    return false;
}
bool biStrToInt64(Vm& vm, Value* w, int) {
    int64_t v;
    if (!parseInt(strOf(w[1]), v, true)) {
        vm.raise(ExcConvert, QStringLiteral("\"%1\" is an invalid integer").arg(strOf(w[1])));
        return false;
    }
    w[0].i = v;
    return true;
}
// Val's grammar: blanks around, a sign, digits with one point, an exponent; Inf and Nan too.
bool parseFloat(const QString& text, double& out) {
    QString t = text.trimmed();
    std::string a;
    for (QChar c : t) {
        if (c.unicode() > 127)
            return false;
        a += char(c.unicode());
    }
    size_t i = a[0] == '+' || a[0] == '-' ? 1 : 0;
    std::string word =
        asciiCase(QString::fromLatin1(a.c_str() + std::min(i, a.size())), false).toStdString();
    if (word == "inf" || word == "nan") {
        out = word == "nan" ? std::nan("") : HUGE_VAL;
        if (a[0] == '-')
            out = -out;
        return true;
    }
    if (i >= a.size())
        return false;
    size_t digits = 0;
    while (i < a.size() && std::isdigit((unsigned char)a[i]))
        ++i, ++digits;
    if (i < a.size() && a[i] == '.')
        for (++i; i < a.size() && std::isdigit((unsigned char)a[i]); ++i)
            ++digits;
    if (i < a.size() && (a[i] == 'e' || a[i] == 'E')) {
        ++i;
        if (i < a.size() && (a[i] == '+' || a[i] == '-'))
            ++i;
        if (i >= a.size())
            return false;
        while (i < a.size() && std::isdigit((unsigned char)a[i]))
            ++i;
    }
    if (i != a.size())
        return false;
    if (digits == 0) { // Val reads ".", "-." and "e5" as 0
        out = 0;
        return true;
    }
    // from_chars reads '.' whatever the locale the host program runs under.
    const char* b = a.c_str() + (a[0] == '+' ? 1 : 0);
    auto r = std::from_chars(b, a.c_str() + a.size(), out);
    if (r.ec == std::errc::result_out_of_range) { // past a double's range: 0 or an infinity
        size_t e = a.find_first_of("eE");
        out = e != std::string::npos && a[e + 1] == '-' ? 0.0 : HUGE_VAL;
        if (a[0] == '-')
            out = -out;
        return true;
    }
    return r.ec == std::errc() && r.ptr == a.c_str() + a.size();
}
bool biStrToFloat(Vm& vm, Value* w, int) {
    if (!parseFloat(strOf(w[1]), w[0].d)) {
        vm.raise(ExcConvert, QStringLiteral("\"%1\" is an invalid float").arg(strOf(w[1])));
        return false;
    }
    return true;
}
bool biStringReplace(Vm& vm, Value* w, int) {
    const QString& s = strOf(w[1]);
    const QString& from = strOf(w[2]);
    const QString& to = strOf(w[3]);
    const bool all = w[4].i & 1, ignoreCase = w[4].i & 2;
    if (from.isEmpty()) {
        setStr(w[0], s);
        return true;
    }
    const QString hay = ignoreCase ? asciiCase(s, true) : QString();
    const QString needle = ignoreCase ? asciiCase(from, true) : QString();
    auto find = [&](qsizetype at) {
        return ignoreCase ? hay.indexOf(needle, at) : s.indexOf(from, at);
    };
    // The result's size first: a short text may grow past the memory left.
    int64_t size = s.size();
    for (qsizetype at = find(0); at >= 0; at = all ? find(at + from.size()) : -1)
        size += to.size() - from.size();
    if (!allowChars(vm, size))
        return false;
    QString r;
    r.reserve(qsizetype(size));
    qsizetype done = 0;
    for (qsizetype at = find(0); at >= 0; at = all ? find(at + from.size()) : -1) {
        r += QStringView(s).mid(done, at - done);
        r += to;
        done = at + from.size();
    }
    r += QStringView(s).mid(done);
    setStr(w[0], r);
    return true;
}
bool biQuotedStr(Vm& vm, Value* w, int) {
    QString r = strOf(w[1]);
    if (!allowChars(vm, int64_t(r.size()) * 2 + 2))
        return false;
    r.replace('\'', QStringLiteral("''"));
    setStr(w[0], '\'' + r + '\'');
    return true;
}
bool biIntToHex(Vm& vm, Value* w, int) {
    // An Integer argument is written on 32 bits, an Int64 on 64, as Free Pascal's overloads do.
    uint64_t v = w[3].i == 32 ? uint64_t(uint32_t(w[1].i)) : uint64_t(w[1].i);
    QString digits = QString::number(v, 16).toUpper();
    int64_t n = std::max<int64_t>(w[2].i, digits.size());
    if (!allowChars(vm, n))
        return false;
    setStr(w[0], QString(qsizetype(n - digits.size()), '0') + digits);
    return true;
}
bool biStringOfChar(Vm& vm, Value* w, int) {
    int64_t n = std::max<int64_t>(w[2].i, 0);
    if (!allowChars(vm, n))
        return false;
    setStr(w[0], QString(qsizetype(n), QChar(char16_t(w[1].i))));
    return true;
}
bool biTrimLeft(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    qsizetype a = 0;
    while (a < s.size() && s[a].unicode() <= ' ')
        ++a;
    setStr(w[0], s.mid(a));
    return true;
}
bool biTrimRight(Vm&, Value* w, int) {
    const QString& s = strOf(w[1]);
    qsizetype b = s.size();
    while (b > 0 && s[b - 1].unicode() <= ' ')
        --b;
    setStr(w[0], s.left(b));
    return true;
}
// Free Pascal: the difference of the first characters that differ, else the sign of the
// difference of the lengths; CompareText folds ASCII letters only.
int64_t compareStrings(const QString& a, const QString& b, bool fold) {
    qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        int x = a[i].unicode(), y = b[i].unicode();
        if (fold) {
            x = x >= 'a' && x <= 'z' ? x - 32 : x;
            y = y >= 'a' && y <= 'z' ? y - 32 : y;
        }
        if (x != y)
            return x - y;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}
bool biCompareStr(Vm&, Value* w, int) {
    w[0].i = compareStrings(strOf(w[1]), strOf(w[2]), false);
    return true;
}
bool biCompareText(Vm&, Value* w, int) {
    w[0].i = compareStrings(strOf(w[1]), strOf(w[2]), true);
    return true;
}
bool biSameText(Vm&, Value* w, int) {
    w[0].i = compareStrings(strOf(w[1]), strOf(w[2]), true) == 0;
    return true;
}
bool biBoolToStr(Vm&, Value* w, int argc) {
    bool words = argc > 1 && w[2].i;
    setStr(w[0], words ? (w[1].i ? QStringLiteral("True") : QStringLiteral("False"))
                       : (w[1].i ? QStringLiteral("-1") : QStringLiteral("0")));
    return true;
}
bool biLastDelimiter(Vm&, Value* w, int) {
    const QString& delims = strOf(w[1]);
    const QString& s = strOf(w[2]);
    qsizetype i = s.size();
    while (i > 0 && !delims.contains(s[i - 1]))
        --i;
    w[0].i = i;
    return true;
}
bool biFormatFloat(Vm& vm, Value* w, int) {
    QString out = formatFloatPattern(strOf(w[1]), w[2].d);
    if (!vm.heapAllows(int64_t(out.size()) * 2))
        return false;
    setStr(w[0], out);
    return true;
}
bool biFloatToStrF(Vm& vm, Value* w, int) {
    QString out = formatFloatStyle(w[1].d, int(w[2].i), w[3].i, w[4].i);
    if (!vm.heapAllows(int64_t(out.size()) * 2))
        return false;
    setStr(w[0], out);
    return true;
}
// A real that a mathematical routine makes out of a real: NaN from a number is an invalid
// operation, as Sqrt of a negative is.
bool mathResult(Vm& vm, double arg, double r, Value& out) {
    if (std::isnan(r) && !std::isnan(arg)) {
        vm.raise(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
        return false;
    }
    out.d = r;
    return true;
}
bool biInt(Vm&, Value* w, int) {
    w[0].d = std::trunc(w[1].d);
    return true;
}
bool biFrac(Vm& vm, Value* w, int) {
    return mathResult(vm, w[1].d, w[1].d - std::trunc(w[1].d), w[0]);
}
bool biLn(Vm& vm, Value* w, int) {
    if (w[1].d == 0) {
        vm.raise(ExcZeroDivide, QStringLiteral("Division by zero"));
        return false;
    }
    return mathResult(vm, w[1].d, w[1].d < 0 ? std::nan("") : std::log(w[1].d), w[0]);
}
bool biExp(Vm& vm, Value* w, int) {
    return mathResult(vm, w[1].d, std::exp(w[1].d), w[0]);
}
bool biSin(Vm& vm, Value* w, int) {
    return mathResult(vm, w[1].d, std::sin(w[1].d), w[0]);
}
bool biCos(Vm& vm, Value* w, int) {
    return mathResult(vm, w[1].d, std::cos(w[1].d), w[0]);
}
bool biArcTan(Vm& vm, Value* w, int) {
    return mathResult(vm, w[1].d, std::atan(w[1].d), w[0]);
}
bool biEncodeDate(Vm& vm, Value* w, int) {
    auto d = vrdate::encodeDateTime(int(w[1].i), int(w[2].i), int(w[3].i), 0, 0, 0, 0);
    if (!d) {
        vm.raise(
            ExcConvert,
            QStringLiteral("%1-%2-%3 is not a valid date").arg(w[1].i).arg(w[2].i).arg(w[3].i));
        return false;
    }
    w[0].d = *d;
    return true;
}
bool biEncodeTime(Vm& vm, Value* w, int) {
    auto d =
        vrdate::encodeDateTime(1899, 12, 30, int(w[1].i), int(w[2].i), int(w[3].i), int(w[4].i));
    if (!d) {
        vm.raise(ExcConvert, QStringLiteral("%1:%2:%3.%4 is not a valid time")
                                 .arg(w[1].i)
                                 .arg(w[2].i)
                                 .arg(w[3].i)
                                 .arg(w[4].i));
        return false;
    }
    w[0].d = *d;
    return true;
}
bool decodeParts(Vm& vm, double d, vrdate::DateTimeParts& p) {
    if (vrdate::decodeDateTime(d, p))
        return true;
    vm.raise(ExcConvert,
             QStringLiteral("%1 is not a valid date and time").arg(formatFloatGeneral(d)));
    return false;
}
bool biDecodeDate(Vm& vm, Value* w, int) {
    vrdate::DateTimeParts p;
    if (!decodeParts(vm, w[1].d, p))
        return false;
    w[2].p->i = p.year;
    w[3].p->i = p.month;
    w[4].p->i = p.day;
    return true;
}
bool biDecodeTime(Vm& vm, Value* w, int) {
    vrdate::DateTimeParts p;
    if (!decodeParts(vm, w[1].d, p))
        return false;
    w[2].p->i = p.hour;
    w[3].p->i = p.minute;
    w[4].p->i = p.second;
    w[5].p->i = p.msec;
    return true;
}
bool biDayOfWeek(Vm& vm, Value* w, int) {
    Value day;
    if (!toInt64(vm, std::trunc(w[1].d), day))
        return false;
    // Day 1 (31 December 1899) was a Sunday.
    w[0].i = ((day.i - 1) % 7 + 7) % 7 + 1;
    return true;
}
bool biIncDay(Vm& vm, Value* w, int) {
    // Before day 0 the time of day counts forwards: -1.25 is the day before, 6 o'clock.
    double whole = std::trunc(w[1].d), time = std::fabs(w[1].d - whole);
    if (!std::isfinite(w[1].d)) {
        vm.raise(ExcInvalidOp, QStringLiteral("Invalid floating point operation"));
        return false;
    }
    double day = whole + double(w[2].i);
    w[0].d = day >= 0 ? day + time : day - time;
    return true;
}

} // namespace

void setStr(Value& dst, QString s) {
    Obj* old = dst.o;
    if (s.isEmpty()) {
        dst.o = nullptr;
    } else {
        auto* o = new StrObj(std::move(s));
        account(o);
        dst.o = o;
    }
    decRef(old);
}

// A string result of n characters, refused before anything is allocated.
bool allowChars(Vm& vm, int64_t n) {
    if (n > INT32_MAX / 2)
        return outOfMemory(vm);
    return vm.heapAllows(n * 2);
}

BuiltinFn builtinFunction(Bi id) {
    if (int(id) > int(Bi::Write))
        return mathTextFunction(id);
    // clang-format off
    static const BuiltinFn table[] = {
        biIntToStr, biFloatToStr, biStrToInt,       biStrToIntDef, biCopy,      biPos,
        biDelete,   biInsert,     biUpper,          biLower,       biTrim,      biLengthS,
        biLengthA,  biSetLengthS, biSetLengthA,     biAbsI,        biAbsF,      biSqrt,
        biRound,    biTrunc,      biRandomI,        biRandomF,     biRandomize, biNow,
        biDate,     biTime,       biFormatDateTime, biDateToStr,   biTimeToStr, biFormat,
        biNewExc,   biExcMessage, biExcClassName,   biRangeError,
        biStrToInt64, biStrToFloat, biStringReplace, biQuotedStr, biIntToHex, biStringOfChar,
        biTrimLeft, biTrimRight, biCompareStr, biCompareText, biSameText, biBoolToStr,
        biLastDelimiter, biFormatFloat, biFloatToStrF, biInt, biFrac, biLn, biExp, biSin, biCos,
        biArcTan, biEncodeDate, biEncodeTime, biDecodeDate, biDecodeTime, biDayOfWeek, biIncDay,
        biWrite};
    // clang-format on
    static_assert(sizeof(table) / sizeof(table[0]) == size_t(Bi::Write) + 1);
    return table[int(id)];
}

} // namespace vscript
