#pragma once

#include <QString>

// The camcorder clock correction of the inlay panel, in day-based date-times.
namespace offset {

// "%d heures" when the offset is whole hours of less than a day, else
// "%d jours %.2dh %.2dm %.2ds"; a negative offset shows negative parts.
QString OffsetText(double days);

// A date-time cut to its whole second (milliseconds dropped), composed as Compose does, so
// that the controls filled from it give the same value back.
double CutToSeconds(double dateTime);
// date + hour / 24 + minute / 1440 + second / 86400.
double Compose(double date, int hour, int minute, int second);

// The argument of saDecalage: a decimal number of days, '.' or ',' as separator; 0 when the
// text is not a number.
double DaysFromText(const QString& text);

} // namespace offset
