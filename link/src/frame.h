// Byte layout of the request and reply frames of the printer's serial
// protocol, and the checksum both sides use.
#ifndef KORDAL_FRAME_H
#define KORDAL_FRAME_H

#include <cstddef>
#include <cstdint>

namespace kordal {

inline constexpr std::uint8_t kStartByte = 0x01;
inline constexpr std::uint8_t kEndByte = 0x03;

// The length byte counts sequence, command and payload, and holds at most 255.
inline constexpr std::size_t kMaxPayload = 253;
// Start, length, sequence, command, two checksum bytes, end.
inline constexpr std::size_t kRequestOverhead = 7;
inline constexpr std::size_t kFrameBufferSize = 300;

inline constexpr std::size_t kStatusBytes = 8;
// A reply's length byte counts sequence, status, command echo and data, so
// a reply without data has length 10 and carries at most 255 - 10 data bytes.
inline constexpr std::size_t kReplyFixedPart = 1 + kStatusBytes + 1;
inline constexpr std::size_t kMaxReplyData = 255 - kReplyFixedPart;
// Offsets inside the block read after the length byte.
inline constexpr std::size_t kReplySequenceAt = 0;
inline constexpr std::size_t kReplyStatusAt = 1;
inline constexpr std::size_t kReplyCommandAt = 9;
inline constexpr std::size_t kReplyDataAt = 10;

// Sum modulo 65536 of the unsigned byte values.
std::uint16_t checksum(const std::uint8_t* bytes, std::size_t count);

// Writes the request frame into `out` (room for payload_size + 7 bytes) and
// returns its length. The payload must not exceed kMaxPayload.
std::size_t buildRequestFrame(std::uint8_t sequence, std::uint8_t command,
                              const std::uint8_t* payload, std::size_t payload_size,
                              std::uint8_t* out);

}  // namespace kordal

#endif
