#include "log.h"

namespace veltar {
namespace {

std::string LogLine(Context& ctx, const std::string& text, int32_t number) {
    // Quotes inside the text stay as they are: the log is read by people, and
    // the sales application never parses it.
    std::string line = "\"";
    line.append(FormatDateTime(ctx.services.clock.now()))
        .append(": \",\"")
        .append(text)
        .append("\",")
        .append(std::to_string(number))
        .append("\r\n");
    return line;
}

}  // namespace

void ScrieLog(Context& ctx, const std::string& text, int32_t number) {
    try {
        ctx.services.files.append(kLogFile, LogLine(ctx, text, number));
    } catch (const RuntimeError& failure) {
        ctx.services.ui.messageBox(failure.description(), kProgramTitle, Icon::None, Buttons::Ok);
        // A second failure goes to our caller: the log is out of reach.
        ctx.services.files.append(kLogFile, LogLine(ctx, "1.011", failure.number()));
    }
}

bool ScrieErrInFis(Context& ctx, const std::string& text) {
    // The sales application may read ERR.TXT at any moment, so it is replaced
    // in one step: it never sees the file missing or half-written. When the
    // replacement fails, the old text stays and the new one is only logged.
    try {
        std::string line = text;
        // The file holds exactly one line; a line break inside the text (from
        // a system description, say) would make the reader see only part of it.
        for (char& c : line) {
            if (c == '\r' || c == '\n') c = ' ';
        }
        ctx.services.files.replace(kErrorFile, line + "\r\n");
    } catch (const RuntimeError&) {
    }
    try {
        ScrieLog(ctx, "ScrieErrInFis:" + text, 0);
    } catch (const RuntimeError&) {
    }
    return false;
}

void StandardFailure(Context& ctx, const std::string& locationCode, const RuntimeError& failure,
                     bool showBox, bool withDescription) {
    if (showBox) {
        ctx.services.ui.messageBox(failure.description(), kProgramTitle, Icon::None, Buttons::Ok);
    }
    ScrieLog(ctx, withDescription ? locationCode + failure.description() : locationCode,
             failure.number());
}

}  // namespace veltar
