// The request and response files of the exchange-file interface, named once,
// and the small file, text and command helpers every handler shares.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "shell/context.h"
#include "shell/failure.h"

namespace veltar {

// Request files, in the order the polling tick tests them.
namespace request_file {
inline constexpr const char* kDisplayText = "FTEXT.TXT";
inline constexpr const char* kInterimReport = "RAPX.TXT";
inline constexpr const char* kDrawer = "SERTAR.TXT";
inline constexpr const char* kCash = "SUME.TXT";
inline constexpr const char* kFunction = "FCT.TXT";
inline constexpr const char* kDayEndReport = "RAPZ.TXT";
inline constexpr const char* kSale = "VANZARI.TXT";
inline constexpr const char* kNonFiscal = "NEFISCAL.TXT";
// Extra receipt lines of a sale, under either name (the first preferred).
inline constexpr const char* kDescription = "DESCRIERE.TXT";
inline constexpr const char* kDescriptionShort = "DESCRIER.TXT";
}  // namespace request_file

// Answers to the sales application. Each is replaced as a whole, never
// deleted and written again, so it is never seen missing or half-written.
namespace response_file {
inline constexpr const char* kReceiptNumber = "BON.TXT";
inline constexpr const char* kDayEndReport = "RSPRAPZ.TXT";
inline constexpr const char* kCash = "RSPSUME.TXT";
inline constexpr const char* kFunction = "FCTRSP.TXT";
}  // namespace response_file

inline constexpr const char* kVatRatesFile = "TVA.TXT";
inline constexpr const char* kArchiveDirectory = "Rap";

// Width of a printed receipt text line and of the customer display.
inline constexpr std::size_t kTextLineWidth = 40;

// The name on disk of an ordinary file whose name equals `name` ignoring
// case; nothing when there is none. Throws RuntimeError when the directory
// cannot be read.
std::optional<std::string> FindRequestFile(Context& ctx, const std::string& name);

// The first line of a file (empty for an empty file).
std::string ReadFirstLine(Context& ctx, const std::string& diskName);

// Deletes the file found under `name` (any case) when there is one.
void DeleteIfPresent(Context& ctx, const std::string& name);

// Replaces a response file, keeping the name on disk when one exists in
// another case, so the sales application never sees two answers.
void ReplaceResponseFile(Context& ctx, const std::string& name, const std::string& content);

// Sends one command with the payload through the shared command state, as
// every command of the bridge goes; true when the printer did it, else the
// failure text is in `response` (or shown, for "-").
bool SendCommand(Context& ctx, int32_t printerIndex, uint8_t code, const std::string& payload,
                 std::string& response);

// Runs one step whose failure only skips it: the next step runs.
template <typename Step>
void SkipOnFailure(Step&& step) {
    try {
        step();
    } catch (const RuntimeError&) {
    }
}

// Cut to `width` characters, or padded with blanks to it.
std::string FitToWidth(std::string_view text, std::size_t width);
// Without blanks at either end.
std::string TrimBlanks(std::string_view text);
// ASCII letters in upper case, as request names and payment modes compare.
std::string UpperCase(std::string text);

}  // namespace veltar
