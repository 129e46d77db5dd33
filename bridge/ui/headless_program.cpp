#include "headless_program.h"

#include "exchange/tick.h"
#include "process_library.h"
#include "shell/headless_window_services.h"
#include "shell/platform.h"
#include "shell/windows/main_window.h"
#include "shell/windows/startup.h"

namespace veltar {

int RunWithoutDisplay(const std::string& directory, bool anotherInstanceRuns,
                      std::ostream& errors) {
    SystemClock clock;
    DirectoryFiles files(directory);
    HeadlessWindowServices ui(clock, errors);
    Context ctx(Services{ui, clock, files, ProcessLibrary(directory)});
    ui.attach(ctx);
    ctx.regional = RegionalFormat::fromCurrentLocale();

    if (Main(ctx, anotherInstanceRuns) == StartOutcome::AlreadyRunning) return 0;
    ComenziLoad(ctx);
    if (ui.quitRequested()) return 0;
    // The loop also ends when polling stopped and nobody is there to start
    // it again: then the program ends its own way, closing the port.
    if (!ui.run([&ctx] { ComenziTimer(ctx); })) EndProgram(ctx);
    return 0;
}

}  // namespace veltar
