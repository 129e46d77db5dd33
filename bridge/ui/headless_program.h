// The program without a display: no Qt at all, boxes written to standard
// error and the log, the polling timer driven by a plain loop.
#pragma once

#include <ostream>
#include <string>

namespace veltar {

// The start-up, the main window's load (at once: without a display there is
// no splash to wait for), then the polling ticks until the program ends.
// Returns the program's exit status.
int RunWithoutDisplay(const std::string& directory, bool anotherInstanceRuns,
                      std::ostream& errors);

}  // namespace veltar
