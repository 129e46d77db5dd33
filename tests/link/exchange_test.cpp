// The conversation with the printer over a real pseudo-terminal: every result
// code, what reaches the caller's buffers, and the sequence bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <ctime>

#include "link_fixture.h"

namespace kordal::testing {
namespace {

constexpr std::uint8_t kCommand = 0x21;
constexpr unsigned char kEmptyBlock[] = {0};

struct ReplyCase {
  const char* name;
  Fault fault;
  int expected;
  bool waits_for_time_out;
};

const ReplyCase kReplyCases[] = {
    {"accepted", Fault::None, KORDAL_OK, false},
    {"wrong checksum", Fault::WrongChecksum, KORDAL_ERR_CHECKSUM, false},
    {"checksum high byte wrong", Fault::WrongChecksumHigh, KORDAL_ERR_CHECKSUM, false},
    {"wrong sequence echo", Fault::WrongSequence, KORDAL_ERR_SEQUENCE, false},
    {"wrong command echo", Fault::WrongCommand, KORDAL_ERR_COMMAND, false},
    {"end byte not 0x03", Fault::MissingEnd, KORDAL_ERR_END, false},
    {"one byte too many", Fault::Overlong, KORDAL_ERR_END, false},
    {"length below the fixed part", Fault::ShortLength, KORDAL_ERR_END, false},
    {"first byte not 0x01", Fault::BadStart, KORDAL_ERR_NO_REPLY, false},
    {"reply cut short", Fault::Truncated, KORDAL_ERR_END, true},
    {"length byte never comes", Fault::StartOnly, KORDAL_ERR_NO_REPLY, true},
    {"printer silent", Fault::Silence, KORDAL_ERR_NO_REPLY, true},
};

class ExchangeTest : public LinkTest {};

TEST_F(ExchangeTest, ResultCodesAndCallerBuffers) {
  useShortTimeout();
  for (const ReplyCase& c : kReplyCases) {
    SCOPED_TRACE(c.name);
    const Answer answer{c.fault, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80}, {'D', '1'}};

    peer_->script({answer});
    CallerBuffers text;
    EXPECT_EQ(TrimiteTelegrama(kPrinterPort, "F", kCommand, text.data, text.status), c.expected);
    peer_->waitIdle();

    peer_->script({answer});
    CallerBuffers counted;
    EXPECT_EQ(TrimiteTelegramaL(kPrinterPort, kEmptyBlock, kCommand, counted.counted(),
                                counted.status),
              c.expected);
    peer_->waitIdle();

    if (c.expected != KORDAL_OK) {
      EXPECT_TRUE(text.untouched());
      EXPECT_TRUE(counted.untouched());
      continue;
    }
    // Status into the first eight bytes; the rest of each buffer as it was.
    EXPECT_EQ(text.statusBytes(), answer.status);
    EXPECT_EQ(counted.statusBytes(), answer.status);
    EXPECT_EQ(std::string(text.status + 8, 2), "  ");
    EXPECT_EQ(std::string(text.data, 4), std::string("D1\0 ", 4));
    EXPECT_EQ(std::string(counted.data, 4), std::string("\x02" "D1 ", 4));
  }
}

TEST_F(ExchangeTest, ReplyWithoutDataGivesEmptyTextAndZeroCount) {
  const Answer empty{Fault::None, {1, 2, 3, 4, 5, 6, 7, 8}, {}};
  peer_->script({empty, empty});
  CallerBuffers text;
  CallerBuffers counted;
  ASSERT_EQ(TrimiteTelegrama(kPrinterPort, "", kCommand, text.data, text.status), KORDAL_OK);
  ASSERT_EQ(TrimiteTelegramaL(kPrinterPort, kEmptyBlock, kCommand, counted.counted(), counted.status),
            KORDAL_OK);
  EXPECT_EQ(text.data[0], '\0');
  EXPECT_EQ(text.data[1], ' ');
  EXPECT_EQ(counted.data[0], '\0');
  EXPECT_EQ(counted.data[1], ' ');
  EXPECT_EQ(text.statusBytes(), empty.status);
}

TEST_F(ExchangeTest, LongestReplyFillsTheDocumentedBufferExactly) {
  // 245 data bytes: the most a length byte can announce.
  Answer longest;
  longest.data.assign(245, 'x');
  peer_->script({longest, longest});
  CallerBuffers text;
  CallerBuffers counted;
  ASSERT_EQ(TrimiteTelegrama(kPrinterPort, "", kCommand, text.data, text.status), KORDAL_OK);
  ASSERT_EQ(TrimiteTelegramaL(kPrinterPort, kEmptyBlock, kCommand, counted.counted(), counted.status),
            KORDAL_OK);
  EXPECT_EQ(std::string(text.data, 245), std::string(245, 'x'));
  EXPECT_EQ(text.data[245], '\0');
  EXPECT_EQ(text.data[246], ' ');
  EXPECT_EQ(static_cast<unsigned char>(counted.data[0]), 245);
  EXPECT_EQ(counted.data[246], ' ');
}

TEST_F(ExchangeTest, DataWithZeroAndHighBytesReachesTheCountedBufferUnchanged) {
  Answer binary;
  binary.data = {0x00, 0xFF, 0x80, 0x03, 0x01};
  peer_->script({binary});
  CallerBuffers counted;
  ASSERT_EQ(TrimiteTelegramaL(kPrinterPort, kEmptyBlock, kCommand, counted.counted(), counted.status),
            KORDAL_OK);
  EXPECT_EQ(Bytes(counted.data, counted.data + 6), (Bytes{5, 0x00, 0xFF, 0x80, 0x03, 0x01}));
}

TEST_F(ExchangeTest, CountedSequenceRunsFromZeroAndWraps) {
  for (int call = 0; call < 300; ++call) {
    CallerBuffers buffers;
    ASSERT_EQ(TrimiteTelegramaL(kPrinterPort, kEmptyBlock, kCommand, buffers.counted(),
                                buffers.status),
              KORDAL_OK)
        << "call " << call;
  }
  const std::vector<Bytes> requests = peer_->requests();
  ASSERT_EQ(requests.size(), 300u);
  for (std::size_t call = 0; call < requests.size(); ++call) {
    EXPECT_EQ(requests[call][2], call % 256) << "call " << call;
  }
}

TEST_F(ExchangeTest, TextSequenceIsTheWallClockSecond) {
  libraryState().setClock(nullptr);
  peer_->script({});
  for (int call = 0; call < 2; ++call) {
    CallerBuffers buffers;
    const std::time_t before = std::time(nullptr);
    ASSERT_EQ(TrimiteTelegrama(kPrinterPort, "", kCommand, buffers.data, buffers.status),
              KORDAL_OK);
    const std::time_t after = std::time(nullptr);
    std::tm first{};
    std::tm last{};
    localtime_r(&before, &first);
    localtime_r(&after, &last);
    const int sent = peer_->requests().back()[2];
    EXPECT_TRUE(sent == first.tm_sec || sent == last.tm_sec) << sent;
  }
}

TEST_F(ExchangeTest, EveryExchangeWaitsTwentyMillisecondsBeforeReading) {
  CallerBuffers buffers;
  ASSERT_EQ(TrimiteTelegrama(kPrinterPort, "", kCommand, buffers.data, buffers.status), KORDAL_OK);
  ASSERT_EQ(clock_.pauses.size(), 1u);
  EXPECT_EQ(clock_.pauses[0], std::chrono::milliseconds(20));
}

TEST_F(ExchangeTest, StaleBytesFromAnEarlierReplyAreDiscarded) {
  // Leftovers of a failed reply, or noise, sit in the input queue.
  peer_->inject(replyFrame(0x33, kCommand, Bytes(8, 0), {}));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  CallerBuffers buffers;
  EXPECT_EQ(TrimiteTelegrama(kPrinterPort, "", kCommand, buffers.data, buffers.status), KORDAL_OK);
}

TEST_F(ExchangeTest, CommandOnAPortNotOpenIsNoReplyAtOnce) {
  for (std::int32_t port : {2, 9, 0, -3, 1000}) {
    SCOPED_TRACE(port);
    CallerBuffers buffers;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TrimiteTelegrama(port, "F", kCommand, buffers.data, buffers.status),
              KORDAL_ERR_NO_REPLY);
    EXPECT_EQ(InOutSume(port, "", buffers.data, buffers.status), KORDAL_ERR_NO_REPLY);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(buffers.untouched());
  }
  EXPECT_TRUE(peer_->requests().empty());
}

}  // namespace
}  // namespace kordal::testing
