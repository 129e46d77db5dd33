// A clock that stands still until a test moves it; waiting moves it instead
// of sleeping.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "services.h"

namespace veltar::testing {

class FixedClock : public Clock {
public:
    FixedClock() : now_{2026, 12, 11, 10, 30, 15} {}
    explicit FixedClock(DateTime start) : now_(start) {}

    DateTime now() const override { return now_; }
    void sleepMilliseconds(int milliseconds) override;

    void set(DateTime t) {
        now_ = t;
        pendingMilliseconds_ = 0;
    }
    void advanceSeconds(int64_t seconds) { now_ = AddSeconds(now_, seconds); }

    std::vector<int> sleeps;  // every wait asked for, in milliseconds
    // Called at every wait, after the clock moved: what "meanwhile" happens.
    std::function<void(int milliseconds)> onSleep;

private:
    DateTime now_;
    int64_t pendingMilliseconds_ = 0;  // fractions of a second waited so far
};

}  // namespace veltar::testing
