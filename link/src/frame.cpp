#include "frame.h"

#include <cstring>

namespace kordal {

std::uint16_t checksum(const std::uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    sum += bytes[i];
  }
  return static_cast<std::uint16_t>(sum & 0xFFFFu);
}

std::size_t buildRequestFrame(std::uint8_t sequence, std::uint8_t command,
                              const std::uint8_t* payload, std::size_t payload_size,
                              std::uint8_t* out) {
  std::size_t at = 0;
  out[at++] = kStartByte;
  out[at++] = static_cast<std::uint8_t>(payload_size + 2);
  out[at++] = sequence;
  out[at++] = command;
  if (payload_size > 0) {
    std::memcpy(out + at, payload, payload_size);
    at += payload_size;
  }
  // The sum runs from the length byte through the last payload byte.
  std::uint16_t sum = checksum(out + 1, at - 1);
  out[at++] = static_cast<std::uint8_t>(sum & 0xFF);
  out[at++] = static_cast<std::uint8_t>(sum >> 8);
  out[at++] = kEndByte;
  return at;
}

}  // namespace kordal
