#include "payloads.h"

#include <algorithm>

#include "kordal.h"

namespace kordal {

namespace {

constexpr std::uint8_t kTab = 0x09;
constexpr std::uint8_t kSpace = ' ';
constexpr std::size_t kQuantityWholeDigits = 5;
constexpr std::size_t kQuantityFractionDigits = 6;
constexpr std::uint64_t kQuantityWholeMax = 65535;
constexpr std::size_t kPriceDigits = 10;
constexpr std::size_t kPercentPartDigits = 2;
constexpr std::string_view kQuantitySeparators = ".,";
constexpr std::string_view kPriceStoppers = ",tv:;";

std::uint8_t lowByte(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSaleKind(std::uint8_t kind) {
  return kind == 'A' || kind == 'B' || kind == 'C' || kind == 'D' || kind == kSpace;
}

bool isPaymentKind(char kind) { return kind == 'A' || kind == 'C' || kind == 'N' || kind == 'E'; }

// The field starting at `from` and ending before the first stopper (or the
// end), read as at most `max_chars` characters. `more_digits` tells whether
// the field is all digits and another digit follows the cut: the number is
// longer than its field allows and reading it cut would change its value.
std::string_view boundedField(std::string_view text, std::size_t from, std::string_view stoppers,
                              std::size_t max_chars, bool& more_digits) {
  std::size_t end = from;
  while (end < text.size() && end - from < max_chars &&
         stoppers.find(text[end]) == std::string_view::npos) {
    ++end;
  }
  std::string_view field = text.substr(from, end - from);
  more_digits = field.size() == max_chars && end < text.size() && isDigit(text[end]) &&
                std::all_of(field.begin(), field.end(), isDigit);
  return field;
}

}  // namespace

void Payload::append(std::uint8_t byte) {
  if (size_ == bytes_.size()) {
    too_long_ = true;
    return;
  }
  bytes_[size_++] = byte;
}

void Payload::append(std::string_view text) {
  for (char c : text) {
    append(static_cast<std::uint8_t>(c));
  }
}

void Payload::appendBigEndian(std::uint64_t value, int width) {
  for (int shift = (width - 1) * 8; shift >= 0; shift -= 8) {
    append(static_cast<std::uint8_t>((value >> shift) & 0xFF));
  }
}

std::uint64_t leadingDigits(std::string_view text) {
  std::uint64_t value = 0;
  for (char c : text) {
    if (!isDigit(c)) {
      break;
    }
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value >= kFourByteLimit) {
      return kFourByteLimit;
    }
  }
  return value;
}

int composeTextPayload(std::string_view text, Payload& out) {
  out.clear();
  out.append(text);
  return out.tooLong() ? KORDAL_ERR_ARG_TOO_LONG : KORDAL_OK;
}

int composeCountedPayload(const std::uint8_t* block, Payload& out) {
  out.clear();
  if (block == nullptr) {
    return KORDAL_OK;
  }
  const std::size_t count = block[0];
  for (std::size_t i = 1; i <= count; ++i) {
    out.append(block[i]);
  }
  return out.tooLong() ? KORDAL_ERR_ARG_TOO_LONG : KORDAL_OK;
}

int composeSaleLine(std::string_view name, std::int32_t kind, std::string_view quantity,
                    std::string_view price, std::string_view display, Payload& out) {
  out.clear();
  if (name.empty()) {
    return KORDAL_ERR_ARG_MISSING;
  }
  out.append(name.substr(0, kSaleNameMax));
  out.append(kTab);

  std::uint8_t kind_byte = lowByte(kind);
  if (kind_byte == 0) {
    kind_byte = kSpace;
  }
  if (!isSaleKind(kind_byte)) {
    return KORDAL_ERR_ARG_KIND;
  }
  out.append(kind_byte);
  out.append(kTab);

  // Quantity: whole part of up to five digits, then "." or "," and up to six
  // digits of millionths. A sixth whole digit would be silently dropped by a
  // five-character read, so it counts as out of range.
  bool more_digits = false;
  std::string_view whole_text =
      boundedField(quantity, 0, kQuantitySeparators, kQuantityWholeDigits, more_digits);
  const std::uint64_t whole = leadingDigits(whole_text);
  if (whole > kQuantityWholeMax || more_digits) {
    return KORDAL_ERR_ARG_RANGE;
  }
  std::uint64_t fraction = 0;
  const std::size_t separator = quantity.find_first_of(kQuantitySeparators);
  if (separator != std::string_view::npos) {
    std::array<char, kQuantityFractionDigits> padded;
    padded.fill('0');
    std::string_view digits = quantity.substr(separator + 1, kQuantityFractionDigits);
    std::copy(digits.begin(), digits.end(), padded.begin());
    fraction = leadingDigits(std::string_view(padded.data(), padded.size()));
  }
  out.appendBigEndian(whole, 2);
  out.appendBigEndian(fraction, 3);
  out.append(kTab);

  // Price: sign, then up to ten digits ended by the end or a stopper.
  std::size_t at = 0;
  if (!price.empty() && (price[0] == '-' || price[0] == '+')) {
    out.append(static_cast<std::uint8_t>(price[0]));
    at = 1;
  } else {
    out.append(static_cast<std::uint8_t>('+'));
  }
  std::string_view price_text = boundedField(price, at, kPriceStoppers, kPriceDigits, more_digits);
  const std::uint64_t unit_price = leadingDigits(price_text);
  // A price the 4-byte field cannot hold would reach the printer truncated.
  if (unit_price >= kFourByteLimit || more_digits) {
    return KORDAL_ERR_ARG_RANGE;
  }
  out.appendBigEndian(unit_price, 4);
  at += price_text.size();

  auto next_is = [&](char c) { return at < price.size() && price[at] == c; };
  auto take_percent_part = [&]() {
    std::string_view part = price.substr(std::min(at, price.size()), kPercentPartDigits);
    at += part.size();
    out.append(static_cast<std::uint8_t>(leadingDigits(part)));
  };
  if (next_is(',')) {
    out.append(static_cast<std::uint8_t>(','));
    ++at;
    if (next_is('-')) {
      out.append(static_cast<std::uint8_t>('r'));
      ++at;
    }
    take_percent_part();
    take_percent_part();
  }

  if (next_is('v') || next_is('t')) {
    out.append(static_cast<std::uint8_t>('v'));
    ++at;
    std::string_view value_text =
        boundedField(price, at, std::string_view(), kPriceDigits, more_digits);
    const std::uint64_t line_value = leadingDigits(value_text);
    if (line_value >= kFourByteLimit || more_digits) {
      return KORDAL_ERR_ARG_RANGE;
    }
    out.appendBigEndian(line_value, 4);
    out.append(kTab);
    if (display.empty()) {
      return KORDAL_ERR_ARG_DISPLAY;
    }
    out.append(display.substr(0, kDisplayTextMax));
  }
  return KORDAL_OK;
}

int composeSubtotal(std::int32_t first, std::int32_t second, Payload& out) {
  out.clear();
  out.append(lowByte(first));
  out.append(lowByte(second));
  return KORDAL_OK;
}

int composeTotal(std::string_view text, std::string_view payment, Payload& out) {
  out.clear();
  out.append(text.substr(0, kTotalTextMax));
  out.append(kTab);
  if (payment.size() >= kAmountTextLimit) {
    return KORDAL_ERR_ARG_TOO_LONG;
  }
  if (payment.empty() || !isPaymentKind(payment[0])) {
    return KORDAL_ERR_ARG_MISSING;
  }
  const std::uint64_t amount = leadingDigits(payment.substr(1));
  // Ten digits fit the text but not always the 4-byte field; the caller
  // already reads 7 as "amount too large".
  if (amount >= kFourByteLimit) {
    return KORDAL_ERR_ARG_TOO_LONG;
  }
  out.append(static_cast<std::uint8_t>(payment[0]));
  out.appendBigEndian(amount, 4);
  return KORDAL_OK;
}

int composeVatRates(const std::array<std::int32_t, 8>& rates, Payload& out) {
  out.clear();
  for (std::int32_t rate : rates) {
    out.append(lowByte(rate));
  }
  return KORDAL_OK;
}

int composeBlock(const std::uint8_t* block, std::size_t size, Payload& out) {
  out.clear();
  if (block == nullptr) {
    return KORDAL_ERR_ARG_MISSING;
  }
  for (std::size_t i = 0; i < size; ++i) {
    out.append(block[i]);
  }
  return KORDAL_OK;
}

int composeHeaderFooter(std::int32_t line, std::int32_t kind, std::string_view text,
                        Payload& out) {
  constexpr std::int32_t kHeaderKind = 1;
  constexpr std::int32_t kFooterKind = 2;
  out.clear();
  const std::int32_t kind_value = lowByte(kind);
  if (kind_value != kHeaderKind && kind_value != kFooterKind) {
    return KORDAL_ERR_ARG_KIND;
  }
  out.append(static_cast<std::uint8_t>(kind_value == kHeaderKind ? 'A' : 'S'));
  out.append(lowByte(line));
  out.append(static_cast<std::uint8_t>(','));
  out.append(text);
  return out.tooLong() ? KORDAL_ERR_ARG_TOO_LONG : KORDAL_OK;
}

int composeCashInOut(std::string_view amount, Payload& out) {
  out.clear();
  if (amount.size() >= kAmountTextLimit) {
    return KORDAL_ERR_ARG_TOO_LONG;
  }
  if (amount.empty()) {
    return KORDAL_OK;  // only asks for the drawer sums
  }
  if (amount[0] != '+' && amount[0] != '-') {
    return KORDAL_ERR_ARG_MISSING;
  }
  const std::uint64_t value = leadingDigits(amount.substr(1));
  if (value >= kFourByteLimit) {
    return KORDAL_ERR_ARG_TOO_LONG;
  }
  out.append(static_cast<std::uint8_t>(amount[0]));
  out.appendBigEndian(value, 4);
  return KORDAL_OK;
}

}  // namespace kordal
