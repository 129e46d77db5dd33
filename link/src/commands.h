// Command codes the library sends on its own behalf.
#ifndef KORDAL_COMMANDS_H
#define KORDAL_COMMANDS_H

#include <cstdint>

namespace kordal {

inline constexpr std::uint8_t kCmdWriteVatRates = 4;
inline constexpr std::uint8_t kCmdHeaderFooter = 6;
inline constexpr std::uint8_t kCmdSaleLine = 8;
inline constexpr std::uint8_t kCmdSubtotal = 9;
inline constexpr std::uint8_t kCmdTotal = 10;
inline constexpr std::uint8_t kCmdReadVatRates = 15;
inline constexpr std::uint8_t kCmdPeriodicReport = 31;
inline constexpr std::uint8_t kCmdWriteDateTime = 38;
inline constexpr std::uint8_t kCmdCashInOut = 42;

}  // namespace kordal

#endif
