// Conf.ini and the start-up's reading of the settings.
#pragma once

#include <cstdint>
#include <string>

#include "context.h"

namespace veltar {

inline constexpr const char* kConfFile = "Conf.ini";
inline constexpr const char* kConfSection = "Mag";
inline constexpr const char* kOldPortFile = "COMPORT.ini";
inline constexpr const char* kOldMultiplierFile = "Multiplu.ini";

// One key of Conf.ini; the empty text when the file, section or key is missing.
std::string CitesteIni(Context& ctx, const std::string& section, const std::string& key);
// Writes one key; non-zero on success, 0 on failure, -1 (with a box) when the
// key or the value is longer than 255 characters. A key or value that would
// break the file's line structure (a line break, "=" in the key) is a failure.
int32_t ScrieIni(Context& ctx, const std::string& section, const std::string& key,
                 const std::string& value);

// Steps 2 to 5 of the start-up: the result-code texts, then Conf.ini (or the
// older COMPORT.ini and Multiplu.ini) into ctx.settings.
void ReadStartupSettings(Context& ctx);

}  // namespace veltar
