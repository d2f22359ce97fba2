#include "Builtins.h"

#include <cmath>
#include <cstdio>

namespace vscript {

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

bool formatPascal(const QString& fmt, const Value* args, int count, QString& out, QString& error) {
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
                if (argi >= count || args[2 * argi].i != TagInt)
                    return false;
                into = int(args[2 * argi + 1].i);
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
            if (tag != TagInt)
                return wrongArg();
            bool neg = v.i < 0;
            QString digits = QString::number(neg ? uint64_t(0) - uint64_t(v.i) : uint64_t(v.i));
            if (prec > int(digits.size()))
                digits = QString(prec - int(digits.size()), '0') + digits;
            piece = neg ? '-' + digits : digits;
            break;
        }
        case 'x': {
            if (tag != TagInt)
                return wrongArg();
            piece = QString::number(uint64_t(v.i), 16).toUpper();
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
            int p = prec < 0 ? 2 : std::min(prec, 300);
            if (conv == 'e') {
                std::snprintf(buf, sizeof buf, "%.*E", prec < 0 ? 14 : std::max(p - 1, 0), d);
                piece = QString::fromLatin1(buf);
                // Pascal writes three exponent digits: 1.0E+000
                int e = piece.indexOf('E');
                if (e >= 0) {
                    QString ex = piece.mid(e + 2);
                    while (ex.size() < 3)
                        ex.prepend('0');
                    piece = piece.left(e + 2) + ex;
                }
            } else {
                if (std::fabs(d) >= 1e300)
                    std::snprintf(buf, sizeof buf, "%.*E", p, d);
                else
                    std::snprintf(buf, sizeof buf, "%.*f", p, d);
                piece = QString::fromLatin1(buf);
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
    }
    return true;
}

} // namespace vscript
