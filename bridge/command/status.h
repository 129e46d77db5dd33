// Judging the printer's status bytes S0..S7.
//
// An accepted frame only says the reply arrived intact; these evaluators say
// whether the printer did the work. Only VerificareExecutieComanda and
// TrateazaEroriImp copy BufStare into OctetiStare first; the other three read
// OctetiStare as the last refresh left it.
#pragma once

#include <cstdint>
#include <string>

#include "command/codes.h"
#include "shell/context.h"

namespace veltar {

// Copies S0..S7 from BufStare into OctetiStare. Throws RuntimeError when
// BufStare is too short, leaving the previous bytes in place.
void RefreshStatus(CommandState& state);

inline bool IsSet(const CommandState& state, StatusBit bit) {
    return (state.OctetiStare[bit.byte] & bit.mask) != 0;
}

// The verdict after a command: false at the first problem, reported by the
// response convention under "NORVADE 2000".
bool VerificareExecutieComanda(Context& ctx, int32_t& printerIndex, std::string& response);

// The printer utilities screen's reports: one box per problem found.
void TrateazaEroriImp(Context& ctx);
void TrateazaErorileImprimantei(Context& ctx);

// The report after a receipt total.
void TrateazaStareImp(Context& ctx);

// The report after the periodic report and the cash movements.
void TrateazaStareRaport(Context& ctx);

}  // namespace veltar
