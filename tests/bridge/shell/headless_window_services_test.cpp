// Window services without a display: boxes to standard error and the log,
// answered at once, and the loop that drives the polling timer.
#include "headless_window_services.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

#include "log.h"
#include "test_context.h"

namespace veltar::testing {
namespace {

class HeadlessTest : public ::testing::Test {
protected:
    std::ostringstream errors;
    FixedClock clock;
    MemoryFiles files;
    FakeKordal kordal;
    HeadlessWindowServices ui{clock, errors};
    Context ctx{Services{ui, clock, files, kordal}};

    void SetUp() override {
        clock.set({2026, 3, 7, 14, 5, 9});
        ui.attach(ctx);
    }
};

TEST_F(HeadlessTest, BoxGoesToStandardErrorAndTheLogAndIsAnsweredAtOnce) {
    const struct {
        std::string text;
        std::string title;
        Buttons buttons;
        Answer answer;
        std::string errorLine;
        std::string logText;
    } cases[] = {
        {"Lipsa hartie", "Rutina Verificare", Buttons::Ok, Answer::Ok,
         "Rutina Verificare: Lipsa hartie\n", "Rutina Verificare: Lipsa hartie"},
        {"Continuati?", "VELTAR 2000", Buttons::OkCancel, Answer::Ok,
         "VELTAR 2000: Continuati?\n", "VELTAR 2000: Continuati?"},
        {"Doriti sa iesiti din program? ", "VELTAR 2000", Buttons::YesNo, Answer::Yes,
         "VELTAR 2000: Doriti sa iesiti din program? \n",
         "VELTAR 2000: Doriti sa iesiti din program? "},
        // Line breaks stay on the terminal; the log line stays one line.
        {"unu\r\n\r\ndoi", "VELTAR2000", Buttons::Ok, Answer::Ok, "VELTAR2000: unu\r\n\r\ndoi\n",
         "VELTAR2000: unu    doi"},
        // The terminal gets UTF-8; the log keeps the code page.
        {"Ma\xBA" "ina", "", Buttons::Ok, Answer::Ok, "VELTAR2000: Maşina\n",
         "VELTAR2000: Ma\xBA" "ina"},
    };
    for (const auto& c : cases) {
        errors.str("");
        files.files.clear();
        EXPECT_EQ(ui.messageBox(c.text, c.title, Icon::Information, c.buttons), c.answer);
        EXPECT_EQ(errors.str(), c.errorLine);
        EXPECT_EQ(files.content(kLogFile),
                  "\"07.03.2026 14:05:09: \",\"" + c.logText + "\",0\r\n");
    }
}

TEST_F(HeadlessTest, BoxWithTheLogOutOfReachStillReachesStandardError) {
    files.failOn(FileOperation::Append, kLogFile, EACCES);
    EXPECT_EQ(ui.messageBox("text", "T", Icon::Error, Buttons::YesNo), Answer::Yes);
    // The log writer's own box is not logged again, so it cannot go round.
    EXPECT_NE(errors.str().find("T: text\n"), std::string::npos);
    EXPECT_NE(errors.str().find("VELTAR2000: Permission denied\n"), std::string::npos);
    EXPECT_FALSE(files.exists(kLogFile));

    // Before a context is attached there is only standard error.
    std::ostringstream early;
    HeadlessWindowServices detached(clock, early);
    detached.messageBox("x", "T", Icon::None, Buttons::Ok);
    EXPECT_EQ(early.str(), "T: x\n");
}

TEST_F(HeadlessTest, RunTicksEveryTwoSecondsUntilTheProgramAsksToEndOrPollingStops) {
    const struct {
        const char* name;
        std::function<void(HeadlessWindowServices&)> lastTick;
        int ticks;
        bool endAsked;
    } cases[] = {
        {"quit", [](HeadlessWindowServices& loop) { loop.quit(); }, 3, true},
        {"main window closed",
         [](HeadlessWindowServices& loop) { loop.closeWindow(Window::Main); }, 2, true},
        {"polling switched off",
         [](HeadlessWindowServices& loop) { loop.setPollingTimer(false); }, 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessWindowServices loop(clock, errors);
        loop.attach(ctx);
        files.files.clear();
        clock.sleeps.clear();
        loop.setPollingTimer(true);
        int ticks = 0;
        const bool ended = loop.run([&] {
            if (++ticks == c.ticks) c.lastTick(loop);
        });
        EXPECT_EQ(ended, c.endAsked);
        EXPECT_EQ(ticks, c.ticks);
        EXPECT_EQ(clock.sleeps, std::vector<int>(static_cast<std::size_t>(c.ticks), 2000));
        // Only the stop with polling off says why in the log.
        const bool saysWhy = files.content(kLogFile).find(
                                 "Interogarea fisierelor este oprita si fara ecran nu o poate "
                                 "porni nimeni") != std::string::npos;
        EXPECT_EQ(saysWhy, !c.endAsked);
    }
}

TEST_F(HeadlessTest, RunWithTheTimerOffEndsAtOnceAndAWaitIsAPlainPause) {
    EXPECT_FALSE(ui.run([] { ADD_FAILURE() << "no tick while polling is off"; }));
    EXPECT_TRUE(clock.sleeps.empty());
    ui.waitProcessingEvents(1000);
    EXPECT_EQ(clock.sleeps, std::vector<int>{1000});
}

}  // namespace
}  // namespace veltar::testing
