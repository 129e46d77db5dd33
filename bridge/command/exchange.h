// The bridge's three roads to the printer and the result-code texts.
//
// Every exchange first blanks BufRaspuns (251 characters) and BufStare (10),
// runs one library call, stores its result in RezultatComanda and turns a
// failed result into an operator text (MesajeRezultat, filled by the start-up). ExecutaComanda and
// ExecutaComandaL then judge an accepted reply by its status bytes (status.h); TrimiteComandaImp
// leaves that to its callers.
#pragma once

#include <cstdint>
#include <string>

#include "shell/context.h"
#include "shell/services.h"

namespace veltar {

// The response convention shared by the whole command layer: a response of
// exactly "-" asks for a message box and is left alone; any other response
// receives the text and nothing is shown.
void ReportProblem(Context& ctx, std::string& response, const std::string& text,
                   const std::string& title, Icon icon);

// True for the results of a failed frame exchange (1, 3, 4, 5, 10), the ones
// that have a text in MesajeRezultat.
bool IsExchangeFailure(int32_t result);

// Judges an accepted reply (library result 0) by its status bytes, with the
// caller's response; a "-" is handed on as a fresh copy, so the caller's own
// variable never changes.
bool JudgeAcceptedReply(Context& ctx, int32_t& printerIndex, std::string& response);

// Reports a failed frame exchange (IsExchangeFailure) with its MesajeRezultat
// text, error icon and the title "NORVADE 2000", by the response convention.
void ReportExchangeFailure(Context& ctx, std::string& response, int32_t result);

// Blanks the reply and status buffers before an exchange.
void ResetBuffers(CommandState& state);

// Sends `payload` with command `code` to the configured port. True when the
// printer accepted the command and its status shows no error. Never throws.
bool ExecutaComanda(Context& ctx, int32_t& printerIndex, const std::string& payload, uint8_t code,
                    std::string& response);

// The same for a length-prefixed block (first byte = count of the bytes that
// follow), sent to PorturiImprimanta[printerIndex]. Never throws.
bool ExecutaComandaL(Context& ctx, int32_t& printerIndex, const std::string& block, uint8_t code,
                     std::string& response);

// The service screens' exchange: shows its own boxes and returns one of
// imp_result (100 accepted). The status bytes are left to the caller.
int TrimiteComandaImp(Context& ctx, const std::string& payload, uint8_t code);

}  // namespace veltar
