// The durable record of the sale in progress.
//
// The printer alone cannot tell whether a receipt that is no longer open was
// closed into the fiscal memory or cancelled by a power failure, nor the
// number of a receipt whose opening reply was lost. The record keeps what the
// bridge knew at the points that matter (before opening, after opening,
// before paying, before closing), so that after a lost reply, a power failure
// or a restart the bridge finishes the sale exactly once. It lives beside the
// request files, is replaced atomically and flushed at each of those points,
// and is removed once BON.TXT is written and VANZARI.TXT is gone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shell/amount.h"
#include "shell/context.h"

namespace veltar {

inline constexpr const char* kSaleRecordFile = "Veltar.sale";

enum class SalePhase {
    Opening,  // the open command is about to go out, or went out unanswered
    Open,     // the receipt is open with the number below
    Paying,   // every line and adjustment is on the receipt
    Closing,  // the receipt is paid; the close command is about to go out
};

// What a look at the printer's counters said of a receipt no longer open.
enum class SaleVerdict { Unknown, Closed, Cancelled };

struct SaleRecord {
    std::string request;  // fingerprint of VANZARI.TXT's bytes
    SalePhase phase = SalePhase::Opening;
    int32_t receipt = 0;  // 0: not known yet
    // The printer's count of the day's closed fiscal receipts, and its last
    // day-end report number, read before the receipt was opened; -1 unknown.
    int32_t dayReceipts = -1;
    int32_t zNumber = -1;
    // Markups and discounts already on the receipt, in LiniiMajRed order.
    int32_t adjustmentsDone = 0;
    // The one sent without a known outcome (-1: none), and the receipt total
    // before it, which tells afterwards whether it was applied.
    int32_t adjustmentPending = -1;
    Amount totalBeforePending;
    // Settled before a day-end report cleared the counter.
    SaleVerdict settled = SaleVerdict::Unknown;

    friend bool operator==(const SaleRecord&, const SaleRecord&) = default;
};

// A fingerprint of a request file's bytes (64-bit FNV-1a, in hexadecimal).
std::string RequestFingerprint(const std::string& bytes);

// The record on disk; nothing when there is none. A record that cannot be
// read as one is logged and taken as none.
std::optional<SaleRecord> LoadSaleRecord(Context& ctx);
// Replaces the record on disk (atomically, flushed). Throws RuntimeError.
void SaveSaleRecord(Context& ctx, const SaleRecord& record);
// Removes the record; logs a failure and never throws.
void RemoveSaleRecord(Context& ctx);

// The record as text and back, for the file and for tests.
std::string FormatSaleRecord(const SaleRecord& record);
std::optional<SaleRecord> ParseSaleRecord(const std::string& text);

}  // namespace veltar
