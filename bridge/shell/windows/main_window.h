// The main window COMENZI: its load sequence, the tray icon's notifications,
// the manual reports with their paper loops, and the way out. Every handler
// catches its own unexpected failures (the standard failure path with the
// handler's location code).
#pragma once

#include "shell/context.h"

namespace veltar {

inline constexpr const char* kMainCaption = "COMENZI DISPONIBILE";
inline constexpr const char* kDoubleClickCaption = "Double Click";
inline constexpr const char* kTrayTip = "VELTAR 2000 ver. TEXT";

// The receipt header and footer lines, read when the window loads.
inline constexpr const char* kHeaderFooterFile = "GENERALE.TXT";

// The number a window service's RuntimeError carries when a window component
// fails without saying why (E_FAIL): a load that meets it ends the program
// without a box, since a window that cannot be built cannot show one either.
inline constexpr int kWindowComponentFailure = -2147467259;

// Mouse codes a tray notification carries.
inline constexpr int kTrayRightButtonDown = 0x204;
inline constexpr int kTrayLeftDoubleClick = 0x203;

// Controls of COMENZI, as setControlEnabled names them.
namespace main_control {
inline constexpr const char* kRapz = "Rapz";
inline constexpr const char* kRapx = "Rapx";
inline constexpr const char* kRapoarteMF = "RapoarteMF";
inline constexpr const char* kServicePOS = "ServicePOS";
inline constexpr const char* kSumeSertarBut = "SumeSertarBut";
inline constexpr const char* kAboutB = "AboutB";
inline constexpr const char* kExitBut = "ExitBut";
}  // namespace main_control

// Window events. ComenziLoad runs the load sequence once per program (a
// second call does nothing, also one that comes while the first still runs);
// ComenziTimer is Timer1's event. ComenziBackgroundPress hides the window
// only when the tray icon leads back to it. Every handler returns normally:
// nothing is thrown to the window system.
void ComenziLoad(Context& ctx);
void ComenziActivate(Context& ctx);
void ComenziBackgroundPress(Context& ctx);
void ComenziTrayNotification(Context& ctx, int mouseCode);
void ComenziTimer(Context& ctx);
void ComenziUnload(Context& ctx);

// The tray menu's entries.
void MeniuShow(Context& ctx);  // "Comenzi"
void MeniuExit(Context& ctx);  // "Exit"

// Buttons.
void AboutBClick(Context& ctx);
void RapoarteMFClick(Context& ctx);
void ServicePOSClick(Context& ctx);
void SumeSertarButClick(Context& ctx);
void RapxClick(Context& ctx);
void RapzClick(Context& ctx);
void ExitButClick(Context& ctx);

}  // namespace veltar
