// The start: a second copy ends silently, otherwise the settings and the
// choice between the splash and the hidden main window.
#include "shell/windows/startup.h"

#include <gtest/gtest.h>

#include "shell/settings.h"
#include "test_context.h"

namespace veltar::testing {
namespace {

class StartupTest : public ContextTest {};

TEST_F(StartupTest, ASecondCopyEndsWithoutTouchingAnything) {
    EXPECT_EQ(Main(ctx, true), StartOutcome::AlreadyRunning);
    EXPECT_TRUE(files.writes.empty());
    EXPECT_TRUE(ui.journal.empty());
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_TRUE(ctx.command.MesajeRezultat[10].empty());
}

TEST_F(StartupTest, TheInterfaceTypeChoosesSplashOrHiddenWindow) {
    const struct {
        const char* conf;  // nullptr: no Conf.ini yet
        StartOutcome outcome;
    } cases[] = {
        {nullptr, StartOutcome::Splash},
        {"[Mag]\r\nTipInterfata=0\r\n", StartOutcome::Splash},
        {"[Mag]\r\nTipInterfata=1\r\n", StartOutcome::MainWindowHidden},
        {"[Mag]\r\nTipInterfata=-2\r\n", StartOutcome::MainWindowHidden},
    };
    for (const auto& c : cases) {
        TestDoubles t;
        if (c.conf) t.files.files[kConfFile] = c.conf;
        EXPECT_EQ(Main(t.ctx, false), c.outcome) << (c.conf ? c.conf : "none");
        // The settings were read (and the missing keys written) first.
        EXPECT_NE(t.files.content(kConfFile).find("Titlu=VELTAR"), std::string::npos);
        EXPECT_FALSE(t.ctx.command.MesajeRezultat[10].empty());
        EXPECT_TRUE(t.ui.journal.empty());
    }
}

}  // namespace
}  // namespace veltar::testing
