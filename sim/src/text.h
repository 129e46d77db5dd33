// Formatting of what the printer prints and records.
#pragma once

#include <cstdint>
#include <string>

#include "fpsim/printer.h"

namespace fpsim::text {

// `left` and `right` on one line of `width` characters, right aligned.
std::string columns(const std::string& left, const std::string& right, std::size_t width);
std::string centered(const std::string& s, std::size_t width);
std::string formatDate(const DateTime& t);  // dd.mm.yyyy
std::string formatTime(const DateTime& t);  // HH:MM:SS
std::string formatRate(int whole, int hundredths);  // 19.00
std::string formatQuantity(std::int64_t millionths);  // 1.500
// The machine-readable record of one closed receipt (see docs: tab-separated lines).
std::string receiptRecord(const ClosedReceipt& c);

}  // namespace fpsim::text
