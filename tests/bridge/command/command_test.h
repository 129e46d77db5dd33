// Fixture and helpers shared by the command layer's tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "command/codes.h"
#include "shell/log.h"
#include "shell/settings.h"
#include "test_context.h"

namespace veltar::testing {

// The text of a silent printer, as ExecutaComanda reports it.
inline constexpr const char* kNoReplyText = "Lipsa comunicatie cu imprimanta. Verificati imprimanta! ";

// A box as the tests compare it.
struct Box {
    std::string text;
    std::string title;
    Icon icon = Icon::None;
    friend bool operator==(const Box&, const Box&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Box& box) {
        return out << "{\"" << box.text << "\", \"" << box.title << "\", icon "
                   << static_cast<int>(box.icon) << "}";
    }
};

// One line of Veltar.log: its text and its number.
struct LogEntry {
    std::string text;
    int number = 0;
    friend bool operator==(const LogEntry&, const LogEntry&) = default;
    friend std::ostream& operator<<(std::ostream& out, const LogEntry& entry) {
        return out << "{\"" << entry.text << "\", " << entry.number << "}";
    }
};

// Status bytes S0..S7 with the given bytes set: {{4, 0x08}} sets S4 to 0x08.
inline std::string Status(std::initializer_list<std::pair<int, uint8_t>> bytes = {}) {
    std::string status(8, '\0');
    for (const auto& [index, value] : bytes) {
        status[static_cast<std::size_t>(index)] = static_cast<char>(value);
    }
    return status;
}

inline KordalReply Accepted(std::string data = {}, std::string status = Status()) {
    return KordalReply{library_result::kOk, std::move(data), std::move(status)};
}

inline KordalReply Failed(int32_t result) {
    return KordalReply{result, {}, Status()};
}

// Bytes from a list of values, for replies and payloads with zero bytes.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

class CommandTest : public ContextTest {
protected:
    static constexpr int32_t kComPort = 3;

    void SetUp() override {
        // The start-up fills the result-code texts the exchanges show.
        ReadStartupSettings(ctx);
        ctx.settings.ComPort = kComPort;
        ctx.command.PorturiImprimanta = {kComPort, 5, 7};
        // Only the amount of a ":" markup or discount is multiplied by it here;
        // prices come already multiplied and percentages never are. A value
        // other than 1 shows a procedure that multiplies where it must not.
        ctx.settings.Multiplu = Amount::fromInt(100);
        ui.boxes.clear();
        files.files.erase(kLogFile);
    }

    std::vector<Box> Boxes() const {
        std::vector<Box> shown;
        for (const ShownBox& box : ui.boxes) {
            shown.push_back({box.text, box.title, box.icon});
        }
        return shown;
    }

    std::vector<LogEntry> Log() const {
        std::vector<LogEntry> entries;
        const std::string log = files.content(kLogFile);
        std::size_t at = 0;
        while (at < log.size()) {
            const std::size_t end = log.find("\r\n", at);
            const std::string line = log.substr(at, end - at);
            at = end == std::string::npos ? log.size() : end + 2;
            // "<date time>: ","<text>",<number>
            const std::size_t textAt = line.find("\",\"") + 3;
            const std::size_t numberAt = line.rfind("\",");
            entries.push_back(
                {line.substr(textAt, numberAt - textAt), std::stoi(line.substr(numberAt + 2))});
        }
        return entries;
    }

    const std::string& Message(int32_t result) const {
        return ctx.command.MesajeRezultat[static_cast<std::size_t>(result)];
    }
};

}  // namespace veltar::testing
