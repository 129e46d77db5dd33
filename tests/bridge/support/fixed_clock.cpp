#include "fixed_clock.h"

namespace veltar::testing {

void FixedClock::sleepMilliseconds(int milliseconds) {
    sleeps.push_back(milliseconds);
    if (milliseconds <= 0) return;
    pendingMilliseconds_ += milliseconds;
    advanceSeconds(pendingMilliseconds_ / 1000);
    pendingMilliseconds_ %= 1000;
    if (onSleep) onSleep(milliseconds);
}

}  // namespace veltar::testing
