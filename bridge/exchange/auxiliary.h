// The smaller requests: display text, drawer, cash in or out, one printer
// function by its code, and the non-fiscal receipt.
#pragma once

#include "shell/context.h"

namespace veltar {

void HandleDisplayText(Context& ctx);  // FTEXT.TXT
void HandleDrawer(Context& ctx);       // SERTAR.TXT
void HandleCash(Context& ctx);         // SUME.TXT, answered in RSPSUME.TXT
void HandleFunction(Context& ctx);     // FCT.TXT, answered in FCTRSP.TXT
void TiparesteNefiscal(Context& ctx);  // NEFISCAL.TXT

}  // namespace veltar
