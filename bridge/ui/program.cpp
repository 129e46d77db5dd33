#include "program.h"

#include <QApplication>
#include <QTimer>

#include "about_window.h"
#include "cash_drawer_dialog.h"
#include "comenzi_window.h"
#include "fiscal_elements_dialog.h"
#include "periodic_report_dialog.h"
#include "pictures.h"
#include "printer_utilities_dialog.h"
#include "service_menu_window.h"
#include "shell/windows/main_window.h"
#include "splash_window.h"

namespace veltar {

Program::Program(const std::string& directory, ProgramSeams seams)
    : directoryFiles_(seams.files != nullptr ? nullptr
                                             : std::make_unique<DirectoryFiles>(directory)),
      ctx_(Services{ui_, seams.clock != nullptr ? *seams.clock : systemClock_,
                    seams.files != nullptr ? *seams.files : *directoryFiles_,
                    seams.kordal != nullptr ? *seams.kordal : ProcessLibrary(directory)}) {
    // The main window usually lives hidden behind the tray icon: the last
    // window going away is no reason to end.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setApplicationName(QString::fromLatin1(kProgramTitle));

    ui_.attach(ctx_);
    ctx_.regional = RegionalFormat::fromCurrentLocale();
    comenzi_ = std::make_unique<ComenziWindow>(ctx_, ui_);
    splash_ = std::make_unique<SplashWindow>(ctx_);
    about_ = std::make_unique<AboutWindow>(ctx_);
    serviceMenu_ = std::make_unique<ServiceMenuWindow>(ctx_, ui_);
    ui_.registerWindow(Window::Main, comenzi_.get());
    ui_.registerWindow(Window::Splash, splash_.get());
    ui_.registerWindow(Window::About, about_.get());
    ui_.registerWindow(Window::ServiceMenu, serviceMenu_.get());
    fiscalElements_ = std::make_unique<FiscalElementsDialog>(ctx_);
    printerUtilities_ = std::make_unique<PrinterUtilitiesDialog>(ctx_);
    periodicReport_ = std::make_unique<PeriodicReportDialog>(ctx_);
    cashDrawer_ = std::make_unique<CashDrawerDialog>(ctx_);
    ui_.registerWindow(Window::FiscalElements, fiscalElements_.get());
    ui_.registerWindow(Window::PrinterUtilities, printerUtilities_.get());
    ui_.registerWindow(Window::PeriodicReport, periodicReport_.get());
    ui_.registerWindow(Window::CashDrawer, cashDrawer_.get());
}

Program::~Program() {
    for (Window w : {Window::Main, Window::Splash, Window::About, Window::ServiceMenu,
                     Window::FiscalElements, Window::PrinterUtilities, Window::PeriodicReport,
                     Window::CashDrawer}) {
        ui_.registerWindow(w, nullptr);
    }
}

StartOutcome Program::start(bool anotherInstanceRuns) {
    const StartOutcome outcome = Main(ctx_, anotherInstanceRuns);
    switch (outcome) {
        case StartOutcome::AlreadyRunning:
            break;
        case StartOutcome::Splash:
            ui_.showWindow(Window::Splash);
            break;
        case StartOutcome::MainWindowHidden:
            // From the event loop, so that the start returns first, as the
            // splash's own timer does in normal operation.
            QTimer::singleShot(0, comenzi_.get(), [this] { ComenziLoad(ctx_); });
            break;
    }
    return outcome;
}

int Program::exec() {
    if (ui_.quitRequested()) return 0;
    return QApplication::exec();
}

}  // namespace veltar
