// Everything the library remembers between calls, in one place: the open
// ports, the counter of TrimiteTelegramaL and the clock.
//
// The C interface names ports only by number, so the library keeps the open
// devices in a small table indexed by port number 1..9. A number without an
// entry behaves as a port that is not open: writes fail and the first read
// gets nothing, so a command there ends with "no reply".
#ifndef KORDAL_LIBRARY_STATE_H
#define KORDAL_LIBRARY_STATE_H

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "clock.h"
#include "serial_port.h"

namespace kordal {

// Ports 1..kLastNumberedPort for the numbered functions; the automatic
// search also tries kLastSearchedPort.
inline constexpr std::int32_t kFirstPort = 1;
inline constexpr std::int32_t kLastNumberedPort = 8;
inline constexpr std::int32_t kLastSearchedPort = 9;

// Device behind port `port`: the environment variable KORDAL_COM<port> when
// set and not empty, else /dev/ttyS<port-1>.
std::string devicePathFor(std::int32_t port);

// Opens a device with the printer's line settings; null and a negative code
// in `error` on failure.
using PortOpener = std::function<std::unique_ptr<SerialPort>(const std::string&, int& error)>;

class LibraryState {
 public:
  LibraryState();

  // The open port with this number, or a stand-in for a port that is not open.
  SerialPort& port(std::int32_t number);
  bool isOpen(std::int32_t number) const;

  // Opens port `number` (1..9), replacing an earlier open of the same number.
  // Returns 0 or the negative serial-layer code.
  int open(std::int32_t number);
  // Closes port `number`; 0 or a negative serial-layer code.
  int close(std::int32_t number);

  // The sequence byte of TrimiteTelegramaL: the current value, then one up.
  std::uint8_t takeCounter() { return counter_++; }

  const Clock& clock() const { return *clock_; }

  // Test seams: a fixed clock, fake ports, a fresh start.
  void setClock(const Clock* clock) { clock_ = clock != nullptr ? clock : &system_clock_; }
  void setOpener(PortOpener opener);
  void reset();

 private:
  static bool inTable(std::int32_t number) {
    return number >= kFirstPort && number <= kLastSearchedPort;
  }

  std::array<std::unique_ptr<SerialPort>, kLastSearchedPort + 1> ports_;
  std::uint8_t counter_ = 0;
  SystemClock system_clock_;
  const Clock* clock_ = &system_clock_;
  PortOpener opener_;
};

// The one instance behind the exported functions.
LibraryState& libraryState();

}  // namespace kordal

#endif
