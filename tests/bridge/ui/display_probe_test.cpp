// Whether the program opens windows or runs without a display.
#include "display_probe.h"

#include <gtest/gtest.h>

#include <map>

namespace veltar {
namespace {

struct ProbeCase {
    const char* name;
    std::map<std::string, std::string> variables;
    bool x11Answers;
    bool available;
    bool x11Asked;
};

void PrintTo(const ProbeCase& c, std::ostream* out) { *out << c.name; }

class DisplayProbeTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(DisplayProbeTest, Decides) {
    const ProbeCase& c = GetParam();
    bool asked = false;
    DisplayEnvironment environment{
        [&](const char* name) {
            const auto found = c.variables.find(name);
            return found == c.variables.end() ? std::string() : found->second;
        },
        [&](const std::string& display) {
            asked = true;
            EXPECT_EQ(display, c.variables.at("DISPLAY"));
            return c.x11Answers;
        }};
    EXPECT_EQ(DisplayAvailable(environment), c.available);
    EXPECT_EQ(asked, c.x11Asked);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, DisplayProbeTest,
    ::testing::Values(
        ProbeCase{"Nothing", {}, true, false, false},
        ProbeCase{"PlatformChosen", {{"QT_QPA_PLATFORM", "offscreen"}}, false, true, false},
        ProbeCase{"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, false, true, false},
        ProbeCase{"X11Answers", {{"DISPLAY", ":0"}}, true, true, true},
        ProbeCase{"X11Silent", {{"DISPLAY", ":7"}}, false, false, true},
        ProbeCase{"EmptyVariablesCountAsUnset",
                  {{"QT_QPA_PLATFORM", ""}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", ""}},
                  true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SystemDisplayProbeTest, ANonexistentXDisplayDoesNotAnswer) {
    // A connection attempt that fails must come back, not abort the process.
    EXPECT_FALSE(SystemDisplayEnvironment().x11Answers(":4711"));
}

}  // namespace
}  // namespace veltar
