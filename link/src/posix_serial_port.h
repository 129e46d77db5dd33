// SerialPort over a POSIX terminal device: raw 9600 8N1 with RTS/CTS flow
// control. Pseudo-terminals work too; the kernel ignores the flow control
// flag there.
#ifndef KORDAL_POSIX_SERIAL_PORT_H
#define KORDAL_POSIX_SERIAL_PORT_H

#include <termios.h>

#include <memory>
#include <string>

#include "serial_port.h"

namespace kordal {

// Failures of the serial layer are reported as -(kSerialErrorBase + errno), so
// they never collide with the library's own -1 and -2.
inline constexpr int kSerialErrorBase = 100;

int serialErrorCode(int error_number);

class PosixSerialPort final : public SerialPort {
 public:
  // Opens `device` and applies the printer's line settings. On failure
  // returns null and stores the negative serial-layer code in `error`.
  static std::unique_ptr<PosixSerialPort> open(const std::string& device, int& error);

  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool write(const std::uint8_t* bytes, std::size_t count) override;
  std::size_t read(std::uint8_t* bytes, std::size_t count) override;
  void discardInput() override;
  void discardOutput() override;
  void setTimeoutSeconds(int seconds) override;
  int close() override;

 private:
  PosixSerialPort(int fd, const termios& saved);

  // Waits until the descriptor is ready for `events` or the deadline passes.
  bool waitReady(short events, long long deadline_ms);

  int fd_;
  termios saved_;
  int timeout_seconds_ = kDefaultTimeoutSeconds;
};

}  // namespace kordal

#endif
