// The printer's notion of "now", injectable so that tests run on a fixed date.
#pragma once

#include <cstdint>
#include <mutex>

namespace fpsim {

// A calendar date and time of day, as the printer shows it (no time zone).
struct DateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Seconds since 1 January 1970 for a calendar date-time, and back; days out of
// range carry over the way the calendar does.
std::int64_t toEpochSeconds(const DateTime& t);
DateTime fromEpochSeconds(std::int64_t seconds);
bool isValid(const DateTime& t);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime now() const = 0;
};

// The host's local time.
class SystemClock final : public Clock {
 public:
  DateTime now() const override;
};

// A clock that stands still until a test moves it; safe to move from another thread.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(DateTime start = {2026, 3, 2, 9, 0, 0}) : now_(start) {}
  DateTime now() const override;
  void set(DateTime t);
  void advance(std::int64_t seconds);

 private:
  mutable std::mutex mutex_;
  DateTime now_;
};

}  // namespace fpsim
