#include "service/periodic_report.h"

#include <optional>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/status.h"
#include "shell/datetime.h"

namespace veltar {

using service_detail::CallLibrary;
using service_detail::EncodeDateByte;
using service_detail::FailureLog;
using service_detail::FailureRoute;
using service_detail::OneOf;
using service_detail::RunHandler;

namespace {

// Nothing of this screen is logged: a failure shows its description only.
const FailureRoute kRoute{"", FailureLog::None};

constexpr char kDetailed = 'e';
constexpr char kSummary = 'c';
constexpr std::size_t kDisplayWidth = 40;

// A date box by the leading-number rule; a number too large for an amount
// reads as 0, which every check refuses.
Amount DateValue(std::string_view text) { return ReadLeadingNumber(text); }

bool InRange(Amount value, int low, int high) {
    return value >= Amount::fromInt(low) && value <= Amount::fromInt(high);
}

// The whole number of a date value; nothing when it has a fraction or is far
// outside any date.
std::optional<int> WholeDateNumber(std::string_view text) {
    const Amount value = DateValue(text);
    if (value.raw % Amount::kScale != 0 || value < Amount{} || value > Amount::fromInt(99999)) {
        return std::nullopt;
    }
    return static_cast<int>(value.wholePart());
}

}  // namespace

bool service_detail::IsReportDate(std::string_view day, std::string_view month,
                                  std::string_view year) {
    const std::optional<int> d = WholeDateNumber(day);
    const std::optional<int> m = WholeDateNumber(month);
    const std::optional<int> y = WholeDateNumber(year);
    if (!d || !m || !y) return false;
    const int fullYear = *y < 100 ? DateTime::expandTwoDigitYear(*y) : *y;
    auto exists = [&](int dd, int mm) {
        return dd >= 1 && dd <= DaysInMonth(fullYear, mm);  // 0 days outside months 1..12
    };
    return exists(*d, *m) || exists(*m, *d);
}

void RapPer::Load() { form_ = PeriodicReportForm{}; }

bool RapPer::DataKeyPress(std::size_t /*index*/, char typed) {
    bool keep = false;
    RunHandler(ctx_, kRoute,
               [&] { keep = typed == kBackspaceChar || OneOf(typed, "1234567890"); });
    return keep;
}

void RapPer::EscapePressed() {
    RunHandler(ctx_, kRoute, [&] {
        ctx_.services.ui.closeWindow(Window::PeriodicReport);
        ctx_.services.ui.showWindow(Window::Main);
    });
}

void RapPer::ExecButClick() {
    KordalExports& kordal = ctx_.services.kordal;
    const int32_t port = ctx_.settings.ComPort;
    bool longTimeOut = false;
    RunHandler(ctx_, kRoute, [&] {
        using namespace report_date;
        const auto& data = form_.Data;
        auto value = [&](std::size_t k) { return DateValue(data[k]); };
        const struct {
            bool passes;
            const char* text;
            const char* title;
        } checks[] = {
            {InRange(value(kStartDay), 1, 31), "Zi inceput raport incorecta !", kTitleVeltarSpaced},
            {InRange(value(kStartMonth), 1, 12), "Luna de inceput raport incorecta !",
             kTitleVeltarSpaced},
            {value(kStartYear) != Amount{}, "An de inceput raport incorect !", kTitleVeltarSpaced},
            {service_detail::IsReportDate(data[kStartDay], data[kStartMonth], data[kStartYear]),
             "Data de inceput nu este valida !", kProgramTitle},
            {InRange(value(kEndDay), 1, 31), "Zi sfarsit raport incorecta !", kTitleVeltarSpaced},
            {value(kEndYear) != Amount{}, "Anul de sfarsit raport incorect !", kTitleVeltarSpaced},
            {service_detail::IsReportDate(data[kEndDay], data[kEndMonth], data[kEndYear]),
             "Data de sfirsit nu este valida !", kProgramTitle},
            {InRange(value(kEndMonth), 1, 12), "Luna de sfarsit raport incorecta !",
             kTitleVeltarSpaced},
        };
        for (const auto& check : checks) {
            if (!check.passes) {
                ctx_.services.ui.messageBox(check.text, check.title, Icon::Error, Buttons::Ok);
                return;
            }
        }

        // The report's title on the customer display. Only a blank display
        // that failed, or a frame failure of the title lines, stops the report.
        const std::string line1 = "\x01\x01";
        const std::string line2 = "\x01\x02";
        if (TrimiteComandaImp(ctx_, line1 + std::string(kDisplayWidth, ' '),
                              command_code::kDisplayText) != imp_result::kAccepted) {
            return;
        }
        auto stops = [](int result) {
            return result == imp_result::kSequenceOrEcho || result == imp_result::kTerminator ||
                   result == imp_result::kChecksum || result == imp_result::kNoReply;
        };
        if (stops(TrimiteComandaImp(ctx_, line1 + "  Raport fiscal", command_code::kDisplayText))) {
            return;
        }
        if (stops(TrimiteComandaImp(ctx_, line2 + "   pe perioade", command_code::kDisplayText))) {
            return;
        }

        CommandState& state = ctx_.command;
        state.RezultatComanda = kordal.TimeOut60(port);
        longTimeOut = true;
        state.ParametriComanda.clear();
        for (std::size_t k = 0; k < kCount; ++k) {
            state.ParametriComanda += static_cast<char>(EncodeDateByte(value(k)));
        }
        state.ParametriComanda += form_.Detaliat ? kDetailed : kSummary;
        ResetBuffers(state);
        state.CodComanda = command_code::kPeriodicReport;
        ctx_.services.ui.setBusyPointer(true);
        const int32_t result = CallLibrary(ctx_, [&] {
            return kordal.RaportPeriodic(
                port, reinterpret_cast<const unsigned char*>(state.ParametriComanda.data()),
                state.BufRaspuns.data(), state.BufStare.data());
        });
        if (result == library_result::kNoReply) {
            ctx_.services.ui.messageBox("Lipsa comunicatie cu imprimanta", kTitleVeltarSpaced,
                                        Icon::Error, Buttons::Ok);
        } else if (result == library_result::kOk) {
            RefreshStatus(state);
            TrateazaStareRaport(ctx_);
        }
        state.RezultatComanda = kordal.TimeOut6(port);
        longTimeOut = false;
    });
    // A report that failed on the way must not leave every later command
    // waiting a minute for a printer that does not answer.
    if (longTimeOut) {
        try {
            kordal.TimeOut6(port);
        } catch (const RuntimeError&) {
        }
    }
    // However the report ended, the pointer is the normal one again.
    RunHandler(ctx_, kRoute, [&] { ctx_.services.ui.setBusyPointer(false); });
}

void RapPer::ExitButClick() {
    RunHandler(ctx_, kRoute, [&] {
        if (TrimiteComandaImp(ctx_, {}, command_code::kAfterDateTime) == imp_result::kChecksum) {
            return;
        }
        ctx_.VerificareLaActivare = true;
        ctx_.services.ui.showWindow(Window::Main);
        ctx_.services.ui.closeWindow(Window::PeriodicReport);
    });
}

}  // namespace veltar
