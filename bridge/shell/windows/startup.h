// The program's start: one copy per bridge directory, the result-code texts,
// the settings, then the splash or the hidden main window.
#pragma once

#include "shell/context.h"

namespace veltar {

// The program's version, as the splash and the about box show it.
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 1002;

// What the start-up leaves to the window system once it has run.
enum class StartOutcome {
    AlreadyRunning,    // another copy runs from this directory: end at once, silently
    Splash,            // show the splash; it loads the main window when it goes away
    MainWindowHidden,  // unattended operation: load the main window without showing it
};

// Steps 1 to 5 of the start-up and the choice of step 6. The caller tells
// whether another copy already runs (the instance lock, platform.h) and then
// carries out the outcome from its event loop, so that Main itself returns
// at once.
StartOutcome Main(Context& ctx, bool anotherInstanceRuns);

}  // namespace veltar
