// Whether the program can open a display, found out without asking Qt, which
// aborts the whole process when it cannot connect to one. A program started
// by a service, over ssh or in a container then runs without windows instead.
#pragma once

#include <functional>
#include <string>

namespace veltar {

// The environment and the X server as the probe sees them; tests give their own.
struct DisplayEnvironment {
    // The value of a variable; empty when it is unset or empty.
    std::function<std::string(const char*)> variable;
    // True when an X server answers on that display name.
    std::function<bool(const std::string&)> x11Answers;
};

// The process's own environment and a real connection attempt.
DisplayEnvironment SystemDisplayEnvironment();

// A platform named in QT_QPA_PLATFORM (the caller chose it, e.g. offscreen),
// a Wayland display, or an X display that accepts a connection.
bool DisplayAvailable(const DisplayEnvironment& environment);

}  // namespace veltar
