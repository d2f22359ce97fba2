#include "DateTimeFormat.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace vrdate {
namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kEpochDays = -25569; // 1899-12-30 counted from 1970-01-01

const char* const kLongDays[7] = {"dimanche", "lundi",    "mardi", "mercredi",
                                  "jeudi",    "vendredi", "samedi"};
const char* const kShortDays[7] = {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."};
const char* const kLongMonths[12] = {"janvier",   "février", "mars",     "avril",
                                     "mai",       "juin",    "juillet",  "août",
                                     "septembre", "octobre", "novembre", "décembre"};
const char* const kShortMonths[12] = {"janv.", "févr.", "mars",  "avr.", "mai",  "juin",
                                      "juil.", "août",  "sept.", "oct.", "nov.", "déc."};

// The French forms of the short and long date and time.
const char* const kShortDateFormat = "dd/mm/yyyy";
const char* const kLongDateFormat = "dddd d mmmm yyyy";
const char* const kShortTimeFormat = "hh:nn";
const char* const kLongTimeFormat = "hh:nn:ss";

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

void appendNumber(std::string& out, int value, int minDigits) {
    char digits[12];
    int n = 0;
    unsigned v = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0 && n < 11);
    if (value < 0)
        out.push_back('-');
    for (int i = n; i < minDigits; ++i)
        out.push_back('0');
    while (n > 0)
        out.push_back(digits[--n]);
}

// ASCII letters only: the bytes of a multi-byte UTF-8 character are never a token.
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool matchesAt(std::string_view s, size_t i, const char* word) {
    for (size_t k = 0; word[k] != 0; ++k) {
        if (i + k >= s.size() || upper(s[i + k]) != upper(word[k]))
            return false;
    }
    return true;
}

bool uses12Hours(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (matchesAt(pattern, i, "am/pm") || matchesAt(pattern, i, "a/p") ||
            matchesAt(pattern, i, "ampm"))
            return true;
    }
    return false;
}

void formatParts(std::string_view pattern, const DateTimeParts& p, std::string& out, int depth);

void formatNested(const char* pattern, const DateTimeParts& p, std::string& out, int depth) {
    if (depth < 3)
        formatParts(std::string_view(pattern), p, out, depth + 1);
}

void formatParts(std::string_view pattern, const DateTimeParts& p, std::string& out, int depth) {
    const bool twelve = uses12Hours(pattern);
    char lastLetter = 0;
    size_t i = 0;
    const size_t n = pattern.size();
    while (i < n) {
        const char c = pattern[i];
        char token = upper(c);
        if (c == '"' || c == '\'') {
            size_t j = i + 1;
            while (j < n && pattern[j] != c)
                out.push_back(pattern[j++]);
            i = j < n ? j + 1 : j;
            continue;
        }
        size_t count = 1;
        if (token >= 'A' && token <= 'Z') {
            while (i + count < n && upper(pattern[i + count]) == token)
                ++count;
        }
        if (token == 'M' && lastLetter == 'H')
            token = 'N';
        switch (token) {
        case 'C':
            formatNested(kShortDateFormat, p, out, depth);
            if (p.hour != 0 || p.minute != 0 || p.second != 0 || p.msec != 0) {
                out.push_back(' ');
                formatNested(kLongTimeFormat, p, out, depth);
            }
            break;
        case 'D':
            if (count == 1 || count == 2)
                appendNumber(out, p.day, static_cast<int>(count));
            else if (count == 3)
                out.append(kShortDays[p.dayOfWeek - 1]);
            else if (count == 4)
                out.append(kLongDays[p.dayOfWeek - 1]);
            else if (count == 5)
                formatNested(kShortDateFormat, p, out, depth);
            else
                formatNested(kLongDateFormat, p, out, depth);
            break;
        case 'M':
            if (count <= 2)
                appendNumber(out, p.month, static_cast<int>(count));
            else if (count == 3)
                out.append(kShortMonths[p.month - 1]);
            else
                out.append(kLongMonths[p.month - 1]);
            break;
        case 'Y':
            if (count <= 2)
                appendNumber(out, p.year % 100, 2);
            else
                appendNumber(out, p.year, 4);
            break;
        case 'H': {
            int h = p.hour;
            if (twelve) {
                h %= 12;
                if (h == 0)
                    h = 12;
            }
            appendNumber(out, h, count >= 2 ? 2 : 1);
            break;
        }
        case 'N':
            appendNumber(out, p.minute, count >= 2 ? 2 : 1);
            break;
        case 'S':
            appendNumber(out, p.second, count >= 2 ? 2 : 1);
            break;
        case 'Z':
            appendNumber(out, p.msec, count >= 2 ? 3 : 1);
            break;
        case 'T':
            formatNested(count == 1 ? kShortTimeFormat : kLongTimeFormat, p, out, depth);
            break;
        case 'A':
            if (matchesAt(pattern, i, "am/pm")) {
                const bool lower = pattern[i] == 'a';
                out.append(p.hour < 12 ? (lower ? "am" : "AM") : (lower ? "pm" : "PM"));
                count = 5;
            } else if (matchesAt(pattern, i, "ampm")) {
                // Pascal's AM and PM strings, in capitals whatever the pattern's case.
                out.append(p.hour < 12 ? "AM" : "PM");
                count = 4;
            } else if (matchesAt(pattern, i, "a/p")) {
                const bool lower = pattern[i] == 'a';
                out.push_back(p.hour < 12 ? (lower ? 'a' : 'A') : (lower ? 'p' : 'P'));
                count = 3;
            } else {
                out.append(pattern.substr(i, count));
            }
            break;
        case '/':
            out.push_back('/');
            break;
        case ':':
            out.push_back(':');
            break;
        default:
            out.append(pattern.substr(i, count));
            break;
        }
        if (token >= 'A' && token <= 'Z')
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
    // The overlay reads the clock on every frame: GLib's local zone is looked up again (a
    // readlink and a stat of /etc/localtime) only once a minute, which still follows a change
    // of the system's zone; the zone itself knows its daylight-saving changes.
    static std::mutex zoneMutex;
    static GTimeZone* zone = nullptr; // guarded by zoneMutex
    static int64_t zoneRead = 0;      // guarded by zoneMutex (microseconds since 1970)
    const int64_t now = g_get_real_time();
    const int64_t secs = now >= 0 ? now / 1000000 : (now - 999999) / 1000000;
    int offset = 0;
    {
        std::lock_guard lock(zoneMutex);
        if (zone == nullptr || now - zoneRead >= 60 * int64_t(1000000) || now < zoneRead) {
            if (zone != nullptr)
                g_time_zone_unref(zone);
            zone = g_time_zone_new_local();
            zoneRead = now;
        }
        const int interval = g_time_zone_find_interval(zone, G_TIME_TYPE_UNIVERSAL, secs);
        offset = interval >= 0 ? g_time_zone_get_offset(zone, interval) : 0;
    }
    const int64_t localMs = (secs + offset) * 1000 + (now - secs * 1000000) / 1000;
    const int64_t days = localMs >= 0 ? localMs / kMsPerDay : (localMs - kMsPerDay + 1) / kMsPerDay;
    const int64_t msOfDay = localMs - days * kMsPerDay;
    int year = 0, month = 0, day = 0;
    civilFromDays(days, year, month, day);
    return encodeDateTime(year, month, day, int(msOfDay / 3600000), int(msOfDay / 60000 % 60),
                          int(msOfDay / 1000 % 60), int(msOfDay % 1000))
        .value_or(0.0);
}

void formatDateTime(std::string_view pattern, double dateTime, std::string& out) {
    out.clear();
    DateTimeParts parts;
    if (!decodeDateTime(dateTime, parts))
        return;
    formatParts(pattern, parts, out, 0);
}

std::string formatDateTime(std::string_view pattern, double dateTime) {
    std::string out;
    formatDateTime(pattern, dateTime, out);
    return out;
}

bool patternShowsMilliseconds(std::string_view pattern) {
    return pattern.find_first_of("zZ") != std::string_view::npos;
}

} // namespace vrdate
