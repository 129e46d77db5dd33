#include "fpsim/printer.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>

#include "persistence.h"
#include "text.h"

namespace fpsim {

int groupIndex(char letter) {
  switch (letter) {
    case 'A': return 0;
    case 'B': return 1;
    case 'C': return 2;
    case 'D': return 3;
    case ' ': return 4;
    default: return -1;
  }
}

char groupLetter(int index) { return "ABCD "[index]; }

std::int64_t Receipt::total() const {
  std::int64_t sum = 0;
  for (const auto& l : lines) sum += l.value;
  for (const auto& a : adjustments) sum += a.value;
  return sum;
}

std::int64_t Receipt::paid() const {
  std::int64_t sum = 0;
  for (const auto& p : payments) sum += p.amount;
  return sum;
}

bool Receipt::fullyPaid() const { return totalled && paid() >= total(); }

namespace {

constexpr std::uint8_t kTab = 0x09;
constexpr std::size_t kLineWidth = 40;
constexpr std::size_t kMaxIdentityText = 100;
constexpr std::size_t kMaxCodeOrSeries = 15;
constexpr int kVatSlots = 30;
constexpr int kFewVatSlotsLeft = 5;
constexpr std::size_t kFiscalMemoryWarning = 60;
// Largest amount the printer's registers hold; beyond it S4 0x02 refuses the command.
constexpr std::int64_t kMaxAmount = 9'999'999'999LL;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr int kZReplyField = 20;
// The leu can be switched from this date on.
constexpr DateTime kLeuSwitchAllowedFrom{2005, 6, 30, 0, 0, 0};

// The result of one command before the transport faults: bits to add to the
// state's own status and the reply data.
struct Outcome {
  StatusBytes bits{};
  Bytes data;
  bool changed = false;  // persistent state changed: write the state file

  void set(StatusBit b) { bits[static_cast<std::size_t>(b.byte)] |= b.mask; }
  void text(const std::string& s) { data.assign(s.begin(), s.end()); }
};

void setBit(StatusBytes& s, StatusBit b) { s[static_cast<std::size_t>(b.byte)] |= b.mask; }

std::uint32_t readBigEndian(const Bytes& p, std::size_t at, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = (v << 8) | p[at + i];
  return static_cast<std::uint32_t>(v);
}

std::uint64_t readBigEndian64(const Bytes& p, std::size_t at) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = (v << 8) | p[at + i];
  return v;
}

// Rounds a / b to the nearest whole number, halves away from zero.
std::int64_t divRound(std::int64_t a, std::int64_t b) {
  const bool neg = (a < 0) != (b < 0);
  std::int64_t ua = a < 0 ? -a : a;
  std::int64_t ub = b < 0 ? -b : b;
  std::int64_t q = (ua + ub / 2) / ub;
  return neg ? -q : q;
}

std::optional<int> fromBcd(std::uint8_t b) {
  const int hi = b >> 4;
  const int lo = b & 0x0F;
  if (hi > 9 || lo > 9) return std::nullopt;
  return hi * 10 + lo;
}

std::uint8_t toBcd(int v) { return static_cast<std::uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

int fullYear(int twoDigits) { return twoDigits < 30 ? 2000 + twoDigits : 1900 + twoDigits; }

// Six packed-decimal bytes: seconds, minutes, hours, day, month, year.
void appendBcdDateTime(Bytes& out, const DateTime& t) {
  out.push_back(toBcd(t.second));
  out.push_back(toBcd(t.minute));
  out.push_back(toBcd(t.hour));
  out.push_back(toBcd(t.day));
  out.push_back(toBcd(t.month));
  out.push_back(toBcd(t.year % 100));
}

std::string zeroPadded(std::int64_t v, int width) {
  char buf[32];
  if (v < 0) {
    std::snprintf(buf, sizeof buf, "-%0*lld", width - 1, static_cast<long long>(-v));
  } else {
    std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(v));
  }
  return buf;
}

std::int64_t vatOf(std::int64_t gross, const VatRate& r) {
  const std::int64_t rate = r.whole * 100 + r.hundredths;
  return divRound(gross * rate, 10000 + rate);
}

const char* paymentName(char mode) {
  switch (mode) {
    case 'C': return "NUMERAR";
    case 'A': return "CARD";
    case 'N': return "CEC";
    case 'E': return "TICHETE";
    default: return "PLATA";
  }
}

bool isPaymentMode(std::uint8_t m) { return m == 'A' || m == 'C' || m == 'N' || m == 'E'; }

}  // namespace

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

  // ---- commands ----------------------------------------------------------
  Outcome execute(std::uint8_t code, const Bytes& p);

  Outcome transactionState() {
    Outcome o;
    int digit = 0;
    std::size_t lines = 0;
    std::int64_t total = 0;
    std::int64_t paid = 0;
    if (st.openReceipt) {
      const Receipt& r = *st.openReceipt;
      digit = r.fullyPaid() ? 2 : 1;
      lines = r.lines.size();
      total = r.total();
      paid = r.paid();
    }
    o.text(std::to_string(digit) + "," + std::to_string(lines) + "," + std::to_string(total) +
           "," + std::to_string(paid) + ",");
    return o;
  }

  Outcome technicalReport() {
    Outcome o;
    if (printBlocked()) return o;
    print("RAPORT TEHNIC");
    print(st.identity.companyName);
    printPair("COD FISCAL", st.identity.fiscalCode);
    printPair("SERIE FISCALA", st.identity.fiscalSeries);
    for (int g = 0; g < 4; ++g) {
      printPair(std::string("COTA TVA ") + groupLetter(g),
                text::formatRate(st.vatRates[static_cast<std::size_t>(g)].whole,
                                 st.vatRates[static_cast<std::size_t>(g)].hundredths));
    }
    printPair("ULTIMUL BON", std::to_string(st.lastReceiptNumber));
    printPair("ULTIMUL RAPORT Z", std::to_string(st.lastZNumber));
    printPair("INREGISTRARI MF",
              std::to_string(st.fiscalMemory.size()) + "/" +
                  std::to_string(st.fiscalMemoryCapacity));
    printDateLine(now());
    return o;
  }

  Outcome writeVatRates(const Bytes& p) {
    Outcome o;
    if (p.size() != 8) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    std::array<VatRate, 4> rates{};
    for (std::size_t g = 0; g < 4; ++g) {
      rates[g] = {p[2 * g], p[2 * g + 1]};
      if (rates[g].whole > 99 || rates[g].hundredths > 99) {
        o.set(bit::kInvalidArguments);
        return o;
      }
    }
    if (refuseFiscal(o)) return o;
    // New rates would change the meaning of the day's totals: a day-end report first.
    if (st.openReceipt || st.dayReceipts > 0 || st.vatRateChanges >= kVatSlots) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (printBlocked()) return o;
    st.vatRates = rates;
    ++st.vatRateChanges;
    st.conditions[static_cast<std::size_t>(Condition::InvalidVatRates)] = false;
    print("PROGRAMARE COTE TVA");
    for (std::size_t g = 0; g < 4; ++g) {
      printPair(std::string("COTA ") + groupLetter(static_cast<int>(g)),
                text::formatRate(rates[g].whole, rates[g].hundredths));
    }
    printDateLine(now());
    o.changed = true;
    return o;
  }

  Outcome writeIdentity(std::uint8_t code, const Bytes& p) {
    Outcome o;
    const bool codeOrSeries = code == cmd::kWriteFiscalCode || code == cmd::kWriteFiscalSeries;
    const std::size_t limit = codeOrSeries ? kMaxCodeOrSeries : kMaxIdentityText;
    std::string value(p.begin(), p.end());
    if (value.empty() || value.size() > limit) {
      o.set(bit::kInvalidArguments);
      o.set(codeOrSeries ? bit::kInvalidFiscalCode : bit::kInvalidNameOrAddress);
      return o;
    }
    // The identity is fixed once the printer is fiscalized.
    if (st.fiscalized || refuseFiscal(o)) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    switch (code) {
      case cmd::kWriteFiscalCode: st.identity.fiscalCode = value; break;
      case cmd::kWriteCompanyName: st.identity.companyName = value; break;
      case cmd::kWriteCompanyAddress: st.identity.companyAddress = value; break;
      default: st.identity.fiscalSeries = value; break;
    }
    o.changed = true;
    return o;
  }

  Outcome readIdentity(std::uint8_t code) {
    Outcome o;
    switch (code) {
      case cmd::kReadFiscalSeries: o.text(st.identity.fiscalSeries); break;
      case cmd::kReadCompanyName: o.text(st.identity.companyName); break;
      case cmd::kReadCompanyAddress: o.text(st.identity.companyAddress); break;
      default: o.text(st.identity.fiscalCode); break;
    }
    return o;
  }

  Outcome headerFooter(const Bytes& p) {
    Outcome o;
    // Kind "A" or "S", a line number, ",", at most one printed line of text.
    if (p.size() < 3 || (p[0] != 'A' && p[0] != 'S') || p[2] != ',' ||
        p.size() - 3 > kLineWidth) {
      o.set(bit::kInvalidArguments);
    }
    return o;
  }

  Outcome openFiscalReceipt(const Bytes& p) {
    Outcome o;
    if (!p.empty() && p.size() != 2) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (refuseFiscal(o)) return o;
    if (st.openReceipt || st.nonFiscalOpen || day24HoursPassed() || fiscalMemoryFull() ||
        condition(Condition::InvalidVatRates) || condition(Condition::DateTimeLost)) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (printBlocked()) return o;
    Receipt r;
    r.number = ++st.lastReceiptNumber;
    r.opened = now();
    st.openReceipt = r;
    print(text::centered(st.identity.companyName, kLineWidth));
    print(text::centered(st.identity.companyAddress, kLineWidth));
    print(text::centered("COD FISCAL " + st.identity.fiscalCode, kLineWidth));
    printPair("BON FISCAL", "NR. " + std::to_string(r.number));
    o.text(std::to_string(r.number));
    o.changed = true;
    return o;
  }

  // Sale line: name TAB kind TAB qty(2) fraction(3) TAB sign price(4)
  //            [, [r] whole hundredths] [v value(4) TAB display-text]
  Outcome saleLine(const Bytes& p) {
    Outcome o;
    SaleLine line;
    std::size_t at = 0;
    while (at < p.size() && p[at] != kTab) ++at;
    if (at == 0 || at > kLineWidth || p.size() < at + 14) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    line.name.assign(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(at));
    line.group = static_cast<char>(p[at + 1]);
    if (groupIndex(line.group) < 0 || p[at + 2] != kTab || p[at + 8] != kTab) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    const std::uint32_t whole = readBigEndian(p, at + 3, 2);
    const std::uint32_t fraction = readBigEndian(p, at + 5, 3);
    const std::uint8_t sign = p[at + 9];
    line.unitPrice = readBigEndian(p, at + 10, 4);
    line.quantityMillionths = static_cast<std::int64_t>(whole) * 1'000'000 + fraction;
    if (fraction > 999'999 || (sign != '+' && sign != '-') || line.quantityMillionths == 0) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    line.negative = sign == '-';
    std::size_t i = at + 14;
    if (i < p.size() && p[i] == ',') {
      bool discount = false;
      ++i;
      if (i < p.size() && p[i] == 'r') {
        discount = true;
        ++i;
      }
      if (i + 2 > p.size() || p[i] > 99 || p[i + 1] > 99) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      line.percentHundredths = (p[i] * 100 + p[i + 1]) * (discount ? -1 : 1);
      i += 2;
    }
    std::optional<std::int64_t> givenValue;
    std::string display;
    if (i < p.size() && p[i] == 'v') {
      if (i + 6 > p.size() || p[i + 5] != kTab || p.size() - (i + 6) < 1 ||
          p.size() - (i + 6) > 20) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      givenValue = readBigEndian(p, i + 1, 4);
      display.assign(p.begin() + static_cast<std::ptrdiff_t>(i + 6), p.end());
      i = p.size();
    }
    if (i != p.size()) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (!st.openReceipt || st.openReceipt->totalled) {
      refuseNoReceipt(o);
      return o;
    }
    if (refuseFiscal(o) || printBlocked()) return o;
    std::int64_t value =
        givenValue ? *givenValue : divRound(line.quantityMillionths * line.unitPrice, 1'000'000);
    std::int64_t markup = divRound(value * line.percentHundredths, 10000);
    value += markup;
    if (line.negative) value = -value;
    line.value = value;
    Receipt& r = *st.openReceipt;
    if (value > kMaxAmount || value < -kMaxAmount || r.total() + value > kMaxAmount) {
      o.set(bit::kAmountOverflow);
      return o;
    }
    r.lines.push_back(line);
    print(line.name);
    printPair("  " + text::formatQuantity(line.quantityMillionths) + " x " +
                  std::to_string(line.unitPrice),
              std::to_string(value - (line.negative ? -markup : markup)) + " " + line.group);
    if (line.percentHundredths != 0) {
      printPair(std::string(line.percentHundredths > 0 ? "  ADAOS " : "  REDUCERE ") +
                    text::formatRate(std::abs(line.percentHundredths) / 100,
                                     std::abs(line.percentHundredths) % 100) + "%",
                std::to_string(line.negative ? -markup : markup) + " " + line.group);
    }
    st.display[0] = display.empty() ? line.name.substr(0, 20) : display;
    st.display[1] = std::to_string(value);
    o.changed = true;
    return o;
  }

  Outcome subtotal(const Bytes& p) {
    Outcome o;
    if (p.size() != 2) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (!st.openReceipt) {
      refuseNoReceipt(o);
      return o;
    }
    const std::int64_t total = st.openReceipt->total();
    if (p[0] != 0 && !printBlocked()) printPair("SUBTOTAL", std::to_string(total));
    if (p[1] != 0) st.display = {"SUBTOTAL", std::to_string(total)};
    o.text(std::to_string(total));
    return o;
  }

  // Total and payment: text(0..20) TAB mode amount(4).
  Outcome totalPayment(const Bytes& p) {
    Outcome o;
    if (p.size() < 6 || p.size() > 26 || p[p.size() - 6] != kTab ||
        !isPaymentMode(p[p.size() - 5])) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    const char mode = static_cast<char>(p[p.size() - 5]);
    const std::int64_t amount = readBigEndian(p, p.size() - 4, 4);
    if (!st.openReceipt || st.openReceipt->fullyPaid()) {
      refuseNoReceipt(o);
      return o;
    }
    if (refuseFiscal(o) || printBlocked()) return o;
    Receipt& r = *st.openReceipt;
    const std::int64_t total = r.total();
    // A negative receipt or a negative VAT register cannot be totalled; the
    // receipt stays open so that it can be corrected.
    if (total < 0) {
      o.text("E");
      return o;
    }
    for (int g = 0; g < kGroupCount; ++g) {
      if (groupTotal(r, g) < 0) {
        o.text("I");
        return o;
      }
    }
    if (!r.totalled) {
      printPair("TOTAL", std::to_string(total));
      r.totalled = true;
    }
    if (amount > 0) {
      r.payments.push_back({mode, amount});
      printPair(paymentName(mode), std::to_string(amount));
    }
    o.changed = true;
    if (r.paid() >= total) {
      const std::int64_t change = r.paid() - total;
      if (change > 0) printPair("REST", std::to_string(change));
      o.text("R," + std::to_string(change));
    } else {
      o.text("D," + std::to_string(total - r.paid()));
    }
    return o;
  }

  static std::int64_t groupTotal(const Receipt& r, int g) {
    std::int64_t sum = 0;
    for (const auto& l : r.lines) {
      if (groupIndex(l.group) == g) sum += l.value;
    }
    for (const auto& a : r.adjustments) {
      if (groupIndex(a.group) == g) sum += a.value;
    }
    return sum;
  }

  Outcome closeFiscalReceipt() {
    Outcome o;
    if (!st.openReceipt) return o;  // nothing open: already closed
    if (st.powerFailedInReceipt) {
      // The first close after a power failure only reports it; the receipt stays
      // open so that the caller can check how far it got before closing it.
      st.powerFailedInReceipt = false;
      o.set(bit::kPowerFailedInReceipt);
      return o;
    }
    if (refuseFiscal(o) || printBlocked()) return o;
    Receipt& r = *st.openReceipt;
    const std::int64_t total = r.total();
    if (total < 0) {
      o.set(bit::kCommandFailed);
      return o;
    }
    if (!r.fullyPaid()) {
      // Closing an unpaid receipt settles the rest in cash, as the cashier would.
      if (!r.totalled) printPair("TOTAL", std::to_string(total));
      r.totalled = true;
      const std::int64_t rest = total - r.paid();
      if (rest > 0) {
        r.payments.push_back({'C', rest});
        printPair(paymentName('C'), std::to_string(rest));
      }
    }
    ClosedReceipt c;
    static_cast<Receipt&>(c) = r;
    c.closed = now();
    c.change = r.paid() - total;
    std::int64_t cash = -c.change;
    for (const auto& pay : r.payments) {
      if (pay.mode == 'C') cash += pay.amount;
    }
    st.drawer.inDrawer += cash;
    for (int g = 0; g < kGroupCount; ++g) {
      const std::int64_t gt = groupTotal(r, g);
      st.dayGroupTotals[static_cast<std::size_t>(g)] += gt;
      if (g < 4) st.dayVat += vatOf(gt, st.vatRates[static_cast<std::size_t>(g)]);
    }
    ++st.dayReceipts;
    if (!st.dayFirstReceipt) st.dayFirstReceipt = r.opened;
    printDateLine(c.closed);
    printPair("BON FISCAL NR. " + std::to_string(r.number), "POS " + std::to_string(st.posNumber));
    print(text::centered("SERIE " + st.identity.fiscalSeries, kLineWidth));
    print(text::centered("BON FISCAL", kLineWidth));
    print("");
    closed.push_back(c);
    appendReceiptRecord(c);
    st.openReceipt.reset();
    o.changed = true;
    return o;
  }

  void appendReceiptRecord(const ClosedReceipt& c) {
    const std::string path = receiptsFile();
    if (path.empty()) return;
    std::ofstream f(path, std::ios::app | std::ios::binary);
    f << text::receiptRecord(c);
  }

  Outcome displayText(const Bytes& p) {
    Outcome o;
    // 01h, the display line (01h or 02h), the text; a bare text goes to the first line.
    std::size_t line = 0;
    std::size_t from = 0;
    if (p.size() >= 2 && p[0] == 0x01) {
      if (p[1] != 0x01 && p[1] != 0x02) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      line = p[1] - 1u;
      from = 2;
    }
    if (p.size() - from > kLineWidth) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (condition(Condition::DisplayMissing)) return o;
    st.display[line].assign(p.begin() + static_cast<std::ptrdiff_t>(from), p.end());
    return o;
  }

  Outcome openNonFiscal() {
    Outcome o;
    if (st.openReceipt || st.nonFiscalOpen) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (printBlocked()) return o;
    st.nonFiscalOpen = true;
    print(text::centered("BON NEFISCAL", kLineWidth));
    return o;
  }

  Outcome printText(const Bytes& p) {
    Outcome o;
    if (p.size() > kLineWidth) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (printBlocked()) return o;
    print(std::string(p.begin(), p.end()));
    return o;
  }

  Outcome closeNonFiscal() {
    Outcome o;
    if (!st.nonFiscalOpen) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (printBlocked()) return o;
    printDateLine(now());
    print(text::centered("BON NEFISCAL", kLineWidth));
    print("");
    st.nonFiscalOpen = false;
    return o;
  }

  Outcome posNumber(const Bytes& p) {
    Outcome o;
    if (p.size() > 1) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    st.posNumber = p.empty() ? 0 : p[0];
    o.changed = true;
    return o;
  }

  Outcome dayCounters() {
    Outcome o;
    const std::uint32_t receipts = st.dayReceipts > 0xFFFF ? 0xFFFF : st.dayReceipts;
    const std::uint32_t z = st.lastZNumber & 0xFFFF;
    o.data = {static_cast<std::uint8_t>(receipts >> 8), static_cast<std::uint8_t>(receipts),
              static_cast<std::uint8_t>(z >> 8), static_cast<std::uint8_t>(z)};
    return o;
  }

  Outcome fiscalize() {
    Outcome o;
    if (st.fiscalized || refuseFiscal(o)) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (st.identity.fiscalCode.empty() || st.identity.fiscalSeries.empty() ||
        st.identity.companyName.empty()) {
      o.set(bit::kCommandFailed);
      return o;
    }
    if (printBlocked()) return o;
    st.fiscalized = true;
    print(text::centered("FISCALIZARE", kLineWidth));
    printPair("COD FISCAL", st.identity.fiscalCode);
    printPair("SERIE FISCALA", st.identity.fiscalSeries);
    printDateLine(now());
    print("");
    o.changed = true;
    return o;
  }

  // Start date, end date (day, month, year, packed decimal) and "e" or "c".
  Outcome periodicReport(const Bytes& p) {
    Outcome o;
    if (p.size() != 7 || (p[6] != 'e' && p[6] != 'c')) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    std::array<int, 6> v{};
    for (std::size_t i = 0; i < 6; ++i) {
      auto d = fromBcd(p[i]);
      if (!d) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      v[i] = *d;
    }
    const DateTime from{fullYear(v[2]), v[1], v[0], 0, 0, 0};
    const DateTime to{fullYear(v[5]), v[4], v[3], 23, 59, 59};
    if (!isValid(from) || !isValid(to) || toEpochSeconds(from) > toEpochSeconds(to)) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (st.openReceipt || st.nonFiscalOpen) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    if (printBlocked()) return o;
    const bool detailed = p[6] == 'e';
    print(text::centered(detailed ? "RAPORT MF DETALIAT" : "RAPORT MF SUMAR", kLineWidth));
    printPair("DE LA " + text::formatDate(from), "PANA LA " + text::formatDate(to));
    std::int64_t total = 0;
    std::int64_t vat = 0;
    int count = 0;
    for (const auto& z : st.fiscalMemory) {
      const std::int64_t t = toEpochSeconds(z.date);
      if (t < toEpochSeconds(from) || t > toEpochSeconds(to)) continue;
      ++count;
      total += z.total;
      vat += z.vat;
      if (detailed) {
        printPair("Z " + std::to_string(z.number) + " " + text::formatDate(z.date),
                  std::to_string(z.total));
      }
    }
    printPair("RAPOARTE Z", std::to_string(count));
    printPair("TOTAL", std::to_string(total));
    printPair("TOTAL TVA", std::to_string(vat));
    printDateLine(now());
    print("");
    return o;
  }

  Outcome readDateTime() {
    Outcome o;
    appendBcdDateTime(o.data, now());
    return o;
  }

  Outcome writeDateTime(const Bytes& p) {
    Outcome o;
    if (p.size() != 6) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    std::array<int, 6> v{};
    for (std::size_t i = 0; i < 6; ++i) {
      auto d = fromBcd(p[i]);
      if (!d) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      v[i] = *d;
    }
    const DateTime t{fullYear(v[5]), v[4], v[3], v[2], v[1], v[0]};
    if (!isValid(t)) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (st.openReceipt) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    st.clockOffsetSeconds = toEpochSeconds(t) - toEpochSeconds(clock->now());
    st.conditions[static_cast<std::size_t>(Condition::DateTimeLost)] = false;
    o.changed = true;
    return o;
  }

  // The reply of both reports: counter A (the Z number), the turnover of groups
  // A to D and of the exempt group, the day's total (hundredths of the price
  // unit, 20 characters each), counter B (the day's receipts), the date.
  Bytes reportReply(std::uint32_t zNumber, const DateTime& t) const {
    std::string s = zeroPadded(zNumber, kZReplyField);
    std::int64_t total = 0;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
      s += zeroPadded(st.dayGroupTotals[g] * 100, kZReplyField);
      total += st.dayGroupTotals[g];
    }
    s += zeroPadded(total * 100, kZReplyField);
    s += zeroPadded(st.dayReceipts, kZReplyField);
    Bytes out(s.begin(), s.end());
    appendBcdDateTime(out, t);
    return out;
  }

  void printDayTotals() {
    std::int64_t total = 0;
    for (int g = 0; g < kGroupCount; ++g) {
      const auto gt = st.dayGroupTotals[static_cast<std::size_t>(g)];
      total += gt;
      if (g < 4) {
        printPair(std::string("TOTAL ") + groupLetter(g) + " " +
                      text::formatRate(st.vatRates[static_cast<std::size_t>(g)].whole,
                                       st.vatRates[static_cast<std::size_t>(g)].hundredths) +
                      "%",
                  std::to_string(gt));
      } else {
        printPair("TOTAL SCUTIT", std::to_string(gt));
      }
    }
    printPair("TOTAL ZI", std::to_string(total));
    printPair("TOTAL TVA", std::to_string(st.dayVat));
    printPair("BONURI FISCALE", std::to_string(st.dayReceipts));
    printPair("NUMERAR IN SERTAR", std::to_string(st.drawer.inDrawer));
  }

  Outcome report(const Bytes& p) {
    Outcome o;
    if (p.size() != 1 || (p[0] != 'F' && p[0] != 'G')) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (st.openReceipt || st.nonFiscalOpen || refuseFiscal(o) ||
        condition(Condition::DateTimeLost)) {
      o.set(bit::kNotAllowedInMode);
      return o;
    }
    const bool dayEnd = p[0] == 'G';
    if (dayEnd && fiscalMemoryFull()) {
      o.set(bit::kCommandFailed);
      return o;
    }
    if (printBlocked()) return o;
    const DateTime t = now();
    if (!dayEnd) {
      print(text::centered("RAPORT X", kLineWidth));
      printDayTotals();
      printDateLine(t);
      print("");
      o.data = reportReply(st.lastZNumber, t);
      return o;
    }
    ZRecord z;
    z.number = ++st.lastZNumber;
    z.date = t;
    z.groupTotals = st.dayGroupTotals;
    for (auto gt : z.groupTotals) z.total += gt;
    z.vat = st.dayVat;
    z.receipts = st.dayReceipts;
    print(text::centered("RAPORT Z", kLineWidth));
    printPair("RAPORT Z NR.", std::to_string(z.number));
    printDayTotals();
    printDateLine(t);
    print(text::centered("INCHIDERE ZI", kLineWidth));
    print("");
    o.data = reportReply(z.number, t);
    st.fiscalMemory.push_back(z);
    st.dayGroupTotals = {};
    st.dayVat = 0;
    st.dayReceipts = 0;
    st.dayFirstReceipt.reset();
    st.drawer.putIn = 0;
    st.drawer.takenOut = 0;
    st.conditions[static_cast<std::size_t>(Condition::Day24HoursPassed)] = false;
    o.changed = true;
    return o;
  }

  Outcome drawerSums(const Bytes& p) {
    Outcome o;
    if (!p.empty()) {
      if (p.size() != 5 || (p[0] != '+' && p[0] != '-')) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      const std::int64_t amount = readBigEndian(p, 1, 4);
      if (st.openReceipt || st.nonFiscalOpen) {
        o.set(bit::kNotAllowedInMode);
        return o;
      }
      if (p[0] == '-' && amount > st.drawer.inDrawer) {
        o.set(bit::kCommandFailed);  // more than the drawer holds
        return o;
      }
      if (printBlocked()) return o;
      if (p[0] == '+') {
        st.drawer.inDrawer += amount;
        st.drawer.putIn += amount;
        printPair("INTRODUCERE NUMERAR", std::to_string(amount));
      } else {
        st.drawer.inDrawer -= amount;
        st.drawer.takenOut += amount;
        printPair("SCOATERE NUMERAR", std::to_string(amount));
      }
      printDateLine(now());
      print("");
      o.changed = true;
    }
    o.text("D," + std::to_string(st.drawer.inDrawer) + "," + std::to_string(st.drawer.putIn) +
           "," + std::to_string(st.drawer.takenOut));
    return o;
  }

  // State byte (00h redenominated, FFh old leu), switch date-time, Z number at the switch.
  Bytes leuReply() const {
    Bytes out;
    out.reserve(9);
    out.push_back(st.redenominated ? 0x00 : 0xFF);
    if (st.redenominated) {
      appendBcdDateTime(out, st.redenominatedAt);
    } else {
      out.resize(7, 0x00);
    }
    out.push_back(static_cast<std::uint8_t>(st.redenominatedZ >> 8));
    out.push_back(static_cast<std::uint8_t>(st.redenominatedZ & 0xFF));
    return out;
  }

  Outcome switchLeu() {
    Outcome o;
    const DateTime t = now();
    if (st.openReceipt || st.nonFiscalOpen || st.dayReceipts > 0 || st.redenominated ||
        toEpochSeconds(t) < toEpochSeconds(kLeuSwitchAllowedFrom) || refuseFiscal(o)) {
      o.set(bit::kNotAllowedInMode);
      o.data = leuReply();
      return o;
    }
    if (printBlocked()) return o;
    st.redenominated = true;
    st.redenominatedAt = t;
    st.redenominatedZ = static_cast<std::uint16_t>(st.lastZNumber);
    print(text::centered("TRECERE LA LEUL GREU", kLineWidth));
    printDateLine(t);
    print("");
    o.data = leuReply();
    o.changed = true;
    return o;
  }

  // Markup or discount on the receipt: "," ["r"] group whole hundredths, or
  // ":" (markup) / ";" (discount) group amount(8).
  Outcome markupDiscount(const Bytes& p) {
    Outcome o;
    Adjustment a;
    std::size_t i = 0;
    bool negative = false;
    if (p.empty()) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (p[0] == ',') {
      a.percentage = true;
      i = 1;
      if (i < p.size() && p[i] == 'r') {
        negative = true;
        ++i;
      }
      if (p.size() != i + 3 || p[i + 1] > 100 || p[i + 2] > 99 ||
          (p[i + 1] == 100 && p[i + 2] != 0)) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      a.amountOrHundredths = p[i + 1] * 100 + p[i + 2];
    } else if (p[0] == ':' || p[0] == ';') {
      negative = p[0] == ';';
      i = 1;
      if (p.size() != 10) {
        o.set(bit::kInvalidArguments);
        return o;
      }
      const std::uint64_t amount = readBigEndian64(p, 2);
      if (amount > static_cast<std::uint64_t>(kMaxAmount)) {
        o.set(bit::kAmountOverflow);
        return o;
      }
      a.amountOrHundredths = static_cast<std::int64_t>(amount);
    } else {
      o.set(bit::kInvalidArguments);
      return o;
    }
    // The exempt group may be named "E" as well as by a blank.
    a.group = p[i] == 'E' ? ' ' : static_cast<char>(p[i]);
    if (groupIndex(a.group) < 0) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    if (negative) a.amountOrHundredths = -a.amountOrHundredths;
    if (!st.openReceipt || st.openReceipt->totalled) {
      refuseNoReceipt(o);
      return o;
    }
    if (refuseFiscal(o) || printBlocked()) return o;
    Receipt& r = *st.openReceipt;
    // A percentage applies to the receipt's subtotal and is booked in the named group.
    a.value = a.percentage ? divRound(r.total() * a.amountOrHundredths, 10000) : a.amountOrHundredths;
    r.adjustments.push_back(a);
    std::string label = a.value >= 0 ? "ADAOS" : "REDUCERE";
    if (a.percentage) {
      const auto h = std::abs(a.amountOrHundredths);
      label += " " + text::formatRate(static_cast<int>(h / 100), static_cast<int>(h % 100)) + "%";
    }
    printPair(label, std::to_string(a.value) + " " + a.group);
    o.changed = true;
    return o;
  }

  Outcome readVatRates() {
    Outcome o;
    // Per group: whole percent, ".", hundredths, ",".
    for (const auto& r : st.vatRates) {
      o.data.push_back(static_cast<std::uint8_t>(r.whole));
      o.data.push_back('.');
      o.data.push_back(static_cast<std::uint8_t>(r.hundredths));
      o.data.push_back(',');
    }
    return o;
  }

  // ---- power -------------------------------------------------------------
  void powerCycle() {
    if (st.nonFiscalOpen) {
      st.nonFiscalOpen = false;
    }
    if (st.openReceipt) {
      if (options.powerLoss == PowerLossPolicy::KeepReceipt) {
        st.powerFailedInReceipt = true;
        print("*** CADERE DE TENSIUNE ***");
      } else {
        print("*** CADERE DE TENSIUNE - BON ANULAT ***");
        print("");
        st.openReceipt.reset();
        st.powerFailedInReceipt = false;
      }
    }
    st.display = {};
    reader.reset();
    save();
  }

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

Outcome Printer::Impl::execute(std::uint8_t code, const Bytes& p) {
  switch (code) {
    case cmd::kTransactionState: return transactionState();
    case cmd::kTechnicalReport: return technicalReport();
    case cmd::kWriteVatRates: return writeVatRates(p);
    case cmd::kWriteFiscalCode:
    case cmd::kWriteCompanyName:
    case cmd::kWriteCompanyAddress:
    case cmd::kWriteFiscalSeries: return writeIdentity(code, p);
    case cmd::kWriteHeaderFooter: return headerFooter(p);
    case cmd::kOpenFiscalReceipt: return openFiscalReceipt(p);
    case cmd::kSaleLine: return saleLine(p);
    case cmd::kSubtotal: return subtotal(p);
    case cmd::kTotalPayment: return totalPayment(p);
    case cmd::kCloseFiscalReceipt: return closeFiscalReceipt();
    case cmd::kStatus:
    case cmd::kDateTimeDone: return {};
    case cmd::kReadVatRates: return readVatRates();
    case cmd::kDisplayText: return displayText(p);
    case cmd::kOpenNonFiscal: return openNonFiscal();
    case cmd::kPrintText: return printText(p);
    case cmd::kCloseNonFiscal: return closeNonFiscal();
    case cmd::kWritePosNumber: return posNumber(p);
    case cmd::kDayCounters: return dayCounters();
    case cmd::kFiscalize: return fiscalize();
    case cmd::kPeriodicReport: return periodicReport(p);
    case cmd::kReadDateTime: return readDateTime();
    case cmd::kReport: return report(p);
    case cmd::kOpenDrawer:
      ++st.drawerOpenings;
      return {};
    case cmd::kWriteDateTime: return writeDateTime(p);
    case cmd::kDrawerSums: return drawerSums(p);
    case cmd::kReadFiscalSeries:
    case cmd::kReadCompanyName:
    case cmd::kReadCompanyAddress:
    case cmd::kReadFiscalCode: return readIdentity(code);
    case cmd::kSwitchLeu:
    case cmd::kReadLeu:
      if (condition(Condition::NoLeuCommands)) break;
      if (code == cmd::kSwitchLeu) return switchLeu();
      {
        Outcome o;
        o.data = leuReply();
        return o;
      }
    case cmd::kMarkupDiscount: return markupDiscount(p);
    default: break;
  }
  Outcome unknown;
  unknown.set(bit::kUnknownCommand);
  return unknown;
}

Printer::Printer(PrinterOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
  impl_->clock = impl_->options.clock ? impl_->options.clock : std::make_shared<SystemClock>();
  impl_->st = freshState();
  if (!impl_->options.stateFile.empty()) {
    if (auto loaded = loadState(impl_->options.stateFile)) {
      impl_->st = std::move(*loaded);
      // Starting up after a stop is a power cycle for whatever was in progress.
      if (impl_->st.openReceipt || impl_->st.nonFiscalOpen) impl_->powerCycle();
    }
  }
}

Printer::~Printer() = default;

Answer Printer::answer(const RequestFrame& request) {
  std::lock_guard lock(impl_->mutex);
  Impl& m = *impl_;
  m.printed = 0;
  Answer ans;
  if (m.faultActive(ReplyFault::NoReply)) {
    m.consumeFaults();
    return ans;
  }
  Outcome o;
  if (!request.checksumOk) {
    o.set(bit::kBadChecksum);
  } else if (!request.endByteOk) {
    o.set(bit::kSequenceError);
  } else {
    const bool latched = m.st.powerFailedInReceipt;
    o = m.execute(request.cmd, request.payload);
    // The power-failure bit is reported until the first receipt command carries it.
    const bool receiptCommand = request.cmd == cmd::kSaleLine ||
                                request.cmd == cmd::kTotalPayment ||
                                request.cmd == cmd::kMarkupDiscount ||
                                request.cmd == cmd::kCloseFiscalReceipt ||
                                request.cmd == cmd::kOpenFiscalReceipt;
    if (latched && receiptCommand) {
      o.set(bit::kPowerFailedInReceipt);
      m.st.powerFailedInReceipt = false;
      o.changed = true;
    }
  }
  if (o.changed) m.save();
  StatusBytes status = m.stateStatus();
  for (std::size_t i = 0; i < status.size(); ++i) status[i] |= o.bits[i];

  std::uint8_t seq = request.seq;
  std::uint8_t echo = request.cmd;
  if (m.faultActive(ReplyFault::BadSequence)) seq = static_cast<std::uint8_t>(seq + 1);
  if (m.faultActive(ReplyFault::BadCommandEcho)) echo = static_cast<std::uint8_t>(echo + 1);
  Bytes frame = encodeReply(seq, status, echo, o.data);
  const std::size_t n = frame[1];
  if (m.faultActive(ReplyFault::BadChecksum)) frame[n + 2] ^= 0x5A;
  if (m.faultActive(ReplyFault::BadEndByte)) frame[n + 4] = 0x00;
  if (m.faultActive(ReplyFault::GarbageBefore)) frame.insert(frame.begin(), 0xFE);
  if (m.faultActive(ReplyFault::Late)) ans.delay += m.options.lateReplyDelay;
  const bool lose = m.faultActive(ReplyFault::LoseReply);
  m.consumeFaults();
  ans.printedLines = m.printed;
  if (m.options.pace) ans.delay += m.options.printTimePerLine * m.printed;
  if (!lose) ans.bytes = std::move(frame);
  return ans;
}

Answer Printer::exchange(std::span<const std::uint8_t> requestBytes) {
  std::optional<RequestFrame> frame;
  {
    std::lock_guard lock(impl_->mutex);
    impl_->reader.reset();
    for (std::uint8_t b : requestBytes) {
      if (auto f = impl_->reader.feed(b)) frame = std::move(f);
    }
    impl_->reader.reset();
  }
  if (!frame) return {};
  return answer(*frame);
}

PrinterState Printer::state() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->st;
}

void Printer::modify(const std::function<void(PrinterState&)>& change) {
  std::lock_guard lock(impl_->mutex);
  change(impl_->st);
  impl_->save();
}

StatusBytes Printer::statusBytes() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->stateStatus();
}

void Printer::setCondition(Condition c, bool on) {
  std::lock_guard lock(impl_->mutex);
  impl_->st.conditions[static_cast<std::size_t>(c)] = on;
}

void Printer::forceStatusBit(StatusBit b, bool on) {
  std::lock_guard lock(impl_->mutex);
  auto& byte = impl_->st.forcedStatus.at(static_cast<std::size_t>(b.byte));
  byte = on ? static_cast<std::uint8_t>(byte | b.mask) : static_cast<std::uint8_t>(byte & ~b.mask);
}

void Printer::injectReplyFault(ReplyFault f, int count) {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.push_back({f, count <= 0 ? -1 : count});
}

void Printer::clearReplyFaults() {
  std::lock_guard lock(impl_->mutex);
  impl_->faults.clear();
}

void Printer::setLateReplyDelay(std::chrono::milliseconds d) {
  std::lock_guard lock(impl_->mutex);
  impl_->options.lateReplyDelay = d;
}

void Printer::powerFailure() {
  std::lock_guard lock(impl_->mutex);
  impl_->powerCycle();
}

void Printer::setPowerLossPolicy(PowerLossPolicy p) {
  std::lock_guard lock(impl_->mutex);
  impl_->options.powerLoss = p;
}

std::string Printer::journal() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->journal;
}

std::vector<ClosedReceipt> Printer::closedReceipts() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->closed;
}

void Printer::save() const {
  std::lock_guard lock(impl_->mutex);
  impl_->save();
}

const PrinterOptions& Printer::options() const { return impl_->options; }

}  // namespace fpsim
