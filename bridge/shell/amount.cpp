#include "amount.h"

#include <clocale>
#include <cmath>
#include <limits>

#include "failure.h"

namespace veltar {
namespace {

using Wide = __int128;

constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000};

Amount CheckedAmount(Wide value) {
    if (value > std::numeric_limits<int64_t>::max() ||
        value < std::numeric_limits<int64_t>::min()) {
        ThrowAmountOverflow();
    }
    return Amount::fromRaw(static_cast<int64_t>(value));
}

// Quotient of two integers, the remainder rounded halves to even. `divisor` > 0.
Wide DivideHalfEven(Wide dividend, Wide divisor) {
    Wide quotient = dividend / divisor;
    Wide remainder = dividend % divisor;
    if (remainder < 0) {  // make the remainder non-negative: floor division
        remainder += divisor;
        quotient -= 1;
    }
    Wide twice = remainder * 2;
    if (twice > divisor || (twice == divisor && quotient % 2 != 0)) quotient += 1;
    return quotient;
}

}  // namespace

void ThrowAmountOverflow() {
    throw RuntimeError(error_number::kOverflow, "Overflow");
}

Amount Amount::fromDouble(double value) {
    double scaled = value * static_cast<double>(kScale);
    // 2^63 is the first double that no longer fits into the raw count.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 ||
        scaled < -9223372036854775808.0) {
        ThrowAmountOverflow();
    }
    // The floating-point unit's default rounding mode takes halves to even.
    return Amount{static_cast<int64_t>(std::nearbyint(scaled))};
}

int64_t Amount::roundToInteger() const {
    return static_cast<int64_t>(DivideHalfEven(raw, kScale));
}

Amount Amount::roundTo(int decimals) const {
    if (decimals < 0 || decimals > 4) {
        throw RuntimeError(error_number::kInvalidArgument, "Invalid procedure call or argument");
    }
    int64_t step = kPowersOfTen[4 - decimals];
    return CheckedAmount(DivideHalfEven(raw, step) * step);
}

Amount operator*(Amount a, Amount b) {
    return CheckedAmount(DivideHalfEven(static_cast<Wide>(a.raw) * b.raw, Amount::kScale));
}

Amount operator/(Amount a, Amount b) {
    if (b.raw == 0) throw RuntimeError(error_number::kDivisionByZero, "Division by zero");
    Wide dividend = static_cast<Wide>(a.raw) * Amount::kScale;
    Wide divisor = b.raw;
    if (divisor < 0) {
        dividend = -dividend;
        divisor = -divisor;
    }
    return CheckedAmount(DivideHalfEven(dividend, divisor));
}

RegionalFormat RegionalFormat::fromCurrentLocale() {
    RegionalFormat format;
    const lconv* conventions = std::localeconv();
    format.decimal = '.';
    format.thousands = '\0';
    if (conventions != nullptr) {
        if (conventions->decimal_point != nullptr && conventions->decimal_point[0] != '\0' &&
            conventions->decimal_point[1] == '\0') {
            format.decimal = conventions->decimal_point[0];
        }
        // A multi-byte separator (a UTF-8 no-break space) cannot occur in our 8-bit texts.
        if (conventions->thousands_sep != nullptr && conventions->thousands_sep[0] != '\0' &&
            conventions->thousands_sep[1] == '\0') {
            format.thousands = conventions->thousands_sep[0];
        }
    }
    if (format.thousands == format.decimal) format.thousands = '\0';
    return format;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Collects the digits of a decimal number exactly and rounds the fraction to
// four places, halves to even, looking at every digit beyond the fourth.
class DecimalBuilder {
public:
    void addWholeDigit(char c) {
        if (whole_ > kLimit) overflow_ = true;
        else whole_ = whole_ * 10 + (c - '0');
        anyDigit_ = true;
    }
    void addFractionDigit(char c) {
        anyDigit_ = true;
        if (fractionDigits_ < 4) {
            fraction_ = fraction_ * 10 + (c - '0');
        } else if (fractionDigits_ == 4) {
            roundingDigit_ = c - '0';
        } else if (c != '0') {
            stickyNonZero_ = true;
        }
        ++fractionDigits_;
    }
    bool anyDigit() const { return anyDigit_; }
    // Throws RuntimeError(kOverflow) when the value does not fit.
    Amount result(bool negative) const {
        if (overflow_) ThrowAmountOverflow();
        Wide scaled = fraction_;
        for (int i = fractionDigits_; i < 4; ++i) scaled *= 10;
        Wide value = whole_ * Amount::kScale + scaled;
        if (roundingDigit_ > 5 || (roundingDigit_ == 5 && (stickyNonZero_ || value % 2 != 0))) {
            value += 1;
        }
        return CheckedAmount(negative ? -value : value);
    }

private:
    static constexpr Wide kLimit = Wide(1) << 100;
    Wide whole_ = 0;
    Wide fraction_ = 0;
    int fractionDigits_ = 0;
    int roundingDigit_ = 0;
    bool stickyNonZero_ = false;
    bool anyDigit_ = false;
    bool overflow_ = false;
};

RuntimeError TypeMismatch() { return RuntimeError(error_number::kTypeMismatch, "Type mismatch"); }

}  // namespace

Amount ReadLeadingNumber(std::string_view text, bool* ok) {
    if (ok != nullptr) *ok = true;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    DecimalBuilder number;
    while (i < text.size() && IsDigit(text[i])) number.addWholeDigit(text[i++]);
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) number.addFractionDigit(text[i++]);
    }
    if (!number.anyDigit()) return Amount{};
    try {
        return number.result(negative);
    } catch (const RuntimeError&) {
        if (ok != nullptr) *ok = false;
        return Amount{};
    }
}

Amount ReadRegionalNumber(std::string_view text, const RegionalFormat& format) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::size_t i = begin;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    DecimalBuilder number;
    for (; i < end; ++i) {
        char c = text[i];
        if (IsDigit(c)) number.addWholeDigit(c);
        else if (format.thousands != '\0' && c == format.thousands && number.anyDigit()) continue;
        else break;
    }
    if (i < end && text[i] == format.decimal) {
        ++i;
        for (; i < end && IsDigit(text[i]); ++i) number.addFractionDigit(text[i]);
    }
    if (i != end || !number.anyDigit()) throw TypeMismatch();
    return number.result(negative);
}

std::string FormatGeneral(Amount value, char decimal) {
    // Work on the magnitude as unsigned so that the smallest amount has one too.
    bool negative = value.raw < 0;
    uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value.raw)
                                  : static_cast<uint64_t>(value.raw);
    std::string text = negative ? "-" : "";
    text += std::to_string(magnitude / Amount::kScale);
    uint64_t fraction = magnitude % Amount::kScale;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += decimal;
        text += digits;
    }
    return text;
}

uint8_t ToPackedBcd(int value) {
    if (value < 0 || value > 99) {
        throw RuntimeError(error_number::kInvalidArgument, "Invalid procedure call or argument");
    }
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

int FromPackedBcd(uint8_t byte) {
    int tens = byte >> 4;
    int units = byte & 0x0F;
    if (tens > 9 || units > 9) throw TypeMismatch();
    return tens * 10 + units;
}

}  // namespace veltar
