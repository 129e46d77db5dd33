#include "exchange/reports.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string_view>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "exchange/receipt.h"
#include "exchange/request_files.h"
#include "shell/amount.h"
#include "shell/datetime.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

// A printer that has not answered the status query for about a minute (plus
// the time-outs and the operator's boxes) is not coming back by itself; the
// day-end report is then tried again at the next tick instead of holding the
// bridge in the ready check for ever.
constexpr int kReadyCheckAttempts = 60;
// Between two status queries, and after the last: the window keeps handling
// its events meanwhile.
constexpr int kReadyCheckWaitMilliseconds = 1000;

constexpr const char* kPrinterSilentText = "imprimanta nu raspunde";
constexpr const char* kNotDonePrefix = "Raportul Z nu s-a putut executa: ";
constexpr const char* kRetrySuffix = ". Se reincearca la urmatorul ciclu.";

constexpr const char* kArchivePrefix = "ScrieRapZinBD: ";
constexpr const char* kResponsePrefix = "ScrieRaspunsRapZ: ";
constexpr const char* kLineEnd = "\r\n";
constexpr char kFieldSeparator = '#';

// The day-end reply: eight 20-character fields, then the report's moment as
// six packed-decimal bytes (seconds, minutes, hours, day, month, year).
constexpr std::size_t kFieldWidth = 20;
constexpr std::size_t kCounterAAt = 0;
constexpr std::size_t kFirstAmountAt = 20;
constexpr std::size_t kAmountCount = 6;
constexpr std::size_t kCounterBAt = 140;
constexpr std::size_t kSecondsAt = 160;
constexpr std::size_t kMinutesAt = 161;
constexpr std::size_t kHoursAt = 162;
constexpr std::size_t kDayAt = 163;
constexpr std::size_t kMonthAt = 164;
constexpr std::size_t kYearAt = 165;

// Added before rounding, so that a value the division leaves a hair below a
// half of the last decimal still rounds the way the printer's figure meant.
constexpr double kRoundingNudge = 0.00001;

RuntimeError Overflow() { return RuntimeError(error_number::kOverflow, "Overflow"); }

void LogFailure(Context& ctx, const char* prefix, const RuntimeError& failure) {
    ScrieLog(ctx, prefix + failure.description(), failure.number());
}

// The printer's status query, repeated until it succeeds or the attempts run
// out. Every failed attempt is shown; every attempt is followed by the wait.
bool ReadyCheck(Context& ctx, int32_t& printerIndex) {
    for (int attempt = 0; attempt < kReadyCheckAttempts; ++attempt) {
        std::string response;
        const bool ready =
            SendCommand(ctx, printerIndex, command_code::kPrinterStatus, {}, response);
        if (!ready) WriteDisplay(ctx, response);
        ctx.services.ui.waitProcessingEvents(kReadyCheckWaitMilliseconds);
        if (ready) return true;
    }
    return false;
}

// Characters of the reply from `at`, as many as there are up to `count`.
std::string_view Field(std::string_view data, std::size_t at, std::size_t count) {
    if (at >= data.size()) return {};
    return data.substr(at, count);
}

uint8_t ByteAt(std::string_view data, std::size_t at) {
    if (at >= data.size()) {
        throw RuntimeError(error_number::kInvalidArgument, "Invalid procedure call or argument");
    }
    return static_cast<uint8_t>(data[at]);
}

int32_t ReadCounter(Context& ctx, std::string_view field) {
    const int64_t whole = ReadRegionalNumber(field, ctx.regional).roundToInteger();
    if (whole < std::numeric_limits<int32_t>::min() ||
        whole > std::numeric_limits<int32_t>::max()) {
        throw Overflow();
    }
    return static_cast<int32_t>(whole);
}

// The printer counts hundredths of its unit of the old leu; the archive holds
// lei of the printer's current currency with the shop's decimals.
Amount ReadReportAmount(Context& ctx, std::string_view field) {
    static constexpr int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000};
    const Amount printed = ReadRegionalNumber(field, ctx.regional);
    if (ctx.money.FactorLeu.raw == 0) {
        throw RuntimeError(error_number::kDivisionByZero, "Division by zero");
    }
    const double value =
        printed.toDouble() / (100.0 * ctx.money.FactorLeu.toDouble()) + kRoundingNudge;
    const int decimals = std::clamp(ctx.money.NrZecimale, 0, 4);
    const double scaled = value * static_cast<double>(kPowersOfTen[decimals]);
    const int64_t toRaw = kPowersOfTen[4 - decimals];
    const double limit = static_cast<double>(std::numeric_limits<int64_t>::max() / toRaw);
    if (!std::isfinite(scaled) || std::fabs(scaled) >= limit) throw Overflow();
    // The default rounding mode takes halves to the even neighbour.
    const auto rounded = static_cast<int64_t>(std::nearbyint(scaled));
    return Amount::fromRaw(rounded * toRaw);
}

// Day, month and year with the calendar's carry-over: month 13 is January of
// the next year, a day past the month's end runs into the next month. A day
// or month 0 names no date at all; the report then carries today's date.
DateTime ReadReportDate(std::string_view data, const DateTime& now) {
    const int day = FromPackedBcd(ByteAt(data, kDayAt));
    const int month = FromPackedBcd(ByteAt(data, kMonthAt));
    const int year = DateTime::expandTwoDigitYear(FromPackedBcd(ByteAt(data, kYearAt)));
    if (day == 0 || month == 0) return DateTime{now.year, now.month, now.day, 0, 0, 0};
    const int months = year * 12 + month - 1;
    const DateTime firstOfMonth{months / 12, months % 12 + 1, 1, 0, 0, 0};
    return AddSeconds(firstOfMonth, int64_t{day - 1} * 86400);
}

// Seconds and minutes carry into the next unit. A time that ends up at 24
// hours or later would belong to another day, which the date does not say;
// the report then carries the current time.
DateTime ReadReportTime(std::string_view data, const DateTime& now) {
    const int second = FromPackedBcd(ByteAt(data, kSecondsAt));
    const int minute = FromPackedBcd(ByteAt(data, kMinutesAt));
    const int hour = FromPackedBcd(ByteAt(data, kHoursAt));
    const int total = hour * 3600 + minute * 60 + second;
    if (total >= 24 * 3600) return DateTime{1899, 12, 30, now.hour, now.minute, now.second};
    return DateTime{1899, 12, 30, total / 3600, total / 60 % 60, total % 60};
}

std::string ArchiveName(const DateTime& now, uint8_t posNumber) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return std::string(kArchiveDirectory) + "/" + stamp + "." + std::to_string(posNumber);
}

// An accepted reply without data is the library's zero byte followed by the
// blanks the buffer was filled with: nothing to archive.
bool IsEmptyReply(std::string_view data) {
    return data.find_first_not_of(std::string_view(" \0", 2)) == std::string_view::npos;
}

// Runs the day-end report. False when the report was not sent, with the
// reason in `notDone`; the request then stays for the next tick.
bool RunDayEndReport(Context& ctx, int32_t& printerIndex, std::string& notDone) {
    std::string reportLine;
    bool sent = false;
    try {
        if (!ReadyCheck(ctx, printerIndex)) {
            notDone = kPrinterSilentText;
            return false;
        }
        // The report clears the printer's count of the day's receipts, which
        // is what tells whether an interrupted sale reached the fiscal memory.
        SettlePendingSale(ctx);
        std::string response;
        sent = true;
        const bool printed = fctFunctia33(ctx, printerIndex, kDayEndReport, response);
        // The report's own reply: the status query that may follow must not
        // put its data in place of the day's figures.
        const std::string reply = ctx.command.BufRaspuns;
        if (!printed) {
            // The report is not sent twice; whatever the printer answers now,
            // the figures it gave are recorded.
            ReadyCheck(ctx, printerIndex);
        }
        ScrieRapZinBD(ctx, reply, reportLine);
    } catch (const RuntimeError& failure) {
        if (!sent) {
            notDone = failure.description();
            return false;
        }
        return true;
    }

    try {
        if (reportLine.empty()) {
            DeleteIfPresent(ctx, response_file::kDayEndReport);
        } else {
            ReplaceResponseFile(ctx, response_file::kDayEndReport, reportLine + kLineEnd);
        }
    } catch (const RuntimeError& failure) {
        try {
            LogFailure(ctx, kResponsePrefix, failure);
        } catch (const RuntimeError&) {
        }
    }
    return true;
}

}  // namespace

void HandleInterimReport(Context& ctx) {
    int32_t printerIndex = 0;
    ctx.services.kordal.TimeOut60(ctx.settings.ComPort);
    std::string response;
    if (!SendCommand(ctx, printerIndex, command_code::kReport, kInterimReport, response)) {
        WriteDisplay(ctx, response);
    }
    ctx.services.kordal.TimeOut6(ctx.settings.ComPort);
    // Deleted whatever the printer said: an interim report is not repeated
    // by itself.
    DeleteIfPresent(ctx, request_file::kInterimReport);
}

TickFlow HandleDayEndReport(Context& ctx) {
    int32_t printerIndex = 0;
    std::string notDone;
    if (RunDayEndReport(ctx, printerIndex, notDone)) {
        DeleteIfPresent(ctx, request_file::kDayEndReport);
    } else {
        // Nothing was printed: the request stays and the sales application
        // learns why the day is not closed yet.
        ScrieErrInFis(ctx, kNotDonePrefix + notDone + kRetrySuffix);
    }
    return TickFlow::EndTick;
}

bool ScrieRaspunsRapZ(Context& ctx, int32_t printerIndex, int32_t /*unused*/) {
    std::string notDone;
    return RunDayEndReport(ctx, printerIndex, notDone);
}

bool ScrieRapZinBD(Context& ctx, const std::string& replyData, std::string& reportLine) {
    // Every step goes on after a failure of the one before: whatever can be
    // read of a printed day-end report is worth keeping.
    auto step = [&](auto&& action) {
        try {
            action();
        } catch (const RuntimeError& failure) {
            LogFailure(ctx, kArchivePrefix, failure);
        }
    };
    reportLine.clear();

    step([&] {
        try {
            ctx.services.files.createDirectory(kArchiveDirectory);
        } catch (const RuntimeError& failure) {
            if (failure.number() != EEXIST) throw;
        }
    });

    DateTime now;
    std::string archiveName;
    step([&] {
        now = ctx.services.clock.now();
        archiveName = ArchiveName(now, ctx.settings.NRPOS);
    });

    if (IsEmptyReply(replyData)) return true;

    int32_t counterA = 0;
    int32_t counterB = 0;
    Amount amounts[kAmountCount] = {};
    DateTime date;  // the zero date, 30.12.1899
    DateTime time;  // 00:00:00
    step([&] { counterA = ReadCounter(ctx, Field(replyData, kCounterAAt, kFieldWidth)); });
    for (std::size_t i = 0; i < kAmountCount; ++i) {
        step([&] {
            amounts[i] = ReadReportAmount(
                ctx, Field(replyData, kFirstAmountAt + i * kFieldWidth, kFieldWidth));
        });
    }
    step([&] { counterB = ReadCounter(ctx, Field(replyData, kCounterBAt, kFieldWidth)); });
    step([&] { date = ReadReportDate(replyData, now); });
    step([&] { time = ReadReportTime(replyData, now); });

    std::string line = std::to_string(counterA) + kFieldSeparator + std::to_string(counterB);
    for (const Amount& amount : amounts) {
        line += kFieldSeparator;
        line += FormatGeneral(amount, ctx.regional.decimal);
    }
    line += kFieldSeparator + FormatShortDate(date) + kFieldSeparator + FormatLongTime(time);
    reportLine = line;

    // Replaced in one step, so a report in the same second with the same POS
    // number takes the file over whole.
    step([&] { ctx.services.files.replace(archiveName, line + kLineEnd); });
    return true;
}

}  // namespace veltar
