#include "DateTimeFormat.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <limits>
#include <string>

using vrdate::encodeDateTime;
using vrdate::formatDateTime;

namespace {

// Tuesday 5 March 2024, 07:08:09.045
double sample() {
    return *encodeDateTime(2024, 3, 5, 7, 8, 9, 45);
}

std::string fmt(const char* pattern, double dt = sample()) {
    return formatDateTime(pattern, dt);
}

} // namespace

TEST(DateTime, EncodesFromThePascalEpochAndDecodesBack) {
    EXPECT_DOUBLE_EQ(*encodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(*encodeDateTime(1900, 1, 1, 12, 0, 0, 0), 2.5);
    EXPECT_DOUBLE_EQ(*encodeDateTime(2000, 1, 1, 0, 0, 0, 0), 36526.0);
    EXPECT_FALSE(encodeDateTime(2023, 2, 29, 0, 0, 0, 0));
    EXPECT_TRUE(encodeDateTime(2024, 2, 29, 0, 0, 0, 0));
    EXPECT_FALSE(encodeDateTime(2024, 13, 1, 0, 0, 0, 0));
    EXPECT_FALSE(encodeDateTime(2024, 1, 1, 24, 0, 0, 0));

    vrdate::DateTimeParts p;
    ASSERT_TRUE(vrdate::decodeDateTime(sample(), p));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 3);
    EXPECT_EQ(p.day, 5);
    EXPECT_EQ(p.hour, 7);
    EXPECT_EQ(p.minute, 8);
    EXPECT_EQ(p.second, 9);
    EXPECT_EQ(p.msec, 45);
    EXPECT_EQ(p.dayOfWeek, 3); // Tuesday
    // A time just short of midnight rounds into the next day, not to 24:00.
    ASSERT_TRUE(vrdate::decodeDateTime(45000.0 + 0.9999999999, p));
    EXPECT_EQ(p.hour, 0);
    EXPECT_EQ(p.day, 16); // 45000 is 15 March 2023
}

TEST(DateTime, RefusesValuesThatAreNoDate) {
    vrdate::DateTimeParts p;
    EXPECT_FALSE(vrdate::decodeDateTime(1e300, p));
    EXPECT_FALSE(vrdate::decodeDateTime(-1e9, p));
    EXPECT_FALSE(vrdate::decodeDateTime(std::numeric_limits<double>::quiet_NaN(), p));
    EXPECT_EQ(fmt("dd/mm/yyyy", 1e300), "");
}

TEST(DateTime, FormatsDayMonthYearTokens) {
    EXPECT_EQ(fmt("d dd ddd dddd"), "5 05 mar. mardi");
    EXPECT_EQ(fmt("m mm mmm mmmm"), "3 03 mars mars");
    EXPECT_EQ(fmt("mmm mmmm", *encodeDateTime(2024, 2, 1, 0, 0, 0, 0)), "févr. février");
    EXPECT_EQ(fmt("yy yyyy"), "24 2024");
    EXPECT_EQ(fmt("ddddd"), "05/03/2024");
    EXPECT_EQ(fmt("dddddd"), "mardi 5 mars 2024");
    EXPECT_EQ(fmt("d mmm yyyy"), "5 mars 2024");
}

TEST(DateTime, FormatsTimeTokensAndMinutesAfterHours) {
    EXPECT_EQ(fmt("h hh n nn s ss z zzz"), "7 07 8 08 9 09 45 045");
    EXPECT_EQ(fmt("t"), "07:08");
    EXPECT_EQ(fmt("tt"), "07:08:09");
    EXPECT_EQ(fmt("hh:mm"), "07:08");
    EXPECT_EQ(fmt("h:m"), "7:8");
    EXPECT_EQ(fmt("mm hh"), "03 07");
    EXPECT_EQ(fmt("h am/pm", *encodeDateTime(2024, 3, 5, 15, 0, 0, 0)), "3 pm");
    EXPECT_EQ(fmt("c"), "05/03/2024 07:08:09");
    EXPECT_EQ(fmt("c", *encodeDateTime(2024, 3, 5, 0, 0, 0, 0)), "05/03/2024");
}

TEST(DateTime, TakesLettersInAnyCaseAndQuotedLiterals) {
    EXPECT_EQ(fmt("DD/MM/YYYY HH:NN:SS"), "05/03/2024 07:08:09");
    EXPECT_EQ(fmt("'le' d \"de\" mmmm"), "le 5 de mars");
    EXPECT_EQ(fmt("'dd unterminated"), "dd unterminated");
    EXPECT_EQ(fmt("[dd] - x"), "[05] - x");
    EXPECT_EQ(fmt(""), "");
}

TEST(DateTime, WritesTheTwelveHourMarkersAsPascalDoes) {
    const double morning = *encodeDateTime(2024, 3, 5, 0, 5, 0, 0);
    const double evening = *encodeDateTime(2024, 3, 5, 23, 5, 0, 0);
    EXPECT_EQ(fmt("h:nn am/pm", morning), "12:05 am");
    EXPECT_EQ(fmt("h:nn AM/PM", evening), "11:05 PM");
    EXPECT_EQ(fmt("hh a/p", morning), "12 a");
    EXPECT_EQ(fmt("hh A/P", evening), "11 P");
    // ampm is always in capitals, whatever the pattern's case.
    EXPECT_EQ(fmt("h ampm", morning), "12 AM");
    EXPECT_EQ(fmt("h AmPm", evening), "11 PM");
    // Without a marker the hours run to 23.
    EXPECT_EQ(fmt("hh", evening), "23");
    // An "a" that starts no marker is copied.
    EXPECT_EQ(fmt("aa hh", evening), "aa 23");
}

TEST(DateTime, KeepsAccentsInNamesAndLiteralsWhole) {
    const double august = *encodeDateTime(2023, 8, 15, 9, 0, 0, 0);
    const double december = *encodeDateTime(2023, 12, 24, 9, 0, 0, 0);
    EXPECT_EQ(fmt("mmm mmmm", august), "août août");
    EXPECT_EQ(fmt("mmm mmmm", december), "déc. décembre");
    EXPECT_EQ(fmt("ddd dddd", december), "dim. dimanche");
    EXPECT_EQ(fmt("dddddd à tt", december), "dimanche 24 décembre 2023 à 09:00:00");
    // Letters outside quotes that are tokens are formatted, the rest copied byte for byte.
    EXPECT_EQ(fmt("'Été' à hh", december), "Été à 09");
    EXPECT_EQ(fmt("\xE2\x82\xAC yyyy", december), "\xE2\x82\xAC 2023");
}

TEST(DateTime, SeesMillisecondsInAnyCase) {
    EXPECT_TRUE(vrdate::patternShowsMilliseconds("hh:nn:ss.zzz"));
    EXPECT_TRUE(vrdate::patternShowsMilliseconds("ss.Z"));
    EXPECT_FALSE(vrdate::patternShowsMilliseconds("dddddd tt"));
}

// The clock as the overlay reads it is local time: India's zone is 5 h 30 min ahead of UTC all
// year round. Only this test reads the clock in this program, so the zone it sets is the one
// nowLocal() caches.
TEST(DateTime, ReadsTheClockInTheLocalZone) {
    g_setenv("TZ", "IST-5:30", TRUE);
    GDateTime* utc = g_date_time_new_now_utc();
    const double local = vrdate::nowLocal();
    const double utcDays = *encodeDateTime(
        g_date_time_get_year(utc), g_date_time_get_month(utc), g_date_time_get_day_of_month(utc),
        g_date_time_get_hour(utc), g_date_time_get_minute(utc), g_date_time_get_second(utc), 0);
    g_date_time_unref(utc);
    const double ahead = (local - utcDays) * 24.0;
    EXPECT_GT(ahead, 5.5 - 0.01);
    EXPECT_LT(ahead, 5.5 + 0.01);
}
