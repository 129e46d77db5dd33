#include "exchange/request_files.h"

#include <strings.h>

#include "command/exchange.h"
#include "shell/platform.h"

namespace veltar {

std::optional<std::string> FindRequestFile(Context& ctx, const std::string& name) {
    std::optional<std::string> found = ctx.services.files.findFile(name);
    // The lookup already ignores case; the comparison says what counts as the
    // same name here, whatever the file service's own rule.
    if (found && ::strcasecmp(found->c_str(), name.c_str()) != 0) return std::nullopt;
    return found;
}

std::string ReadFirstLine(Context& ctx, const std::string& diskName) {
    const std::vector<std::string> lines = ctx.services.files.readLines(diskName);
    return lines.empty() ? std::string() : lines.front();
}

void DeleteIfPresent(Context& ctx, const std::string& name) {
    if (std::optional<std::string> found = FindRequestFile(ctx, name)) {
        ctx.services.files.remove(*found);
    }
}

void ReplaceResponseFile(Context& ctx, const std::string& name, const std::string& content) {
    const std::optional<std::string> found = FindRequestFile(ctx, name);
    ctx.services.files.replace(found ? *found : name, content);
}

bool SendCommand(Context& ctx, int32_t printerIndex, uint8_t code, const std::string& payload,
                 std::string& response) {
    CommandState& state = ctx.command;
    state.ParametriComanda = payload;
    state.CodComanda = code;
    return ExecutaComanda(ctx, printerIndex, state.ParametriComanda, state.CodComanda, response);
}

std::string FitToWidth(std::string_view text, std::size_t width) {
    std::string result(text.substr(0, width));
    result.resize(width, ' ');
    return result;
}

std::string TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

}  // namespace veltar
