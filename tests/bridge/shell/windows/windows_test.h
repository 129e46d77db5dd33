// Fixtures of the windows' tests: a printer that lets trading start, and
// window services that fail on demand.
#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "command/codes.h"
#include "exchange_test.h"
#include "shell/failure.h"

namespace veltar::testing {

// The reply of command 15: whole percent, ".", hundredths, "," per group.
inline std::string VatRatesReply(std::array<int, 4> wholePercent) {
    std::string data;
    for (int rate : wholePercent) data += Bytes({rate, '.', 0, ','});
    return data;
}

// A printer in the old leu with the rates of TVA.TXT: the pre-checks pass.
inline void PrinterLetsTradingStart(TestDoubles& t) {
    t.kordal.replyToCommand(command_code::kPrinterStatus, Accepted());
    t.kordal.replyToCommand(command_code::kReadLeuState, Accepted(Bytes({0xFF})));
    t.kordal.replyToCommand(command_code::kReadVatRates, Accepted(VatRatesReply({19, 9, 5, 0})));
    t.files.files[kVatRatesFile] = "19\t9\t5\t0\t\r\n";
}

class WindowsTest : public ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        PrinterLetsTradingStart(*this);
    }

    // The program ended as every way out does: the port closed once, the
    // main window closed, the end asked for once.
    bool Ended() const {
        const auto closes = kordal.callsTo("InchidePort");
        const bool mainClosed =
            std::find(ui.windowEvents.begin(), ui.windowEvents.end(),
                      ScriptedWindowServices::WindowEvent{
                          ScriptedWindowServices::WindowEvent::Kind::Close, Window::Main}) !=
            ui.windowEvents.end();
        return closes.size() == 1 && mainClosed && ui.quitCalls == 1;
    }

    // The journal without the entries of one kind ("box:", "timer:"...).
    std::vector<std::string> Journal(const std::string& prefix) const {
        std::vector<std::string> kept;
        for (const std::string& entry : ui.journal) {
            if (entry.rfind(prefix, 0) == 0) kept.push_back(entry);
        }
        return kept;
    }
};

// Scripted window services whose operations of one kind throw.
class FailingWindowServices : public ScriptedWindowServices {
public:
    enum class Operation { None, Box, Show, Close, Enable };

    Operation failOn = Operation::None;
    int failures = -1;  // how many calls fail; -1: all
    RuntimeError failure{7, "Out of memory"};

    Answer messageBox(const std::string& text, const std::string& title, Icon icon,
                      Buttons buttons) override {
        check(Operation::Box);
        return ScriptedWindowServices::messageBox(text, title, icon, buttons);
    }
    void showWindow(Window w) override {
        check(Operation::Show);
        ScriptedWindowServices::showWindow(w);
    }
    void closeWindow(Window w) override {
        check(Operation::Close);
        ScriptedWindowServices::closeWindow(w);
    }
    void setControlEnabled(Window w, const std::string& control, bool on) override {
        check(Operation::Enable);
        ScriptedWindowServices::setControlEnabled(w, control, on);
    }

private:
    void check(Operation operation) {
        if (operation != failOn || failures == 0) return;
        if (failures > 0) --failures;
        throw failure;
    }
};

// A second context over the same files, clock and library, whose window
// services fail on demand.
class FailingWindowsTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        failingCtx.command.MesajeRezultat = ctx.command.MesajeRezultat;
        failingCtx.settings.ComPort = kComPort;
        failingCtx.command.PorturiImprimanta = ctx.command.PorturiImprimanta;
    }

    std::vector<Box> FailingBoxes() const {
        std::vector<Box> shown;
        for (const ShownBox& box : failing.boxes) shown.push_back({box.text, box.title, box.icon});
        return shown;
    }

    FailingWindowServices failing;
    Context failingCtx{Services{failing, clock, files, kordal}};
};

}  // namespace veltar::testing
