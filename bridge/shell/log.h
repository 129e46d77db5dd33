// Veltar.log, ERR.TXT and the standard failure path.
#pragma once

#include <cstdint>
#include <string>

#include "context.h"
#include "failure.h"

namespace veltar {

inline constexpr const char* kLogFile = "Veltar.log";
inline constexpr const char* kErrorFile = "ERR.TXT";

// Appends one line: "<date time>: ","<text>",<number> and CR LF.
void ScrieLog(Context& ctx, const std::string& text, int32_t number);

// Replaces ERR.TXT with the text (one line) and mirrors it to the log.
// Always returns false.
bool ScrieErrInFis(Context& ctx, const std::string& text);

// The standard failure path, used by every procedure that meets an unexpected
// failure: a box with the failure's description (OK button, the program's
// title) unless `showBox` is false, then a log line with the location code
// followed at once by the description (the code alone when
// `withDescription` is false), with the failure's number.
void StandardFailure(Context& ctx, const std::string& locationCode, const RuntimeError& failure,
                     bool showBox = true, bool withDescription = true);

}  // namespace veltar
