// Shared set-up of the library tests: a fresh library state, a fixed clock
// and a scripted printer on port 1.
#ifndef KORDAL_TESTS_LINK_FIXTURE_H
#define KORDAL_TESTS_LINK_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "clock.h"
#include "kordal.h"
#include "library_state.h"
#include "printer_peer.h"

namespace kordal::testing {

// A clock stuck at one second of the minute that only records the pauses it
// is asked for, so exchanges run as fast as the peer answers.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(int seconds) : seconds_(seconds) {}
  int secondsField() const override { return seconds_; }
  void pause(std::chrono::nanoseconds duration) const override { pauses.push_back(duration); }
  mutable std::vector<std::chrono::nanoseconds> pauses;

 private:
  int seconds_;
};

inline constexpr int kFixedSecond = 7;
inline constexpr int kPrinterPort = 1;

// Caller buffers as the bridge prepares them: blanks throughout.
struct CallerBuffers {
  char data[251];
  char status[10];
  CallerBuffers() {
    std::fill(std::begin(data), std::end(data), ' ');
    std::fill(std::begin(status), std::end(status), ' ');
  }
  bool untouched() const {
    return std::all_of(std::begin(data), std::end(data), [](char c) { return c == ' '; }) &&
           std::all_of(std::begin(status), std::end(status), [](char c) { return c == ' '; });
  }
  Bytes statusBytes() const { return Bytes(status, status + 8); }
  unsigned char* counted() { return reinterpret_cast<unsigned char*>(data); }
};

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    libraryState().reset();
    libraryState().setClock(&clock_);
    peer_ = std::make_unique<PrinterPeer>();
    peer_->attachAs(kPrinterPort);
    ASSERT_EQ(InitializeazaSerialaNr(kPrinterPort), kPrinterPort);
  }

  void TearDown() override {
    libraryState().reset();
    peer_.reset();
    for (int port = 1; port <= 9; ++port) {
      unsetenv(("KORDAL_COM" + std::to_string(port)).c_str());
    }
  }

  // Shortens the reply time-out of the printer port, so cases that wait for
  // missing bytes cost one second instead of six.
  void useShortTimeout() { libraryState().port(kPrinterPort).setTimeoutSeconds(1); }

  FixedClock clock_{kFixedSecond};
  std::unique_ptr<PrinterPeer> peer_;
};

}  // namespace kordal::testing

#endif
