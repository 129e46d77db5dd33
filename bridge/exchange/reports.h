// The interim (X) and day-end (Z) reports asked for by RAPX.TXT and RAPZ.TXT,
// with the day-end archive in Rap and RSPRAPZ.TXT.
#pragma once

#include <cstdint>
#include <string>

#include "exchange/tick.h"
#include "shell/context.h"

namespace veltar {

// RAPX.TXT is present.
void HandleInterimReport(Context& ctx);
// RAPZ.TXT is present. Ends the tick: the sale and the non-fiscal request
// wait for the next one.
TickFlow HandleDayEndReport(Context& ctx);

// Runs the day-end report and writes the archive file and RSPRAPZ.TXT.
bool ScrieRaspunsRapZ(Context& ctx, int32_t printerIndex, int32_t unused = 0);
// Writes the archive file from the report's reply data and gives back the report line.
bool ScrieRapZinBD(Context& ctx, const std::string& replyData, std::string& reportLine);

}  // namespace veltar
