// The polling tick: the request files in their fixed order, each handed to
// its handler, and the tick's failure handler.
#pragma once

#include <string>

#include "shell/context.h"

namespace veltar {

// How a handler lets the tick go on.
enum class TickFlow {
    Continue,    // the next request file's turn
    EndTick,     // the rest of the tick waits for the next one
    EndProgram,  // the port is closed and the program ends (EndProgram was called)
};

// A request file is taken only once it has been quiet this long: unchanged
// size and modification time. A file older than that costs nothing more
// than the look at its stamp.
inline constexpr int kSettleMilliseconds = 200;

// One polling tick. A call while another tick runs (from a box or a wait of
// that tick) does nothing.
void PollingTick(Context& ctx);

// True when the request file is present and nobody is writing it any more:
// its stamp is older than the settle interval, or stays the same over one.
bool RequestReady(Context& ctx, const std::string& name);

// Closes the port (InchidePort with ComPort), closes the main window when
// asked, and ends the program. Nothing is carried out after it.
void EndProgram(Context& ctx, bool closeMainWindow = true);

}  // namespace veltar
