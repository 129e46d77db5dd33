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
#include <memory>
#include <string>
#include <thread>

#include "fpsim/printer.h"

namespace fpsim {

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
  std::thread thread_;
};

}  // namespace fpsim
