#include "exchange.h"

#include <algorithm>

#include "kordal.h"

namespace kordal {

int runExchange(SerialPort& port, const Clock& clock,
                const std::function<std::uint8_t()>& take_sequence, std::uint8_t command,
                const std::uint8_t* payload, std::size_t payload_size, Reply& reply) {
  port.discardOutput();
  const std::uint8_t sequence = take_sequence();

  std::array<std::uint8_t, kFrameBufferSize> frame;
  const std::size_t frame_size = buildRequestFrame(sequence, command, payload, payload_size,
                                                   frame.data());
  port.discardInput();
  // A failed write is not reported by itself: the printer then stays silent
  // and the first read below turns that into "no reply".
  (void)port.write(frame.data(), frame_size);
  clock.pause(kReplyDelay);

  // The first byte must be the start byte; the library does not hunt for it
  // in garbage, since a stray byte means the line is not in step anyway.
  std::uint8_t byte = 0;
  if (port.read(&byte, 1) != 1 || byte != kStartByte) {
    return KORDAL_ERR_NO_REPLY;
  }
  std::uint8_t length = 0;
  if (port.read(&length, 1) != 1) {
    return KORDAL_ERR_NO_REPLY;
  }

  // The block: the `length` bytes counted by the length byte, the two
  // checksum bytes and the end byte.
  std::array<std::uint8_t, 255 + 3> block;
  const std::size_t block_size = std::size_t{length} + 3;
  if (port.read(block.data(), block_size) != block_size || block[block_size - 1] != kEndByte) {
    return KORDAL_ERR_END;
  }
  // Too short to hold the sequence echo, the status bytes and the command
  // echo: such a reply is truncated, whatever its end byte says.
  if (length < kReplyFixedPart) {
    return KORDAL_ERR_END;
  }

  std::uint16_t sum = static_cast<std::uint16_t>(length + checksum(block.data(), length));
  if (block[length] != (sum & 0xFF) || block[length + 1] != (sum >> 8)) {
    return KORDAL_ERR_CHECKSUM;
  }
  if (block[kReplySequenceAt] != sequence) {
    return KORDAL_ERR_SEQUENCE;
  }
  if (block[kReplyCommandAt] != command) {
    return KORDAL_ERR_COMMAND;
  }

  std::copy_n(block.begin() + kReplyStatusAt, kStatusBytes, reply.status.begin());
  reply.data_size = length - kReplyFixedPart;
  std::copy_n(block.begin() + kReplyDataAt, reply.data_size, reply.data.begin());
  return KORDAL_OK;
}

}  // namespace kordal
