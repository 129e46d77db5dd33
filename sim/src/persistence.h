// The state file: the printer's memory across restarts.
#pragma once

#include <optional>
#include <string>

#include "fpsim/printer.h"

namespace fpsim {

// A new printer: fiscalized, identity and VAT rates set, so a bridge can trade at once.
PrinterState freshState();
// Writes atomically (a temporary file renamed over the old one); throws on failure.
void saveState(const PrinterState& s, const std::string& path);
// nullopt when the file does not exist; throws std::runtime_error when it is damaged.
std::optional<PrinterState> loadState(const std::string& path);

}  // namespace fpsim
