// Every number the command layer exchanges with the printer and the library,
// each named once: the command codes the bridge sends, the status bits it
// tests, the library's result codes and what TrimiteComandaImp makes of them.
#pragma once

#include <cstdint>

#include "kordal.h"

namespace veltar {

// Command codes of the fiscal printer, as the bridge sends them.
namespace command_code {
inline constexpr uint8_t kTransactionState = 2;  // state of the current transaction
inline constexpr uint8_t kTechnicalReport = 3;   // service menu's technical report
inline constexpr uint8_t kWriteVatRates = 4;     // sent by the library's ScrieCoteTVA
inline constexpr uint8_t kWriteFiscalCode = 5;
inline constexpr uint8_t kWriteHeaderFooter = 6;  // library's ScrieHeaderFooter; unused here
inline constexpr uint8_t kOpenFiscalReceipt = 7;
inline constexpr uint8_t kSellItem = 8;             // library's VanzareAfisareMarfa
inline constexpr uint8_t kSubtotal = 9;             // library's Subtotal; unused here
inline constexpr uint8_t kTotal = 10;               // library's CalculTotal
inline constexpr uint8_t kCloseFiscalReceipt = 11;  // repeated until S5 0x10 clears
inline constexpr uint8_t kPrinterStatus = 14;
inline constexpr uint8_t kReadVatRates = 15;
inline constexpr uint8_t kDisplayText = 16;
inline constexpr uint8_t kOpenNonFiscalReceipt = 17;
inline constexpr uint8_t kPrintLine = 18;
inline constexpr uint8_t kCloseNonFiscalReceipt = 19;
inline constexpr uint8_t kWritePosNumber = 28;
inline constexpr uint8_t kReadDayCounters = 29;
inline constexpr uint8_t kFiscalize = 30;
inline constexpr uint8_t kPeriodicReport = 31;  // library's RaportPeriodic
inline constexpr uint8_t kReadDateTime = 32;
inline constexpr uint8_t kReport = 33;         // "F" interim (X), "G" day-end (Z)
inline constexpr uint8_t kAfterDateTime = 36;  // after writing the clock, after the periodic report
inline constexpr uint8_t kOpenDrawer = 37;
inline constexpr uint8_t kWriteDateTime = 38;  // library's ScrieDataOra
inline constexpr uint8_t kWriteCompanyName = 40;
inline constexpr uint8_t kWriteCompanyAddress = 41;
inline constexpr uint8_t kCashInOut = 42;  // library's InOutSume
inline constexpr uint8_t kWriteFiscalSeries = 43;
inline constexpr uint8_t kReadFiscalSeries = 44;
inline constexpr uint8_t kReadCompanyName = 45;
inline constexpr uint8_t kReadCompanyAddress = 46;
inline constexpr uint8_t kReadFiscalCode = 47;
inline constexpr uint8_t kSwitchLeu = 51;  // switch to the redenominated leu
inline constexpr uint8_t kReadLeuState = 52;
inline constexpr uint8_t kMarkupDiscount = 75;  // length-prefixed block
}  // namespace command_code

// Report letters of command 33.
inline constexpr const char* kInterimReport = "F";
inline constexpr const char* kDayEndReport = "G";

// One bit of the status bytes S0..S7: `byte` indexes OctetiStare.
struct StatusBit {
    uint8_t byte;
    uint8_t mask;
};

namespace status_bit {
inline constexpr StatusBit kCoverOpen{1, 0x04};
inline constexpr StatusBit kPaperOutS1{1, 0x20};
inline constexpr StatusBit kPaperJam04{2, 0x04};
inline constexpr StatusBit kPaperJam08{2, 0x08};
inline constexpr StatusBit kPaperS2_20{2, 0x20};
inline constexpr StatusBit kPaperS2_40{2, 0x40};
inline constexpr StatusBit kPaperRunningOut{3, 0x08};
inline constexpr StatusBit kPaperOutS3_20{3, 0x20};
inline constexpr StatusBit kPaperOut{3, 0x40};
inline constexpr StatusBit kInvalidNameOrAddress{4, 0x80};
inline constexpr StatusBit kInvalidFiscalCode{4, 0x40};
inline constexpr StatusBit kDateTimeLost{4, 0x20};
inline constexpr StatusBit kInvalidCommand{4, 0x10};
inline constexpr StatusBit kCommandFailed{4, 0x08};
inline constexpr StatusBit kNotAllowedInFiscalMode{4, 0x04};
inline constexpr StatusBit kAmountOverflow{4, 0x02};
inline constexpr StatusBit kInvalidVatRates{4, 0x01};
inline constexpr StatusBit kPowerFailLastPrint{5, 0x80};
inline constexpr StatusBit kPowerFailInReceipt{5, 0x40};
inline constexpr StatusBit kReservedS5{5, 0x20};
inline constexpr StatusBit kFiscalReceiptOpen{5, 0x10};
inline constexpr StatusBit kNonFiscalReceiptOpen{5, 0x08};
inline constexpr StatusBit kUnknownCommand{5, 0x04};
inline constexpr StatusBit kPrinterSawChecksumError{5, 0x02};
inline constexpr StatusBit kPrinterSawSequenceError{5, 0x01};
inline constexpr StatusBit kFiscalMemoryFull{6, 0x40};
inline constexpr StatusBit kFiscalMemoryNearlyFull{6, 0x20};
inline constexpr StatusBit kNoFiscalMemory{6, 0x10};
inline constexpr StatusBit kFiscalMemoryWriteError{6, 0x08};
inline constexpr StatusBit kNoCustomerDisplay{6, 0x04};
inline constexpr StatusBit kDayOlderThan24Hours{6, 0x01};
inline constexpr StatusBit kFewVatSlots{7, 0x80};
inline constexpr StatusBit kNoVatSlots{7, 0x40};
inline constexpr StatusBit kFiscalized{7, 0x20};
inline constexpr StatusBit kLastClosingIncomplete{7, 0x10};
inline constexpr StatusBit kPowerFailLastClosing{7, 0x08};
inline constexpr StatusBit kReadOnly{7, 0x04};
inline constexpr StatusBit kFewRamResetSlots{7, 0x02};
inline constexpr StatusBit kNoRamResetSlots{7, 0x01};
}  // namespace status_bit

// Result codes of the library, as kordal.h defines them.
namespace library_result {
inline constexpr int32_t kOk = KORDAL_OK;
inline constexpr int32_t kChecksum = KORDAL_ERR_CHECKSUM;
inline constexpr int32_t kSequence = KORDAL_ERR_SEQUENCE;
inline constexpr int32_t kCommandEcho = KORDAL_ERR_COMMAND;
inline constexpr int32_t kEndByte = KORDAL_ERR_END;
inline constexpr int32_t kNoReply = KORDAL_ERR_NO_REPLY;
inline constexpr int32_t kArgMissing = KORDAL_ERR_ARG_MISSING;
inline constexpr int32_t kArgTooLong = KORDAL_ERR_ARG_TOO_LONG;
inline constexpr int32_t kArgRange = KORDAL_ERR_ARG_RANGE;
inline constexpr int32_t kArgKind = KORDAL_ERR_ARG_KIND;
inline constexpr int32_t kArgDisplay = KORDAL_ERR_ARG_DISPLAY;
}  // namespace library_result

// What TrimiteComandaImp returns to the service screens.
namespace imp_result {
inline constexpr int kAccepted = 100;
inline constexpr int kChecksum = 7;
inline constexpr int kSequenceOrEcho = 1;
inline constexpr int kTerminator = 5;
inline constexpr int kNoReply = 10;
inline constexpr int kOther = 0;
}  // namespace imp_result

// Titles of the command layer's boxes.
inline constexpr const char* kTitleNorvade = "NORVADE 2000";
inline constexpr const char* kTitleVeltarSpaced = "VELTAR 2000";
inline constexpr const char* kTitleRutinaVerificare = "Rutina Verificare";

// The response argument that asks for message boxes instead of a stored text.
inline constexpr const char* kShowBoxes = "-";

}  // namespace veltar
