#include "exchange/tick.h"
namespace veltar {
void PollingTick(Context&) {}
bool RequestReady(Context&, const std::string&) { return false; }
void EndProgram(Context&, bool) {}
}
