// The virtual printer behind a pseudo-terminal, served on a background thread,
// so that the real link library can talk to it through a device path.
//
//   fpsim::PtyPrinter p(options, "/tmp/fp/COM1");   // link path optional
//   p.start();                                      // throws std::runtime_error
//   setenv("KORDAL_COM1", p.devicePath().c_str(), 1);
//   ... library calls ...
//   p.printer().injectReplyFault(fpsim::ReplyFault::BadChecksum);
//   p.printer().journal(); p.printer().closedReceipts();
//   p.stop();                                       // also done by the destructor
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "fpsim/printer.h"

namespace fpsim {

// The time one byte takes on a paced line: 9600 baud, 8N1, ten bit times.
inline constexpr std::chrono::nanoseconds kPacedByteTime{10'000'000'000LL / 9600};

// What crossed the line since the server was made, for measurements.
struct WireCounts {
  std::uint64_t requestBytes = 0;  // every byte read from the line, noise included
  std::uint64_t replyBytes = 0;    // every reply byte handed to the line
  std::uint64_t printedLines = 0;  // lines printed by the requests answered
};

class PtyPrinter {
 public:
  // `linkPath`: when not empty, a symbolic link to the terminal device is made there
  // (replacing an old link) and removed by stop().
  explicit PtyPrinter(PrinterOptions options = {}, std::string linkPath = {});
  ~PtyPrinter();
  PtyPrinter(const PtyPrinter&) = delete;
  PtyPrinter& operator=(const PtyPrinter&) = delete;

  void start();
  void stop();  // saves the printer's state
  bool running() const { return running_; }

  // The path to hand to the library: the link when one was asked for, else the device.
  const std::string& devicePath() const;
  const std::string& terminalPath() const { return slavePath_; }

  Printer& printer() { return printer_; }

  // Safe to call from any thread while serving. A byte is counted before it
  // is handed over, so whoever has read a whole reply sees it counted.
  WireCounts wireCounts() const;

 private:
  void serve();

  Printer printer_;
  std::string linkPath_;
  std::string slavePath_;
  bool linkMade_ = false;
  int master_ = -1;
  int slaveKeepAlive_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> running_{false};
  std::atomic<std::uint64_t> requestBytes_{0};
  std::atomic<std::uint64_t> replyBytes_{0};
  std::atomic<std::uint64_t> printedLines_{0};
  std::thread thread_;
};

}  // namespace fpsim
