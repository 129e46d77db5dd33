// One request/reply conversation with the printer, shared by every export.
#ifndef KORDAL_EXCHANGE_H
#define KORDAL_EXCHANGE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "clock.h"
#include "frame.h"
#include "serial_port.h"

namespace kordal {

struct Reply {
  std::array<std::uint8_t, kStatusBytes> status{};
  std::array<std::uint8_t, kMaxReplyData> data{};
  std::size_t data_size = 0;
};

// The printer needs a moment after a request before it starts answering.
inline constexpr std::chrono::milliseconds kReplyDelay{20};

// Sends one request and reads and checks the reply. `take_sequence` is asked
// for the sequence byte once, after the output queue is discarded. Returns a
// KORDAL_* result code; `reply` is filled only when the result is KORDAL_OK.
int runExchange(SerialPort& port, const Clock& clock,
                const std::function<std::uint8_t()>& take_sequence, std::uint8_t command,
                const std::uint8_t* payload, std::size_t payload_size, Reply& reply);

}  // namespace kordal

#endif
