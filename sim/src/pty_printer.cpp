#include "fpsim/pty_printer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace fpsim {
namespace {

using Steady = std::chrono::steady_clock;

// A frame whose next byte does not come within this time is dropped.
constexpr int kInterByteTimeoutMs = 500;

std::runtime_error systemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

void makeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return;
  cfmakeraw(&t);
  cfsetispeed(&t, B9600);
  cfsetospeed(&t, B9600);
  tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

PtyPrinter::PtyPrinter(PrinterOptions options, std::string linkPath)
    : printer_(std::move(options)), linkPath_(std::move(linkPath)) {}

PtyPrinter::~PtyPrinter() {
  try {
    stop();
  } catch (...) {
    // A destructor must not throw; a failed save has nowhere to go here.
  }
}

WireCounts PtyPrinter::wireCounts() const {
  return {requestBytes_.load(), replyBytes_.load(), printedLines_.load()};
}

const std::string& PtyPrinter::devicePath() const {
  return linkPath_.empty() ? slavePath_ : linkPath_;
}

void PtyPrinter::start() {
  if (running_) return;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw systemError("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) throw systemError("grantpt/unlockpt");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) throw systemError("ptsname_r");
  slavePath_ = name;
  // Holding the terminal open ourselves keeps the master readable while the
  // library closes and reopens its port.
  slaveKeepAlive_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeepAlive_ < 0) throw systemError("open " + slavePath_);
  makeRaw(slaveKeepAlive_);
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw systemError("pipe");
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
  if (!linkPath_.empty()) {
    struct stat st{};
    if (lstat(linkPath_.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        throw std::runtime_error(linkPath_ + " exists and is not a link; not replacing it");
      }
      unlink(linkPath_.c_str());
    }
    if (symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) throw systemError("link " + linkPath_);
    linkMade_ = true;
  }
  running_ = true;
  thread_ = std::thread([this] { serve(); });
}

void PtyPrinter::stop() {
  if (!running_ && master_ < 0) return;
  if (running_) {
    running_ = false;
    const char wake = 'x';
    [[maybe_unused]] auto n = write(wakeWrite_, &wake, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int* fd : {&master_, &slaveKeepAlive_, &wakeRead_, &wakeWrite_}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
  // Only a link of our own is removed: never a file we refused to replace.
  if (linkMade_) unlink(linkPath_.c_str());
  linkMade_ = false;
  printer_.save();
}

void PtyPrinter::serve() {
  RequestReader reader;
  Steady::time_point frameStart{};
  std::size_t frameBytes = 0;

  // Waits until `until`, or returns false at once when stop() is called.
  auto sleepUntil = [this](Steady::time_point until) {
    for (;;) {
      const auto left = until - Steady::now();
      if (left <= std::chrono::nanoseconds::zero()) return true;
      const int ms = static_cast<int>(
          std::chrono::ceil<std::chrono::milliseconds>(left).count());
      pollfd wake{wakeRead_, POLLIN, 0};
      if (poll(&wake, 1, ms) > 0) return false;
      if (ms <= 1) {
        // poll only knows milliseconds; spin out the last fraction for even pacing.
        while (Steady::now() < until) {
        }
        return true;
      }
    }
  };

  auto writeAll = [this](const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
      const ssize_t w = write(master_, p, n);
      if (w < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;
      }
      p += w;
      n -= static_cast<std::size_t>(w);
    }
  };

  auto send = [&](const Answer& ans) -> bool {
    const bool pace = printer_.options().pace;
    auto t = Steady::now();
    if (pace) {
      // The printer cannot act before the last byte of the request has crossed the wire.
      t = std::max(t, frameStart + kPacedByteTime * static_cast<long>(frameBytes));
    }
    t += ans.delay;
    if (!sleepUntil(t)) return false;
    if (ans.bytes.empty()) return true;
    if (!pace) {
      replyBytes_ += ans.bytes.size();
      writeAll(ans.bytes.data(), ans.bytes.size());
      return true;
    }
    for (std::size_t i = 0; i < ans.bytes.size(); ++i) {
      if (!sleepUntil(t + kPacedByteTime * static_cast<long>(i))) return false;
      ++replyBytes_;
      writeAll(&ans.bytes[i], 1);
    }
    // The last byte is on the wire only one byte time after it was handed over.
    return sleepUntil(t + kPacedByteTime * static_cast<long>(ans.bytes.size()));
  };

  std::uint8_t buf[512];
  while (running_) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int ready = poll(fds, 2, reader.midFrame() ? kInterByteTimeoutMs : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (ready == 0) {
      reader.reset();  // the rest of that frame never came
      continue;
    }
    if ((fds[0].revents & POLLIN) == 0) continue;
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) {
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EIO)) continue;
      return;
    }
    const auto arrived = Steady::now();
    requestBytes_ += static_cast<std::uint64_t>(n);
    for (ssize_t i = 0; i < n; ++i) {
      if (!reader.midFrame()) {
        // The bytes of one read arrived together; date the frame from the read.
        frameStart = arrived;
        frameBytes = 0;
      }
      ++frameBytes;
      if (auto frame = reader.feed(buf[i])) {
        const Answer ans = printer_.answer(*frame);
        printedLines_ += static_cast<std::uint64_t>(ans.printedLines);
        if (!send(ans)) return;
      } else if (!reader.midFrame()) {
        frameBytes = 0;
      }
    }
  }
}

}  // namespace fpsim
