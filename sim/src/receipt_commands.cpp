// Fiscal and non-fiscal receipts, text lines and the customer display.
#include "engine.h"

namespace fpsim {

// The fifth field is the open receipt's number, or the last one opened when
// none is open: after the reply to an open command was lost, it is the only
// way to learn which number the receipt got.
Outcome Printer::Impl::transactionState() {
  Outcome o;
  int digit = 0;
  std::size_t lines = 0;
  std::int64_t total = 0;
  std::int64_t paid = 0;
  std::uint32_t number = st.lastReceiptNumber;
  if (st.openReceipt) {
    const Receipt& r = *st.openReceipt;
    digit = r.fullyPaid() ? 2 : 1;
    lines = r.lines.size();
    total = r.total();
    paid = r.paid();
    number = r.number;
  }
  o.text(std::to_string(digit) + "," + std::to_string(lines) + "," + std::to_string(total) +
         "," + std::to_string(paid) + "," + std::to_string(number) + ",");
  return o;
}

Outcome Printer::Impl::openFiscalReceipt(const Bytes& p) {
  Outcome o;
  if (!p.empty() && p.size() != 2) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  if (refuseFiscalReceiptCommand(o)) return o;
  if (st.openReceipt || st.nonFiscalOpen || day24HoursPassed() || fiscalMemoryFull() ||
      condition(Condition::InvalidVatRates) || condition(Condition::DateTimeLost)) {
    refuseNoReceipt(o);
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
Outcome Printer::Impl::saleLine(const Bytes& p) {
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
  if (refuseFiscalReceiptCommand(o) || printBlocked()) return o;
  // The largest quantity times the largest price does not fit 64 bits: a line
  // whose value would pass the register limit is refused before it is multiplied.
  if (!givenValue && line.unitPrice != 0 &&
      line.quantityMillionths > (kMaxAmount * 1'000'000 + 500'000) / line.unitPrice) {
    o.set(bit::kAmountOverflow);
    return o;
  }
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

Outcome Printer::Impl::subtotal(const Bytes& p) {
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
Outcome Printer::Impl::totalPayment(const Bytes& p) {
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
  if (refuseFiscalReceiptCommand(o) || printBlocked()) return o;
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

std::int64_t Printer::Impl::groupTotal(const Receipt& r, int g) {
  std::int64_t sum = 0;
  for (const auto& l : r.lines) {
    if (groupIndex(l.group) == g) sum += l.value;
  }
  for (const auto& a : r.adjustments) {
    if (groupIndex(a.group) == g) sum += a.value;
  }
  return sum;
}

Outcome Printer::Impl::closeFiscalReceipt() {
  Outcome o;
  if (!st.openReceipt) return o;  // nothing open: already closed
  if (st.powerFailedInReceipt) {
    // The first close after a power failure only reports it; the receipt stays
    // open so that the caller can check how far it got before closing it.
    st.powerFailedInReceipt = false;
    o.set(bit::kPowerFailedInReceipt);
    return o;
  }
  if (refuseFiscalReceiptCommand(o) || printBlocked()) return o;
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
  bookOpenReceipt();
  o.changed = true;
  return o;
}

void Printer::Impl::bookOpenReceipt() {
  const Receipt& r = *st.openReceipt;
  const std::int64_t total = r.total();
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
}

void Printer::Impl::appendReceiptRecord(const ClosedReceipt& c) {
  const std::string path = receiptsFile();
  if (path.empty()) return;
  std::ofstream f(path, std::ios::app | std::ios::binary);
  f << text::receiptRecord(c);
}

Outcome Printer::Impl::displayText(const Bytes& p) {
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

Outcome Printer::Impl::openNonFiscal() {
  Outcome o;
  if (st.openReceipt || st.nonFiscalOpen) {
    refuseNoReceipt(o);
    return o;
  }
  if (printBlocked()) return o;
  st.nonFiscalOpen = true;
  print(text::centered("BON NEFISCAL", kLineWidth));
  return o;
}

Outcome Printer::Impl::printText(const Bytes& p) {
  Outcome o;
  if (p.size() > kLineWidth) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  if (printBlocked()) return o;
  print(std::string(p.begin(), p.end()));
  return o;
}

Outcome Printer::Impl::closeNonFiscal() {
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

// Markup or discount on the receipt: "," ["r"] group whole hundredths, or
// ":" (markup) / ";" (discount) group amount(8).
Outcome Printer::Impl::markupDiscount(const Bytes& p) {
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
  if (refuseFiscalReceiptCommand(o) || printBlocked()) return o;
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

}  // namespace fpsim
