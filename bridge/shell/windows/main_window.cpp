#include "shell/windows/main_window.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/status.h"
#include "exchange/prechecks.h"
#include "exchange/receipt.h"
#include "exchange/request_files.h"
#include "exchange/tick.h"
#include "shell/failure.h"
#include "shell/log.h"
#include "shell/windows/handlers.h"

namespace veltar {

using windows_detail::FailurePath;
using windows_detail::IgnoreFailures;
using windows_detail::RunHandler;

namespace {

constexpr const char* kLoadCode = "3.004";
constexpr const char* kPortFailureText =
    "Porturile seriale nu au fost initializate. Eroare IRECUPERABILA";
constexpr const char* kPortFailureTitle = "Tratare Erori POS";
constexpr const char* kDriverFailureText = "Eroare driver low level; reporniti programul!";
constexpr const char* kNoTrayText =
    "Desktopul nu are zona de notificare: fereastra COMENZI ramane afisata, altfel nu ar mai "
    "putea fi deschisa.";

constexpr int32_t kCantitateMaxima = 20000;
constexpr std::size_t kHeaderFooterLines = 5;

constexpr const char* kPaperRunningOutText =
    "S E   T E R M I N A   H A R T I A  L A  I M P R I M A N T A  !!\r\n\r\n"
    "P U N E T I  H A R T I E  S I  A P A S A T I   OK !";
constexpr const char* kInterimPaperOutText =
    " Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
constexpr const char* kDayEndPaperOutText =
    "  Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
constexpr const char* kPaperOutAfterReportText =
    "Lipsa hartie la imprimanta! Puneti hartie si apasati OK !";
constexpr const char* kFiscalMemoryFullText =
    "Memorie fiscala plina! Trebuie schimbata memoria fiscala. ";
constexpr const char* kDayEndQuestion = "Ati terminat vanzarile pe ziua curenta?";
constexpr const char* kExitQuestion = "Doriti sa iesiti din program? ";
// The pause after the operator's OK in a paper loop: without an operator
// (a box answered at once) the loop would otherwise ask the printer as fast
// as it answers.
constexpr int kPaperLoopPauseMilliseconds = 1000;

// Step 5: the five receipt texts from GENERALE.TXT. Every entry starts as 40
// blanks, so one the file has no line for never keeps an older text or stays
// empty. The file counts only under its exact name.
void CitesteHeaderFooter(Context& ctx) {
    for (std::size_t k = 1; k <= kHeaderFooterLines; ++k) {
        ctx.LiniiHeaderFooter[k] = std::string(kTextLineWidth, ' ');
    }
    IgnoreFailures([&] {
        const std::optional<std::string> found = ctx.services.files.findFile(kHeaderFooterFile);
        if (!found || *found != kHeaderFooterFile) return;
        const std::vector<std::string> lines = ctx.services.files.readLines(*found);
        for (std::size_t k = 0; k < kHeaderFooterLines && k < lines.size(); ++k) {
            ctx.LiniiHeaderFooter[k + 1] = FitToWidth(lines[k], kTextLineWidth);
        }
    });
}

// Steps 1 to 5.
void PrepareWindow(Context& ctx) {
    WindowServices& ui = ctx.services.ui;
    ctx.money = MoneyState{};  // the redenominated leu, two decimals, until the printer says
    ctx.windows.trayIcon = ctx.settings.TipInterfata == 0 && ui.addTrayIcon(kTrayTip);
    ctx.exchange.CantitateMaxima = kCantitateMaxima;
    ctx.VerificareLaActivare = false;
    ui.setPollingTimer(false);
    ui.setControlEnabled(Window::Main, main_control::kServicePOS, true);
    CitesteHeaderFooter(ctx);
}

// Step 6. False when the port could not be opened; the program has ended then.
bool OpenPort(Context& ctx) {
    Settings& settings = ctx.settings;
    KordalExports& kordal = ctx.services.kordal;
    bool opened = false;
    if (settings.ComPort >= 1) {
        opened = kordal.InitializeazaSerialaNr(settings.ComPort) == settings.ComPort;
    } else {
        settings.ComPort = 0;
        settings.ComPort = kordal.InitializeazaSeriala();
        opened = settings.ComPort > 0;
    }
    if (opened) return true;
    ScrieErrInFis(ctx, kPortFailureText);
    ctx.services.ui.messageBox(kPortFailureText, kPortFailureTitle, Icon::Error, Buttons::Ok);
    EndProgram(ctx);
    return false;
}

// A failure while the port is opened, or after a port named in Conf.ini was
// opened: the program ends.
void EndLoadFatally(Context& ctx, const RuntimeError& failure) {
    IgnoreFailures([&] { StandardFailure(ctx, kLoadCode, failure); });
    IgnoreFailures([&] { EndProgram(ctx); });
}

// A failure while the window is prepared, or after an automatic search found
// the port.
void EndLoadEarly(Context& ctx, const RuntimeError& failure) {
    const bool system = failure.fromSystem();
    if (!system && failure.number() == error_number::kLibraryMissing) {
        IgnoreFailures([&] { ScrieLog(ctx, kLoadCode + failure.description(), failure.number()); });
        IgnoreFailures([&] {
            ctx.services.ui.messageBox(kDriverFailureText, kTitleVeltarSpaced, Icon::Information,
                                       Buttons::Ok);
        });
        IgnoreFailures([&] { EndProgram(ctx); });
    } else if (!system && failure.number() == kWindowComponentFailure) {
        IgnoreFailures([&] { ScrieLog(ctx, kLoadCode + failure.description(), failure.number()); });
        IgnoreFailures([&] { EndProgram(ctx); });
    } else {
        // The load ends here; the program goes on without the steps left.
        IgnoreFailures([&] { StandardFailure(ctx, kLoadCode, failure); });
        // Unattended, nobody could ever end a hidden copy that has no tray
        // icon, and it would hold the single-instance lock against every
        // later start.
        if (ctx.settings.TipInterfata != 0) IgnoreFailures([&] { EndProgram(ctx); });
    }
}

void RunLoadSequence(Context& ctx) {
    // Which way a failure of the step under way goes.
    bool fatal = false;
    try {
        PrepareWindow(ctx);
        fatal = true;
        const bool numberedPort = ctx.settings.ComPort >= 1;
        if (!OpenPort(ctx)) return;
        fatal = numberedPort;
        ctx.command.PorturiImprimanta[0] = ctx.settings.ComPort;
        VerificariPornire(ctx);
        if (ctx.settings.TipInterfata != 0 && !ctx.exchange.programEnded) EndProgram(ctx);
    } catch (const std::exception& failure) {
        const auto* known = dynamic_cast<const RuntimeError*>(&failure);
        const RuntimeError unexpected = known ? *known : RuntimeError(0, failure.what());
        if (fatal) {
            EndLoadFatally(ctx, unexpected);
        } else {
            EndLoadEarly(ctx, unexpected);
        }
    }
}

// After a load that left the program running, the window must stay within
// the operator's reach: with no tray icon to lead back to it, it is shown.
void KeepReachable(Context& ctx) {
    if (ctx.exchange.programEnded || ctx.settings.TipInterfata != 0 || ctx.windows.trayIcon) {
        return;
    }
    IgnoreFailures([&] { ScrieLog(ctx, kNoTrayText, 0); });
    IgnoreFailures([&] { ctx.services.ui.showWindow(Window::Main); });
}

// The paper check before a manual report: repeats while the status query
// shows paper running out or out, each time after the operator's OK.
void PaperCheck(Context& ctx, const char* paperOutText) {
    WindowServices& ui = ctx.services.ui;
    for (;;) {
        if (TrimiteComandaImp(ctx, {}, command_code::kPrinterStatus) != imp_result::kAccepted) {
            return;
        }
        RefreshStatus(ctx.command);
        const char* text = nullptr;
        if (IsSet(ctx.command, status_bit::kPaperRunningOut)) {
            text = kPaperRunningOutText;
        } else if (IsSet(ctx.command, status_bit::kPaperOut)) {
            text = paperOutText;
        } else {
            return;
        }
        ui.messageBox(text, kTitleRutinaVerificare, Icon::Information, Buttons::Ok);
        ui.waitProcessingEvents(kPaperLoopPauseMilliseconds);
    }
}

void ExitAction(Context& ctx) {
    const Answer answer = ctx.services.ui.messageBox(kExitQuestion, kTitleVeltarSpaced,
                                                     Icon::None, Buttons::YesNo);
    if (answer == Answer::Yes) EndProgram(ctx);
}

}  // namespace

void ComenziLoad(Context& ctx) {
    if (ctx.windows.mainWindowLoaded) return;
    ctx.windows.mainWindowLoaded = true;
    RunLoadSequence(ctx);
    KeepReachable(ctx);
}

void ComenziActivate(Context& ctx) {
    if (!ctx.VerificareLaActivare) return;
    // A box of a polling tick that closes activates the window again; the
    // checks must not run in the middle of that tick's sale.
    if (ctx.exchange.tickRunning || ctx.exchange.programEnded) return;
    if (ctx.windows.activationChecksRunning) return;
    ctx.windows.activationChecksRunning = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{ctx.windows.activationChecksRunning};
    try {
        VerificariPornire(ctx);
    } catch (const std::exception& failure) {
        IgnoreFailures([&] {
            ctx.services.ui.messageBox(failure.what(), kProgramTitle, Icon::None, Buttons::Ok);
        });
    }
}

void ComenziBackgroundPress(Context& ctx) {
    if (!ctx.windows.trayIcon) return;
    IgnoreFailures([&] { ctx.services.ui.hideWindow(Window::Main); });
}

void ComenziTrayNotification(Context& ctx, int mouseCode) {
    IgnoreFailures([&] {
        WindowServices& ui = ctx.services.ui;
        if (mouseCode == kTrayRightButtonDown) {
            ui.popupTrayMenu();
        } else if (mouseCode == kTrayLeftDoubleClick) {
            ui.setCaption(Window::Main, kDoubleClickCaption);
            ui.showWindow(Window::Main);
        }
    });
}

void ComenziTimer(Context& ctx) {
    IgnoreFailures([&] { PollingTick(ctx); });
}

void ComenziUnload(Context& ctx) {
    IgnoreFailures([&] { ctx.services.ui.removeTrayIcon(); });
    ctx.windows.trayIcon = false;
}

void MeniuShow(Context& ctx) {
    IgnoreFailures([&] { ctx.services.ui.showWindow(Window::Main); });
}

void MeniuExit(Context& ctx) {
    IgnoreFailures([&] { ExitAction(ctx); });
}

void AboutBClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.001"}, [&] { ctx.services.ui.showWindow(Window::About); });
}

void RapoarteMFClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.006"}, [&] {
        ctx.services.ui.showWindow(Window::PeriodicReport);
        ctx.services.ui.hideWindow(Window::Main);
    });
}

void ServicePOSClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.009"}, [&] {
        ctx.services.ui.setPollingTimer(false);
        ctx.services.ui.showWindow(Window::ServiceMenu);
        ctx.services.ui.hideWindow(Window::Main);
    });
}

void SumeSertarButClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.010"}, [&] {
        ctx.services.ui.showWindow(Window::CashDrawer);
        ctx.services.ui.hideWindow(Window::Main);
    });
}

void RapxClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.007"}, [&] {
        PaperCheck(ctx, kInterimPaperOutText);
        KordalExports& kordal = ctx.services.kordal;
        kordal.TimeOut60(ctx.settings.ComPort);
        TrimiteComandaImp(ctx, kInterimReport, command_code::kReport);
        kordal.TimeOut6(ctx.settings.ComPort);
    });
}

void RapzClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.008"}, [&] {
        WindowServices& ui = ctx.services.ui;
        KordalExports& kordal = ctx.services.kordal;
        const int32_t port = ctx.settings.ComPort;
        if (ui.messageBox(kDayEndQuestion, kTitleVeltarSpaced, Icon::Warning, Buttons::YesNo) !=
            Answer::Yes) {
            return;
        }
        PaperCheck(ctx, kDayEndPaperOutText);
        // The report resets the printer's count of the day's receipts, by
        // which a sale interrupted on the way settles whether its receipt was
        // closed. Nothing lets a tick run between this and the report.
        SettlePendingSale(ctx);
        kordal.TimeOut60(port);
        if (TrimiteComandaImp(ctx, kDayEndReport, command_code::kReport) ==
            imp_result::kAccepted) {
            RefreshStatus(ctx.command);
            if (IsSet(ctx.command, status_bit::kPaperOutS1)) {
                ui.messageBox(kPaperOutAfterReportText, kTitleVeltarSpaced, Icon::Information,
                              Buttons::Ok);
            }
            if (IsSet(ctx.command, status_bit::kFiscalMemoryFull)) {
                ScrieErrInFis(ctx, kFiscalMemoryFullText);
                ui.messageBox(kFiscalMemoryFullText, kTitleVeltarSpaced, Icon::Information,
                              Buttons::Ok);
                ui.setPollingTimer(false);
                kordal.TimeOut6(port);
                return;
            }
            // Trading may start again, for instance after the checks had
            // stopped it because the day was older than 24 hours.
            ui.setPollingTimer(true);
        }
        kordal.TimeOut6(port);
    });
}

void ExitButClick(Context& ctx) {
    RunHandler(ctx, FailurePath{"3.003", true, false}, [&] { ExitAction(ctx); });
}

}  // namespace veltar
