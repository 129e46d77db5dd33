#include "display_probe.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace veltar {

DisplayEnvironment SystemDisplayEnvironment() {
    return {
        [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value == nullptr ? "" : value);
        },
        [](const std::string& display) {
            xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
            // xcb_connect always returns an object to free, even a failed one.
            const bool answers = xcb_connection_has_error(connection) == 0;
            xcb_disconnect(connection);
            return answers;
        },
    };
}

bool DisplayAvailable(const DisplayEnvironment& environment) {
    if (!environment.variable("QT_QPA_PLATFORM").empty()) return true;
    if (!environment.variable("WAYLAND_DISPLAY").empty()) return true;
    const std::string display = environment.variable("DISPLAY");
    return !display.empty() && environment.x11Answers(display);
}

}  // namespace veltar
