#include "command/exchange.h"

#include "command/codes.h"
#include "command/status.h"
#include "shell/failure.h"
#include "shell/log.h"

namespace veltar {

bool IsExchangeFailure(int32_t result) {
    switch (result) {
        case library_result::kChecksum:
        case library_result::kSequence:
        case library_result::kCommandEcho:
        case library_result::kEndByte:
        case library_result::kNoReply:
            return true;
        default:
            return false;
    }
}

namespace {

// Steps after the exchange, shared by ExecutaComanda and ExecutaComandaL.
bool JudgeExchange(Context& ctx, int32_t& printerIndex, std::string& response) {
    const int32_t result = ctx.command.RezultatComanda;
    try {
        if (result == library_result::kOk) {
            return JudgeAcceptedReply(ctx, printerIndex, response);
        }
        if (IsExchangeFailure(result)) {
            ReportExchangeFailure(ctx, response, result);
        }
    } catch (const RuntimeError&) {
        // These two exchanges never raise to their caller; a failure here can
        // only end in "not done".
    }
    return false;
}

}  // namespace

bool JudgeAcceptedReply(Context& ctx, int32_t& printerIndex, std::string& response) {
    if (response == kShowBoxes) {
        // The evaluator must not be able to touch the caller's "-".
        std::string fresh = kShowBoxes;
        return VerificareExecutieComanda(ctx, printerIndex, fresh);
    }
    return VerificareExecutieComanda(ctx, printerIndex, response);
}

void ReportExchangeFailure(Context& ctx, std::string& response, int32_t result) {
    ReportProblem(ctx, response, ctx.command.MesajeRezultat[static_cast<std::size_t>(result)],
                  kTitleNorvade, Icon::Error);
}

void ReportProblem(Context& ctx, std::string& response, const std::string& text,
                   const std::string& title, Icon icon) {
    if (response == kShowBoxes) {
        ctx.services.ui.messageBox(text, title, icon, Buttons::Ok);
    } else {
        response = text;
    }
}

void ResetBuffers(CommandState& state) {
    state.BufRaspuns.assign(CommandState::kReplySize, ' ');
    state.BufStare.assign(CommandState::kStatusSize, ' ');
}

bool ExecutaComanda(Context& ctx, int32_t& printerIndex, const std::string& payload, uint8_t code,
                    std::string& response) {
    CommandState& state = ctx.command;
    ResetBuffers(state);
    try {
        state.RezultatComanda =
            ctx.services.kordal.TrimiteTelegrama(ctx.settings.ComPort, payload.c_str(), code,
                                                 state.BufRaspuns.data(), state.BufStare.data());
    } catch (const RuntimeError&) {
        // The library could not be called (its file or export is missing).
        // Going on with the previous command's result would let an old 0 pass
        // for success; nothing reached the printer, so it is "no reply".
        state.RezultatComanda = library_result::kNoReply;
    }
    return JudgeExchange(ctx, printerIndex, response);
}

bool ExecutaComandaL(Context& ctx, int32_t& printerIndex, const std::string& block, uint8_t code,
                     std::string& response) {
    CommandState& state = ctx.command;
    ResetBuffers(state);
    try {
        const int32_t port = state.PorturiImprimanta.at(static_cast<std::size_t>(printerIndex));
        state.RezultatComanda = ctx.services.kordal.TrimiteTelegramaL(
            port, reinterpret_cast<const unsigned char*>(block.data()), code,
            reinterpret_cast<unsigned char*>(state.BufRaspuns.data()), state.BufStare.data());
    } catch (const std::out_of_range&) {
        // A printer index outside 0..2 names no port: nothing was sent.
        state.RezultatComanda = library_result::kNoReply;
    } catch (const RuntimeError&) {
        state.RezultatComanda = library_result::kNoReply;
    }
    return JudgeExchange(ctx, printerIndex, response);
}

int TrimiteComandaImp(Context& ctx, const std::string& payload, uint8_t code) {
    CommandState& state = ctx.command;
    ResetBuffers(state);
    try {
        state.RezultatComanda =
            ctx.services.kordal.TrimiteTelegrama(ctx.settings.ComPort, payload.c_str(), code,
                                                 state.BufRaspuns.data(), state.BufStare.data());
    } catch (const RuntimeError& failure) {
        state.RezultatComanda = library_result::kNoReply;
        StandardFailure(ctx, "1.002", failure);
        return imp_result::kOther;
    }

    auto box = [&](const char* text, const char* title) {
        ctx.services.ui.messageBox(text, title, Icon::Error, Buttons::Ok);
    };
    switch (state.RezultatComanda) {
        case library_result::kOk:
            return imp_result::kAccepted;
        case library_result::kChecksum:
            box("Eroare CRC: CRC prost !", kProgramTitle);
            return imp_result::kChecksum;
        case library_result::kSequence:
            box("Eroare data", kProgramTitle);
            return imp_result::kSequenceOrEcho;
        case library_result::kCommandEcho:
            box("Eroare comanda la imprimanta.", kProgramTitle);
            return imp_result::kSequenceOrEcho;
        case library_result::kEndByte:
            box("Eroare terminator comanda.", kProgramTitle);
            return imp_result::kTerminator;
        case library_result::kNoReply:
            box("Lipsa comunicatie cu imprimanta.", kTitleVeltarSpaced);
            return imp_result::kNoReply;
        default:
            return imp_result::kOther;
    }
}

}  // namespace veltar
