// A Context wired to the test doubles, fresh for every test.
#pragma once

#include <gtest/gtest.h>

#include "context.h"
#include "fake_kordal.h"
#include "fixed_clock.h"
#include "memory_files.h"
#include "scripted_window_services.h"

namespace veltar::testing {

// The doubles and a Context that uses them. Not movable: the Context refers
// to its neighbours.
struct TestDoubles {
    ScriptedWindowServices ui;
    FixedClock clock;
    MemoryFiles files;
    FakeKordal kordal;
    Context ctx{Services{ui, clock, files, kordal}};

    TestDoubles() = default;
    TestDoubles(const TestDoubles&) = delete;
    TestDoubles& operator=(const TestDoubles&) = delete;
};

// Base for GoogleTest fixtures: `ctx`, `ui`, `clock`, `files`, `kordal`.
class ContextTest : public ::testing::Test, protected TestDoubles {};

}  // namespace veltar::testing
