// "Now" and "wait" for the library, behind one seam so tests can fix the
// sequence byte and benchmarks can see where time goes.
#ifndef KORDAL_CLOCK_H
#define KORDAL_CLOCK_H

#include <chrono>

namespace kordal {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds field (0..59) of the current local wall-clock time.
  virtual int secondsField() const = 0;
  // Blocks the calling thread for the given time; resumes after signals.
  virtual void pause(std::chrono::nanoseconds duration) const = 0;
};

class SystemClock final : public Clock {
 public:
  int secondsField() const override;
  void pause(std::chrono::nanoseconds duration) const override;
};

}  // namespace kordal

#endif
