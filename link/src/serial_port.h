// The one road from the protocol code to a serial line. The frame exchange
// talks to this interface only; the termios port is one implementation and
// tests put a scripted fake behind it.
#ifndef KORDAL_SERIAL_PORT_H
#define KORDAL_SERIAL_PORT_H

#include <cstddef>
#include <cstdint>

namespace kordal {

// Time-outs the bridge switches between: short for ordinary commands, long
// for commands the printer answers only after printing (reports).
inline constexpr int kDefaultTimeoutSeconds = 6;
inline constexpr int kLongTimeoutSeconds = 60;

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Writes the whole block unless the time-out passes or the line fails;
  // returns false then.
  virtual bool write(const std::uint8_t* bytes, std::size_t count) = 0;

  // Reads up to `count` bytes, waiting at most the port's time-out for all of
  // them together; returns how many arrived (fewer on time-out or failure).
  virtual std::size_t read(std::uint8_t* bytes, std::size_t count) = 0;

  virtual void discardInput() = 0;
  virtual void discardOutput() = 0;

  virtual void setTimeoutSeconds(int seconds) = 0;

  // Restores the line as it was found and releases it; 0 or a negative code.
  virtual int close() = 0;
};

}  // namespace kordal

#endif
