// Composition of command payloads from the callers' arguments. Pure
// functions: no port, no clock, so every field layout can be checked alone.
#ifndef KORDAL_PAYLOADS_H
#define KORDAL_PAYLOADS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "frame.h"

namespace kordal {

// Numbers sent in 4-byte fields must stay below this.
inline constexpr std::uint64_t kFourByteLimit = 0x100000000ULL;

inline constexpr std::size_t kSaleNameMax = 40;
inline constexpr std::size_t kDisplayTextMax = 20;
inline constexpr std::size_t kTotalTextMax = 20;
// A payment or cash text of this many characters or more is refused.
inline constexpr std::size_t kAmountTextLimit = 12;
inline constexpr std::size_t kDateTimeBlockSize = 6;
inline constexpr std::size_t kReportBlockSize = 7;

// A payload under construction. It never grows past its buffer; anything
// beyond kMaxPayload marks it too long to frame.
class Payload {
 public:
  void clear() { size_ = 0; too_long_ = false; }
  void append(std::uint8_t byte);
  void append(std::string_view text);
  void appendBigEndian(std::uint64_t value, int width);

  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return size_; }
  bool tooLong() const { return too_long_; }

 private:
  std::array<std::uint8_t, kMaxPayload> bytes_{};
  std::size_t size_ = 0;
  bool too_long_ = false;
};

// Value of the leading decimal digits of `text` (no blanks, no sign); stops at
// the first other character; an empty field gives 0. Saturates at
// kFourByteLimit, so any result at the limit means "does not fit 4 bytes".
std::uint64_t leadingDigits(std::string_view text);

// Each composer returns 0 with the payload filled, or the argument error code
// to hand back to the caller (the payload is then meaningless).
int composeTextPayload(std::string_view text, Payload& out);
int composeCountedPayload(const std::uint8_t* block, Payload& out);
int composeSaleLine(std::string_view name, std::int32_t kind, std::string_view quantity,
                    std::string_view price, std::string_view display, Payload& out);
int composeSubtotal(std::int32_t first, std::int32_t second, Payload& out);
int composeTotal(std::string_view text, std::string_view payment, Payload& out);
int composeVatRates(const std::array<std::int32_t, 8>& rates, Payload& out);
int composeBlock(const std::uint8_t* block, std::size_t size, Payload& out);
int composeHeaderFooter(std::int32_t line, std::int32_t kind, std::string_view text,
                        Payload& out);
int composeCashInOut(std::string_view amount, Payload& out);

}  // namespace kordal

#endif
