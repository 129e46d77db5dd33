// The checks before trading starts: the printer's status, leu state and VAT
// rates against TVA.TXT. When they pass, the first polling tick runs.
#pragma once

#include "shell/context.h"

namespace veltar {

void VerificariPornire(Context& ctx);
bool VerificaCoteTVA(Context& ctx);

}  // namespace veltar
