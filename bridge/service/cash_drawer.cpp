#include "service/cash_drawer.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/status.h"
#include "exchange/request_files.h"

namespace veltar {

using service_detail::CallLibrary;
using service_detail::FailureLog;
using service_detail::FailureRoute;
using service_detail::OneOf;
using service_detail::RunHandler;

namespace {

constexpr const char* kSignText =
    "In fata sumei introduse folositi '+' pentru introducere sau '-' pentru scoatere bani din "
    "casa";
constexpr const char* kLimitText = "Suma nu poate depasi ";
constexpr const char* kNoReplyText = "Lipsa comunicatie cu imprimanta.";
constexpr const char* kNoReplyTitle = "Tratare Erori POS";

// The printer keeps its amounts in 32 bits without sign.
constexpr int64_t kLargestPrinterAmount = 4294967295;

constexpr char kSumsReplyMark = 'D';
constexpr std::size_t kSumsReplyPrefix = 2;  // "D" and the character after it
constexpr char kSeparator = ',';

FailureRoute CodeAlone(const char* code) { return FailureRoute{code, FailureLog::CodeAlone}; }

RuntimeError TypeMismatch() { return RuntimeError(error_number::kTypeMismatch, "Type mismatch"); }

// The amount after the sign must be a plain decimal number with the point:
// digits, an optional point and digits. A second sign or anything else is
// no amount, so it can never reach the printer as part of one.
void RequirePlainNumber(std::string_view text) {
    bool digit = false;
    bool point = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            throw TypeMismatch();
        }
    }
    if (!digit) throw TypeMismatch();
}

// The typed amount in the printer's unit; nothing when it passes the largest
// amount the printer keeps.
std::optional<Amount> PrinterAmount(std::string_view typed, Amount factor) {
    RequirePlainNumber(typed);
    bool fits = true;
    const Amount amount = ReadLeadingNumber(typed, &fits);
    if (!fits) return std::nullopt;
    Amount product;
    try {
        product = amount * factor;
    } catch (const RuntimeError&) {
        return std::nullopt;  // too large for any amount, so far above the printer's
    }
    if (product > Amount::fromInt(kLargestPrinterAmount)) return std::nullopt;
    return product;
}

// One drawer sum of the reply, from the printer's unit.
Amount ReplySum(std::string_view text, Amount factor) {
    bool fits = true;
    const Amount value = ReadLeadingNumber(text, &fits);
    if (!fits) ThrowAmountOverflow();
    return value / factor;
}

}  // namespace

void SumaSertar::Load() { form_ = CashDrawerForm{}; }

bool SumaSertar::SExistKeyPress(char typed) {
    bool keep = false;
    RunHandler(ctx_, CodeAlone("19.003"), [&] {
        const char* allowed = ctx_.money.LeuGreu != 0 ? "+-1234567890." : "+-1234567890";
        keep = typed == kBackspaceChar || OneOf(typed, allowed);
    });
    return keep;
}

void SumaSertar::ExecutaButClick() {
    RunHandler(ctx_, CodeAlone("19.001"), [&] {
        CommandState& state = ctx_.command;
        WindowServices& ui = ctx_.services.ui;
        const Amount factor = ctx_.money.FactorLeu;
        ResetBuffers(state);

        // An empty amount only reads the totals.
        const std::string typed = TrimBlanks(form_.SExist);
        std::string payload;
        if (!typed.empty()) {
            const char sign = typed.front();
            if (sign != '+' && sign != '-') {
                ui.messageBox(kSignText, kTitleVeltarSpaced, Icon::Information, Buttons::Ok);
                return;
            }
            const std::optional<Amount> amount =
                PrinterAmount(std::string_view(typed).substr(1), factor);
            if (!amount) {
                ui.messageBox(kLimitText +
                                  FormatGeneral(Amount::fromInt(kLargestPrinterAmount) / factor) +
                                  " !",
                              kProgramTitle, Icon::None, Buttons::Ok);
                return;
            }
            payload = sign + FormatGeneral(*amount);
        }

        state.CodComanda = command_code::kCashInOut;
        state.ParametriComanda = payload;
        ResetBuffers(state);
        const int32_t result = CallLibrary(ctx_, [&] {
            return ctx_.services.kordal.InOutSume(ctx_.settings.ComPort, payload.c_str(),
                                                  state.BufRaspuns.data(),
                                                  state.BufStare.data());
        });
        if (result == library_result::kNoReply) {
            ui.messageBox(kNoReplyText, kNoReplyTitle, Icon::Error, Buttons::Ok);
            return;
        }
        if (result == library_result::kOk) {
            int32_t printerIndex = 0;
            std::string response = kShowBoxes;
            if (!VerificareExecutieComanda(ctx_, printerIndex, response)) return;
            TrateazaStareRaport(ctx_);

            std::string_view reply = state.BufRaspuns;
            reply = reply.substr(0, reply.find_last_not_of(' ') + 1);
            if (!reply.empty() && reply.front() == kSumsReplyMark) {
                reply.remove_prefix(std::min(kSumsReplyPrefix, reply.size()));
                const std::size_t first = reply.find(kSeparator);
                const std::size_t second =
                    first == std::string_view::npos ? first : reply.find(kSeparator, first + 1);
                if (second == std::string_view::npos) {
                    throw RuntimeError(error_number::kInvalidArgument,
                                       "Invalid procedure call or argument");
                }
                const Amount inDrawer = ReplySum(reply.substr(0, first), factor);
                const Amount putIn = ReplySum(reply.substr(first + 1, second - first - 1), factor);
                const Amount takenOut = ReplySum(reply.substr(second + 1), factor);
                form_.SExist = FormatGeneral(inDrawer);
                form_.SIntr = FormatGeneral(putIn);
                form_.SIes = FormatGeneral(takenOut);
            }
        }
        // The printer took the exchange, or the reply was damaged or the
        // amount refused: the drawer opens all the same.
        TrimiteComandaImp(ctx_, {}, command_code::kOpenDrawer);
    });
}

void SumaSertar::ExitButClick() {
    RunHandler(ctx_, CodeAlone("19.002"), [&] {
        ctx_.services.ui.closeWindow(Window::CashDrawer);
        ctx_.services.ui.showWindow(Window::Main);
    });
}

}  // namespace veltar
