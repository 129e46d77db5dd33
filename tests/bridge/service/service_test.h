// Fixture of the service screens' tests: the exchange's fixture (a printer on
// port 3, the program's default money) with a few helpers for the screens.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "command/codes.h"
#include "exchange_test.h"
#include "shell/failure.h"

namespace veltar::testing {

class ServiceTest : public ExchangeTest {
protected:
    // The window system fails while the box with this text is open, as a
    // box that cannot be shown: the handler meets an unexpected failure there.
    void FailAtBox(std::string text, RuntimeError failure = RuntimeError(7, "Out of memory")) {
        ui.whileOpen = [this, text = std::move(text), failure] {
            if (ui.boxes.back().text == text) throw failure;
        };
    }

    std::vector<std::string> BoxTexts() const { return ui.boxTexts(); }

    // The window events, as "show:<window>" and "close:<window>".
    std::vector<std::string> WindowJournal() const {
        std::vector<std::string> kept;
        for (const std::string& entry : ui.journal) {
            if (entry.rfind("show:", 0) == 0 || entry.rfind("close:", 0) == 0 ||
                entry.rfind("hide:", 0) == 0) {
                kept.push_back(entry);
            }
        }
        return kept;
    }
    static std::string Shown(Window w) { return "show:" + std::to_string(static_cast<int>(w)); }
    static std::string Closed(Window w) { return "close:" + std::to_string(static_cast<int>(w)); }
};

}  // namespace veltar::testing
