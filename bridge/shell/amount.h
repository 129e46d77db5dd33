// Money and number rules shared by the whole bridge.
//
// Amounts, quantities, prices, percentages and VAT rates are fixed-point
// values: a signed 64-bit count of ten-thousandths. Rounding everywhere takes
// halves to the even neighbour, the rule the shop's accounting expects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace veltar {

[[noreturn]] void ThrowAmountOverflow();

struct Amount {
    static constexpr int64_t kScale = 10000;
    int64_t raw = 0;  // value times 10000

    static constexpr Amount fromRaw(int64_t r) { return Amount{r}; }
    // Throws RuntimeError(kOverflow) when the whole number does not fit.
    static constexpr Amount fromInt(int64_t whole) {
        int64_t r = 0;
        if (__builtin_mul_overflow(whole, kScale, &r)) ThrowAmountOverflow();
        return Amount{r};
    }
    // Nearest fixed-point value of a double, halves to even (throws RuntimeError on overflow).
    static Amount fromDouble(double value);
    double toDouble() const { return static_cast<double>(raw) / kScale; }

    // Whole number, halves to even.
    int64_t roundToInteger() const;
    // Value rounded to `decimals` places (0 to 4), halves to even.
    Amount roundTo(int decimals) const;
    // Truncated whole part (towards zero).
    int64_t wholePart() const { return raw / kScale; }
    Amount abs() const { return raw < 0 ? -*this : *this; }

    friend constexpr auto operator<=>(Amount, Amount) = default;
    // Sums and differences throw RuntimeError(kOverflow) rather than wrap around.
    friend constexpr Amount operator+(Amount a, Amount b) {
        int64_t r = 0;
        if (__builtin_add_overflow(a.raw, b.raw, &r)) ThrowAmountOverflow();
        return Amount{r};
    }
    friend constexpr Amount operator-(Amount a, Amount b) {
        int64_t r = 0;
        if (__builtin_sub_overflow(a.raw, b.raw, &r)) ThrowAmountOverflow();
        return Amount{r};
    }
    friend constexpr Amount operator-(Amount a) { return Amount{} - a; }
    // Products and quotients are rounded to four places, halves to even;
    // they throw RuntimeError(kOverflow) when the result does not fit.
    friend Amount operator*(Amount a, Amount b);
    friend Amount operator/(Amount a, Amount b);
};

// Decimal and thousands separators of the regional settings. Taken from the C
// library's locale at start; a locale without a decimal separator gives '.'.
struct RegionalFormat {
    char decimal = '.';
    char thousands = ',';  // '\0' when the locale has none
    static RegionalFormat fromCurrentLocale();
};

// The leading-number rule: leading blanks skipped; optional sign, digits,
// optional point and digits; stops at the first character that cannot
// continue the number; no digits read as 0. `ok` is false when the number does
// not fit into an Amount.
Amount ReadLeadingNumber(std::string_view text, bool* ok = nullptr);

// A whole number written in the regional format (thousands separators allowed,
// the regional decimal separator). Throws RuntimeError(kTypeMismatch) when the
// text is not a number.
Amount ReadRegionalNumber(std::string_view text, const RegionalFormat& format);

// General number format: no thousands separators, no trailing zeros, the
// decimal separator only when there are decimals ("12", "12.5", "-0.05").
std::string FormatGeneral(Amount value, char decimal = '.');

// Packed BCD: tens in the high half, units in the low half.
uint8_t ToPackedBcd(int value);  // 0..99
// Reads a packed BCD byte as a two-digit decimal number. A half above 9 is no
// decimal digit: throws RuntimeError(kTypeMismatch).
int FromPackedBcd(uint8_t byte);

}  // namespace veltar
