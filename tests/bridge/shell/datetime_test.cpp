#include <gtest/gtest.h>

#include "datetime.h"

namespace veltar {
namespace {

TEST(FormatDateTime, ShortDateBlankLongTimeAndTheDateAloneAtMidnight) {
    const struct {
        DateTime t;
        const char* text;
    } cases[] = {
        {{2026, 3, 7, 9, 5, 2}, "07.03.2026 09:05:02"},
        {{2026, 3, 7, 0, 0, 0}, "07.03.2026"},
        {{2026, 3, 7, 0, 0, 1}, "07.03.2026 00:00:01"},
        {{1999, 12, 31, 23, 59, 59}, "31.12.1999 23:59:59"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.t), c.text);
}

TEST(DateTime, TwoDigitYearsBelowThirtyAreThisCentury) {
    EXPECT_EQ(DateTime::expandTwoDigitYear(0), 2000);
    EXPECT_EQ(DateTime::expandTwoDigitYear(29), 2029);
    EXPECT_EQ(DateTime::expandTwoDigitYear(30), 1930);
    EXPECT_EQ(DateTime::expandTwoDigitYear(99), 1999);
}

TEST(DateTime, ValidityKnowsMonthLengthsAndLeapYears) {
    EXPECT_TRUE((DateTime{2024, 2, 29, 0, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{2025, 2, 29, 0, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{1900, 2, 29, 0, 0, 0}.isValid()));
    EXPECT_TRUE((DateTime{2000, 2, 29, 0, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{2026, 4, 31, 0, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{2026, 13, 1, 0, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{2026, 1, 1, 24, 0, 0}.isValid()));
    EXPECT_FALSE((DateTime{2026, 1, 1, 0, 60, 0}.isValid()));
}

TEST(DateTime, AddingSecondsCrossesDaysMonthsAndYears) {
    EXPECT_EQ(AddSeconds({2024, 2, 28, 23, 59, 59}, 1), (DateTime{2024, 2, 29, 0, 0, 0}));
    EXPECT_EQ(AddSeconds({2026, 12, 31, 23, 59, 30}, 45), (DateTime{2027, 1, 1, 0, 0, 15}));
    EXPECT_EQ(AddSeconds({2026, 3, 1, 0, 0, 0}, -1), (DateTime{2026, 2, 28, 23, 59, 59}));
    EXPECT_EQ(ToEpochSeconds({1970, 1, 2, 0, 0, 0}), 86400);
    EXPECT_EQ(ToEpochSeconds({2005, 6, 30, 0, 0, 0}) - ToEpochSeconds({2005, 6, 29, 0, 0, 0}),
              86400);
}

}  // namespace
}  // namespace veltar
