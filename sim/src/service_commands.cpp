// Settings, identity, clock, drawer and the leu switch.
#include "engine.h"

namespace fpsim {

Outcome Printer::Impl::technicalReport() {
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

Outcome Printer::Impl::writeVatRates(const Bytes& p) {
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

Outcome Printer::Impl::writeIdentity(std::uint8_t code, const Bytes& p) {
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

Outcome Printer::Impl::readIdentity(std::uint8_t code) {
  Outcome o;
  switch (code) {
    case cmd::kReadFiscalSeries: o.text(st.identity.fiscalSeries); break;
    case cmd::kReadCompanyName: o.text(st.identity.companyName); break;
    case cmd::kReadCompanyAddress: o.text(st.identity.companyAddress); break;
    default: o.text(st.identity.fiscalCode); break;
  }
  return o;
}

Outcome Printer::Impl::headerFooter(const Bytes& p) {
  Outcome o;
  // Kind "A" or "S", a line number, ",", at most one printed line of text.
  if (p.size() < 3 || (p[0] != 'A' && p[0] != 'S') || p[2] != ',' ||
      p.size() - 3 > kLineWidth) {
    o.set(bit::kInvalidArguments);
  }
  return o;
}

Outcome Printer::Impl::posNumber(const Bytes& p) {
  Outcome o;
  if (p.size() > 1) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  st.posNumber = p.empty() ? 0 : p[0];
  o.changed = true;
  return o;
}

Outcome Printer::Impl::dayCounters() {
  Outcome o;
  const std::uint32_t receipts = st.dayReceipts > 0xFFFF ? 0xFFFF : st.dayReceipts;
  const std::uint32_t z = st.lastZNumber & 0xFFFF;
  o.data = {static_cast<std::uint8_t>(receipts >> 8), static_cast<std::uint8_t>(receipts),
            static_cast<std::uint8_t>(z >> 8), static_cast<std::uint8_t>(z)};
  return o;
}

Outcome Printer::Impl::fiscalize() {
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

Outcome Printer::Impl::readDateTime() {
  Outcome o;
  appendBcdDateTime(o.data, now());
  return o;
}

Outcome Printer::Impl::writeDateTime(const Bytes& p) {
  Outcome o;
  if (p.size() != 6) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  const auto fields = sixBcdFields(p);
  if (!fields) {
    o.set(bit::kInvalidArguments);
    return o;
  }
  const std::array<int, 6>& v = *fields;
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

Outcome Printer::Impl::drawerSums(const Bytes& p) {
  Outcome o;
  if (!p.empty()) {
    if (p.size() != 5 || (p[0] != '+' && p[0] != '-')) {
      o.set(bit::kInvalidArguments);
      return o;
    }
    const std::int64_t amount = readBigEndian(p, 1, 4);
    if (st.openReceipt || st.nonFiscalOpen) {
      refuseNoReceipt(o);
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
Bytes Printer::Impl::leuReply() const {
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

Outcome Printer::Impl::switchLeu() {
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

Outcome Printer::Impl::readVatRates() {
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

}  // namespace fpsim
