// The engine's inside, shared by the files that hold its command handlers.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "fpsim/printer.h"
#include "persistence.h"
#include "text.h"

namespace fpsim {


inline constexpr std::uint8_t kTab = 0x09;
inline constexpr std::size_t kLineWidth = 40;
inline constexpr std::size_t kMaxIdentityText = 100;
inline constexpr std::size_t kMaxCodeOrSeries = 15;
inline constexpr int kVatSlots = 30;
inline constexpr int kFewVatSlotsLeft = 5;
inline constexpr std::size_t kFiscalMemoryWarning = 60;
// Largest amount the printer's registers hold; beyond it S4 0x02 refuses the command.
inline constexpr std::int64_t kMaxAmount = 9'999'999'999LL;
inline constexpr std::int64_t kSecondsPerDay = 86400;
inline constexpr int kZReplyField = 20;
// The leu can be switched from this date on.
inline constexpr DateTime kLeuSwitchAllowedFrom{2005, 6, 30, 0, 0, 0};

// The result of one command before the transport faults: bits to add to the
// state's own status and the reply data.
struct Outcome {
  StatusBytes bits{};
  Bytes data;
  bool changed = false;  // persistent state changed: write the state file

  void set(StatusBit b) { bits[static_cast<std::size_t>(b.byte)] |= b.mask; }
  void text(const std::string& s) { data.assign(s.begin(), s.end()); }
};

inline void setBit(StatusBytes& s, StatusBit b) { s[static_cast<std::size_t>(b.byte)] |= b.mask; }

inline std::uint32_t readBigEndian(const Bytes& p, std::size_t at, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[at + i];
  return static_cast<std::uint32_t>(v);
}

inline std::uint64_t readBigEndian64(const Bytes& p, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | p[at + i];
  return v;
}

// Rounds a / b to the nearest whole number, halves away from zero.
inline std::int64_t divRound(std::int64_t a, std::int64_t b) {
  const bool neg = (a < 0) != (b < 0);
  std::int64_t ua = a < 0 ? -a : a;
  std::int64_t ub = b < 0 ? -b : b;
  std::int64_t q = (ua + ub / 2) / ub;
  return neg ? -q : q;
}

inline std::optional<int> fromBcd(std::uint8_t b) {
  const int hi = b >> 4;
  const int lo = b & 0x0F;
  if (hi > 9 || lo > 9) return std::nullopt;
  return hi * 10 + lo;
}

// The first six bytes of a payload as two-digit packed-decimal values; nothing
// when one of them is not packed decimal.
inline std::optional<std::array<int, 6>> sixBcdFields(const Bytes& p) {
  std::array<int, 6> v{};
  for (std::size_t i = 0; i < v.size() && i < p.size(); ++i) {
    auto d = fromBcd(p[i]);
    if (!d) return std::nullopt;
    v[i] = *d;
  }
  return v;
}

inline std::uint8_t toBcd(int v) { return static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

inline int fullYear(int twoDigits) { return twoDigits < 30 ? 2000 + twoDigits : 1900 + twoDigits; }

// Six packed-decimal bytes: seconds, minutes, hours, day, month, year.
inline void appendBcdDateTime(Bytes& out, const DateTime& t) {
  out.push_back(toBcd(t.second));
  out.push_back(toBcd(t.minute));
  out.push_back(toBcd(t.hour));
  out.push_back(toBcd(t.day));
  out.push_back(toBcd(t.month));
  out.push_back(toBcd(t.year % 100));
}

inline std::string zeroPadded(std::int64_t v, int width) {
  char buf[32];
  if (v < 0) {
    std::snprintf(buf, sizeof buf, "-%0*lld", width - 1, static_cast<long long>(-v));
  } else {
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
  }
  return buf;
}

inline std::int64_t vatOf(std::int64_t gross, const VatRate& r) {
  const std::int64_t rate = r.whole * 100 + r.hundredths;
  return divRound(gross * rate, 10000 + rate);
}

inline const char* paymentName(char mode) {
  switch (mode) {
    case 'C': return "NUMERAR";
    case 'A': return "CARD";
    case 'N': return "CEC";
    case 'E': return "TICHETE";
    default: return "PLATA";
  }
}

inline bool isPaymentMode(std::uint8_t m) { return m == 'A' || m == 'C' || m == 'N' || m == 'E'; }


struct Printer::Impl {
  PrinterOptions options;
  std::shared_ptr<const Clock> clock;
  mutable std::mutex mutex;
  PrinterState st;
  std::string journal;
  std::vector<ClosedReceipt> closed;
  struct ActiveFault {
    ReplyFault fault;
    int remaining;  // <= 0: until cleared
  };
  std::vector<ActiveFault> faults;
  std::uint64_t requestCount = 0;
  std::vector<std::uint8_t> requestLog;
  std::vector<ArmedFaultAt> armed;  // kept in order of request number
  RequestReader reader;
  int printed = 0;  // lines printed by the command being answered

  // ---- clock -------------------------------------------------------------
  DateTime now() const {
    return fromEpochSeconds(toEpochSeconds(clock->now()) + st.clockOffsetSeconds);
  }

  // ---- paper -------------------------------------------------------------
  void print(const std::string& line) {
    std::string l = line.size() > kLineWidth ? line.substr(0, kLineWidth) : line;
    journal += l;
    journal += '\n';
    ++printed;
    if (!options.journalFile.empty()) {
      std::ofstream f(options.journalFile, std::ios::app | std::ios::binary);
      f << l << '\n';
    }
  }
  void printPair(const std::string& left, const std::string& right) {
    print(text::columns(left, right, kLineWidth));
  }
  void printDateLine(const DateTime& t) {
    print(text::formatDate(t) + " " + text::formatTime(t));
  }

  std::string receiptsFile() const {
    if (!options.receiptsFile.empty()) return options.receiptsFile;
    if (!options.journalFile.empty()) return options.journalFile + ".receipts";
    return {};
  }

  // ---- status ------------------------------------------------------------
  bool condition(Condition c) const { return st.conditions[static_cast<std::size_t>(c)]; }

  bool fiscalMemoryFull() const {
    return condition(Condition::FiscalMemoryFull) ||
           st.fiscalMemory.size() >= st.fiscalMemoryCapacity;
  }
  bool fiscalMemoryNearlyFull() const {
    return condition(Condition::FiscalMemoryNearlyFull) ||
           st.fiscalMemory.size() + kFiscalMemoryWarning >= st.fiscalMemoryCapacity;
  }
  bool day24HoursPassed() const {
    if (condition(Condition::Day24HoursPassed)) return true;
    return st.dayFirstReceipt &&
           toEpochSeconds(now()) - toEpochSeconds(*st.dayFirstReceipt) >= kSecondsPerDay;
  }
  bool paperOut() const { return condition(Condition::PaperOut); }
  // A condition under which nothing can be printed.
  bool printBlocked() const {
    return paperOut() || condition(Condition::PaperJam) || condition(Condition::CoverOpen);
  }

  StatusBytes stateStatus() const {
    StatusBytes s{};
    if (condition(Condition::PaperNearEnd)) setBit(s, bit::kPaperNearEnd);
    if (paperOut()) {
      setBit(s, bit::kPaperOutS1);
      setBit(s, bit::kPaperOutS2);
      setBit(s, bit::kPaperOutS3a);
      setBit(s, bit::kPaperOutS3b);
    }
    if (condition(Condition::CoverOpen)) setBit(s, bit::kCoverOpen);
    if (condition(Condition::PaperJam)) {
      setBit(s, bit::kPaperJamA);
      setBit(s, bit::kPaperJamB);
    }
    if (condition(Condition::DateTimeLost)) setBit(s, bit::kDateTimeLost);
    if (condition(Condition::InvalidVatRates)) setBit(s, bit::kInvalidVatRates);
    if (fiscalMemoryFull()) setBit(s, bit::kFiscalMemoryFull);
    if (fiscalMemoryNearlyFull()) setBit(s, bit::kFiscalMemoryNearlyFull);
    if (condition(Condition::DisplayMissing)) setBit(s, bit::kDisplayMissing);
    if (day24HoursPassed()) setBit(s, bit::kDay24HoursPassed);
    if (st.openReceipt) setBit(s, bit::kFiscalReceiptOpen);
    if (st.nonFiscalOpen) setBit(s, bit::kNonFiscalReceiptOpen);
    if (st.powerFailedInReceipt) setBit(s, bit::kPowerFailedInReceipt);
    if (st.fiscalized) setBit(s, bit::kFiscalized);
    if (st.vatRateChanges >= kVatSlots) {
      setBit(s, bit::kNoVatSlots);
    } else if (st.vatRateChanges >= kVatSlots - kFewVatSlotsLeft) {
      setBit(s, bit::kFewVatSlots);
    }
    for (std::size_t i = 0; i < s.size(); ++i) s[i] |= st.forcedStatus[i];
    return s;
  }

  // ---- refusals shared by several commands --------------------------------
  // A fiscal operation that the printer's mode forbids right now.
  bool refuseFiscal(Outcome& o) const {
    if (condition(Condition::FiscalModeRefusal)) {
      o.set(bit::kNotAllowedInMode);
      return true;
    }
    return false;
  }
  // Receipt commands outside an open receipt are refused as "not allowed now"
  // and also as a failed command, so that no caller can mistake them for done.
  static void refuseNoReceipt(Outcome& o) {
    o.set(bit::kNotAllowedInMode);
    o.set(bit::kCommandFailed);
  }
  // The same for every refusal of a receipt or cash command: the bridge judges
  // these by the failure bits alone, so "not allowed now" by itself would read
  // as a receipt opened, a line sold or cash moved. The service writes keep the
  // bare "not allowed now", which their callers test for themselves.
  bool refuseFiscalReceiptCommand(Outcome& o) const {
    if (!refuseFiscal(o)) return false;
    o.set(bit::kCommandFailed);
    return true;
  }

  // ---- commands ----------------------------------------------------------
  Outcome execute(std::uint8_t code, const Bytes& p);

  // receipt_commands.cpp: fiscal and non-fiscal receipts, text lines, display
  Outcome transactionState();
  Outcome openFiscalReceipt(const Bytes& p);
  // Sale line: name TAB kind TAB qty(2) fraction(3) TAB sign price(4)
  //            [, [r] whole hundredths] [v value(4) TAB display-text]
  Outcome saleLine(const Bytes& p);
  Outcome subtotal(const Bytes& p);
  // Total and payment: text(0..20) TAB mode amount(4).
  Outcome totalPayment(const Bytes& p);
  static std::int64_t groupTotal(const Receipt& r, int g);
  Outcome closeFiscalReceipt();
  // Books the open, fully paid receipt (drawer, day totals, counters, record,
  // closing lines) and ends it: the one way a fiscal receipt gets closed.
  void bookOpenReceipt();
  void appendReceiptRecord(const ClosedReceipt& c);
  // Markup or discount on the receipt: "," ["r"] group whole hundredths, or
  // ":" (markup) / ";" (discount) group amount(8).
  Outcome markupDiscount(const Bytes& p);
  Outcome displayText(const Bytes& p);
  Outcome openNonFiscal();
  Outcome printText(const Bytes& p);
  Outcome closeNonFiscal();

  // service_commands.cpp: settings, identity, clock, drawer, leu
  Outcome technicalReport();
  Outcome writeVatRates(const Bytes& p);
  Outcome readVatRates();
  Outcome writeIdentity(std::uint8_t code, const Bytes& p);
  Outcome readIdentity(std::uint8_t code);
  Outcome headerFooter(const Bytes& p);
  Outcome posNumber(const Bytes& p);
  Outcome dayCounters();
  Outcome fiscalize();
  Outcome readDateTime();
  Outcome writeDateTime(const Bytes& p);
  Outcome drawerSums(const Bytes& p);
  // State byte (00h redenominated, FFh old leu), switch date-time, Z number at the switch.
  Bytes leuReply() const;
  Outcome switchLeu();

  // report_commands.cpp: X, day-end and periodic reports
  Outcome report(const Bytes& p);
  // The reply of both reports: counter A (the Z number), the turnover of groups
  // A to D and of the exempt group, the day's total (hundredths of the price
  // unit, 20 characters each), counter B (the day's receipts), the date.
  Bytes reportReply(std::uint32_t zNumber, const DateTime& t) const;
  void printDayTotals();
  // Start date, end date (day, month, year, packed decimal) and "e" or "c".
  Outcome periodicReport(const Bytes& p);

  // ---- power -------------------------------------------------------------
  // The power fails and comes back: what was in progress meets the power-loss
  // policy (printer.cpp).
  void powerCycle();

  // A state file that cannot be written must not stop the printer from answering
  // (it would take the server thread down); the failure is told once per cause.
  void save() const {
    if (options.stateFile.empty()) return;
    try {
      saveState(st, options.stateFile);
      lastSaveError.clear();
    } catch (const std::exception& e) {
      if (lastSaveError != e.what()) std::fprintf(stderr, "fpsim: %s\n", e.what());
      lastSaveError = e.what();
    }
  }
  mutable std::string lastSaveError;

  // ---- transport faults --------------------------------------------------
  bool faultActive(ReplyFault f) const {
    for (const auto& a : faults) {
      if (a.fault == f) return true;
    }
    return false;
  }
  void consumeFaults() {
    for (auto& a : faults) {
      if (a.remaining > 0) --a.remaining;
    }
    std::erase_if(faults, [](const ActiveFault& a) { return a.remaining == 0; });
  }
};

}  // namespace fpsim
