// The program veltar2000 on Qt: the services of the platform, the context,
// the four windows bound to their handlers, the start-up and the event loop.
#pragma once

#include <memory>
#include <string>

#include "process_library.h"
#include "qt_window_services.h"
#include "shell/context.h"
#include "shell/platform.h"
#include "shell/windows/startup.h"

namespace veltar {

class AboutWindow;
class CashDrawerDialog;
class ComenziWindow;
class FiscalElementsDialog;
class PeriodicReportDialog;
class PrinterUtilitiesDialog;
class ServiceMenuWindow;
class SplashWindow;

// Services a caller brings instead of the real ones; each left null is made
// by the program: the system clock, the bridge directory's files, and the
// process's library.
struct ProgramSeams {
    Clock* clock = nullptr;
    ProgramFiles* files = nullptr;
    KordalExports* kordal = nullptr;
};

class Program {
public:
    // A QApplication must exist. `directory` is the bridge's own directory.
    explicit Program(const std::string& directory, ProgramSeams seams = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The start-up, then what it asks for: nothing when another copy runs,
    // the splash, or the main window's load from the event loop.
    StartOutcome start(bool anotherInstanceRuns);
    // The event loop until the program ends; at once when it already asked
    // to end during the start.
    int exec();

    Context& context() { return ctx_; }
    QtWindowServices& windowServices() { return ui_; }
    ComenziWindow& mainWindow() { return *comenzi_; }
    SplashWindow& splash() { return *splash_; }
    AboutWindow& about() { return *about_; }
    ServiceMenuWindow& serviceMenu() { return *serviceMenu_; }

private:
    SystemClock systemClock_;
    std::unique_ptr<DirectoryFiles> directoryFiles_;
    QtWindowServices ui_;
    Context ctx_;
    // Destroyed before the context and the services they refer to.
    std::unique_ptr<ComenziWindow> comenzi_;
    std::unique_ptr<SplashWindow> splash_;
    std::unique_ptr<AboutWindow> about_;
    std::unique_ptr<ServiceMenuWindow> serviceMenu_;
    std::unique_ptr<FiscalElementsDialog> fiscalElements_;
    std::unique_ptr<PrinterUtilitiesDialog> printerUtilities_;
    std::unique_ptr<PeriodicReportDialog> periodicReport_;
    std::unique_ptr<CashDrawerDialog> cashDrawer_;
};

}  // namespace veltar
