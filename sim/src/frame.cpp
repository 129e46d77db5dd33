#include "fpsim/frame.h"

namespace fpsim {

std::uint16_t frameSum(std::span<const std::uint8_t> bytes) {
  unsigned sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return static_cast<std::uint16_t>(sum & 0xFFFF);
}

namespace {
void appendSumAndEnd(Bytes& frame) {
  // The sum starts at the length byte: everything after the start byte so far.
  const std::uint16_t sum = frameSum(std::span(frame).subspan(1));
  frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
  frame.push_back(kEndByte);
}
}  // namespace

Bytes encodeRequest(std::uint8_t seq, std::uint8_t cmd, std::span<const std::uint8_t> payload) {
  const std::size_t n = payload.size() > kMaxPayload ? kMaxPayload : payload.size();
  Bytes frame;
  frame.reserve(n + 7);
  frame.push_back(kStartByte);
  frame.push_back(static_cast<std::uint8_t>(n + 2));
  frame.push_back(seq);
  frame.push_back(cmd);
  for (std::size_t i = 0; i < n; ++i) frame.push_back(payload[i]);
  appendSumAndEnd(frame);
  return frame;
}

Bytes encodeReply(std::uint8_t seq, const StatusBytes& status, std::uint8_t cmd,
                  std::span<const std::uint8_t> data) {
  const std::size_t n = data.size() > kMaxReplyData ? kMaxReplyData : data.size();
  Bytes frame;
  frame.reserve(n + 15);
  frame.push_back(kStartByte);
  frame.push_back(static_cast<std::uint8_t>(n + 10));
  frame.push_back(seq);
  for (std::uint8_t s : status) frame.push_back(s);
  frame.push_back(cmd);
  for (std::size_t i = 0; i < n; ++i) frame.push_back(data[i]);
  appendSumAndEnd(frame);
  return frame;
}

std::optional<RequestFrame> RequestReader::feed(std::uint8_t byte) {
  if (buffer_.empty()) {
    if (byte != kStartByte) return std::nullopt;  // line noise between frames
    buffer_.push_back(byte);
    return std::nullopt;
  }
  buffer_.push_back(byte);
  if (buffer_.size() == 2 && buffer_[1] < 2) {
    // A length that cannot even hold SEQ and CMD: not a frame; look for the next start.
    buffer_.clear();
    return std::nullopt;
  }
  if (buffer_.size() < 2) return std::nullopt;
  const std::size_t len = buffer_[1];
  const std::size_t total = len + 5;
  if (buffer_.size() < total) return std::nullopt;

  RequestFrame frame;
  frame.seq = buffer_[2];
  frame.cmd = buffer_[3];
  frame.payload.assign(buffer_.begin() + 4, buffer_.begin() + static_cast<std::ptrdiff_t>(2 + len));
  const std::uint16_t sum = frameSum(std::span(buffer_).subspan(1, len + 1));
  frame.checksumOk = buffer_[2 + len] == (sum & 0xFF) && buffer_[3 + len] == (sum >> 8);
  frame.endByteOk = buffer_[4 + len] == kEndByte;
  buffer_.clear();
  return frame;
}

void RequestReader::reset() { buffer_.clear(); }

std::optional<ReplyFrame> decodeReply(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 15 || bytes[0] != kStartByte) return std::nullopt;
  const std::size_t n = bytes[1];
  if (n < 10 || bytes.size() != n + 5 || bytes[n + 4] != kEndByte) return std::nullopt;
  const std::uint16_t sum = frameSum(bytes.subspan(1, n + 1));
  if (bytes[n + 2] != (sum & 0xFF) || bytes[n + 3] != (sum >> 8)) return std::nullopt;
  ReplyFrame reply;
  reply.seq = bytes[2];
  for (int i = 0; i < 8; ++i) reply.status[static_cast<std::size_t>(i)] = bytes[3 + static_cast<std::size_t>(i)];
  reply.cmd = bytes[11];
  reply.data.assign(bytes.begin() + 12, bytes.begin() + static_cast<std::ptrdiff_t>(n + 2));
  return reply;
}

}  // namespace fpsim
