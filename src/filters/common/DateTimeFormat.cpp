#include "DateTimeFormat.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace vrdate {
namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kEpochDays = -25569; // 1899-12-30 counted from 1970-01-01

const char16_t* const kLongDays[7] = {u"dimanche", u"lundi",    u"mardi", u"mercredi",
                                      u"jeudi",    u"vendredi", u"samedi"};
const char16_t* const kShortDays[7] = {u"dim.", u"lun.", u"mar.", u"mer.",
                                       u"jeu.", u"ven.", u"sam."};
const char16_t* const kLongMonths[12] = {u"janvier",   u"février", u"mars",     u"avril",
                                         u"mai",       u"juin",    u"juillet",  u"août",
                                         u"septembre", u"octobre", u"novembre", u"décembre"};
const char16_t* const kShortMonths[12] = {u"janv.", u"févr.", u"mars",  u"avr.", u"mai",  u"juin",
                                          u"juil.", u"août",  u"sept.", u"oct.", u"nov.", u"déc."};

// The French forms of the short and long date and time.
const char16_t* const kShortDateFormat = u"dd/mm/yyyy";
const char16_t* const kLongDateFormat = u"dddd d mmmm yyyy";
const char16_t* const kShortTimeFormat = u"hh:nn";
const char16_t* const kLongTimeFormat = u"hh:nn:ss";

int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

void appendNumber(QString& out, int value, int minDigits) {
    char16_t digits[12];
    int n = 0;
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 11);
    if (value < 0)
        out.append(QChar(u'-'));
    for (int i = n; i < minDigits; ++i)
        out.append(QChar(u'0'));
    while (n > 0)
        out.append(QChar(digits[--n]));
}

char16_t upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

bool matchesAt(const QString& s, qsizetype i, const char16_t* word) {
    for (qsizetype k = 0; word[k] != 0; ++k) {
        if (i + k >= s.size() || upper(s[i + k].unicode()) != upper(word[k]))
            return false;
    }
    return true;
}

bool uses12Hours(const QString& pattern) {
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (matchesAt(pattern, i, u"am/pm") || matchesAt(pattern, i, u"a/p") ||
            matchesAt(pattern, i, u"ampm"))
            return true;
    }
    return false;
}

void formatParts(QStringView pattern, const DateTimeParts& p, QString& out, int depth);

void formatNested(const char16_t* pattern, const DateTimeParts& p, QString& out, int depth) {
    if (depth < 3)
        formatParts(QStringView(pattern), p, out, depth + 1);
}

void formatParts(QStringView pattern, const DateTimeParts& p, QString& out, int depth) {
    const QString patternString = QString::fromRawData(pattern.data(), pattern.size());
    const bool twelve = uses12Hours(patternString);
    char16_t lastLetter = 0;
    qsizetype i = 0;
    const qsizetype n = pattern.size();
    while (i < n) {
        const char16_t c = pattern[i].unicode();
        char16_t token = upper(c);
        if (c == u'"' || c == u'\'') {
            qsizetype j = i + 1;
            while (j < n && pattern[j].unicode() != c)
                out.append(pattern[j++]);
            i = j < n ? j + 1 : j;
            continue;
        }
        qsizetype count = 1;
        if (token >= u'A' && token <= u'Z') {
            while (i + count < n && upper(pattern[i + count].unicode()) == token)
                ++count;
        }
        if (token == u'M' && lastLetter == u'H')
            token = u'N';
        switch (token) {
        case u'C':
            formatNested(kShortDateFormat, p, out, depth);
            if (p.hour != 0 || p.minute != 0 || p.second != 0 || p.msec != 0) {
                out.append(QChar(u' '));
                formatNested(kLongTimeFormat, p, out, depth);
            }
            break;
        case u'D':
            if (count == 1 || count == 2)
                appendNumber(out, p.day, static_cast<int>(count));
            else if (count == 3)
                out.append(QStringView(kShortDays[p.dayOfWeek - 1]));
            else if (count == 4)
                out.append(QStringView(kLongDays[p.dayOfWeek - 1]));
            else if (count == 5)
                formatNested(kShortDateFormat, p, out, depth);
            else
                formatNested(kLongDateFormat, p, out, depth);
            break;
        case u'M':
            if (count <= 2)
                appendNumber(out, p.month, static_cast<int>(count));
            else if (count == 3)
                out.append(QStringView(kShortMonths[p.month - 1]));
            else
                out.append(QStringView(kLongMonths[p.month - 1]));
            break;
        case u'Y':
            if (count <= 2)
                appendNumber(out, p.year % 100, 2);
            else
                appendNumber(out, p.year, 4);
            break;
        case u'H': {
            int h = p.hour;
            if (twelve) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            appendNumber(out, h, count >= 2 ? 2 : 1);
            break;
        }
        case u'N':
            appendNumber(out, p.minute, count >= 2 ? 2 : 1);
            break;
        case u'S':
            appendNumber(out, p.second, count >= 2 ? 2 : 1);
            break;
        case u'Z':
            appendNumber(out, p.msec, count >= 2 ? 3 : 1);
            break;
        case u'T':
            formatNested(count == 1 ? kShortTimeFormat : kLongTimeFormat, p, out, depth);
            break;
        case u'A':
            if (matchesAt(patternString, i, u"am/pm")) {
                const bool lower = pattern[i].unicode() == u'a';
                const char16_t* word =
                    p.hour < 12 ? (lower ? u"am" : u"AM") : (lower ? u"pm" : u"PM");
                out.append(QStringView(word));
                count = 5;
            } else if (matchesAt(patternString, i, u"ampm")) {
                // Pascal's AM and PM strings, in capitals whatever the pattern's case.
                out.append(QStringView(p.hour < 12 ? u"AM" : u"PM"));
                count = 4;
            } else if (matchesAt(patternString, i, u"a/p")) {
                const bool lower = pattern[i].unicode() == u'a';
                out.append(QChar(p.hour < 12 ? (lower ? u'a' : u'A') : (lower ? u'p' : u'P')));
                count = 3;
            } else {
                out.append(pattern.mid(i, count));
            }
            break;
        case u'/':
            out.append(QChar(u'/'));
            break;
        case u':':
            out.append(QChar(u':'));
            break;
        default:
            out.append(pattern.mid(i, count));
            break;
        }
        if (token >= u'A' && token <= u'Z')
            lastLetter = token;
        i += count;
    }
}

} // namespace

bool decodeDateTime(double dateTime, DateTimeParts& parts) {
    // Years 1..9999 only: anything else comes from a corrupt record or pack.
    if (!std::isfinite(dateTime) || dateTime < -693594.0 || dateTime >= 2958466.0)
        return false;
    double wholeDays = 0.0;
    const double fraction = std::modf(dateTime, &wholeDays);
    int64_t days = static_cast<int64_t>(wholeDays);
    int64_t ms = std::llround(std::fabs(fraction) * static_cast<double>(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        days += dateTime < 0 ? -1 : 1;
    }
    civilFromDays(days + kEpochDays, parts.year, parts.month, parts.day);
    if (parts.year < 1 || parts.year > 9999)
        return false;
    parts.hour = static_cast<int>(ms / 3600000);
    parts.minute = static_cast<int>(ms / 60000 % 60);
    parts.second = static_cast<int>(ms / 1000 % 60);
    parts.msec = static_cast<int>(ms % 1000);
    // Day 0 (30 December 1899) was a Saturday.
    parts.dayOfWeek = static_cast<int>(((days + 6) % 7 + 7) % 7) + 1;
    return true;
}

std::optional<double> encodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                     int msec) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || msec < 0 || msec > 999)
        return std::nullopt;
    const double days = static_cast<double>(daysFromCivil(year, month, day) - kEpochDays);
    const double time =
        static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + msec) / kMsPerDay;
    // Before the epoch the time of day still counts forwards (the Pascal convention).
    return days >= 0 ? days + time : days - time;
}

double nowLocal() {
    const auto now = std::chrono::system_clock::now();
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    return encodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, std::min(local.tm_sec, 59), static_cast<int>(ms % 1000))
        .value_or(0.0);
}

void formatDateTime(const QString& pattern, double dateTime, QString& out) {
    out.resize(0);
    DateTimeParts parts;
    if (!decodeDateTime(dateTime, parts))
        return;
    formatParts(QStringView(pattern), parts, out, 0);
}

QString formatDateTime(const QString& pattern, double dateTime) {
    QString out;
    formatDateTime(pattern, dateTime, out);
    return out;
}

bool patternShowsMilliseconds(const QString& pattern) {
    return pattern.contains(QLatin1Char('z'), Qt::CaseInsensitive);
}

} // namespace vrdate
