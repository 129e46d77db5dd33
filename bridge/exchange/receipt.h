// The fiscal receipt of a sale: from the loaded sales file to BON.TXT, with
// the recovery after a lost reply, a power failure or a restart.
#pragma once

#include <cstdint>
#include <string>

#include "exchange/tick.h"
#include "shell/amount.h"
#include "shell/context.h"

namespace veltar {

// Results of VerificaStareBon.
namespace receipt_state {
inline constexpr uint8_t kOpen = 0;
inline constexpr uint8_t kNoAnswer = 1;
inline constexpr uint8_t kNone = 2;
}  // namespace receipt_state

// Results of PlataTotal.
namespace payment_result {
inline constexpr int kCannotTotal = 0;  // fatal: the program ends
inline constexpr int kPaidInFull = 1;
inline constexpr int kMoreToPay = 2;
inline constexpr int kFailure = 3;  // reported; try again
}  // namespace payment_result

// The sale handler: VANZARI.TXT is present.
TickFlow HandleSale(Context& ctx);

uint8_t VerificaStareBon(Context& ctx, std::string& response);
int PlataTotal(Context& ctx, const std::string& mode, Amount amount, std::string& response);
void TiparesteDescriere(Context& ctx);

// Settles a sale whose receipt may have reached the fiscal memory before a
// day-end report clears the day's receipt counter, which is how the bridge
// finds that out. Does nothing when no sale is in progress.
void SettlePendingSale(Context& ctx);

}  // namespace veltar
