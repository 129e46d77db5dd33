// Command codes the printer understands and the status bits it reports.
#pragma once

#include <cstdint>

namespace fpsim {

namespace cmd {
inline constexpr std::uint8_t kTransactionState = 2;
inline constexpr std::uint8_t kTechnicalReport = 3;
inline constexpr std::uint8_t kWriteVatRates = 4;
inline constexpr std::uint8_t kWriteFiscalCode = 5;
inline constexpr std::uint8_t kWriteHeaderFooter = 6;
inline constexpr std::uint8_t kOpenFiscalReceipt = 7;
inline constexpr std::uint8_t kSaleLine = 8;
inline constexpr std::uint8_t kSubtotal = 9;
inline constexpr std::uint8_t kTotalPayment = 10;
inline constexpr std::uint8_t kCloseFiscalReceipt = 11;
inline constexpr std::uint8_t kStatus = 14;
inline constexpr std::uint8_t kReadVatRates = 15;
inline constexpr std::uint8_t kDisplayText = 16;
inline constexpr std::uint8_t kOpenNonFiscal = 17;
inline constexpr std::uint8_t kPrintText = 18;
inline constexpr std::uint8_t kCloseNonFiscal = 19;
inline constexpr std::uint8_t kWritePosNumber = 28;
inline constexpr std::uint8_t kDayCounters = 29;
inline constexpr std::uint8_t kFiscalize = 30;
inline constexpr std::uint8_t kPeriodicReport = 31;
inline constexpr std::uint8_t kReadDateTime = 32;
inline constexpr std::uint8_t kReport = 33;
inline constexpr std::uint8_t kDateTimeDone = 36;
inline constexpr std::uint8_t kOpenDrawer = 37;
inline constexpr std::uint8_t kWriteDateTime = 38;
inline constexpr std::uint8_t kWriteCompanyName = 40;
inline constexpr std::uint8_t kWriteCompanyAddress = 41;
inline constexpr std::uint8_t kDrawerSums = 42;
inline constexpr std::uint8_t kWriteFiscalSeries = 43;
inline constexpr std::uint8_t kReadFiscalSeries = 44;
inline constexpr std::uint8_t kReadCompanyName = 45;
inline constexpr std::uint8_t kReadCompanyAddress = 46;
inline constexpr std::uint8_t kReadFiscalCode = 47;
inline constexpr std::uint8_t kSwitchLeu = 51;
inline constexpr std::uint8_t kReadLeu = 52;
inline constexpr std::uint8_t kMarkupDiscount = 75;
}  // namespace cmd

// A status bit: byte index 0..7 (S0..S7) and mask.
struct StatusBit {
  int byte;
  std::uint8_t mask;
};

namespace bit {
inline constexpr StatusBit kCoverOpen{1, 0x04};
inline constexpr StatusBit kPaperOutS1{1, 0x20};
inline constexpr StatusBit kPaperJamA{2, 0x04};
inline constexpr StatusBit kPaperJamB{2, 0x08};
inline constexpr StatusBit kPaperOutS2{2, 0x20};
inline constexpr StatusBit kPaperNearEnd{3, 0x08};
inline constexpr StatusBit kPaperOutS3a{3, 0x20};
inline constexpr StatusBit kPaperOutS3b{3, 0x40};
inline constexpr StatusBit kInvalidNameOrAddress{4, 0x80};
inline constexpr StatusBit kInvalidFiscalCode{4, 0x40};
inline constexpr StatusBit kDateTimeLost{4, 0x20};
inline constexpr StatusBit kInvalidArguments{4, 0x10};
inline constexpr StatusBit kCommandFailed{4, 0x08};
inline constexpr StatusBit kNotAllowedInMode{4, 0x04};
inline constexpr StatusBit kAmountOverflow{4, 0x02};
inline constexpr StatusBit kInvalidVatRates{4, 0x01};
inline constexpr StatusBit kPowerFailedPrinting{5, 0x80};
inline constexpr StatusBit kPowerFailedInReceipt{5, 0x40};
inline constexpr StatusBit kReserved{5, 0x20};
inline constexpr StatusBit kFiscalReceiptOpen{5, 0x10};
inline constexpr StatusBit kNonFiscalReceiptOpen{5, 0x08};
inline constexpr StatusBit kUnknownCommand{5, 0x04};
inline constexpr StatusBit kBadChecksum{5, 0x02};
inline constexpr StatusBit kSequenceError{5, 0x01};
inline constexpr StatusBit kFiscalMemoryWriteError{6, 0x08};
inline constexpr StatusBit kFiscalMemoryFull{6, 0x40};
inline constexpr StatusBit kFiscalMemoryNearlyFull{6, 0x20};
inline constexpr StatusBit kNoFiscalMemory{6, 0x10};
inline constexpr StatusBit kDisplayMissing{6, 0x04};
inline constexpr StatusBit kDay24HoursPassed{6, 0x01};
inline constexpr StatusBit kFewVatSlots{7, 0x80};
inline constexpr StatusBit kNoVatSlots{7, 0x40};
inline constexpr StatusBit kFiscalized{7, 0x20};
inline constexpr StatusBit kLastZIncomplete{7, 0x10};
inline constexpr StatusBit kPowerFailedInZ{7, 0x08};
inline constexpr StatusBit kReadOnly{7, 0x04};
inline constexpr StatusBit kFewRamResets{7, 0x02};
inline constexpr StatusBit kNoRamResets{7, 0x01};
}  // namespace bit

}  // namespace fpsim
