// The printer's side of the serial frame layout: it reads request frames and
// writes reply frames. Written independently of the link library on purpose,
// so that a mistake in one side shows up as a failed exchange, not as two
// mistakes that cancel out.
//
// Request:  01 LEN SEQ CMD payload... sumLo sumHi 03   (LEN = payload + 2;
//           the sum covers LEN, SEQ, CMD and the payload)
// Reply:    01 N SEQ S0..S7 CMD data... sumLo sumHi 03 (N = data + 10;
//           the sum covers N and the N bytes after it)
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace fpsim {

using Bytes = std::vector<std::uint8_t>;
using StatusBytes = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t kStartByte = 0x01;
inline constexpr std::uint8_t kEndByte = 0x03;
inline constexpr std::size_t kMaxPayload = 253;   // LEN is one byte and counts SEQ and CMD
inline constexpr std::size_t kMaxReplyData = 245; // N is one byte and counts SEQ, status, CMD

// 16-bit sum of the bytes, sent low byte first.
std::uint16_t frameSum(std::span<const std::uint8_t> bytes);

// Builds a request frame as the link library sends it (used by tests to talk to the engine).
Bytes encodeRequest(std::uint8_t seq, std::uint8_t cmd, std::span<const std::uint8_t> payload);

// Builds a reply frame; data longer than kMaxReplyData is cut.
Bytes encodeReply(std::uint8_t seq, const StatusBytes& status, std::uint8_t cmd,
                  std::span<const std::uint8_t> data);

// A request as the printer received it.
struct RequestFrame {
  std::uint8_t seq = 0;
  std::uint8_t cmd = 0;
  Bytes payload;
  bool checksumOk = true;  // false: answer with the bad-checksum status bit, do not execute
  bool endByteOk = true;   // false: the frame was cut or overlong; do not execute
};

// Reassembles request frames from a byte stream. Bytes before a start byte are
// skipped; a frame cut short is dropped by reset() (the server calls it when the
// line stays quiet in the middle of a frame).
class RequestReader {
 public:
  // Feeds one byte; returns a frame when this byte completed one.
  std::optional<RequestFrame> feed(std::uint8_t byte);
  void reset();
  bool midFrame() const { return !buffer_.empty(); }
  // Wire bytes of the frame currently being read (or of the last completed one).
  std::size_t frameBytesSoFar() const { return buffer_.size(); }

 private:
  Bytes buffer_;
};

// A reply split into its fields (for tests that check the engine's wire output).
struct ReplyFrame {
  std::uint8_t seq = 0;
  StatusBytes status{};
  std::uint8_t cmd = 0;
  Bytes data;
};

// Decodes exactly one well-formed reply frame; nullopt for anything else.
std::optional<ReplyFrame> decodeReply(std::span<const std::uint8_t> bytes);

}  // namespace fpsim
