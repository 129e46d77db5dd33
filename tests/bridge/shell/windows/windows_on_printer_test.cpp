// The main window's load and its manual reports through the real library
// against the virtual printer, judged by what the printer did.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "bridge_on_printer.h"
#include "command/codes.h"
#include "shell/log.h"
#include "shell/windows/main_window.h"

namespace veltar::testing {
namespace {

const std::string kPortFailure = "Porturile seriale nu au fost initializate. Eroare IRECUPERABILA";

class WindowsOnPrinter : public BridgeOnPrinter {
protected:
    void SetUp() override {
        BridgeOnPrinter::SetUp();
        // The printer's own rates, as the sales application writes them.
        put(kVatRatesFile, "19\t9\t5\t0\t\r\n");
    }
    void TearDown() override {
        unsetenv("KORDAL_COM3");
        BridgeOnPrinter::TearDown();
    }

    std::uint32_t ZNumber() { return printer().state().lastZNumber; }
};

TEST_F(WindowsOnPrinter, LoadOpensThePortAndLetsTradingStart) {
    const struct {
        const char* name;
        int32_t comPort;
        std::function<void(fpsim::Printer&)> arrange;
        bool timerOn;
        std::vector<std::string> boxes;
    } cases[] = {
        {"numbered port", 1, {}, true, {}},
        {"automatic search", 0, {}, true, {}},
        {"day older than 24 hours", 1,
         [](fpsim::Printer& p) { p.setCondition(fpsim::Condition::Day24HoursPassed, true); },
         false,
         {"Au trecut 24 de ore de la primul bon fiscal. \r\nTrebuie executat Inchidere Zi "
          "(Raport Z)!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BridgeRun& run = newRun();
        run.ctx.settings.ComPort = c.comPort;
        printer().setCondition(fpsim::Condition::Day24HoursPassed, false);
        if (c.arrange) c.arrange(printer());
        const auto before = printer().requestCount();

        ComenziLoad(run.ctx);

        EXPECT_EQ(run.ctx.settings.ComPort, kPrinterPort);
        EXPECT_EQ(run.ctx.command.PorturiImprimanta[0], kPrinterPort);
        EXPECT_EQ(run.ui.timerOn, c.timerOn);
        EXPECT_EQ(run.ui.boxTexts(), c.boxes);
        EXPECT_EQ(run.ui.quitCalls, 0);
        // The checks reached the printer through the port the load opened.
        const std::vector<std::uint8_t> requests = printer().requestLog();
        ASSERT_GT(requests.size(), before);
        EXPECT_EQ(requests[before], command_code::kPrinterStatus);
    }
}

TEST_F(WindowsOnPrinter, LoadOnAPortThatCannotBeOpenedEndsTheProgram) {
    setenv("KORDAL_COM3", (dir_ / "no-such-device").c_str(), 1);
    ctx().settings.ComPort = 3;
    ComenziLoad(ctx());
    EXPECT_EQ(bridge().ui.boxTexts(), std::vector<std::string>{kPortFailure});
    EXPECT_EQ(read(kErrorFile), kPortFailure + "\r\n");
    EXPECT_EQ(bridge().ui.quitCalls, 1);
    EXPECT_TRUE(ctx().exchange.programEnded);
}

TEST_F(WindowsOnPrinter, DayEndReportWaitsForPaperThenRunsOnce) {
    ComenziLoad(ctx());
    const std::uint32_t zBefore = ZNumber();
    printer().setCondition(fpsim::Condition::PaperOut, true);
    bridge().ui.boxes.clear();
    int paperBoxes = 0;
    std::size_t seen = 0;
    bridge().ui.whileOpen = [&] {
        // Also called during the waits between the turns: only a new box counts.
        if (bridge().ui.boxes.size() == seen) return;
        seen = bridge().ui.boxes.size();
        // The operator needs two tries to put the paper in.
        if (bridge().ui.boxes.back().title == kTitleRutinaVerificare && ++paperBoxes == 2) {
            printer().setCondition(fpsim::Condition::PaperOut, false);
        }
    };

    RapzClick(ctx());

    EXPECT_EQ(paperBoxes, 2);
    EXPECT_EQ(bridge().ui.boxTexts(),
              (std::vector<std::string>{
                  "Ati terminat vanzarile pe ziua curenta?",
                  "  Lipsa hartie la imprimanta! Puneti hartie si apasati OK !",
                  "  Lipsa hartie la imprimanta! Puneti hartie si apasati OK !"}));
    EXPECT_EQ(ZNumber(), zBefore + 1);
    EXPECT_TRUE(bridge().ui.timerOn);
}

TEST_F(WindowsOnPrinter, DayEndReportWithTheFiscalMemoryFullStopsPolling) {
    ComenziLoad(ctx());
    ASSERT_TRUE(bridge().ui.timerOn);
    const std::uint32_t zBefore = ZNumber();
    printer().setCondition(fpsim::Condition::FiscalMemoryFull, true);
    bridge().ui.boxes.clear();

    RapzClick(ctx());

    const std::string full = "Memorie fiscala plina! Trebuie schimbata memoria fiscala. ";
    EXPECT_EQ(bridge().ui.boxTexts(),
              (std::vector<std::string>{"Ati terminat vanzarile pe ziua curenta?", full}));
    EXPECT_EQ(read(kErrorFile), full + "\r\n");
    EXPECT_FALSE(bridge().ui.timerOn);
    EXPECT_EQ(ZNumber(), zBefore);
}

TEST_F(WindowsOnPrinter, InterimReportLeavesTheDayOpen) {
    ComenziLoad(ctx());
    const std::uint32_t zBefore = ZNumber();
    bridge().ui.boxes.clear();

    RapxClick(ctx());

    const std::vector<std::uint8_t> requests = printer().requestLog();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2], 14);
    EXPECT_EQ(requests.back(), 33);
    EXPECT_EQ(ZNumber(), zBefore);
    EXPECT_TRUE(bridge().ui.boxes.empty()) << ::testing::PrintToString(bridge().ui.boxTexts());
}

}  // namespace
}  // namespace veltar::testing
