// Calendar date and time of day, without time zones: the printer's clock and
// the shop's clock are both local time.
#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace veltar {

struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;

    friend constexpr auto operator<=>(const DateTime&, const DateTime&) = default;
    bool isValid() const;
    // Two-digit year rule: 00..29 is 2000..2029, 30..99 is 1930..1999.
    static int expandTwoDigitYear(int yy);
};

// Days in a month of the proleptic Gregorian calendar (0 for a month outside 1..12).
int DaysInMonth(int year, int month);
// Seconds since 1 January 1970, 00:00:00 of the same clock, and back; for
// differences between two moments and for a clock that moves forward.
int64_t ToEpochSeconds(const DateTime& t);
DateTime FromEpochSeconds(int64_t seconds);
DateTime AddSeconds(const DateTime& t, int64_t seconds);

// "dd.mm.yyyy" and "hh:mm:ss": the bridge's short-date and long-time display forms.
std::string FormatShortDate(const DateTime& t);
std::string FormatLongTime(const DateTime& t);
// Short date, a blank, long time; the date alone at exactly midnight.
std::string FormatDateTime(const DateTime& t);

}  // namespace veltar
