#include "shell/windows/small_windows.h"

#include "command/codes.h"
#include "command/exchange.h"
#include "shell/windows/handlers.h"
#include "shell/windows/main_window.h"
#include "shell/windows/startup.h"

namespace veltar {

using windows_detail::FailurePath;
using windows_detail::RunHandler;

namespace {

constexpr const char* kPlatformText = "Platform Linux";
constexpr const char* kSplashLine1 = "Puntea dintre aplicatia de vanzari si imprimanta fiscala";
constexpr const char* kSplashLine2 = "Copyright (c) 2026 Echipa VELTAR2000";
constexpr const char* kDisclaimer =
    "Atentie: acest program este protejat de legea dreptului de autor. Copierea sau "
    "distribuirea lui, in intregime sau in parte, fara acordul autorilor se pedepseste "
    "conform legii.";

// The splash's and the service menu's handlers log their location code alone.
FailurePath CodeAlone(const char* code, bool showBox = true) {
    return FailurePath{code, showBox, false};
}

std::string VersionText() {
    return "Version " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
           "." + std::to_string(kVersionRevision);
}

void LoadMainWindowOnce(Context& ctx) {
    if (!ctx.windows.mainWindowLoaded) ComenziLoad(ctx);
}

}  // namespace

SplashTexts SplashLoad(Context& ctx) {
    SplashTexts texts;
    // Nothing is shown for a failure here: the splash is on its way up.
    RunHandler(ctx, CodeAlone("16.002", false), [&] {
        texts.productName = kProgramTitle;
        texts.version = VersionText();
        texts.platform = kPlatformText;
        texts.line1 = kSplashLine1;
        texts.line2 = kSplashLine2;
    });
    return texts;
}

void SplashTimer(Context& ctx) {
    RunHandler(ctx, CodeAlone("16.004"), [&] {
        LoadMainWindowOnce(ctx);
        ctx.services.ui.closeWindow(Window::Splash);
    });
}

void SplashKeyPress(Context& ctx) {
    RunHandler(ctx, CodeAlone("16.001"), [&] {
        ctx.services.ui.closeWindow(Window::Splash);
        SplashClosed(ctx);
    });
}

void SplashFrameClick(Context& ctx) {
    RunHandler(ctx, CodeAlone("16.003"), [&] {
        ctx.services.ui.closeWindow(Window::Splash);
        SplashClosed(ctx);
    });
}

void SplashClosed(Context& ctx) { LoadMainWindowOnce(ctx); }

AboutTexts AboutLoad(Context&) {
    AboutTexts texts;
    texts.caption = std::string("About ") + kProgramTitle;
    texts.title = kProgramTitle;
    texts.version = VersionText();
    texts.disclaimer = kDisclaimer;
    return texts;
}

void RapTehButClick(Context& ctx) {
    RunHandler(ctx, CodeAlone("14.005"), [&] {
        ResetBuffers(ctx.command);
        // TrimiteComandaImp shows whatever goes wrong itself.
        TrimiteComandaImp(ctx, {}, command_code::kTechnicalReport);
    });
}

void ServiceFiscalClick(Context& ctx) {
    RunHandler(ctx, CodeAlone("14.006"), [&] {
        ctx.services.ui.showWindow(Window::FiscalElements);
        ctx.services.ui.closeWindow(Window::ServiceMenu);
    });
}

void UtilitarButClick(Context& ctx) {
    RunHandler(ctx, CodeAlone("14.007"), [&] {
        ctx.services.ui.showWindow(Window::PrinterUtilities);
        ctx.services.ui.closeWindow(Window::ServiceMenu);
    });
}

void ServiceExitClick(Context& ctx) {
    RunHandler(ctx, CodeAlone("14.003"), [&] {
        ctx.VerificareLaActivare = true;
        ctx.services.ui.closeWindow(Window::ServiceMenu);
        ctx.services.ui.showWindow(Window::Main);
    });
}

}  // namespace veltar
