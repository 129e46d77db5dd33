#include "exchange/tick.h"

#include <exception>
#include <set>

#include "exchange/auxiliary.h"
#include "exchange/receipt.h"
#include "exchange/reports.h"
#include "exchange/request_files.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

namespace {

constexpr const char* kStructureErrorFileText =
    "Fisierul VANZARI.TXT a fost generat cu erori de structura";
constexpr const char* kStructureErrorBox =
    "Fisierul VANZARI.TXT a fost generat cu erori de structura.Tranzactia nu s-a putut "
    "executa.\r\n"
    "  OPRITI  SI  REPORNITI  I M P R I M A N T A !\r\n"
    "\r\n"
    "APLICATIA VELTAR2000 SE VA INCHIDE! \r\n"
    "\r\n"
    "Verificati corectitudinea liniilor cu produsele vandute sau linia cu modalitatile de "
    "plata";

// Clears the running flag however the tick ends.
class TickGuard {
public:
    explicit TickGuard(bool& running) : running_(running) { running_ = true; }
    ~TickGuard() { running_ = false; }
    TickGuard(const TickGuard&) = delete;
    TickGuard& operator=(const TickGuard&) = delete;

private:
    bool& running_;
};

void TickFailure(Context& ctx, const RuntimeError& failure) {
    WindowServices& ui = ctx.services.ui;
    if (failure.isTypeMismatch()) {
        ScrieErrInFis(ctx, kStructureErrorFileText);
        ui.messageBox(kStructureErrorBox, kProgramTitle, Icon::Error, Buttons::Ok);
        EndProgram(ctx);
        return;
    }
    const std::string text = "Eroare Tranzactie: " + failure.description();
    ScrieErrInFis(ctx, text);
    ui.messageBox(text, kProgramTitle, Icon::None, Buttons::Ok);
    try {
        ScrieLog(ctx, "3.011" + failure.description(), failure.number());
    } catch (const RuntimeError&) {
        // The log is out of reach; ERR.TXT and the box already said it.
    }
}

// The directory's names, read once at the start of the tick: a request whose
// name is not among them is absent without a look of its own, so an idle
// tick reads the directory once instead of once per request. A file that
// arrives later in the tick is taken by the next one.
class DirectoryListing {
public:
    explicit DirectoryListing(Context& ctx) {
        for (const std::string& name : ctx.services.files.listNames()) {
            names_.insert(UpperCase(name));
        }
    }
    bool mayHold(const std::string& name) const { return names_.count(UpperCase(name)) != 0; }

private:
    std::set<std::string> names_;
};

// Steps 3 to 12; returns how the tick goes on.
TickFlow RunRequests(Context& ctx) {
    const DirectoryListing listing(ctx);
    auto ready = [&](const char* name) {
        return listing.mayHold(name) && RequestReady(ctx, name);
    };
    if (ready(request_file::kDisplayText)) HandleDisplayText(ctx);
    if (ready(request_file::kInterimReport)) HandleInterimReport(ctx);
    if (ready(request_file::kDrawer)) HandleDrawer(ctx);
    if (ctx.exchange.programEnded) return TickFlow::EndProgram;

    SkipOnFailure([&] {
        if (ready(request_file::kCash)) HandleCash(ctx);
    });
    SkipOnFailure([&] {
        if (ready(request_file::kFunction)) HandleFunction(ctx);
    });
    if (ctx.exchange.programEnded) return TickFlow::EndProgram;

    if (ready(request_file::kDayEndReport)) {
        return HandleDayEndReport(ctx);
    }
    if (ready(request_file::kSale)) {
        const TickFlow flow = HandleSale(ctx);
        if (flow != TickFlow::Continue) return flow;
        // After a completed sale the rest of the tick is quiet.
        SkipOnFailure([&] {
            if (ready(request_file::kNonFiscal)) TiparesteNefiscal(ctx);
        });
        return ctx.exchange.programEnded ? TickFlow::EndProgram : TickFlow::Continue;
    }
    if (ready(request_file::kNonFiscal)) TiparesteNefiscal(ctx);
    return ctx.exchange.programEnded ? TickFlow::EndProgram : TickFlow::Continue;
}

}  // namespace

bool RequestReady(Context& ctx, const std::string& name) {
    const std::optional<std::string> found = FindRequestFile(ctx, name);
    if (!found) return false;
    const std::optional<FileStamp> first = ctx.services.files.stamp(*found);
    if (!first) return false;
    // A file last changed before the settle interval is quiet already. A
    // negative age (a writer whose clock runs ahead, over a share) says
    // nothing, so such a file is watched like a fresh one.
    if (first->ageMilliseconds >= kSettleMilliseconds) return true;
    ctx.services.clock.sleepMilliseconds(kSettleMilliseconds);
    const std::optional<FileStamp> second = ctx.services.files.stamp(*found);
    return second && second->size == first->size &&
           second->modifiedNanoseconds == first->modifiedNanoseconds;
}

void EndProgram(Context& ctx, bool closeMainWindow) {
    ctx.exchange.programEnded = true;
    try {
        ctx.services.kordal.InchidePort(ctx.settings.ComPort);
    } catch (const RuntimeError&) {
        // A library that cannot be loaded has no port open.
    }
    if (closeMainWindow) ctx.services.ui.closeWindow(Window::Main);
    ctx.services.ui.quit();
}

void PollingTick(Context& ctx) {
    ExchangeState& state = ctx.exchange;
    if (state.tickRunning || state.programEnded) return;
    TickGuard guard(state.tickRunning);

    TickFlow flow = TickFlow::Continue;
    try {
        ctx.services.ui.setPollingTimer(true);
        // Every file is opened and closed inside one procedure, so none can
        // still be open from an earlier failure.
        flow = RunRequests(ctx);
    } catch (const RuntimeError& failure) {
        TickFailure(ctx, failure);
    } catch (const std::exception& failure) {
        TickFailure(ctx, RuntimeError(0, failure.what()));
    }
    if (flow == TickFlow::EndProgram || state.programEnded) return;
    // Unattended operation ends after one tick, also after a failure: with
    // nobody to switch polling on again the program would otherwise stay.
    if (ctx.settings.TipInterfata != 0) EndProgram(ctx);
}

}  // namespace veltar
