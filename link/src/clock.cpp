#include "clock.h"

#include <cerrno>
#include <ctime>

namespace kordal {

int SystemClock::secondsField() const {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) {
    return static_cast<int>(now % 60);
  }
  // A leap second shows as 60; the printer only knows 0..59.
  return local.tm_sec % 60;
}

void SystemClock::pause(std::chrono::nanoseconds duration) const {
  if (duration <= std::chrono::nanoseconds::zero()) {
    return;
  }
  auto whole = std::chrono::duration_cast<std::chrono::seconds>(duration);
  timespec remaining{};
  remaining.tv_sec = static_cast<time_t>(whole.count());
  remaining.tv_nsec = static_cast<long>((duration - whole).count());
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace kordal
