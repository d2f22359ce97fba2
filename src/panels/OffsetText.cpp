#include "OffsetText.h"

#include <cmath>

namespace offset {

QString OffsetText(double days) {
    // C++ division truncates toward zero and the remainder takes the dividend's sign, which
    // is how a negative offset shows negative parts.
    const long long s = std::llround(days * 86400.0);
    const long long d = s / 86400, h = (s / 3600) % 24, m = (s / 60) % 60, sec = s % 60;
    if (d == 0 && m == 0 && sec == 0)
        return QStringLiteral("%1 heures").arg(h);
    return QString::asprintf("%lld jours %.2lldh %.2lldm %.2llds", d, h, m, sec);
}

double CutToSeconds(double dateTime) {
    double date = std::floor(dateTime);
    long long ms = std::llround((dateTime - date) * 86400000.0);
    if (ms >= 86400000) {
        date += 1.0;
        ms -= 86400000;
    }
    const long long s = ms / 1000;
    return Compose(date, int(s / 3600), int(s / 60 % 60), int(s % 60));
}

double Compose(double date, int hour, int minute, int second) {
    return date + hour / 24.0 + minute / 1440.0 + second / 86400.0;
}

double DaysFromText(const QString& text) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double days = t.toDouble(&ok);
    return ok && std::isfinite(days) ? days : 0.0;
}

} // namespace offset
