#include "command/queries.h"

#include <limits>
#include <string_view>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/status.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr const char* kPowerFailureText = "Cadere de tensiune! Bonul va fi recuperat!";
constexpr std::size_t kHeaderLineCount = 3;

// Layout of the leu-state reply (commands 51 and 52), offsets into BufRaspuns.
constexpr std::size_t kLeuStateAt = 0;
constexpr std::size_t kLeuSwitchTimeAt = 1;
constexpr std::size_t kLeuZNumberAt = 7;
constexpr uint8_t kLeuRedenominated = 0x00;

RuntimeError Overflow() {
    return RuntimeError(error_number::kOverflow, "Overflow");
}
RuntimeError TypeMismatch() {
    return RuntimeError(error_number::kTypeMismatch, "Type mismatch");
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsCalendarDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) {
        return false;
    }
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

uint8_t ByteAt(const std::string& data, std::size_t at) {
    if (at >= data.size()) {
        throw RuntimeError(error_number::kOutOfRange, "Subscript out of range");
    }
    return static_cast<uint8_t>(data[at]);
}

// Six packed-BCD bytes from `at` on: seconds, minutes, hours, day, month,
// two-digit year. A date or time part that does not read (a half above 9, or
// no such day or hour) is logged and left at zero, the empty date 30.12.1899
// or midnight, so the caller still gets the other part.
DateTime ReadPrinterDateTime(Context& ctx, const std::string& logPrefix, const std::string& data,
                             std::size_t at) {
    DateTime result;
    try {
        const int day = FromPackedBcd(ByteAt(data, at + 3));
        const int month = FromPackedBcd(ByteAt(data, at + 4));
        const int year = DateTime::expandTwoDigitYear(FromPackedBcd(ByteAt(data, at + 5)));
        if (!IsCalendarDate(year, month, day)) {
            throw TypeMismatch();
        }
        result.year = year;
        result.month = month;
        result.day = day;
    } catch (const RuntimeError& failure) {
        ScrieLog(ctx, logPrefix + failure.description(), failure.number());
    }
    try {
        const int second = FromPackedBcd(ByteAt(data, at));
        const int minute = FromPackedBcd(ByteAt(data, at + 1));
        const int hour = FromPackedBcd(ByteAt(data, at + 2));
        if (hour > 23 || minute > 59 || second > 59) {
            throw TypeMismatch();
        }
        result.hour = hour;
        result.minute = minute;
        result.second = second;
    } catch (const RuntimeError& failure) {
        ScrieLog(ctx, logPrefix + failure.description(), failure.number());
    }
    return result;
}

// Steps shared by the leu read and the leu switch once the reply is judged:
// LeuGreu from data byte 1 and, after a switch, its date-time and Z number.
void ReadLeuState(Context& ctx, const std::string& logPrefix, DateTime& switchTime,
                  int32_t& switchZNumber) {
    // A copy, so that BufRaspuns keeps its 251 characters for the caller.
    const std::string data = ctx.command.BufRaspuns;
    ctx.money.LeuGreu = ByteAt(data, kLeuStateAt) == kLeuRedenominated ? 1 : 0;
    if (ctx.money.LeuGreu == 1) {
        switchTime = ReadPrinterDateTime(ctx, logPrefix, data, kLeuSwitchTimeAt);
        switchZNumber = ByteAt(data, kLeuZNumberAt) * 256 + ByteAt(data, kLeuZNumberAt + 1);
    }
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

void LogWithPrefix(Context& ctx, const std::string& prefix, const RuntimeError& failure) {
    ScrieLog(ctx, prefix + failure.description(), failure.number());
}

}  // namespace

bool DeschideBonFiscal(Context& ctx, int32_t& printerIndex, int32_t& receiptNumber,
                       std::string& response) {
    CommandState& state = ctx.command;
    try {
        ResetBuffers(state);
        state.ParametriComanda = std::string{'\x01', '\x01'};
        state.CodComanda = command_code::kOpenFiscalReceipt;
        if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda,
                            response)) {
            return false;
        }
        bool fits = true;
        const Amount number = ReadLeadingNumber(state.BufRaspuns, &fits);
        if (!fits) {
            throw Overflow();
        }
        const int64_t whole = number.roundToInteger();
        if (whole < std::numeric_limits<int32_t>::min() ||
            whole > std::numeric_limits<int32_t>::max()) {
            throw Overflow();
        }
        receiptNumber = static_cast<int32_t>(whole);
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, "", failure);
        return false;
    }

    // The receipt is open: a header line that does not print must not undo that.
    for (std::size_t line = 1; line <= kHeaderLineCount; ++line) {
        try {
            state.BufStare.assign(CommandState::kStatusSize, ' ');
            const std::string& text = ctx.LiniiHeaderFooter[line];
            if (!TrimBlanks(text).empty()) {
                state.ParametriComanda = text;
                state.CodComanda = command_code::kPrintLine;
                ExecutaComanda(ctx, printerIndex, text, command_code::kPrintLine, response);
            }
        } catch (const RuntimeError&) {
        }
    }
    return true;
}

uint8_t VerificareStareImprimantaVinzare(Context& ctx, int32_t& printerIndex,
                                         std::string& response) {
    CommandState& state = ctx.command;
    uint8_t result = sale_state::kQueryFailed;
    try {
        state.ParametriComanda.clear();
        state.CodComanda = command_code::kTransactionState;
        if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda,
                            response)) {
            return result;
        }
        if (IsSet(state, status_bit::kFiscalReceiptOpen)) {
            result = sale_state::kReceiptOpen;
            return result;
        }
        // Stored whatever the response held: the caller shows it to explain the reprint.
        response = "A avut loc o cadere de tensiune! Bonul va fi retiparit";
        result = sale_state::kReceiptLost;
    } catch (const RuntimeError& failure) {
        const DateTime now = ctx.services.clock.now();
        ScrieLog(ctx,
                 "VerificareStareImprimantaVinzare: " + failure.description() + " " +
                     FormatShortDate(now) + "/" + FormatLongTime(now),
                 failure.number());
    }
    return result;
}

bool CitesteDataOraImp(Context& ctx, int32_t& printerIndex, DateTime& dateTime,
                       std::string& response) {
    const std::string prefix = "CitesteDataOraImp: ";
    CommandState& state = ctx.command;
    state.ParametriComanda.clear();
    state.CodComanda = command_code::kReadDateTime;
    if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda, response)) {
        return false;
    }
    dateTime = ReadPrinterDateTime(ctx, prefix, state.BufRaspuns, 0);
    return true;
}

bool CitesteLeuGreuImp(Context& ctx, int32_t& printerIndex, DateTime& switchTime,
                       int32_t& switchZNumber, std::string& response) {
    const std::string prefix = "CitesteLeuGreuImp: ";
    CommandState& state = ctx.command;
    switchTime = ctx.services.clock.now();
    switchZNumber = -1;
    state.ParametriComanda.clear();
    state.CodComanda = command_code::kReadLeuState;
    if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda, response)) {
        return false;
    }
    if (IsSet(state, status_bit::kUnknownCommand)) {
        // A printer without the leu commands still counts in the old leu.
        ctx.money.LeuGreu = 0;
        return true;
    }
    try {
        ReadLeuState(ctx, prefix, switchTime, switchZNumber);
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, prefix, failure);
    }
    return true;
}

bool ScrieLeuGreuImp(Context& ctx, int32_t& printerIndex, DateTime& switchTime,
                     int32_t& switchZNumber) {
    const std::string prefix = "ScrieLeuGreuImp: ";
    CommandState& state = ctx.command;
    switchTime = ctx.services.clock.now();
    switchZNumber = -1;
    state.ParametriComanda.clear();
    state.CodComanda = command_code::kSwitchLeu;
    std::string showBoxes = kShowBoxes;
    if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda, showBoxes)) {
        return false;
    }

    struct Refusal {
        StatusBit bit;
        const char* text;
        const char* title;
        bool oldLeu = false;  // the printer has no leu commands, so it counts in the old leu
    };
    static constexpr Refusal kRefusals[] = {
        {status_bit::kUnknownCommand, "Comanda Scrie Leu Greu Inexistenta!", kTitleRutinaVerificare,
         true},
        {status_bit::kFiscalReceiptOpen, "Comanda interzisa. Este deschis un bon fiscal!",
         kTitleNorvade},
        {status_bit::kNonFiscalReceiptOpen, "Comanda interzisa. Este deschis un bon nefiscal!",
         kTitleNorvade},
        {status_bit::kNotAllowedInFiscalMode,
         "Executarea comenzii nu e permisa in regimul fiscal curent!\r\n"
         "Trebuie dat Raport Z (Inchidere zi) inainte de trecere!",
         kTitleRutinaVerificare},
        {status_bit::kFiscalMemoryWriteError,
         "A aparut o eroare la inregistrarea in memoria fiscala !", kTitleRutinaVerificare},
    };
    for (const Refusal& refusal : kRefusals) {
        if (IsSet(state, refusal.bit)) {
            if (refusal.oldLeu) {
                ctx.money.LeuGreu = 0;
            }
            ctx.services.ui.messageBox(refusal.text, refusal.title, Icon::Information, Buttons::Ok);
            return false;
        }
    }
    try {
        ReadLeuState(ctx, prefix, switchTime, switchZNumber);
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, prefix, failure);
    }
    return true;
}

bool fctFunctia11(Context& ctx, int32_t& printerIndex, std::string& response) {
    CommandState& state = ctx.command;
    try {
        // The printer ends this loop by closing or cancelling the receipt; one
        // that never does must not keep the bridge waiting for ever.
        for (int round = 0; round < kCloseReceiptRounds; ++round) {
            state.ParametriComanda.clear();
            state.CodComanda = command_code::kCloseFiscalReceipt;
            if (!ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda,
                                response)) {
                return false;
            }
            if (IsSet(state, status_bit::kPowerFailInReceipt)) {
                WriteDisplay(ctx, kPowerFailureText);
                return false;
            }
            if (!IsSet(state, status_bit::kFiscalReceiptOpen)) {
                return true;
            }
        }
        const std::string text = "Bonul fiscal nu s-a inchis dupa " +
                                 std::to_string(kCloseReceiptRounds) +
                                 " comenzi. Verificati imprimanta!";
        ScrieLog(ctx, "fctFunctia11: " + text, 0);
        ReportProblem(ctx, response, text, kTitleNorvade, Icon::Information);
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, "fctFunctia11: ", failure);
    }
    return false;
}

bool fctFunctia33(Context& ctx, int32_t& printerIndex, const std::string& reportKind,
                  std::string& response) {
    CommandState& state = ctx.command;
    bool longTimeOut = false;
    int32_t port = 0;
    try {
        ResetBuffers(state);
        port = state.PorturiImprimanta.at(static_cast<std::size_t>(printerIndex));
        ctx.services.kordal.TimeOut60(port);
        longTimeOut = true;
        state.CodComanda = command_code::kReport;
        const bool outcome =
            ExecutaComanda(ctx, printerIndex, reportKind, state.CodComanda, response);
        longTimeOut = false;
        ctx.services.kordal.TimeOut6(port);
        return outcome;
    } catch (const std::out_of_range&) {
        LogWithPrefix(ctx, "fctFunctia33: ",
                      RuntimeError(error_number::kOutOfRange, "Subscript out of range"));
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, "fctFunctia33: ", failure);
    }
    if (longTimeOut) {
        // Every later command would otherwise wait 60 seconds for a silent printer.
        try {
            ctx.services.kordal.TimeOut6(port);
        } catch (const RuntimeError&) {
        }
    }
    return false;
}

bool fctFunctia75(Context& ctx, int32_t& printerIndex, const std::string& kind,
                  const std::string& vatGroup, Amount value, std::string& response) {
    // The amount field is 8 bytes, but the printer reads only values below 2^31.
    constexpr int64_t kAmountLimit = int64_t{1} << 31;
    constexpr int kAmountBytes = 8;
    constexpr int64_t kMaxPercentWhole = 255;  // one byte

    CommandState& state = ctx.command;
    try {
        if (value.raw == 0) {
            return true;
        }
        state.ParametriComanda.clear();
        state.CodComanda = command_code::kMarkupDiscount;
        const bool negative = value.raw < 0;
        const bool percentage = kind == ",";
        std::string payload;
        if (percentage) {
            payload = negative ? ",r" : ",";
        } else if (kind == ":") {
            payload = negative ? ";" : ":";
        } else {
            return true;
        }
        payload += vatGroup.substr(0, 1);

        const Amount magnitude = value.abs();
        if (percentage) {
            // Rounded to hundredths as a whole, so 5.996 becomes 6 and 0
            // rather than 5 and a hundredths byte of 100.
            const int64_t hundredths = magnitude.roundTo(2).raw / (Amount::kScale / 100);
            const int64_t whole = hundredths / 100;
            if (whole > kMaxPercentWhole) {
                throw Overflow();
            }
            payload += static_cast<char>(whole);
            payload += static_cast<char>(hundredths % 100);
        } else {
            const int64_t units = (magnitude * ctx.settings.Multiplu).roundToInteger();
            if (units >= kAmountLimit) {
                // Sending it would put a different amount on the receipt.
                throw Overflow();
            }
            for (int shift = (kAmountBytes - 1) * 8; shift >= 0; shift -= 8) {
                payload += static_cast<char>((units >> shift) & 0xFF);
            }
        }
        state.ParametriComanda = static_cast<char>(payload.size()) + payload;
        if (!ExecutaComandaL(ctx, printerIndex, state.ParametriComanda, state.CodComanda,
                             response)) {
            return false;
        }
        if (IsSet(state, status_bit::kPowerFailInReceipt)) {
            WriteDisplay(ctx, kPowerFailureText);
            return false;
        }
        return true;
    } catch (const RuntimeError& failure) {
        LogWithPrefix(ctx, "fctFunctia75: ", failure);
    }
    return false;
}

void WriteDisplay(Context& ctx, const std::string& message, int /*unused*/) {
    try {
        ctx.services.ui.messageBox(message, ctx.settings.Titlu, Icon::None, Buttons::Ok);
    } catch (const RuntimeError&) {
    }
    try {
        ScrieLog(ctx, "WriteDisplay:" + message, 100);
    } catch (const RuntimeError&) {
    }
}

}  // namespace veltar
