// The splash, the about box and the service menu.
#include "shell/windows/small_windows.h"

#include <gtest/gtest.h>

#include <functional>

#include "shell/windows/main_window.h"
#include "windows_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Failed;
using testing::LogEntry;
using testing::FailingWindowsTest;
using testing::WindowsTest;
using Operation = testing::FailingWindowServices::Operation;

TEST_F(WindowsTest, SplashAndAboutShowTheProgramsNameAndVersion) {
    const SplashTexts splash = SplashLoad(ctx);
    EXPECT_EQ(splash.productName, "VELTAR2000");
    EXPECT_EQ(splash.version, "Version 1.2.1002");
    EXPECT_EQ(splash.platform, "Platform Linux");
    EXPECT_FALSE(splash.line1.empty());
    EXPECT_FALSE(splash.line2.empty());

    const AboutTexts about = AboutLoad(ctx);
    EXPECT_EQ(about.caption, "About VELTAR2000");
    EXPECT_EQ(about.title, "VELTAR2000");
    EXPECT_EQ(about.version, "Version 1.2.1002");
    EXPECT_FALSE(about.disclaimer.empty());
    EXPECT_TRUE(ui.journal.empty());
}

TEST_F(WindowsTest, SplashLoadsTheMainWindowOnceHoweverItEnds) {
    const struct {
        const char* name;
        std::vector<std::function<void(Context&)>> events;
    } cases[] = {
        // The window system reports the close after each way out.
        {"timer", {SplashTimer, SplashClosed}},
        {"key before the timer", {SplashKeyPress, SplashClosed, SplashTimer}},
        {"click", {SplashFrameClick, SplashClosed}},
        {"closed from outside", {SplashClosed, SplashTimer}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TestDoubles t;
        testing::PrinterLetsTradingStart(t);
        t.ctx.settings.ComPort = 2;
        for (const auto& event : c.events) event(t.ctx);
        EXPECT_EQ(t.kordal.callsTo("InitializeazaSerialaNr").size(), 1u);
        EXPECT_TRUE(t.ctx.windows.mainWindowLoaded);
        EXPECT_TRUE(t.ui.timerOn);
        EXPECT_EQ(t.ui.quitCalls, 0);
    }
}

TEST_F(WindowsTest, SplashTimerShowsTheLoadsBoxesBeforeTheSplashCloses) {
    kordal.queueReply("InitializeazaSerialaNr", Failed(-5));
    SplashTimer(ctx);
    const auto box = std::find(ui.journal.begin(), ui.journal.end(),
                               "box:Porturile seriale nu au fost initializate. Eroare "
                               "IRECUPERABILA");
    const auto close = std::find(ui.journal.begin(), ui.journal.end(), "close:0");
    ASSERT_NE(box, ui.journal.end());
    ASSERT_NE(close, ui.journal.end());
    EXPECT_TRUE(box < close);
}

TEST_F(WindowsTest, ServiceMenuExitAsksForTheChecksAndPollingResumesOnActivation) {
    ServiceExitClick(ctx);
    EXPECT_TRUE(ctx.VerificareLaActivare);
    EXPECT_EQ(ui.journal, (std::vector<std::string>{"close:3", "show:1"}));

    ComenziActivate(ctx);
    EXPECT_EQ(kordal.commands().front(), command_code::kPrinterStatus);
    EXPECT_TRUE(ui.timerOn);
}

TEST_F(WindowsTest, ServiceMenuOpensTheServiceScreensAndClosesItself) {
    ServiceFiscalClick(ctx);
    UtilitarButClick(ctx);
    EXPECT_EQ(ui.journal, (std::vector<std::string>{"show:4", "close:3", "show:5", "close:3"}));
    EXPECT_FALSE(ctx.VerificareLaActivare);
}

TEST_F(WindowsTest, TechnicalReportSendsCommandThreeAndLeavesFailuresToTheExchange) {
    kordal.queueReply("TrimiteTelegrama", Accepted());
    kordal.queueReply("TrimiteTelegrama", Failed(10));
    RapTehButClick(ctx);
    RapTehButClick(ctx);
    ASSERT_EQ(kordal.calls.size(), 2u);
    for (const auto& call : kordal.calls) {
        EXPECT_EQ(call.command, command_code::kTechnicalReport);
        EXPECT_EQ(call.payload, "");
    }
    EXPECT_EQ(Boxes(), (std::vector<Box>{
                           {"Lipsa comunicatie cu imprimanta.", kTitleVeltarSpaced, Icon::Error}}));
    EXPECT_FALSE(files.exists(kLogFile));
}

TEST_F(FailingWindowsTest, SplashAndServiceMenuFailuresLogTheirCodeAlone) {
    const struct {
        const char* name;
        std::function<void(Context&)> handler;
        Operation failOn;
        const char* code;
    } cases[] = {
        {"splash key", SplashKeyPress, Operation::Close, "16.001"},
        {"splash click", SplashFrameClick, Operation::Close, "16.003"},
        {"splash timer", SplashTimer, Operation::Close, "16.004"},
        {"service exit", ServiceExitClick, Operation::Close, "14.003"},
        {"technical report", RapTehButClick, Operation::Box, "14.005"},
        {"fiscal elements", ServiceFiscalClick, Operation::Show, "14.006"},
        {"printer utilities", UtilitarButClick, Operation::Show, "14.007"},
    };
    kordal.replyToCommand(command_code::kTechnicalReport, Failed(10));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.erase(kLogFile);
        failing.boxes.clear();
        failing.failOn = c.failOn;
        failing.failures = 1;
        c.handler(failingCtx);
        EXPECT_EQ(Log().back(), (LogEntry{c.code, 7}));
        EXPECT_EQ(FailingBoxes().back(), (Box{"Out of memory", kProgramTitle, Icon::None}));
    }
}

}  // namespace
}  // namespace veltar
