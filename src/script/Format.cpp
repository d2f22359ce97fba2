#include "Builtins.h"

#include <algorithm>
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
    // 1100 decimals hold every double's exact expansion (at most 1074 of them).
    std::snprintf(buf.data(), buf.size(), scientific ? "%.1100e" : "%.1100f", std::fabs(d));
    return buf.data();
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
} // namespace

QString formatFloatGeneral(double v) {
    if (std::isnan(v))
        return QStringLiteral("Nan");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
    if (v == 0)
        return QStringLiteral("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    // buf: [-]d.ddddddddddddddde[+-]xx
    QString s = QString::fromLatin1(buf);
    bool neg = s.startsWith('-');
    if (neg)
        s.remove(0, 1);
    int e = s.indexOf('e');
    int exp = s.mid(e + 1).toInt();
    QString digits = s.left(1) + s.mid(2, e - 2);
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
    auto invalid = [&]() {
        error = QStringLiteral("Invalid format specifier : %1").arg(fmt);
        return false;
    };
    for (int i = 0; i < n; ++i) {
        QChar c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (++i >= n)
            return invalid();
        if (fmt[i] == '%') {
            out += '%';
            continue;
        }
        bool left = false;
        if (fmt[i] == '-') {
            left = true;
            ++i;
        }
        int width = -1, prec = -1;
        auto number = [&](int& into) {
            if (i < n && fmt[i] == '*') {
                if (argi >= count || (args[2 * argi].i != TagInt && args[2 * argi].i != TagInt32))
                    return false;
                // As a width written in the format: at most 1000.
                into = int(std::clamp<int64_t>(args[2 * argi + 1].i, 0, 1000));
                ++argi;
                ++i;
                return true;
            }
            if (i < n && fmt[i].isDigit()) {
                into = 0;
                while (i < n && fmt[i].isDigit())
                    into = std::min(into * 10 + fmt[i++].digitValue(), 1000);
            }
            return true;
        };
        if (!number(width))
            return invalid();
        if (i < n && fmt[i] == '.') {
            ++i;
            prec = 0;
            if (!number(prec))
                return invalid();
        }
        if (i >= n)
            return invalid();
        QChar conv = fmt[i].toLower();
        if (argi >= count) {
            error = QStringLiteral("No argument for format \"%1\"").arg(fmt);
            return false;
        }
        int64_t tag = args[2 * argi].i;
        Value v = args[2 * argi + 1];
        ++argi;
        QString piece;
        auto wrongArg = [&]() {
            error = QStringLiteral("Invalid argument index in format \"%1\"").arg(fmt);
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
                    std::snprintf(buf, sizeof buf, "%.*E", p, d);
                    piece = QString::fromLatin1(buf);
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
            return invalid();
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
