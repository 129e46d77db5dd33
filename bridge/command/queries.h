// The printer operations the request handlers and the service screens share:
// opening a receipt, the transaction state, the clock, the leu state, closing
// the receipt, the X and Z reports, markups and discounts, and the operator
// message box. All follow the response convention of exchange.h.
#pragma once

#include <cstdint>
#include <string>

#include "shell/amount.h"
#include "shell/context.h"
#include "shell/datetime.h"

namespace veltar {

// How many times fctFunctia11 sends command 11 while the printer still
// reports an open fiscal receipt before it gives up.
inline constexpr int kCloseReceiptRounds = 1000;

// Results of VerificareStareImprimantaVinzare.
namespace sale_state {
inline constexpr uint8_t kReceiptOpen = 0;
inline constexpr uint8_t kQueryFailed = 1;
inline constexpr uint8_t kReceiptLost = 2;  // no receipt open any more: print it again
}  // namespace sale_state

// Opens a fiscal receipt, stores its number and prints header lines 1 to 3.
bool DeschideBonFiscal(Context& ctx, int32_t& printerIndex, int32_t& receiptNumber,
                       std::string& response);

// 0 a fiscal receipt is open, 2 none is open (after a power failure), 1 the
// query failed.
uint8_t VerificareStareImprimantaVinzare(Context& ctx, int32_t& printerIndex,
                                         std::string& response);

bool CitesteDataOraImp(Context& ctx, int32_t& printerIndex, DateTime& dateTime,
                       std::string& response);

// Reads the redenominated-leu state into LeuGreu, with the date-time and the
// Z report number of the switch when the printer already switched.
bool CitesteLeuGreuImp(Context& ctx, int32_t& printerIndex, DateTime& switchTime,
                       int32_t& switchZNumber, std::string& response);

// Switches the printer to the redenominated leu; always reports by boxes.
bool ScrieLeuGreuImp(Context& ctx, int32_t& printerIndex, DateTime& switchTime,
                     int32_t& switchZNumber);

// Sends command 11 until the printer reports the fiscal receipt closed.
bool fctFunctia11(Context& ctx, int32_t& printerIndex, std::string& response);

// Prints the interim ("F") or day-end ("G") report under the long time-out.
bool fctFunctia33(Context& ctx, int32_t& printerIndex, const std::string& reportKind,
                  std::string& response);

// A markup or discount on the open receipt: kind "," is a percentage, ":" an
// amount; a negative value is a discount.
bool fctFunctia75(Context& ctx, int32_t& printerIndex, const std::string& kind,
                  const std::string& vatGroup, Amount value, std::string& response);

// Shows `message` under the configured title and logs it. The second
// argument is kept for the callers' sake and has no effect.
void WriteDisplay(Context& ctx, const std::string& message, int unused = 0);

}  // namespace veltar
