// The order in which one exchange touches the port, seen through a fake.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "exchange.h"
#include "kordal.h"

namespace kordal {
namespace {

class RecordingPort final : public SerialPort {
 public:
  explicit RecordingPort(std::vector<std::uint8_t> incoming)
      : incoming_(incoming.begin(), incoming.end()) {}

  bool write(const std::uint8_t*, std::size_t count) override {
    log.push_back("write " + std::to_string(count));
    return true;
  }
  std::size_t read(std::uint8_t* bytes, std::size_t count) override {
    log.push_back("read " + std::to_string(count));
    std::size_t done = 0;
    while (done < count && !incoming_.empty()) {
      bytes[done++] = incoming_.front();
      incoming_.pop_front();
    }
    return done;
  }
  void discardInput() override { log.push_back("discard input"); }
  void discardOutput() override { log.push_back("discard output"); }
  void setTimeoutSeconds(int) override {}
  int close() override { return 0; }

  std::vector<std::string> log;

 private:
  std::deque<std::uint8_t> incoming_;
};

class LoggingClock final : public Clock {
 public:
  explicit LoggingClock(std::vector<std::string>& log) : log_(log) {}
  int secondsField() const override { return 0; }
  void pause(std::chrono::nanoseconds) const override { log_.push_back("pause"); }

 private:
  std::vector<std::string>& log_;
};

TEST(ExchangeOrder, StepsRunInTheProtocolOrder) {
  // Reply to sequence 5, command 0x21: N = 10, status zeros, no data.
  std::vector<std::uint8_t> reply{0x01, 0x0A, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0x21};
  unsigned sum = 0;
  for (std::size_t i = 1; i < reply.size(); ++i) {
    sum += reply[i];
  }
  reply.insert(reply.end(), {static_cast<std::uint8_t>(sum), static_cast<std::uint8_t>(sum >> 8),
                             0x03});
  RecordingPort port(reply);
  LoggingClock clock(port.log);
  Reply received;
  const int result = runExchange(port, clock, [&] {
    port.log.push_back("sequence");
    return std::uint8_t{5};
  }, 0x21, nullptr, 0, received);
  EXPECT_EQ(result, KORDAL_OK);
  const std::vector<std::string> expected{"discard output", "sequence", "discard input",
                                          "write 7", "pause", "read 1", "read 1", "read 13"};
  EXPECT_EQ(port.log, expected);
}

TEST(ExchangeOrder, ChecksAreMadeInOrderEndChecksumSequenceCommand) {
  // A reply wrong in every respect reports only the first failed check.
  struct Case {
    bool bad_end, bad_sum, bad_sequence, bad_command;
    int expected;
  };
  const Case cases[] = {
      {true, true, true, true, KORDAL_ERR_END},
      {false, true, true, true, KORDAL_ERR_CHECKSUM},
      {false, false, true, true, KORDAL_ERR_SEQUENCE},
      {false, false, false, true, KORDAL_ERR_COMMAND},
      {false, false, false, false, KORDAL_OK},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> reply{0x01, 0x0A, static_cast<std::uint8_t>(c.bad_sequence ? 6 : 5),
                                    0, 0, 0, 0, 0, 0, 0, 0,
                                    static_cast<std::uint8_t>(c.bad_command ? 0x22 : 0x21)};
    unsigned sum = 0;
    for (std::size_t i = 1; i < reply.size(); ++i) {
      sum += reply[i];
    }
    if (c.bad_sum) {
      ++sum;
    }
    reply.insert(reply.end(), {static_cast<std::uint8_t>(sum),
                               static_cast<std::uint8_t>(sum >> 8),
                               static_cast<std::uint8_t>(c.bad_end ? 0x00 : 0x03)});
    RecordingPort port(reply);
    LoggingClock clock(port.log);
    Reply received;
    EXPECT_EQ(runExchange(port, clock, [] { return std::uint8_t{5}; }, 0x21, nullptr, 0, received),
              c.expected);
  }
}

}  // namespace
}  // namespace kordal
