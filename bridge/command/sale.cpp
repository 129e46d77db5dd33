#include "command/sale.h"

#include <stdexcept>

#include "command/codes.h"
#include "command/exchange.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr char kSeparator = ',';

// The group letter "E" (exempt) is no printer group; the printer takes it as blank.
constexpr const char* kExemptGroup = "E";
constexpr char kBlankGroup = ' ';
constexpr std::size_t kDisplayTextSize = 10;

// The reply to a cash command that carries the drawer sums starts with "D,".
constexpr char kSumsReplyMark = 'D';
constexpr std::size_t kSumsReplyPrefix = 2;

std::string TwoDigits(int64_t value) {
    const std::string text = "00" + std::to_string(value);
    return text.substr(text.size() - 2);
}

// ",", "-" for a discount, two digits of whole percent and two of hundredths.
std::string PercentSuffix(Amount percent) {
    const int64_t hundredths = percent.abs().roundTo(2).raw / (Amount::kScale / 100);
    std::string suffix(1, kSeparator);
    if (percent.raw < 0) {
        suffix += '-';
    }
    return suffix + TwoDigits(hundredths / 100) + TwoDigits(hundredths % 100);
}

// One sum of the drawer reply: the leading number, in the printer's unit.
Amount ReadDrawerSum(std::string_view text, Amount factor) {
    bool fits = true;
    const Amount value = ReadLeadingNumber(text, &fits);
    if (!fits) {
        throw RuntimeError(error_number::kOverflow, "Overflow");
    }
    return value / factor;
}

RuntimeError InvalidArgument() {
    return RuntimeError(error_number::kInvalidArgument, "Invalid procedure call or argument");
}

}  // namespace

bool VanzareMarfa(Context& ctx, std::string& response) {
    CommandState& state = ctx.command;
    SaleLine& line = ctx.sale;
    try {
        if (line.GrupaTVA.empty()) {
            throw InvalidArgument();
        }
        const char kind = line.GrupaTVA == kExemptGroup ? kBlankGroup : line.GrupaTVA[0];
        const char decimal = ctx.regional.decimal;
        const std::string quantity = FormatGeneral(line.CantitateArticol, decimal);
        state.ParametriComanda =
            (line.LinieNegativa ? "-" : "+") + FormatGeneral(line.PretArticol, decimal);
        if (line.ProcentActiv == 1 && line.ProcentArticol.raw != 0) {
            state.ParametriComanda += PercentSuffix(line.ProcentArticol);
        }
        if (line.DenumireArticol.size() > kArticleNameMax) {
            line.DenumireArticol.resize(kArticleNameMax);
        }
        const std::string display(kDisplayTextSize, ' ');
        ResetBuffers(state);
        try {
            state.RezultatComanda = ctx.services.kordal.VanzareAfisareMarfa(
                ctx.settings.ComPort, line.DenumireArticol.c_str(),
                static_cast<unsigned char>(kind), quantity.c_str(), state.ParametriComanda.c_str(),
                display.c_str(), state.BufRaspuns.data(), state.BufStare.data());
        } catch (const RuntimeError&) {
            state.RezultatComanda = library_result::kNoReply;
            throw;
        }

        const int32_t result = state.RezultatComanda;
        if (result == library_result::kOk) {
            int32_t printerIndex = 0;
            const bool accepted = JudgeAcceptedReply(ctx, printerIndex, response);
            if (accepted) {
                line.ProcentActiv = 0;
            }
            return accepted;
        }
        if (IsExchangeFailure(result)) {
            ReportExchangeFailure(ctx, response, result);
            return false;
        }
        if (result == library_result::kArgMissing) {
            ReportProblem(ctx, response, "Lipsa text descriere produs", kTitleVeltarSpaced,
                          Icon::Error);
            return false;
        }
        if (result == library_result::kArgKind) {
            ReportProblem(ctx, response, "Cote TVA invalide", kTitleVeltarSpaced, Icon::Error);
            return false;
        }
        // A quantity or value the library refuses: the line is dropped, so its
        // percentage must not stick to the next one.
        line.ProcentActiv = 0;
        return false;
    } catch (const RuntimeError& failure) {
        const DateTime now = ctx.services.clock.now();
        const std::string logText = "Fct VanzareMarfa err: " + failure.description() +
                                    " , comanda=" + std::to_string(state.CodComanda) +
                                    " Data:" + FormatShortDate(now) + "/" + FormatLongTime(now);
        StandardFailure(ctx, logText, failure, true, false);
    }
    return false;
}

bool fctInOutSertar(Context& ctx, int32_t& printerIndex, Amount& amount, Amount& sumInDrawer,
                    Amount& sumPutIn, Amount& sumTakenOut, std::string& response) {
    CommandState& state = ctx.command;
    try {
        ResetBuffers(state);
        std::string payload;
        if (amount.raw != 0) {
            payload = (amount.raw > 0 ? "+" : "-") +
                      FormatGeneral(amount.abs() * ctx.money.FactorLeu, ctx.regional.decimal);
        }
        int32_t port = 0;
        try {
            port = state.PorturiImprimanta.at(static_cast<std::size_t>(printerIndex));
        } catch (const std::out_of_range&) {
            throw RuntimeError(error_number::kOutOfRange, "Subscript out of range");
        }
        try {
            state.RezultatComanda = ctx.services.kordal.InOutSume(
                port, payload.c_str(), state.BufRaspuns.data(), state.BufStare.data());
        } catch (const RuntimeError&) {
            state.RezultatComanda = library_result::kNoReply;
            throw;
        }

        const int32_t result = state.RezultatComanda;
        if (result == library_result::kOk) {
            if (!JudgeAcceptedReply(ctx, printerIndex, response)) {
                return false;
            }
            if (state.BufRaspuns.front() == kSumsReplyMark) {
                std::string_view text = state.BufRaspuns;
                text = text.substr(0, text.find_last_not_of(' ') + 1);
                text.remove_prefix(std::min(kSumsReplyPrefix, text.size()));
                const auto first = text.find(kSeparator);
                if (first == std::string_view::npos) {
                    throw InvalidArgument();
                }
                const auto second = text.find(kSeparator, first + 1);
                if (second == std::string_view::npos) {
                    throw InvalidArgument();
                }
                const Amount factor = ctx.money.FactorLeu;
                const Amount inDrawer = ReadDrawerSum(text.substr(0, first), factor);
                const Amount putIn =
                    ReadDrawerSum(text.substr(first + 1, second - first - 1), factor);
                const Amount takenOut = ReadDrawerSum(text.substr(second + 1), factor);
                sumInDrawer = inDrawer;
                sumPutIn = putIn;
                sumTakenOut = takenOut;
            }
            return true;
        }
        if (IsExchangeFailure(result)) {
            ReportExchangeFailure(ctx, response, result);
            return false;
        }
        // The library refused the amount text and sent nothing: the cash did
        // not move, so the sales application must not be told it did.
        throw RuntimeError(
            error_number::kInvalidArgument,
            "Suma nu poate fi trimisa la imprimanta! (rezultat " + std::to_string(result) + ")");
    } catch (const RuntimeError& failure) {
        response = failure.description();
        ScrieLog(ctx, "fctInOutSertar: " + failure.description(), failure.number());
    }
    return false;
}

}  // namespace veltar
