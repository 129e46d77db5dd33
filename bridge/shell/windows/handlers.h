// How the windows' event handlers end when something unexpected fails. Used
// by the handlers of this folder only.
#pragma once

#include <exception>
#include <string>

#include "shell/context.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar::windows_detail {

// What a handler's failure shows and logs (the standard failure path).
struct FailurePath {
    const char* locationCode;
    bool showBox = true;
    bool withDescription = true;
};

// The standard failure path at the end of an event handler. Above a handler
// there is only the window system, which can do nothing with a failure, so
// a failure of the failure path itself (the log out of reach, which the log
// writer has already shown in its own box) ends here.
inline void EndHandler(Context& ctx, const FailurePath& path, const RuntimeError& failure) {
    try {
        StandardFailure(ctx, path.locationCode, failure, path.showBox, path.withDescription);
    } catch (const std::exception&) {
    }
}

// Runs an event handler's body; an unexpected failure takes `path` and
// ends the handler.
template <typename Body>
void RunHandler(Context& ctx, const FailurePath& path, Body&& body) {
    try {
        body();
    } catch (const RuntimeError& failure) {
        EndHandler(ctx, path, failure);
    } catch (const std::exception& failure) {
        EndHandler(ctx, path, RuntimeError(0, failure.what()));
    }
}

// Runs a step whose failures are ignored.
template <typename Body>
void IgnoreFailures(Body&& body) {
    try {
        body();
    } catch (const std::exception&) {
    }
}

}  // namespace veltar::windows_detail
