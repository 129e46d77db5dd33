#include "library_state.h"

#include <cerrno>
#include <cstdlib>

#include "posix_serial_port.h"

namespace kordal {

namespace {

// Stands for a port number with nothing open behind it.
class ClosedPort final : public SerialPort {
 public:
  bool write(const std::uint8_t*, std::size_t) override { return false; }
  std::size_t read(std::uint8_t*, std::size_t) override { return 0; }
  void discardInput() override {}
  void discardOutput() override {}
  void setTimeoutSeconds(int) override {}
  int close() override { return serialErrorCode(EBADF); }
};

ClosedPort closed_port;

std::unique_ptr<SerialPort> openPosixPort(const std::string& device, int& error) {
  return PosixSerialPort::open(device, error);
}

}  // namespace

std::string devicePathFor(std::int32_t port) {
  const std::string variable = "KORDAL_COM" + std::to_string(port);
  const char* configured = std::getenv(variable.c_str());
  if (configured != nullptr && configured[0] != '\0') {
    return configured;
  }
  return "/dev/ttyS" + std::to_string(port - 1);
}

LibraryState::LibraryState() : opener_(openPosixPort) {}

SerialPort& LibraryState::port(std::int32_t number) {
  if (inTable(number) && ports_[static_cast<std::size_t>(number)]) {
    return *ports_[static_cast<std::size_t>(number)];
  }
  return closed_port;
}

bool LibraryState::isOpen(std::int32_t number) const {
  return inTable(number) && ports_[static_cast<std::size_t>(number)] != nullptr;
}

int LibraryState::open(std::int32_t number) {
  if (!inTable(number)) {
    return serialErrorCode(ENODEV);
  }
  auto& slot = ports_[static_cast<std::size_t>(number)];
  // Opening a number again starts afresh; keeping two descriptors on one
  // device would only leak the first.
  if (slot) {
    slot->close();
    slot.reset();
  }
  int error = 0;
  std::unique_ptr<SerialPort> opened = opener_(devicePathFor(number), error);
  if (!opened) {
    return error < 0 ? error : serialErrorCode(ENODEV);
  }
  // Every open starts with the short time-out and nothing stale queued.
  opened->setTimeoutSeconds(kDefaultTimeoutSeconds);
  opened->discardInput();
  opened->discardOutput();
  slot = std::move(opened);
  return 0;
}

int LibraryState::close(std::int32_t number) {
  if (!isOpen(number)) {
    return serialErrorCode(EBADF);
  }
  auto& slot = ports_[static_cast<std::size_t>(number)];
  int result = slot->close();
  slot.reset();
  return result;
}

void LibraryState::setOpener(PortOpener opener) {
  opener_ = opener ? std::move(opener) : PortOpener(openPosixPort);
}

void LibraryState::reset() {
  for (auto& slot : ports_) {
    if (slot) {
      slot->close();
      slot.reset();
    }
  }
  counter_ = 0;
  clock_ = &system_clock_;
  opener_ = openPosixPort;
}

LibraryState& libraryState() {
  // Never destroyed: unloading the library must not close the caller's ports.
  static LibraryState* state = new LibraryState;
  return *state;
}

}  // namespace kordal
