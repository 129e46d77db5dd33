#include "persistence.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fpsim {
namespace {

constexpr const char* kMagic = "fpsim-state";
constexpr int kVersion = 1;

// Texts are code page 1250 bytes that may hold blanks: stored as hex ("-" when empty).
std::string hex(const std::string& s) {
  if (s.empty()) return "-";
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 0x0F];
  }
  return out;
}

std::string unhex(const std::string& h) {
  if (h == "-") return {};
  if (h.size() % 2 != 0) throw std::runtime_error("bad text field");
  std::string out;
  for (std::size_t i = 0; i < h.size(); i += 2) {
    out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::int64_t epoch(const DateTime& t) { return toEpochSeconds(t); }

}  // namespace

PrinterState freshState() {
  PrinterState s;
  s.fiscalized = true;
  s.identity = {"SC DEMO MAGAZIN SRL", "STR. EXEMPLU NR. 1, BUCURESTI", "RO1234567", "AB12345678"};
  s.vatRates = {{{19, 0}, {9, 0}, {5, 0}, {0, 0}}};
  s.vatRateChanges = 1;
  s.posNumber = 1;
  return s;
}

void saveState(const PrinterState& s, const std::string& path) {
  std::ostringstream o;
  o << kMagic << ' ' << kVersion << '\n';
  o << "fiscalized " << s.fiscalized << '\n';
  o << "identity " << hex(s.identity.companyName) << ' ' << hex(s.identity.companyAddress) << ' '
    << hex(s.identity.fiscalCode) << ' ' << hex(s.identity.fiscalSeries) << '\n';
  o << "vat";
  for (const auto& r : s.vatRates) o << ' ' << r.whole << ' ' << r.hundredths;
  o << '\n';
  o << "vatChanges " << s.vatRateChanges << '\n';
  o << "leu " << s.redenominated << ' ' << epoch(s.redenominatedAt) << ' ' << s.redenominatedZ
    << '\n';
  o << "pos " << int{s.posNumber} << '\n';
  o << "lastReceipt " << s.lastReceiptNumber << '\n';
  o << "lastZ " << s.lastZNumber << '\n';
  o << "fmCapacity " << s.fiscalMemoryCapacity << '\n';
  for (const auto& z : s.fiscalMemory) {
    o << "z " << z.number << ' ' << epoch(z.date);
    for (auto g : z.groupTotals) o << ' ' << g;
    o << ' ' << z.total << ' ' << z.vat << ' ' << z.receipts << '\n';
  }
  o << "drawer " << s.drawer.inDrawer << ' ' << s.drawer.putIn << ' ' << s.drawer.takenOut << '\n';
  o << "day";
  for (auto g : s.dayGroupTotals) o << ' ' << g;
  o << ' ' << s.dayVat << ' ' << s.dayReceipts << ' '
    << (s.dayFirstReceipt ? std::to_string(epoch(*s.dayFirstReceipt)) : "none") << '\n';
  o << "clockOffset " << s.clockOffsetSeconds << '\n';
  o << "drawerOpenings " << s.drawerOpenings << '\n';
  o << "nonFiscalOpen " << s.nonFiscalOpen << '\n';
  o << "powerLatch " << s.powerFailedInReceipt << '\n';
  if (s.openReceipt) {
    const Receipt& r = *s.openReceipt;
    o << "receipt " << r.number << ' ' << epoch(r.opened) << ' ' << r.totalled << '\n';
    for (const auto& l : r.lines) {
      o << "line " << hex(l.name) << ' ' << groupIndex(l.group) << ' ' << l.quantityMillionths
        << ' ' << l.unitPrice << ' ' << l.negative << ' ' << l.percentHundredths << ' '
        << l.value << '\n';
    }
    for (const auto& a : r.adjustments) {
      o << "adjust " << groupIndex(a.group) << ' ' << a.percentage << ' ' << a.amountOrHundredths
        << ' ' << a.value << '\n';
    }
    for (const auto& p : r.payments) o << "pay " << p.mode << ' ' << p.amount << '\n';
  }
  o << "end\n";

  const std::string tmp = path + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc | std::ios::binary);
    f << o.str();
    f.flush();
    if (!f) throw std::runtime_error("cannot write " + tmp);
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    throw std::runtime_error("cannot replace " + path);
  }
}

std::optional<PrinterState> loadState(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return std::nullopt;
  PrinterState s = freshState();
  s.fiscalMemory.clear();
  std::string line;
  bool sawMagic = false;
  bool sawEnd = false;
  auto fail = [&](const std::string& why) {
    throw std::runtime_error("state file " + path + " is damaged: " + why);
  };
  auto group = [&](int i) {
    if (i < 0 || i >= kGroupCount) fail("VAT group");
    return groupLetter(i);
  };
  while (std::getline(f, line)) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (!sawMagic) {
      int version = 0;
      if (key != kMagic || !(in >> version) || version != kVersion) fail("not a state file");
      sawMagic = true;
      continue;
    }
    std::int64_t t = 0;
    if (key == "fiscalized") {
      in >> s.fiscalized;
    } else if (key == "identity") {
      std::string a, b, c, d;
      in >> a >> b >> c >> d;
      s.identity = {unhex(a), unhex(b), unhex(c), unhex(d)};
    } else if (key == "vat") {
      for (auto& r : s.vatRates) in >> r.whole >> r.hundredths;
    } else if (key == "vatChanges") {
      in >> s.vatRateChanges;
    } else if (key == "leu") {
      in >> s.redenominated >> t >> s.redenominatedZ;
      s.redenominatedAt = fromEpochSeconds(t);
    } else if (key == "pos") {
      int pos = 0;
      in >> pos;
      s.posNumber = static_cast<std::uint8_t>(pos);
    } else if (key == "lastReceipt") {
      in >> s.lastReceiptNumber;
    } else if (key == "lastZ") {
      in >> s.lastZNumber;
    } else if (key == "fmCapacity") {
      in >> s.fiscalMemoryCapacity;
    } else if (key == "z") {
      ZRecord z;
      in >> z.number >> t;
      z.date = fromEpochSeconds(t);
      for (auto& g : z.groupTotals) in >> g;
      in >> z.total >> z.vat >> z.receipts;
      s.fiscalMemory.push_back(z);
    } else if (key == "drawer") {
      in >> s.drawer.inDrawer >> s.drawer.putIn >> s.drawer.takenOut;
    } else if (key == "day") {
      std::string first;
      for (auto& g : s.dayGroupTotals) in >> g;
      in >> s.dayVat >> s.dayReceipts >> first;
      if (first != "none") s.dayFirstReceipt = fromEpochSeconds(std::stoll(first));
    } else if (key == "clockOffset") {
      in >> s.clockOffsetSeconds;
    } else if (key == "drawerOpenings") {
      in >> s.drawerOpenings;
    } else if (key == "nonFiscalOpen") {
      in >> s.nonFiscalOpen;
    } else if (key == "powerLatch") {
      in >> s.powerFailedInReceipt;
    } else if (key == "receipt") {
      Receipt r;
      in >> r.number >> t >> r.totalled;
      r.opened = fromEpochSeconds(t);
      s.openReceipt = r;
    } else if (key == "line" || key == "adjust" || key == "pay") {
      if (!s.openReceipt) fail(key + " outside a receipt");
      if (key == "line") {
        SaleLine l;
        std::string name;
        int g = 0;
        in >> name >> g >> l.quantityMillionths >> l.unitPrice >> l.negative >>
            l.percentHundredths >> l.value;
        l.name = unhex(name);
        l.group = group(g);
        s.openReceipt->lines.push_back(l);
      } else if (key == "adjust") {
        Adjustment a;
        int g = 0;
        in >> g >> a.percentage >> a.amountOrHundredths >> a.value;
        a.group = group(g);
        s.openReceipt->adjustments.push_back(a);
      } else {
        Payment p;
        in >> p.mode >> p.amount;
        s.openReceipt->payments.push_back(p);
      }
    } else if (key == "end") {
      sawEnd = true;
      break;
    } else {
      fail("unknown line '" + key + "'");
    }
    if (in.fail()) fail("line '" + key + "'");
  }
  if (!sawEnd) fail("it ends early");
  return s;
}

}  // namespace fpsim
