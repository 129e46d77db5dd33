// The program's own pictures, drawn at start instead of shipped as image
// files: the logo (a receipt with a V), the program and tray icon, the main
// window's background, and the buttons' icons from the desktop's theme.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStyle>

class QPainter;
class QRect;

namespace veltar {

inline constexpr const char* kProductName = "VELTAR 2000";

// The logo, `size` pixels square, on a transparent ground.
QPixmap ProgramLogo(int size);
// The logo in the sizes a title bar, a task switcher and a tray ask for.
QIcon ProgramIcon();
// The main window's background: fills `area` whatever its size.
void PaintBackground(QPainter& painter, const QRect& area);
// The desktop theme's icon of that name, else the style's own picture, so a
// picture button never stays blank on a desktop without an icon theme.
QIcon ThemedIcon(const char* name, QStyle::StandardPixmap fallback);

}  // namespace veltar
