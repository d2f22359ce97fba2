#include "Builtins.h"

#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vscript {

namespace {
// Free Pascal writes a number from its exact binary value, rounding half away from zero
// (0.125 gives 0.13, 2.5 gives 3), where printf rounds exact halves to even.
std::string exactDigits(double d, bool scientific) {
    static thread_local std::vector<char> buf(1600);
    // 1100 decimals hold every double's exact expansion (at most 1074 of them). to_chars
    // writes '.' where printf would follow the locale a Qt program sets (',' in French).
    auto r =
        std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(d),
                      scientific ? std::chars_format::scientific : std::chars_format::fixed, 1100);
    return std::string(buf.data(), r.ptr);
}

// Keeps the first keep digits, rounding on the next one; true when a carry added a digit.
bool roundDigits(std::string& digits, size_t keep) {
    if (digits.size() <= keep) {
        digits.append(keep - digits.size(), '0');
        return false;
    }
    bool up = digits[keep] >= '5';
    digits.resize(keep);
    if (!up)
        return false;
    for (size_t i = keep; i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
    return true;
}

QString fixedText(double d, int decimals) {
    std::string s = exactDigits(d, false);
    size_t dot = s.find('.');
    size_t intLen = dot == std::string::npos ? s.size() : dot;
    std::string digits = s.substr(0, intLen) + (dot == std::string::npos ? "" : s.substr(dot + 1));
    if (roundDigits(digits, intLen + size_t(decimals)))
        ++intLen;
    std::string out = digits.substr(0, intLen);
    if (decimals > 0)
        out += '.' + digits.substr(intLen);
    // A value rounded to zero loses its sign: -0.001 gives 0.00.
    if (d < 0 && digits.find_first_not_of('0') != std::string::npos)
        out.insert(out.begin(), '-');
    return QString::fromLatin1(out.c_str());
}

// significant digits, written d.ddd E+xxx with three exponent digits as Pascal does.
QString scientificText(double d, int significant) {
    std::string s = exactDigits(d, true);
    size_t e = s.find('e');
    int exp = std::atoi(s.c_str() + e + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    if (roundDigits(digits, size_t(significant))) {
        digits.pop_back();
        ++exp;
    }
    if (d == 0)
        exp = 0;
    char ex[16];
    std::snprintf(ex, sizeof ex, "E%c%03d", exp < 0 ? '-' : '+', std::abs(exp));
    std::string out = (d < 0 ? "-" : "") + digits.substr(0, 1) + '.' + digits.substr(1) + ex;
    return QString::fromLatin1(out.c_str());
}

// The significant digits Free Pascal keeps of a double (15; FormatFloat, which works on an
// Extended, 18), and the decimal exponent of the first one (0 for zero).
std::string keptDigits(double a, int kept, int& exp) {
    char buf[64];
    auto r =
        std::to_chars(buf, buf + sizeof buf, std::fabs(a), std::chars_format::scientific, kept - 1);
    std::string s(buf, r.ptr);
    size_t e = s.find('e');
    exp = a == 0 ? 0 : std::atoi(s.c_str() + e + 1);
    return s.substr(0, 1) + (e > 1 ? s.substr(2, e - 2) : std::string());
}

// |a| kept to `kept` significant digits, then rounded half away from zero to `decimals` decimals:
// the integer digits without leading zeros, and the decimals.
void decimalParts(double a, int kept, int64_t decimals, std::string& whole, std::string& fraction) {
    int exp;
    std::string digits = keptDigits(a, kept, exp);
    size_t intLen = 1;
    if (a == 0)
        digits = "0";
    else if (exp >= 0)
        intLen = size_t(exp) + 1;
    else
        digits.insert(0, size_t(-exp), '0');
    if (roundDigits(digits, intLen + size_t(decimals)))
        ++intLen;
    whole = digits.substr(0, intLen);
    fraction = digits.substr(intLen);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
}

// 1234567 as 1,234,567, in one pass.
std::string withThousands(const std::string& digits) {
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// d.ddd with `significant` digits and the exponent of the first, rounded half away from zero.
std::string mantissa(double a, int kept, int significant, int& exp) {
    std::string digits = keptDigits(a, kept, exp);
    if (roundDigits(digits, size_t(significant))) {
        digits.pop_back();
        ++exp;
    }
    return digits;
}

std::string exponentText(int exp, int minDigits, bool plus) {
    std::string n = std::to_string(std::abs(exp));
    if (int(n.size()) < minDigits)
        n.insert(0, size_t(minDigits) - n.size(), '0');
    return (exp < 0 ? "-" : plus ? "+" : "") + n;
}
} // namespace

QString formatFloatPattern(const QString& pattern, double v) {
    if (!std::isfinite(v))
        return formatFloatGeneral(v);
    // The sections "positive;negative;zero", split outside quoted text.
    QStringList sections{QString()};
    QChar quote;
    for (QChar c : pattern) {
        if (quote.isNull() && c == ';' && sections.size() < 3) {
            sections.append(QString());
            continue;
        }
        if (c == '"' || c == '\'')
            quote = quote.isNull() ? c : quote == c ? QChar() : quote;
        sections.last() += c;
    }
    QString section = sections[0];
    bool sign = v < 0;
    if (v < 0 && sections.size() > 1) {
        section = sections[1];
        sign = false;
    } else if (v == 0 && sections.size() > 2) {
        section = sections[2];
    }
    if (section.isEmpty()) // an empty section, chosen: the general form
        return formatFloatGeneral(v);

    // The run of placeholders: 0 # . , and an exponent E+00; what lies around it is copied.
    qsizetype first = -1, last = -1;
    int64_t minInt = 0, maxFrac = 0, minFrac = 0, expDigits = 0;
    bool point = false, thousands = false, scientific = false, expPlus = false;
    QChar expLetter;
    quote = QChar();
    for (qsizetype i = 0; i < section.size(); ++i) {
        QChar c = section[i];
        if (!quote.isNull() || c == '"' || c == '\'') {
            quote = quote.isNull() ? c : quote == c ? QChar() : quote;
            continue;
        }
        if (scientific)
            break;
        if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (first < 0)
                first = i;
            last = i;
            if (c == '.')
                point = true;
            else if (c == ',')
                thousands = thousands || !point;
            else if (point)
                minFrac = c == '0' ? ++maxFrac : (++maxFrac, minFrac);
            else if (c == '0')
                ++minInt;
        } else if ((c == 'E' || c == 'e') && first >= 0 && i + 1 < section.size() &&
                   (section[i + 1] == '+' || section[i + 1] == '-')) {
            scientific = true;
            expLetter = c;
            expPlus = section[i + 1] == '+';
            last = ++i;
            while (i + 1 < section.size() && section[i + 1] == '0')
                last = ++i, ++expDigits;
        }
    }
    std::string number;
    if (scientific) {
        int exp;
        std::string digits = mantissa(v, 18, int(std::min<int64_t>(1 + maxFrac, 1000)), exp);
        std::string fraction = digits.substr(1);
        while (int64_t(fraction.size()) > minFrac && fraction.back() == '0')
            fraction.pop_back();
        number = digits.substr(0, 1) + (fraction.empty() ? "" : "." + fraction) +
                 char(expLetter.unicode()) +
                 exponentText(exp, int(std::min<int64_t>(expDigits, 1000)), expPlus);
    } else if (first >= 0) {
        if (std::fabs(v) >= 1e17) // past the digits a double holds: the general form
            return formatFloatGeneral(v);
        std::string whole, fraction;
        decimalParts(v, 18, maxFrac, whole, fraction);
        // Free Pascal keeps every decimal of a value that rounds to zero: 0.001 as #.## is .00.
        const bool roundedAway =
            v != 0 && whole.empty() && fraction.find_first_not_of('0') == std::string::npos;
        while (!roundedAway && int64_t(fraction.size()) > minFrac && fraction.back() == '0')
            fraction.pop_back();
        if (int64_t(whole.size()) < minInt)
            whole.insert(0, size_t(minInt) - whole.size(), '0');
        number =
            (thousands ? withThousands(whole) : whole) + (fraction.empty() ? "" : "." + fraction);
    }
    QString out = sign ? QStringLiteral("-") : QString(); // before any text, as Free Pascal
    quote = QChar();
    for (qsizetype i = 0; i < section.size(); ++i) {
        QChar c = section[i];
        if (i == first)
            out += QString::fromLatin1(number.c_str());
        if (!quote.isNull() || c == '"' || c == '\'') {
            if (c == quote)
                quote = QChar();
            else if (quote.isNull())
                quote = c;
            else
                out += c;
            continue;
        }
        if (first < 0 || i < first || i > last)
            out += c;
    }
    return out;
}

QString formatFloatStyle(double v, int style, int64_t precision, int64_t digits) {
    enum { General, Exponent, Fixed, Number, Currency };
    if (!std::isfinite(v))
        return formatFloatGeneral(v);
    // From 2 digits up to 17, what a double holds; -1 asks for all 17.
    const int p = precision == -1 ? 17 : int(std::clamp<int64_t>(precision, 2, 17));
    bool neg = v < 0;
    std::string out;
    if (style == General || style == Exponent) {
        int exp;
        std::string m = mantissa(v, std::max(15, p), p, exp);
        if (style == Exponent) {
            out = m.substr(0, 1) + "." + m.substr(1);
            // Asked for no exponent digits, Free Pascal writes no exponent of 0 either.
            if (exp != 0 || digits > 0)
                out += "E" + exponentText(exp, int(std::clamp<int64_t>(digits, 0, 4)), true);
        } else {
            while (m.size() > 1 && m.back() == '0')
                m.pop_back();
            if (exp >= p || exp < -5)
                out = m.substr(0, 1) + (m.size() > 1 ? "." + m.substr(1) : "") + "E" +
                      std::to_string(exp);
            else if (exp < 0)
                out = "0." + std::string(size_t(-exp - 1), '0') + m;
            else if (m.size() <= size_t(exp) + 1)
                out = m + std::string(size_t(exp) + 1 - m.size(), '0');
            else
                out = m.substr(0, size_t(exp) + 1) + "." + m.substr(size_t(exp) + 1);
        }
    } else {
        std::string whole, fraction;
        decimalParts(v, 15, digits < 0 ? 2 : std::min<int64_t>(digits, 18), whole, fraction);
        // Unlike FormatFloat, a value rounded to zero loses its sign.
        neg = neg && (!whole.empty() || fraction.find_first_not_of('0') != std::string::npos);
        if (whole.empty())
            whole = "0";
        out = (style == Fixed ? whole : withThousands(whole)) +
              (fraction.empty() ? "" : "." + fraction);
        if (style == Currency)
            out += "$";
    }
    if (neg)
        out.insert(out.begin(), '-');
    return QString::fromLatin1(out.c_str());
}

QString formatFloatGeneral(double v) {
    if (std::isnan(v))
        return QStringLiteral("Nan");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    if (v == 0)
        return QStringLiteral("0");
    // Free Pascal writes the 17 digits of the double, then rounds them half up to 15: a value
    // whose 17 digits end in 50 rounds up (2^-22 = 2.384185791015625E-7 gives ...563), where
    // rounding the exact binary value once would give ...562.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16e", v);
    // buf: [-]d.dddddddddddddddde[+-]xx
    QString s = QString::fromLatin1(buf);
    bool neg = s.startsWith('-');
    if (neg)
        s.remove(0, 1);
    int e = s.indexOf('e');
    int exp = s.mid(e + 1).toInt();
    QString digits = s.left(1) + s.mid(2, e - 2);
    const bool up = digits[15] >= '5';
    digits.truncate(15);
    if (up) {
        int i = 14;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i >= 0) {
            digits[i] = QChar(digits[i].unicode() + 1);
        } else {
            digits.prepend('1');
            digits.truncate(15);
            ++exp;
        }
    }
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    QString out;
    if (exp >= 15 || exp < -5) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += '.' + digits.mid(1);
        out += 'E' + QString::number(exp);
    } else if (exp < 0) {
        out = QStringLiteral("0.") + QString(-exp - 1, '0') + digits;
    } else if (digits.size() <= exp + 1) {
        out = digits + QString(exp + 1 - int(digits.size()), '0');
    } else {
        out = digits.left(exp + 1) + '.' + digits.mid(exp + 1);
    }
    return neg ? '-' + out : out;
}

bool formatPascal(const QString& fmt, const Value* args, int count, QString& out, QString& error,
                  int64_t maxChars) {
    int argi = 0;
    int n = int(fmt.size());
    int start = 0; // the '%' of the specifier being read
    // The messages name the specifier only: the engine adds the position of the call.
    auto spec = [&](int end) { return fmt.mid(start, std::min(end, n - 1) - start + 1); };
    auto invalid = [&](int at) {
        error = QStringLiteral("Invalid format specifier : \"%1\"").arg(spec(at));
        return false;
    };
    for (int i = 0; i < n; ++i) {
        QChar c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        start = i;
        if (++i >= n)
            return invalid(i);
        if (fmt[i] == '%') {
            out += '%';
            continue;
        }
        auto number = [&](int& into, int most) {
            if (i < n && fmt[i] == '*') {
                if (argi >= count || (args[2 * argi].i != TagInt && args[2 * argi].i != TagInt32))
                    return false;
                into = int(std::clamp<int64_t>(args[2 * argi + 1].i, 0, most));
                ++argi;
                ++i;
                return true;
            }
            if (i < n && fmt[i].isDigit()) {
                into = 0;
                while (i < n && fmt[i].isDigit())
                    into = std::min(into * 10 + fmt[i++].digitValue(), most);
            }
            return true;
        };
        // "%1:s" picks the argument; those after it follow on from there.
        {
            const int from = i, argiBefore = argi;
            int index = -1;
            if (number(index, INT32_MAX / 10) && index >= 0 && i < n && fmt[i] == ':') {
                argi = index;
                ++i;
            } else {
                i = from;
                argi = argiBefore;
            }
        }
        bool left = false;
        if (i < n && fmt[i] == '-') {
            left = true;
            ++i;
        }
        // As a width written in the format: at most 1000.
        int width = -1, prec = -1;
        if (!number(width, 1000))
            return invalid(i);
        if (i < n && fmt[i] == '.') {
            ++i;
            prec = 0;
            if (!number(prec, 1000))
                return invalid(i);
        }
        if (i >= n)
            return invalid(i);
        if (fmt[i] == '%') { // "%5%": a percent sign in a width, no argument taken
            QString pad(std::max(0, width - 1), ' ');
            out += left ? '%' + pad : pad + '%';
            if (out.size() > maxChars) {
                out.clear();
                return false;
            }
            continue;
        }
        QChar conv = fmt[i].toLower();
        if (argi >= count) {
            error = QStringLiteral("No argument for format \"%1\"").arg(spec(i));
            return false;
        }
        int64_t tag = args[2 * argi].i;
        Value v = args[2 * argi + 1];
        ++argi;
        QString piece;
        auto wrongArg = [&]() {
            error = QStringLiteral("Invalid argument type for format \"%1\"").arg(spec(i));
            return false;
        };
        switch (conv.unicode()) {
        case 'd':
        case 'u': {
            if (tag != TagInt && tag != TagInt32)
                return wrongArg();
            bool neg = v.i < 0;
            QString digits = QString::number(neg ? uint64_t(0) - uint64_t(v.i) : uint64_t(v.i));
            if (prec > int(digits.size()))
                digits = QString(prec - int(digits.size()), '0') + digits;
            piece = neg ? '-' + digits : digits;
            break;
        }
        case 'x': {
            if (tag != TagInt && tag != TagInt32)
                return wrongArg();
            piece = QString::number(tag == TagInt32 ? uint64_t(uint32_t(v.i)) : uint64_t(v.i), 16)
                        .toUpper();
            if (prec > int(piece.size()))
                piece = QString(prec - int(piece.size()), '0') + piece;
            break;
        }
        case 'f':
        case 'n':
        case 'e':
        case 'g': {
            double d;
            if (tag == TagFloat)
                d = v.d;
            else
                return wrongArg();
            if (conv == 'g') {
                piece = formatFloatGeneral(d);
                break;
            }
            char buf[512];
            int p = prec < 0 ? 2 : std::min(prec, 18);
            if (!std::isfinite(d)) {
                piece = formatFloatGeneral(d);
            } else if (conv == 'e') {
                piece = scientificText(d, prec < 0 ? 15 : std::clamp(prec, 2, 18));
            } else {
                if (std::fabs(d) >= 1e300) {
                    auto r =
                        std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, p);
                    piece = QString::fromLatin1(buf, r.ptr - buf).toUpper();
                } else {
                    piece = fixedText(d, p);
                }
                if (conv == 'n') {
                    int dot = piece.indexOf('.');
                    int end = dot < 0 ? int(piece.size()) : dot;
                    int start = piece.startsWith('-') ? 1 : 0;
                    for (int k = end - 3; k > start; k -= 3)
                        piece.insert(k, ',');
                }
            }
            break;
        }
        case 's': {
            if (tag == TagStr)
                piece = strOf(v);
            else if (tag == TagChar)
                piece = QString(QChar(char16_t(v.i)));
            else
                return wrongArg();
            if (prec >= 0 && prec < piece.size())
                piece.truncate(prec);
            break;
        }
        default:
            return invalid(i);
        }
        if (width > piece.size()) {
            QString pad(width - int(piece.size()), ' ');
            piece = left ? piece + pad : pad + piece;
        }
        out += piece;
        if (out.size() > maxChars) {
            out.clear();
            error.clear();
            return false;
        }
    }
    return true;
}

} // namespace vscript
