// placeholder, replaced by its implementation
#include "exchange/reports.h"
namespace veltar {
void HandleInterimReport(Context&) {}
TickFlow HandleDayEndReport(Context&) { return TickFlow::EndTick; }
bool ScrieRaspunsRapZ(Context&, int32_t, int32_t) { return true; }
bool ScrieRapZinBD(Context&, const std::string&, std::string&) { return true; }
}
