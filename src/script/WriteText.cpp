#include "Builtins.h"
#include "Vm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// Write and WriteLn as Free Pascal writes a Double: "d.dddE+ddd" after a sign place, or fixed
// with the decimals asked for, rounded half away from zero on the 17 significant digits.

namespace vscript {

namespace {

// Widths and decimals beyond this are taken as this: a script cannot make a line of gigabytes.
constexpr int64_t kMaxWidth = 1000;

// The significant digits of a finite v (no sign) and its decimal exponent: v = d.ddd × 10^e.
// Free Pascal rounds on 15 digits when fewer are kept (2.675 gives 2.68, as written), and
// shows up to 17 (1/3 with 20 decimals is 0.33333333333333331000).
void digitsOf(double v, std::string& digits, int& exponent, int keep = 17) {
    char buf[40];
    std::snprintf(buf, sizeof buf, keep <= 15 ? "%.14e" : "%.16e", std::fabs(v));
    digits.clear();
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    exponent = *p == 'e' ? std::atoi(p + 1) : 0;
}

// Keeps the first `keep` digits, rounding half up on the next one; a carry may add a digit in
// front (then exponent grows by one). keep may be 0 or negative.
void roundDigits(std::string& digits, int& exponent, int keep) {
    if (keep >= int(digits.size())) {
        digits.append(size_t(keep) - digits.size(), '0');
        return;
    }
    if (keep < 0) {
        digits = "0";
        return;
    }
    const bool up = digits[size_t(keep)] >= '5';
    digits.resize(size_t(keep));
    if (!up)
        return;
    int i = keep - 1;
    while (i >= 0 && digits[size_t(i)] == '9')
        digits[size_t(i--)] = '0';
    if (i >= 0) {
        ++digits[size_t(i)];
    } else {
        digits.insert(digits.begin(), '1');
        ++exponent;
    }
}

QString scientific(double v, int64_t width) {
    // Free Pascal: 24 places by default, at least one decimal, three exponent digits.
    const int decimals = int(std::max<int64_t>(width < 0 ? 16 : width - 8, 1));
    std::string digits;
    int exponent = 0;
    if (v == 0) {
        digits = "0";
    } else {
        digitsOf(v, digits, exponent, decimals + 1);
        roundDigits(digits, exponent, decimals + 1);
    }
    digits.resize(size_t(decimals) + 1, '0');
    std::string text = std::signbit(v) && v != 0 ? "-" : " ";
    text += digits[0];
    text += '.';
    text.append(digits, 1, std::string::npos);
    char e[16];
    std::snprintf(e, sizeof e, "E%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    text += e;
    return QString::fromLatin1(text.c_str());
}

QString fixed(double v, int64_t decimals) {
    std::string digits;
    int exponent = 0;
    if (v != 0) {
        digitsOf(v, digits, exponent);
        // Digits before the point: exponent + 1; keep those and the decimals.
        const int keep = exponent + 1 + int(decimals);
        if (keep <= 15)
            digitsOf(v, digits, exponent, keep);
        roundDigits(digits, exponent, keep);
    }
    std::string whole, part;
    if (v == 0 || digits == "0" || digits.empty()) {
        whole = "0";
        part.assign(size_t(decimals), '0');
    } else if (exponent >= 0) {
        const size_t n = size_t(exponent) + 1;
        digits.resize(std::max(digits.size(), n + size_t(decimals)), '0');
        whole = digits.substr(0, n);
        part = digits.substr(n, size_t(decimals));
    } else {
        whole = "0";
        part.assign(size_t(-exponent - 1), '0');
        part += digits;
        part.resize(size_t(decimals), '0');
    }
    // Free Pascal keeps the sign of a negative value that rounds to zero: "-0.00".
    std::string text = v < 0 ? "-" : "";
    text += whole;
    if (decimals > 0)
        text += '.' + part;
    return QString::fromLatin1(text.c_str());
}

} // namespace

QString writeValueText(ConstTag tag, Value v, int64_t width, int64_t decimals) {
    width = std::min(width, kMaxWidth);
    decimals = std::min(decimals, kMaxWidth);
    QString text;
    switch (tag) {
    case TagFloat:
        if (std::isnan(v.d))
            text = QStringLiteral("Nan");
        else if (std::isinf(v.d))
            text = v.d > 0 ? QStringLiteral("+Inf") : QStringLiteral("-Inf");
        else if (decimals >= 0)
            text = fixed(v.d, decimals);
        else
            text = scientific(v.d, width);
        break;
    case TagStr:
        text = strOf(v);
        break;
    case TagChar:
        text = QChar(char16_t(v.i));
        break;
    case TagBool:
        text = v.i ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        break;
    default:
        text = QString::number(v.i);
    }
    if (width > text.size())
        text.prepend(QString(int(width - text.size()), u' '));
    return text;
}

bool biWrite(Vm& vm, Value* w, int argc) {
    QString text;
    for (int i = 1; i + 3 < argc + 1; i += 4) {
        const QString piece =
            writeValueText(ConstTag(w[i + 1].i), w[i + 2], w[i + 3].i, w[i + 4].i);
        if (!vm.heapAllows(int64_t(piece.size()) * 2))
            return false;
        text += piece;
    }
    if (w[1].i)
        text += u'\n';
    vm.output(text);
    return true;
}

void Vm::output(const QString& text) const {
    if (m_limits.output) {
        m_limits.output(text);
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

} // namespace vscript
