// A scripted fiscal printer on the master side of a pseudo-terminal. The
// library opens the slave side as its serial port; the peer records every
// request frame and answers each one as told.
#ifndef KORDAL_TESTS_PRINTER_PEER_H
#define KORDAL_TESTS_PRINTER_PEER_H

#include <termios.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kordal::testing {

using Bytes = std::vector<std::uint8_t>;

// How one reply goes wrong, if at all.
enum class Fault {
  None,
  WrongChecksum,
  WrongChecksumHigh,  // low checksum byte right, high byte off
  WrongSequence,
  WrongCommand,
  MissingEnd,     // end byte replaced by another value
  Overlong,       // one byte more than the length byte counts
  Truncated,      // the last two bytes never come
  BadStart,       // first byte 0x02 instead of 0x01
  StartOnly,      // only the start byte, then nothing
  ShortLength,    // a well-formed frame whose length byte is below 10
  Silence,        // nothing at all
};

struct Answer {
  Fault fault = Fault::None;
  Bytes status = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87};
  Bytes data = {'O', 'K'};
  std::chrono::milliseconds delay{0};
};

// The reply frame a correct printer sends.
Bytes replyFrame(std::uint8_t sequence, std::uint8_t command, const Bytes& status,
                 const Bytes& data);
// The request frame the library must send.
Bytes requestFrame(std::uint8_t sequence, std::uint8_t command, const Bytes& payload);

class PrinterPeer {
 public:
  PrinterPeer();
  ~PrinterPeer();
  PrinterPeer(const PrinterPeer&) = delete;
  PrinterPeer& operator=(const PrinterPeer&) = delete;

  const std::string& devicePath() const { return slave_path_; }
  // Makes library port `port` open this peer's device.
  void attachAs(int port) const;

  // Answers for the next requests, in order; after them every request gets
  // a correct reply with the default status and data.
  void script(std::vector<Answer> answers);

  std::vector<Bytes> requests() const;
  // Blocks until every request received so far has been answered (or left
  // unanswered on purpose), so a late reply cannot leak into the next case.
  void waitIdle() const;

  // The line settings as the library left them, seen from the peer's own
  // handle on the slave side.
  termios slaveSettings() const;
  void setSlaveSettings(const termios& settings) const;
  // Puts bytes into the library's input queue, as line noise would.
  void inject(const Bytes& bytes) const;
  // Bytes waiting in the library's input queue.
  int pendingInput() const;

 private:
  void run();
  void answer(std::uint8_t sequence, std::uint8_t command);
  void writeAll(const Bytes& bytes) const;

  int master_ = -1;
  int slave_ = -1;  // held open so the master never sees a hang-up
  std::string slave_path_;
  std::atomic<bool> stop_{false};

  mutable std::mutex mutex_;
  mutable std::condition_variable idle_;
  std::deque<Answer> script_;
  std::vector<Bytes> requests_;
  std::size_t answered_ = 0;
  std::thread thread_;
};

}  // namespace kordal::testing

#endif
