#include "posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kordal {

namespace {

long long nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int serialErrorCode(int error_number) { return -(kSerialErrorBase + error_number); }

std::unique_ptr<PosixSerialPort> PosixSerialPort::open(const std::string& device, int& error) {
  // Non-blocking, so neither the open nor a later write can hang on modem
  // lines or on flow control: every wait goes through poll and the time-out.
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = serialErrorCode(errno);
    return nullptr;
  }
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) {
    error = serialErrorCode(errno);
    ::close(fd);
    return nullptr;
  }
  termios raw = saved;
  cfmakeraw(&raw);
  raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  raw.c_cflag |= CS8 | CREAD | CLOCAL | CRTSCTS;
  // With VMIN 0 a terminal read answers 0 ("nothing yet") even in
  // non-blocking mode, which looks like end of file; VMIN 1 makes an empty
  // queue answer EAGAIN and keeps 0 for a line that hung up.
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  cfsetispeed(&raw, B9600);
  cfsetospeed(&raw, B9600);
  if (tcsetattr(fd, TCSANOW, &raw) != 0) {
    error = serialErrorCode(errno);
    ::close(fd);
    return nullptr;
  }
  error = 0;
  return std::unique_ptr<PosixSerialPort>(new PosixSerialPort(fd, saved));
}

PosixSerialPort::PosixSerialPort(int fd, const termios& saved) : fd_(fd), saved_(saved) {}

PosixSerialPort::~PosixSerialPort() { close(); }

bool PosixSerialPort::waitReady(short events, long long deadline_ms) {
  for (;;) {
    long long left = deadline_ms - nowMs();
    if (left < 0) {
      left = 0;
    }
    pollfd entry{fd_, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) {
      // A hung-up or failed line without pending data ends the wait at once
      // rather than spinning until the deadline.
      return (entry.revents & events) != 0;
    }
    if (ready == 0) {
      return false;
    }
    if (errno != EINTR) {
      return false;
    }
  }
}

bool PosixSerialPort::write(const std::uint8_t* bytes, std::size_t count) {
  if (fd_ < 0) {
    return false;
  }
  const long long deadline = nowMs() + timeout_seconds_ * 1000LL;
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd_, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return false;
    }
    if (!waitReady(POLLOUT, deadline)) {
      return false;
    }
  }
  return true;
}

std::size_t PosixSerialPort::read(std::uint8_t* bytes, std::size_t count) {
  if (fd_ < 0) {
    return 0;
  }
  const long long deadline = nowMs() + timeout_seconds_ * 1000LL;
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd_, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      break;  // end of file or a failed line: nothing more will come
    }
    if (!waitReady(POLLIN, deadline)) {
      break;
    }
  }
  return done;
}

void PosixSerialPort::discardInput() {
  if (fd_ >= 0) {
    tcflush(fd_, TCIFLUSH);
  }
}

void PosixSerialPort::discardOutput() {
  if (fd_ >= 0) {
    tcflush(fd_, TCOFLUSH);
  }
}

void PosixSerialPort::setTimeoutSeconds(int seconds) { timeout_seconds_ = seconds; }

int PosixSerialPort::close() {
  if (fd_ < 0) {
    return serialErrorCode(EBADF);
  }
  // A request still queued behind a low CTS (printer switched off) belongs to
  // a command that already failed; dropping it keeps the close from waiting
  // for the driver's drain time-out before the program can exit.
  tcflush(fd_, TCOFLUSH);
  tcsetattr(fd_, TCSANOW, &saved_);
  int result = ::close(fd_) == 0 ? 0 : serialErrorCode(errno);
  fd_ = -1;
  return result;
}

}  // namespace kordal
