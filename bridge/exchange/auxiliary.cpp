#include "exchange/auxiliary.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "command/sale.h"
#include "exchange/request_files.h"
#include "shell/amount.h"
#include "shell/datetime.h"
#include "shell/failure.h"
#include "shell/services.h"

namespace veltar {

namespace {

constexpr const char* kLineEnd = "\r\n";
// The display command's prefix: customer display, first line.
constexpr const char* kDisplayPrefix = "\x01\x01";
// A non-fiscal line of just this (blanks around it ignored) starts a new receipt.
constexpr const char* kNewReceiptMark = "$";
constexpr std::size_t kStatusCharacters = 8;  // S0..S7 in BufStare

// Sends and shows the failure text to the operator.
void SendShowingFailure(Context& ctx, uint8_t code, const std::string& payload,
                        std::string& response) {
    if (!SendCommand(ctx, 0, code, payload, response)) WriteDisplay(ctx, response);
}

// A number the way the bridge prints one into a text file: a blank where a
// minus sign would stand, the number, a blank.
std::string PrintedNumber(Amount value, char decimal) {
    const std::string digits = FormatGeneral(value, decimal);
    return (value.raw < 0 ? digits : " " + digits) + " ";
}

bool IsFunctionAccepted(int64_t code) {
    switch (code) {
        case command_code::kTransactionState:
        case command_code::kPrinterStatus:
        case command_code::kDisplayText:
        case command_code::kReadDateTime:
        case command_code::kAfterDateTime:
        case command_code::kOpenDrawer:
            return true;
        default:
            return false;
    }
}

// The reply data as text: up to its first zero byte (where the library ends
// the data), without blanks around it.
std::string ReplyText(const std::string& reply) {
    const std::size_t end = reply.find('\0');
    if (end == std::string::npos) return TrimBlanks(reply);
    return TrimBlanks(std::string_view(reply).substr(0, end));
}

std::string StatusCharacters(const CommandState& state) {
    return state.BufStare.substr(0, kStatusCharacters);
}

}  // namespace

void HandleDisplayText(Context& ctx) {
    const std::optional<std::string> request = FindRequestFile(ctx, request_file::kDisplayText);
    if (!request) return;
    const std::string text = ReadFirstLine(ctx, *request);
    ctx.services.files.remove(*request);
    // The customer display shows what it gets; a failure there is not worth a box.
    std::string response;
    SendCommand(ctx, 0, command_code::kDisplayText,
                kDisplayPrefix + FitToWidth(text, kTextLineWidth), response);
}

void HandleDrawer(Context& ctx) {
    const std::optional<std::string> request = FindRequestFile(ctx, request_file::kDrawer);
    if (!request) return;
    std::string response;
    SendShowingFailure(ctx, command_code::kOpenDrawer, {}, response);
    ctx.services.files.remove(*request);
}

// The cash and function requests skip a failing step: the answer file and
// the deletion of the request still follow.
void HandleCash(Context& ctx) {
    const std::optional<std::string> request = FindRequestFile(ctx, request_file::kCash);
    if (!request) return;

    Amount amount;
    SkipOnFailure([&] {
        bool fits = true;
        const Amount read = ReadLeadingNumber(ReadFirstLine(ctx, *request), &fits);
        if (!fits) throw RuntimeError(error_number::kOverflow, "Overflow");
        amount = read;
    });

    // The sums stay 0 when the printer does not give them.
    Amount inDrawer;
    Amount putIn;
    Amount takenOut;
    SkipOnFailure([&] {
        int32_t printerIndex = 0;
        std::string response;
        if (!fctInOutSertar(ctx, printerIndex, amount, inDrawer, putIn, takenOut, response)) {
            WriteDisplay(ctx, response);
        }
    });

    SkipOnFailure([&] { ctx.services.files.remove(*request); });
    SkipOnFailure([&] {
        ReplaceResponseFile(ctx, response_file::kCash,
                            PrintedNumber(inDrawer, ctx.regional.decimal) + kLineEnd);
    });
}

void HandleFunction(Context& ctx) {
    const std::optional<std::string> request = FindRequestFile(ctx, request_file::kFunction);
    if (!request) return;

    std::string line;
    SkipOnFailure([&] { line = ReadFirstLine(ctx, *request); });
    std::string codeText = line;
    std::string parameter;
    if (const std::size_t comma = line.find(','); comma != std::string::npos) {
        codeText = line.substr(0, comma);
        parameter = TrimBlanks(std::string_view(line).substr(comma + 1));
    }
    bool fits = true;
    const Amount codeValue = ReadLeadingNumber(codeText, &fits);
    const int64_t code = fits ? codeValue.roundToInteger() : -1;

    if (IsFunctionAccepted(code)) {
        std::optional<std::string> answer;
        SkipOnFailure([&] {
            std::string response;
            CommandState& state = ctx.command;
            if (code == command_code::kReadDateTime) {
                int32_t printerIndex = 0;
                DateTime printerTime;  // the zero date when the printer gives none
                if (!CitesteDataOraImp(ctx, printerIndex, printerTime, response)) {
                    WriteDisplay(ctx, response);
                }
                answer = StatusCharacters(state) + "," + FormatShortDate(printerTime) + " " +
                         FormatLongTime(printerTime);
            } else {
                const uint8_t command = static_cast<uint8_t>(code);
                // The display text goes as written, without the line prefix
                // FTEXT.TXT adds: the sales application chooses it here.
                const std::string payload =
                    command == command_code::kDisplayText ? parameter : std::string();
                SendShowingFailure(ctx, command, payload, response);
                std::string reply = StatusCharacters(state);
                if (const std::string text = ReplyText(state.BufRaspuns); !text.empty()) {
                    reply += "," + text;
                }
                answer = reply;
            }
        });
        if (answer) {
            SkipOnFailure([&] {
                ReplaceResponseFile(ctx, response_file::kFunction, *answer + kLineEnd);
            });
        }
    }

    SkipOnFailure([&] { ctx.services.files.remove(*request); });
}

void TiparesteNefiscal(Context& ctx) {
    try {
        const std::optional<std::string> request =
            FindRequestFile(ctx, request_file::kNonFiscal);
        if (!request) return;
        ctx.services.ui.setPollingTimer(false);
        // Read whole before the receipt opens: a file that cannot be read
        // leaves no non-fiscal receipt open on the printer.
        const std::vector<std::string> lines = ctx.services.files.readLines(*request);

        // One response for the whole receipt, as every command of it reports
        // the same way.
        std::string response;
        SendShowingFailure(ctx, command_code::kOpenNonFiscalReceipt, {}, response);
        for (const std::string& line : lines) {
            const std::string text = line.substr(0, kTextLineWidth);
            if (TrimBlanks(text) == kNewReceiptMark) {
                SendShowingFailure(ctx, command_code::kCloseNonFiscalReceipt, {}, response);
                SendShowingFailure(ctx, command_code::kOpenNonFiscalReceipt, {}, response);
            } else {
                SendShowingFailure(ctx, command_code::kPrintLine, text, response);
            }
        }
        SendShowingFailure(ctx, command_code::kCloseNonFiscalReceipt, {}, response);
        ctx.services.files.remove(*request);
        ctx.services.ui.setPollingTimer(true);
    } catch (const RuntimeError& failure) {
        // The file stays and is printed anew from its first line; the tick
        // switches polling on again.
        ctx.services.ui.messageBox(failure.description(), kProgramTitle, Icon::None,
                                   Buttons::Ok);
    }
}

}  // namespace veltar
