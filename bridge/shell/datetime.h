// Calendar date and time of day, without time zones: the printer's clock and
// the shop's clock are both local time.
#pragma once

#include <compare>
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

// "dd.mm.yyyy" and "hh:mm:ss": the bridge's short-date and long-time display forms.
std::string FormatShortDate(const DateTime& t);
std::string FormatLongTime(const DateTime& t);
// Short date, a blank, long time; the date alone at exactly midnight.
std::string FormatDateTime(const DateTime& t);

}  // namespace veltar
