#include "shell/windows/startup.h"

#include "shell/settings.h"

namespace veltar {

StartOutcome Main(Context& ctx, bool anotherInstanceRuns) {
    if (anotherInstanceRuns) return StartOutcome::AlreadyRunning;
    ReadStartupSettings(ctx);
    return ctx.settings.TipInterfata == 0 ? StartOutcome::Splash
                                          : StartOutcome::MainWindowHidden;
}

}  // namespace veltar
