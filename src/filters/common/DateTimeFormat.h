#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Plain C++ and GLib only: the plug-in library links no Qt. Texts are UTF-8; the program's
// QString callers go through DateTimeFormatQt.h (src/settings).
//
// Day-based date-times (1.0 = one day, 0.0 = 30 December 1899 at midnight), as the DV
// recording dates, the system clock and the time offset of the overlay use them, and the
// classic Pascal-style pattern formatter with the French day and month names.
namespace vrdate {

struct DateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    int dayOfWeek = 7; // 1 = Sunday .. 7 = Saturday
};

// Splits a date-time into its parts (rounded to the millisecond); false for values outside
// years 1..9999 or not finite.
bool decodeDateTime(double dateTime, DateTimeParts& parts);

// The date-time of the given parts; empty when they do not name a valid date and time.
std::optional<double> encodeDateTime(int year, int month, int day, int hour, int minute, int second,
                                     int msec);

// The system clock as a local date-time (GLib's local time zone).
double nowLocal();

// Formats with Pascal-style tokens (letters in any case): c, d, dd, ddd, dddd, ddddd (short
// date), dddddd (long date), m, mm, mmm, mmmm (m and mm right after h or hh mean minutes),
// yy, yyyy, h, hh, n, nn, s, ss, z, zzz, t (short time), tt (long time), am/pm, a/p, ampm, '/' and
// ':' separators, and literals in single or double quotes. Any other character is copied.
// Patterns and texts are UTF-8; any byte that is no token is copied as it is.
// Writes into out (its capacity is reused); out is empty for an invalid date-time.
void formatDateTime(std::string_view pattern, double dateTime, std::string& out);
std::string formatDateTime(std::string_view pattern, double dateTime);

// True when the pattern shows milliseconds (so its text may change within a second).
bool patternShowsMilliseconds(std::string_view pattern);

} // namespace vrdate
