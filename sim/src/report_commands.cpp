// The X, day-end and periodic reports.
#include "engine.h"

namespace fpsim {

// Start date, end date (day, month, year, packed decimal) and "e" or "c".
Outcome Printer::Impl::periodicReport(const Bytes& p) {
  Outcome o;
  if (p.size() != 7 || (p[6] != 'e' && p[6] != 'c')) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  const auto fields = sixBcdFields(p);
  if (!fields) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  const std::array<int, 6>& v = *fields;
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

// The reply of both reports: counter A (the Z number), the turnover of groups
// A to D and of the exempt group, the day's total (hundredths of the price
// unit, 20 characters each), counter B (the day's receipts), the date.
Bytes Printer::Impl::reportReply(std::uint32_t zNumber, const DateTime& t) const {
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

void Printer::Impl::printDayTotals() {
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

Outcome Printer::Impl::report(const Bytes& p) {
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

}  // namespace fpsim
