#include "text.h"

#include <cstdio>

namespace fpsim::text {

std::string columns(const std::string& left, const std::string& right, std::size_t width) {
  if (left.size() + right.size() + 1 > width) return left + " " + right;
  return left + std::string(width - left.size() - right.size(), ' ') + right;
}

std::string centered(const std::string& s, std::size_t width) {
  if (s.size() >= width) return s;
  return std::string((width - s.size()) / 2, ' ') + s;
}

std::string formatDate(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.day, t.month, t.year);
  return buf;
}

std::string formatTime(const DateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return buf;
}

std::string formatRate(int whole, int hundredths) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d.%02d", whole, hundredths);
  return buf;
}

std::string formatQuantity(std::int64_t millionths) {
  char buf[48];
  // Three decimals, as the roll shows them; the record keeps the exact millionths.
  const std::int64_t thousandths = (millionths + 500) / 1000;
  std::snprintf(buf, sizeof buf, "%lld.%03lld", static_cast<long long>(thousandths / 1000),
                static_cast<long long>(thousandths % 1000));
  return buf;
}

std::string receiptRecord(const ClosedReceipt& c) {
  std::string out = "RECEIPT\t" + std::to_string(c.number) + "\t" + formatDate(c.closed) + " " +
                    formatTime(c.closed) + "\t" + std::to_string(c.total()) + "\t" +
                    std::to_string(c.paid()) + "\t" + std::to_string(c.change) + "\n";
  for (const auto& l : c.lines) {
    out += "LINE\t" + l.name + "\t" + std::string(1, l.group) + "\t" +
           std::to_string(l.quantityMillionths) + "\t" + std::to_string(l.unitPrice) + "\t" +
           (l.negative ? "-" : "+") + "\t" + std::to_string(l.percentHundredths) + "\t" +
           std::to_string(l.value) + "\n";
  }
  for (const auto& a : c.adjustments) {
    out += "ADJUST\t" + std::string(1, a.group) + "\t" + (a.percentage ? "%" : "v") + "\t" +
           std::to_string(a.amountOrHundredths) + "\t" + std::to_string(a.value) + "\n";
  }
  for (const auto& p : c.payments) {
    out += "PAY\t" + std::string(1, p.mode) + "\t" + std::to_string(p.amount) + "\n";
  }
  out += "END\t" + std::to_string(c.number) + "\n";
  return out;
}

}  // namespace fpsim::text
