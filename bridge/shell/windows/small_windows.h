// The splash, the about box and the service menu.
#pragma once

#include <string>

#include "shell/context.h"

namespace veltar {

// What the splash shows; filled at its load.
struct SplashTexts {
    std::string productName;  // "VELTAR2000"
    std::string version;      // "Version 1.2.1002"
    std::string platform;     // "Platform Linux"
    std::string line1;        // the two fixed lines of the splash
    std::string line2;
};

// The splash's events. Its 500 ms timer loads the main window and closes the
// splash; a key or a click closes it at once, and however it closes, the main
// window is loaded (hidden) if it is not loaded yet.
SplashTexts SplashLoad(Context& ctx);
void SplashTimer(Context& ctx);
void SplashKeyPress(Context& ctx);
void SplashFrameClick(Context& ctx);
void SplashClosed(Context& ctx);

struct AboutTexts {
    std::string caption;     // "About VELTAR2000"
    std::string title;       // the product name
    std::string version;     // "Version 1.2.1002"
    std::string disclaimer;  // the legal notice
};
AboutTexts AboutLoad(Context& ctx);

// The service menu's buttons. Controls as setControlEnabled names them.
namespace service_control {
inline constexpr const char* kServiceFiscal = "ServiceFiscal";
inline constexpr const char* kUtilitarBut = "UtilitarBut";
inline constexpr const char* kRapTehBut = "RapTehBut";
inline constexpr const char* kExitBut = "ExitBut";
}  // namespace service_control

void RapTehButClick(Context& ctx);
void ServiceFiscalClick(Context& ctx);
void UtilitarButClick(Context& ctx);
// ExitBut and Esc: back to the main window, whose next activation runs the
// trading pre-checks.
void ServiceExitClick(Context& ctx);

}  // namespace veltar
