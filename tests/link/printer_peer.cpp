#include "printer_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace kordal::testing {

namespace {

std::uint16_t sumOf(const Bytes& bytes, std::size_t from, std::size_t to) {
  unsigned sum = 0;
  for (std::size_t i = from; i < to; ++i) {
    sum += bytes[i];
  }
  return static_cast<std::uint16_t>(sum);
}

void appendSum(Bytes& frame, std::uint16_t sum) {
  frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
}

}  // namespace

Bytes replyFrame(std::uint8_t sequence, std::uint8_t command, const Bytes& status,
                 const Bytes& data) {
  Bytes frame{0x01, static_cast<std::uint8_t>(10 + data.size()), sequence};
  frame.reserve(data.size() + 15);
  frame.insert(frame.end(), status.begin(), status.end());
  frame.push_back(command);
  frame.insert(frame.end(), data.begin(), data.end());
  appendSum(frame, sumOf(frame, 1, frame.size()));
  frame.push_back(0x03);
  return frame;
}

Bytes requestFrame(std::uint8_t sequence, std::uint8_t command, const Bytes& payload) {
  Bytes frame{0x01, static_cast<std::uint8_t>(payload.size() + 2), sequence, command};
  frame.reserve(payload.size() + 7);
  frame.insert(frame.end(), payload.begin(), payload.end());
  appendSum(frame, sumOf(frame, 1, frame.size()));
  frame.push_back(0x03);
  return frame;
}

PrinterPeer::PrinterPeer() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    throw std::runtime_error("no pseudo-terminal name");
  }
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slave_ < 0) {
    throw std::runtime_error("cannot open pseudo-terminal slave");
  }
  // Raw from the start, so nothing the peer writes is echoed back to it.
  termios raw{};
  tcgetattr(slave_, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave_, TCSANOW, &raw);
  thread_ = std::thread([this] { run(); });
}

PrinterPeer::~PrinterPeer() {
  stop_ = true;
  thread_.join();
  ::close(slave_);
  ::close(master_);
}

void PrinterPeer::attachAs(int port) const {
  setenv(("KORDAL_COM" + std::to_string(port)).c_str(), slave_path_.c_str(), 1);
}

void PrinterPeer::script(std::vector<Answer> answers) {
  std::lock_guard lock(mutex_);
  script_.assign(answers.begin(), answers.end());
}

std::vector<Bytes> PrinterPeer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void PrinterPeer::waitIdle() const {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return answered_ == requests_.size(); });
}

termios PrinterPeer::slaveSettings() const {
  termios settings{};
  tcgetattr(slave_, &settings);
  return settings;
}

void PrinterPeer::setSlaveSettings(const termios& settings) const {
  tcsetattr(slave_, TCSANOW, &settings);
}

void PrinterPeer::inject(const Bytes& bytes) const { writeAll(bytes); }

int PrinterPeer::pendingInput() const {
  int count = -1;
  ioctl(slave_, FIONREAD, &count);
  return count;
}

void PrinterPeer::writeAll(const Bytes& bytes) const {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
      return;
    }
  }
}

void PrinterPeer::run() {
  Bytes pending;
  while (!stop_) {
    pollfd entry{master_, POLLIN, 0};
    if (::poll(&entry, 1, 20) <= 0 || (entry.revents & POLLIN) == 0) {
      continue;
    }
    std::uint8_t chunk[512];
    ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) {
      continue;
    }
    pending.insert(pending.end(), chunk, chunk + n);
    // Whole frames only: start, length, then length + 3 more bytes.
    while (pending.size() >= 2 && pending.size() >= std::size_t{pending[1]} + 5) {
      const std::size_t size = std::size_t{pending[1]} + 5;
      Bytes frame(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(frame);
      }
      answer(frame[2], frame[3]);
      {
        std::lock_guard lock(mutex_);
        ++answered_;
      }
      idle_.notify_all();
    }
  }
}

void PrinterPeer::answer(std::uint8_t sequence, std::uint8_t command) {
  Answer next;
  {
    std::lock_guard lock(mutex_);
    if (!script_.empty()) {
      next = script_.front();
      script_.pop_front();
    }
  }
  if (next.delay.count() > 0) {
    std::this_thread::sleep_for(next.delay);
  }
  Bytes reply = replyFrame(sequence, command, next.status, next.data);
  switch (next.fault) {
    case Fault::None:
      break;
    case Fault::WrongChecksum:
      reply[reply.size() - 3] ^= 0x01;
      break;
    case Fault::WrongChecksumHigh:
      reply[reply.size() - 2] ^= 0x01;
      break;
    case Fault::WrongSequence:
      reply = replyFrame(static_cast<std::uint8_t>(sequence + 1), command, next.status, next.data);
      break;
    case Fault::WrongCommand:
      reply = replyFrame(sequence, static_cast<std::uint8_t>(command + 1), next.status, next.data);
      break;
    case Fault::MissingEnd:
      reply.back() = 0x04;
      break;
    case Fault::Overlong:
      reply.insert(reply.end() - 3, 0x55);
      break;
    case Fault::Truncated:
      reply.resize(reply.size() - 2);
      break;
    case Fault::BadStart:
      reply[0] = 0x02;
      break;
    case Fault::StartOnly:
      reply.resize(1);
      break;
    case Fault::ShortLength: {
      // Sequence and four bytes, correctly summed and ended.
      reply = {0x01, 0x05, sequence, 0x00, 0x00, 0x00, 0x00};
      appendSum(reply, sumOf(reply, 1, reply.size()));
      reply.push_back(0x03);
      break;
    }
    case Fault::Silence:
      reply.clear();
      break;
  }
  writeAll(reply);
}

}  // namespace kordal::testing
