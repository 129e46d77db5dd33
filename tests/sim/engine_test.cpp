// The printer engine fed request frames directly, without a terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#include "fpsim/printer.h"

namespace fpsim {
namespace {

namespace fs = std::filesystem;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string textOf(const Bytes& b) { return std::string(b.begin(), b.end()); }

bool has(const StatusBytes& s, StatusBit b) {
  return (s[static_cast<std::size_t>(b.byte)] & b.mask) != 0;
}

// Sale-line payload as the link library composes it.
Bytes saleLine(const std::string& name, char group, std::uint16_t whole, std::uint32_t fraction,
               char sign, std::uint32_t price, std::optional<int> percentHundredths = {}) {
  Bytes p = bytesOf(name);
  p.push_back(0x09);
  p.push_back(static_cast<std::uint8_t>(group));
  p.push_back(0x09);
  p.push_back(static_cast<std::uint8_t>(whole >> 8));
  p.push_back(static_cast<std::uint8_t>(whole));
  p.push_back(static_cast<std::uint8_t>(fraction >> 16));
  p.push_back(static_cast<std::uint8_t>(fraction >> 8));
  p.push_back(static_cast<std::uint8_t>(fraction));
  p.push_back(0x09);
  p.push_back(static_cast<std::uint8_t>(sign));
  for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<std::uint8_t>(price >> shift));
  if (percentHundredths) {
    p.push_back(',');
    if (*percentHundredths < 0) p.push_back('r');
    const int v = std::abs(*percentHundredths);
    p.push_back(static_cast<std::uint8_t>(v / 100));
    p.push_back(static_cast<std::uint8_t>(v % 100));
  }
  return p;
}

Bytes payment(char mode, std::uint32_t amount) {
  Bytes p{0x09, static_cast<std::uint8_t>(mode)};
  for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<std::uint8_t>(amount >> shift));
  return p;
}

class Engine : public ::testing::Test {
 protected:
  PrinterOptions options() {
    PrinterOptions o;
    o.clock = clock;
    return o;
  }
  std::shared_ptr<ManualClock> clock =
      std::make_shared<ManualClock>(DateTime{2026, 3, 2, 9, 15, 30});
  std::unique_ptr<Printer> printer = std::make_unique<Printer>(options());
  std::uint8_t seq = 0x20;

  ReplyFrame send(std::uint8_t code, const Bytes& payload = {}) {
    const Bytes request = encodeRequest(++seq, code, payload);
    const Answer a = printer->exchange(request);
    auto reply = decodeReply(a.bytes);
    EXPECT_TRUE(reply.has_value()) << "command " << int{code} << " got no well-formed reply";
    if (!reply) return {};
    EXPECT_EQ(reply->seq, seq);
    EXPECT_EQ(reply->cmd, code);
    return *reply;
  }
  std::string state() { return textOf(send(cmd::kTransactionState).data); }
  void openReceipt() { ASSERT_FALSE(has(send(cmd::kOpenFiscalReceipt, {1, 1}).status, bit::kNotAllowedInMode)); }
};

TEST(Frame, RequestReaderSkipsNoiseAndChecksTheFrame) {
  const Bytes frame = encodeRequest(0x07, 0x21, bytesOf("F"));
  EXPECT_EQ(frame, (Bytes{0x01, 0x03, 0x07, 0x21, 0x46, 0x71, 0x00, 0x03}));

  RequestReader reader;
  for (std::uint8_t b : Bytes{0xFF, 0x00, 0x55}) EXPECT_FALSE(reader.feed(b));
  std::optional<RequestFrame> got;
  for (std::uint8_t b : frame) got = reader.feed(b);
  ASSERT_TRUE(got);
  EXPECT_TRUE(got->checksumOk);
  EXPECT_TRUE(got->endByteOk);
  EXPECT_EQ(got->payload, bytesOf("F"));

  Bytes bad = frame;
  bad[5] ^= 1;
  for (std::uint8_t b : bad) got = reader.feed(b);
  ASSERT_TRUE(got);
  EXPECT_FALSE(got->checksumOk);
}

TEST(Frame, ReplySumCarriesIntoHighByte) {
  const Bytes data(200, 0xFF);
  const Bytes reply = encodeReply(1, StatusBytes{}, 2, data);
  ASSERT_EQ(reply.size(), 215u);
  EXPECT_EQ(reply[1], 210);
  const unsigned sum = 210 + 1 + 2 + 200 * 0xFF;
  EXPECT_EQ(reply[212], sum & 0xFF);
  EXPECT_EQ(reply[213], sum >> 8);
  EXPECT_EQ(reply[214], kEndByte);
  EXPECT_TRUE(decodeReply(reply));
}

TEST_F(Engine, BadRequestChecksumIsAnsweredWithTheCrcBitAndNotExecuted) {
  Bytes request = encodeRequest(9, cmd::kOpenFiscalReceipt, Bytes{1, 1});
  request[request.size() - 3] ^= 0x01;
  auto reply = decodeReply(printer->exchange(request).bytes);
  ASSERT_TRUE(reply);
  EXPECT_TRUE(has(reply->status, bit::kBadChecksum));
  EXPECT_EQ(reply->seq, 9);
  EXPECT_EQ(reply->cmd, cmd::kOpenFiscalReceipt);
  EXPECT_FALSE(printer->state().openReceipt);
}

TEST_F(Engine, TransactionStateFollowsTheReceipt) {
  EXPECT_EQ(state(), "0,0,0,0,0,");
  openReceipt();
  EXPECT_EQ(state(), "1,0,0,0,1,") << "open with no lines is state 1";
  send(cmd::kSaleLine, saleLine("PAINE", 'A', 2, 0, '+', 250));
  send(cmd::kSaleLine, saleLine("LAPTE", 'B', 1, 500000, '+', 600, -500));
  EXPECT_EQ(state(), "1,2,1355,0,1,");
  EXPECT_EQ(textOf(send(cmd::kTotalPayment, payment('A', 355)).data), "D,1000");
  EXPECT_EQ(state(), "1,2,1355,355,1,");
  EXPECT_EQ(textOf(send(cmd::kTotalPayment, payment('C', 1500)).data), "R,500");
  EXPECT_EQ(state(), "2,2,1355,1855,1,");
  EXPECT_TRUE(has(send(cmd::kSaleLine, saleLine("X", 'A', 1, 0, '+', 1)).status,
                  bit::kCommandFailed))
      << "no sale after the receipt is paid";
  const auto close = send(cmd::kCloseFiscalReceipt);
  EXPECT_FALSE(has(close.status, bit::kFiscalReceiptOpen));
  EXPECT_EQ(state(), "0,0,0,0,1,");

  auto receipts = printer->closedReceipts();
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].number, 1u);
  EXPECT_EQ(receipts[0].change, 500);
  ASSERT_EQ(receipts[0].lines.size(), 2u);
  EXPECT_EQ(receipts[0].lines[1].value, 855);
  EXPECT_EQ(printer->state().drawer.inDrawer, 1000) << "cash in less the change given";
}

TEST_F(Engine, MarkupsDiscountsAndNegativeTotals) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 1000));
  // 10 % discount on the subtotal, in group A; then a markup of 50 in group B.
  send(cmd::kMarkupDiscount, Bytes{',', 'r', 'A', 10, 0});
  send(cmd::kMarkupDiscount, Bytes{':', 'B', 0, 0, 0, 0, 0, 0, 0, 50});
  EXPECT_EQ(state(), "1,1,950,0,1,");
  // A discount larger than group B makes its VAT register negative.
  send(cmd::kMarkupDiscount, Bytes{';', 'B', 0, 0, 0, 0, 0, 0, 0, 80});
  EXPECT_EQ(textOf(send(cmd::kTotalPayment, payment('C', 0)).data), "I");
  send(cmd::kSaleLine, saleLine("B", 'B', 1, 0, '+', 30));
  EXPECT_EQ(textOf(send(cmd::kTotalPayment, payment('C', 0)).data), "D,900");
}

TEST_F(Engine, NegativeSubtotalIsRefusedWithE) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("RETUR", 'A', 1, 0, '-', 100));
  EXPECT_EQ(textOf(send(cmd::kTotalPayment, payment('C', 0)).data), "E");
  EXPECT_EQ(state(), "1,1,-100,0,1,");
}

TEST_F(Engine, LineValueBeyondTheRegistersIsRefusedNotWrapped) {
  openReceipt();
  // The largest quantity and price the payload can carry: their product passes 64 bits.
  const auto huge = send(cmd::kSaleLine, saleLine("MAX", 'A', 65535, 999999, '+', 0xFFFFFFFF));
  EXPECT_TRUE(has(huge.status, bit::kAmountOverflow));
  const auto over = send(cmd::kSaleLine, saleLine("OVER", 'A', 10000, 0, '+', 1'000'001));
  EXPECT_TRUE(has(over.status, bit::kAmountOverflow));
  EXPECT_EQ(state(), "1,0,0,0,1,") << "a refused line is not registered";
  const auto limit = send(cmd::kSaleLine, saleLine("LIMIT", 'A', 65535, 0, '+', 152590));
  EXPECT_FALSE(has(limit.status, bit::kAmountOverflow));
  EXPECT_EQ(state(), "1,1,9999985650,0,1,");
}

TEST_F(Engine, ClosingAnUnpaidReceiptSettlesTheRestInCash) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 3, 0, '+', 100));
  send(cmd::kCloseFiscalReceipt);
  auto receipts = printer->closedReceipts();
  ASSERT_EQ(receipts.size(), 1u);
  ASSERT_EQ(receipts[0].payments.size(), 1u);
  EXPECT_EQ(receipts[0].payments[0].mode, 'C');
  EXPECT_EQ(receipts[0].payments[0].amount, 300);
}

TEST_F(Engine, MalformedOrMisplacedCommandsAreRefusedInTheStatus) {
  struct Case {
    const char* what;
    std::uint8_t code;
    Bytes payload;
    StatusBit expected;
  };
  const Case cases[] = {
      {"unknown command", 0x63, {}, bit::kUnknownCommand},
      {"sale without a receipt", cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 1), bit::kCommandFailed},
      {"payment without a receipt", cmd::kTotalPayment, payment('C', 1), bit::kCommandFailed},
      {"sale line cut short", cmd::kSaleLine, bytesOf("PAINE\tA\t"), bit::kInvalidArguments},
      {"sale with group E", cmd::kSaleLine, saleLine("A", 'E', 1, 0, '+', 1), bit::kInvalidArguments},
      {"sale with empty name", cmd::kSaleLine, saleLine("", 'A', 1, 0, '+', 1), bit::kInvalidArguments},
      {"payment mode X", cmd::kTotalPayment, payment('X', 1), bit::kInvalidArguments},
      {"report letter H", cmd::kReport, bytesOf("H"), bit::kInvalidArguments},
      {"VAT rates, 7 bytes", cmd::kWriteVatRates, Bytes(7, 0), bit::kInvalidArguments},
      {"VAT hundredths 100", cmd::kWriteVatRates, Bytes{19, 100, 9, 0, 0, 0, 0, 0}, bit::kInvalidArguments},
      {"clock hour 24", cmd::kWriteDateTime, Bytes{0x00, 0x00, 0x24, 0x01, 0x01, 0x26}, bit::kInvalidArguments},
      {"clock not BCD", cmd::kWriteDateTime, Bytes{0x0A, 0x00, 0x10, 0x01, 0x01, 0x26}, bit::kInvalidArguments},
      {"drawer without sign", cmd::kDrawerSums, Bytes{'x', 0, 0, 0, 1}, bit::kInvalidArguments},
      {"drawer out beyond its sum", cmd::kDrawerSums, Bytes{'-', 0, 0, 0, 1}, bit::kCommandFailed},
      {"text line of 41", cmd::kPrintText, Bytes(41, 'x'), bit::kInvalidArguments},
      {"periodic report, end before start", cmd::kPeriodicReport,
       Bytes{0x02, 0x03, 0x26, 0x01, 0x03, 0x26, 'e'}, bit::kInvalidArguments},
      {"markup kind ?", cmd::kMarkupDiscount, bytesOf("?A"), bit::kInvalidArguments},
      {"identity write on a fiscalized printer", cmd::kWriteCompanyName, bytesOf("X"),
       bit::kNotAllowedInMode},
      {"fiscalize twice", cmd::kFiscalize, {}, bit::kNotAllowedInMode},
      {"close non-fiscal with none open", cmd::kCloseNonFiscal, {}, bit::kNotAllowedInMode},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(has(send(c.code, c.payload).status, c.expected)) << c.what;
  }
  EXPECT_FALSE(printer->state().openReceipt);
  EXPECT_EQ(printer->journal(), "") << "nothing refused may reach the paper";
}

TEST_F(Engine, DayEndReportRepliesWithCountersAmountsAndDateAndResetsTheDay) {
  for (std::uint32_t price : {1000u, 234u}) {
    openReceipt();
    send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', price));
    send(cmd::kSaleLine, saleLine("S", ' ', 2, 0, '+', 5));
    send(cmd::kTotalPayment, payment('C', price + 10));
    send(cmd::kCloseFiscalReceipt);
  }
  EXPECT_TRUE(has(send(cmd::kWriteVatRates, Bytes{19, 0, 9, 0, 5, 0, 0, 0}).status,
                  bit::kNotAllowedInMode))
      << "rates stay while the day has receipts";
  EXPECT_EQ(send(cmd::kDayCounters).data, (Bytes{0, 2, 0, 0}));

  const Bytes z = send(cmd::kReport, bytesOf("G")).data;
  ASSERT_EQ(z.size(), 166u);
  const std::string s = textOf(z);
  auto field = [&](int i) { return s.substr(static_cast<std::size_t>(i) * 20, 20); };
  EXPECT_EQ(field(0), "00000000000000000001") << "Z number";
  EXPECT_EQ(field(1), "00000000000000123400") << "group A in hundredths";
  EXPECT_EQ(field(2), "00000000000000000000");
  EXPECT_EQ(field(5), "00000000000000002000") << "exempt group";
  EXPECT_EQ(field(6), "00000000000000125400") << "day total";
  EXPECT_EQ(field(7), "00000000000000000002") << "receipts";
  EXPECT_EQ(Bytes(z.begin() + 160, z.end()), (Bytes{0x30, 0x15, 0x09, 0x02, 0x03, 0x26}));

  const auto st = printer->state();
  ASSERT_EQ(st.fiscalMemory.size(), 1u);
  EXPECT_EQ(st.fiscalMemory[0].total, 1254);
  EXPECT_EQ(st.dayReceipts, 0u);
  EXPECT_EQ(send(cmd::kDayCounters).data, (Bytes{0, 0, 0, 1}));
  EXPECT_FALSE(has(send(cmd::kWriteVatRates, Bytes{19, 0, 9, 0, 5, 0, 0, 0}).status,
                   bit::kNotAllowedInMode));
}

TEST_F(Engine, ConditionsDriveTheirStatusBits) {
  struct Case {
    Condition condition;
    StatusBit bit;
  };
  const Case cases[] = {
      {Condition::PaperNearEnd, bit::kPaperNearEnd},
      {Condition::PaperOut, bit::kPaperOutS3b},
      {Condition::PaperOut, bit::kPaperOutS1},
      {Condition::CoverOpen, bit::kCoverOpen},
      {Condition::PaperJam, bit::kPaperJamA},
      {Condition::DateTimeLost, bit::kDateTimeLost},
      {Condition::InvalidVatRates, bit::kInvalidVatRates},
      {Condition::FiscalMemoryFull, bit::kFiscalMemoryFull},
      {Condition::FiscalMemoryNearlyFull, bit::kFiscalMemoryNearlyFull},
      {Condition::DisplayMissing, bit::kDisplayMissing},
      {Condition::Day24HoursPassed, bit::kDay24HoursPassed},
  };
  for (const auto& c : cases) {
    printer->setCondition(c.condition, true);
    EXPECT_TRUE(has(send(cmd::kStatus).status, c.bit)) << static_cast<int>(c.condition);
    printer->setCondition(c.condition, false);
    EXPECT_FALSE(has(send(cmd::kStatus).status, c.bit)) << static_cast<int>(c.condition);
  }
  printer->forceStatusBit(bit::kReadOnly, true);
  EXPECT_TRUE(has(send(cmd::kStatus).status, bit::kReadOnly));
  EXPECT_TRUE(has(send(cmd::kStatus).status, bit::kFiscalized));
}

TEST_F(Engine, ConditionsForbidWhatARealPrinterCannotDo) {
  printer->setCondition(Condition::PaperOut, true);
  send(cmd::kOpenFiscalReceipt, {1, 1});
  EXPECT_FALSE(printer->state().openReceipt) << "no receipt without paper";
  printer->setCondition(Condition::PaperOut, false);

  printer->setCondition(Condition::FiscalModeRefusal, true);
  EXPECT_TRUE(has(send(cmd::kOpenFiscalReceipt, {1, 1}).status, bit::kNotAllowedInMode));
  printer->setCondition(Condition::FiscalModeRefusal, false);

  printer->setCondition(Condition::DateTimeLost, true);
  EXPECT_TRUE(has(send(cmd::kOpenFiscalReceipt, {1, 1}).status, bit::kNotAllowedInMode));
  send(cmd::kWriteDateTime, Bytes{0x00, 0x30, 0x10, 0x15, 0x07, 0x26});
  EXPECT_FALSE(has(send(cmd::kStatus).status, bit::kDateTimeLost)) << "writing the clock clears it";
  EXPECT_EQ(send(cmd::kReadDateTime).data, (Bytes{0x00, 0x30, 0x10, 0x15, 0x07, 0x26}));

  openReceipt();
  send(cmd::kCloseFiscalReceipt);
  clock->advance(24 * 3600);
  EXPECT_TRUE(has(send(cmd::kStatus).status, bit::kDay24HoursPassed))
      << "24 hours after the day's first receipt";
  EXPECT_TRUE(has(send(cmd::kOpenFiscalReceipt, {1, 1}).status, bit::kNotAllowedInMode));
  send(cmd::kReport, bytesOf("G"));
  EXPECT_FALSE(has(send(cmd::kStatus).status, bit::kDay24HoursPassed));
}

TEST_F(Engine, RefusedReceiptAndCashCommandsAlsoReportAFailedCommand) {
  // The bridge's verdict passes S4 0x04 alone: such a refusal would read as a
  // receipt opened, a line sold or cash moved.
  struct Case {
    const char* what;
    std::uint8_t code;
    Bytes payload;
  };
  const Case withReceiptOpen[] = {
      {"sale line", cmd::kSaleLine, saleLine("B", 'A', 1, 0, '+', 50)},
      {"markup", cmd::kMarkupDiscount, Bytes{',', 'A', 10, 0}},
      {"payment", cmd::kTotalPayment, payment('C', 100)},
      {"close", cmd::kCloseFiscalReceipt, {}},
      {"second fiscal receipt", cmd::kOpenFiscalReceipt, {1, 1}},
      {"non-fiscal receipt", cmd::kOpenNonFiscal, {}},
      {"cash in", cmd::kDrawerSums, Bytes{'+', 0, 0, 0, 100}},
  };
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 100));
  printer->setCondition(Condition::FiscalModeRefusal, true);
  for (const auto& c : withReceiptOpen) {
    const auto s = send(c.code, c.payload).status;
    EXPECT_TRUE(has(s, bit::kNotAllowedInMode) && has(s, bit::kCommandFailed)) << c.what;
  }
  EXPECT_EQ(state(), "1,1,100,0,1,") << "nothing refused changed the receipt";
  EXPECT_EQ(printer->state().drawer.putIn, 0);
  EXPECT_FALSE(printer->state().nonFiscalOpen);

  printer->setCondition(Condition::FiscalModeRefusal, false);
  send(cmd::kCloseFiscalReceipt);
  for (Condition refusing : {Condition::FiscalModeRefusal, Condition::Day24HoursPassed}) {
    printer->setCondition(refusing, true);
    const auto s = send(cmd::kOpenFiscalReceipt, {1, 1}).status;
    EXPECT_TRUE(has(s, bit::kNotAllowedInMode) && has(s, bit::kCommandFailed));
    printer->setCondition(refusing, false);
  }
  EXPECT_FALSE(printer->state().openReceipt);

  // The service writes keep the bare bit: their callers test it for its own message.
  const auto identity = send(cmd::kWriteCompanyName, bytesOf("X")).status;
  EXPECT_TRUE(has(identity, bit::kNotAllowedInMode));
  EXPECT_FALSE(has(identity, bit::kCommandFailed));
}

TEST_F(Engine, ReplyFaultsChangeTheWireBytes) {
  const Bytes request = encodeRequest(5, cmd::kStatus, {});
  const Bytes good = printer->exchange(request).bytes;
  // A wrong echo comes in an otherwise sound frame; a damaged sum or end byte
  // changes that one byte only.
  struct Case {
    ReplyFault fault;
    std::optional<std::uint8_t> seq;  // expected echo, for the echo faults
    std::optional<std::uint8_t> cmd;
    std::size_t changedAt;
  };
  const Case cases[] = {
      {ReplyFault::BadSequence, std::uint8_t{6}, cmd::kStatus, 0},
      {ReplyFault::BadCommandEcho, std::uint8_t{5}, std::uint8_t{cmd::kStatus + 1}, 0},
      {ReplyFault::BadChecksum, {}, {}, 12},
      {ReplyFault::BadEndByte, {}, {}, 14},
  };
  for (const auto& c : cases) {
    printer->injectReplyFault(c.fault);
    const Bytes bad = printer->exchange(request).bytes;
    ASSERT_EQ(bad.size(), good.size());
    if (c.seq) {
      auto reply = decodeReply(bad);
      ASSERT_TRUE(reply);
      EXPECT_EQ(reply->seq, *c.seq);
      EXPECT_EQ(reply->cmd, *c.cmd);
    } else {
      EXPECT_FALSE(decodeReply(bad));
      for (std::size_t i = 0; i < good.size(); ++i) {
        EXPECT_EQ(bad[i] != good[i], i == c.changedAt) << static_cast<int>(c.fault) << " at " << i;
      }
    }
    EXPECT_EQ(printer->exchange(request).bytes, good) << "one reply only";
  }
  printer->injectReplyFault(ReplyFault::GarbageBefore);
  const Bytes garbled = printer->exchange(request).bytes;
  EXPECT_NE(garbled[0], kStartByte);
  EXPECT_EQ(Bytes(garbled.begin() + 1, garbled.end()), good);

  printer->injectReplyFault(ReplyFault::NoReply);
  EXPECT_TRUE(printer->exchange(encodeRequest(6, cmd::kOpenFiscalReceipt, Bytes{1, 1})).bytes.empty());
  EXPECT_FALSE(printer->state().openReceipt) << "no reply: not executed";
  printer->injectReplyFault(ReplyFault::LoseReply);
  EXPECT_TRUE(printer->exchange(encodeRequest(7, cmd::kOpenFiscalReceipt, Bytes{1, 1})).bytes.empty());
  EXPECT_TRUE(printer->state().openReceipt) << "lost reply: executed all the same";

  printer->setLateReplyDelay(std::chrono::milliseconds(1500));
  printer->injectReplyFault(ReplyFault::Late, 0);
  EXPECT_EQ(printer->exchange(request).delay, std::chrono::milliseconds(1500));
  EXPECT_EQ(printer->exchange(request).delay, std::chrono::milliseconds(1500)) << "until cleared";
  printer->clearReplyFaults();
  EXPECT_EQ(printer->exchange(request).delay, std::chrono::milliseconds(0));
}

TEST_F(Engine, LeuSwitchNeedsAClosedDayAndTheDate) {
  EXPECT_EQ(send(cmd::kReadLeu).data, (Bytes{0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
  openReceipt();
  auto refused = send(cmd::kSwitchLeu);
  EXPECT_TRUE(has(refused.status, bit::kFiscalReceiptOpen));
  EXPECT_TRUE(has(refused.status, bit::kNotAllowedInMode));
  send(cmd::kCloseFiscalReceipt);
  EXPECT_TRUE(has(send(cmd::kSwitchLeu).status, bit::kNotAllowedInMode)) << "day has a receipt";
  send(cmd::kReport, bytesOf("G"));
  const auto ok = send(cmd::kSwitchLeu);
  EXPECT_FALSE(has(ok.status, bit::kNotAllowedInMode));
  EXPECT_EQ(ok.data, (Bytes{0x00, 0x30, 0x15, 0x09, 0x02, 0x03, 0x26, 0x00, 0x01}));
  EXPECT_EQ(send(cmd::kReadLeu).data, ok.data);

  printer->setCondition(Condition::NoLeuCommands, true);
  const auto old = send(cmd::kReadLeu);
  EXPECT_TRUE(has(old.status, bit::kUnknownCommand));
  EXPECT_FALSE(has(old.status, bit::kInvalidArguments)) << "an old printer only says: unknown";
}

TEST_F(Engine, LeuSwitchBeforeThirtiethOfJune2005IsRefused) {
  clock->set({2005, 6, 29, 23, 59, 59});
  EXPECT_TRUE(has(send(cmd::kSwitchLeu).status, bit::kNotAllowedInMode));
  clock->advance(1);
  EXPECT_FALSE(has(send(cmd::kSwitchLeu).status, bit::kNotAllowedInMode));
}

TEST_F(Engine, DrawerSums) {
  EXPECT_EQ(textOf(send(cmd::kDrawerSums, Bytes{'+', 0, 0, 0x05, 0xDC}).data), "D,1500,1500,0");
  EXPECT_EQ(textOf(send(cmd::kDrawerSums, Bytes{'-', 0, 0, 0x01, 0xF4}).data), "D,1000,1500,500");
  EXPECT_EQ(textOf(send(cmd::kDrawerSums).data), "D,1000,1500,500");
}

TEST_F(Engine, ReadRepliesOfTheIdentityRatesAndTexts) {
  EXPECT_EQ(textOf(send(cmd::kReadFiscalCode).data), "RO1234567");
  EXPECT_EQ(textOf(send(cmd::kReadCompanyName).data), "SC DEMO MAGAZIN SRL");
  EXPECT_EQ(send(cmd::kReadVatRates).data,
            (Bytes{19, '.', 0, ',', 9, '.', 0, ',', 5, '.', 0, ',', 0, '.', 0, ','}));
  // A code page 1250 name goes onto the paper byte for byte.
  openReceipt();
  send(cmd::kSaleLine, saleLine("\xC8\xE2R\xBA", 'A', 1, 0, '+', 5));
  EXPECT_NE(printer->journal().find("\xC8\xE2R\xBA"), std::string::npos);
}

// Whatever arrives on the wire, the printer answers with a sound frame or stays
// quiet; it never crashes (the sanitizers watch every byte read here).
TEST_F(Engine, RandomRequestsNeverBreakThePrinter) {
  std::mt19937 random(12345);
  auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
  const std::uint8_t codes[] = {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 14, 15, 16, 17, 18, 19, 28, 29,
                                30, 31, 32, 33, 36, 37, 38, 40, 41, 42, 43, 44, 45, 46, 47, 51, 52, 75};
  for (int i = 0; i < 20000; ++i) {
    Bytes payload(random() % 40, 0);
    for (auto& b : payload) b = byte();
    if (i % 3 == 0 && !payload.empty()) payload[0] = static_cast<std::uint8_t>("+-,:;rFG\t"[random() % 9]);
    const std::uint8_t code = i % 2 == 0 ? codes[random() % std::size(codes)] : byte();
    const Answer a = printer->exchange(encodeRequest(byte(), code, payload));
    ASSERT_TRUE(decodeReply(a.bytes)) << "command " << int{code};
    if (i % 500 == 0) {
      // Now and then an open receipt, so that receipt commands get past their first check.
      send(cmd::kCloseFiscalReceipt);
      send(cmd::kOpenFiscalReceipt, {1, 1});
    }
  }
  RequestReader reader;
  for (int i = 0; i < 200000; ++i) {
    if (auto frame = reader.feed(byte())) {
      EXPECT_LE(frame->payload.size(), kMaxPayload);
    }
  }
}

class Persistence : public Engine {
 protected:
  fs::path dir = fs::temp_directory_path() /
                 ("fpsim-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    restart(PowerLossPolicy::KeepReceipt);
  }
  void TearDown() override { fs::remove_all(dir); }
  void restart(PowerLossPolicy policy) {
    printer.reset();
    PrinterOptions o = options();
    o.stateFile = (dir / "state").string();
    o.journalFile = (dir / "roll.txt").string();
    o.powerLoss = policy;
    printer = std::make_unique<Printer>(o);
  }
};

TEST_F(Persistence, MemorySurvivesARestart) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 700));
  send(cmd::kCloseFiscalReceipt);
  send(cmd::kDrawerSums, Bytes{'+', 0, 0, 0, 50});
  send(cmd::kReport, bytesOf("G"));
  send(cmd::kWriteVatRates, Bytes{20, 50, 9, 0, 0, 0, 0, 0});
  send(cmd::kWritePosNumber, Bytes{7});
  const auto before = printer->state();
  restart(PowerLossPolicy::KeepReceipt);
  const auto after = printer->state();
  EXPECT_EQ(after.lastReceiptNumber, 1u);
  EXPECT_EQ(after.lastZNumber, 1u);
  ASSERT_EQ(after.fiscalMemory.size(), 1u);
  EXPECT_EQ(after.fiscalMemory[0].total, 700);
  EXPECT_EQ(after.vatRates, before.vatRates);
  EXPECT_EQ(after.drawer.inDrawer, 750);
  EXPECT_EQ(after.posNumber, 7);
  EXPECT_EQ(after.identity.fiscalCode, before.identity.fiscalCode);
  EXPECT_EQ(textOf(send(cmd::kOpenFiscalReceipt, {1, 1}).data), "2");
  send(cmd::kCloseFiscalReceipt);
  // The roll and the receipt record are appended to, not replaced.
  std::ifstream roll(dir / "roll.txt");
  const std::string paper((std::istreambuf_iterator<char>(roll)), {});
  EXPECT_NE(paper.find("NR. 1"), std::string::npos);
  EXPECT_NE(paper.find("NR. 2"), std::string::npos);
  std::ifstream record(dir / "roll.txt.receipts");
  const std::string records((std::istreambuf_iterator<char>(record)), {});
  EXPECT_EQ(records.find("RECEIPT\t1\t"), 0u);
  EXPECT_NE(records.find("RECEIPT\t2\t"), std::string::npos);
}

TEST_F(Persistence, PowerFailureKeepsTheReceiptAndReportsItOnce) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 100));
  send(cmd::kSaleLine, saleLine("B", 'A', 1, 0, '+', 200));
  restart(PowerLossPolicy::KeepReceipt);
  EXPECT_EQ(state(), "1,2,300,0,1,");
  EXPECT_TRUE(has(send(cmd::kStatus).status, bit::kPowerFailedInReceipt));
  // The first close reports the failure and leaves the receipt open to be checked.
  const auto first = send(cmd::kCloseFiscalReceipt);
  EXPECT_TRUE(has(first.status, bit::kPowerFailedInReceipt));
  EXPECT_TRUE(has(first.status, bit::kFiscalReceiptOpen));
  const auto second = send(cmd::kCloseFiscalReceipt);
  EXPECT_FALSE(has(second.status, bit::kPowerFailedInReceipt));
  EXPECT_FALSE(has(second.status, bit::kFiscalReceiptOpen));
  ASSERT_EQ(printer->closedReceipts().size(), 1u);
  EXPECT_EQ(printer->closedReceipts()[0].total(), 300);
}

TEST_F(Persistence, PowerFailureLosesTheReceipt) {
  printer->setPowerLossPolicy(PowerLossPolicy::LoseReceipt);
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 100));
  printer->powerFailure();
  EXPECT_EQ(state(), "0,0,0,0,1,");
  EXPECT_FALSE(has(send(cmd::kStatus).status, bit::kPowerFailedInReceipt));
  EXPECT_NE(printer->journal().find("BON ANULAT"), std::string::npos);
  EXPECT_EQ(printer->state().dayReceipts, 0u) << "a lost receipt is not in the day's totals";
}

TEST_F(Persistence, AStateFileThatCannotBeWrittenDoesNotStopThePrinter) {
  fs::remove_all(dir);  // the folder of the state file is gone
  openReceipt();
  EXPECT_EQ(state(), "1,0,0,0,1,");
  fs::create_directories(dir);
}

TEST_F(Persistence, DamagedStateFileIsRefusedNotGuessed) {
  std::ofstream(dir / "state") << "fpsim-state 1\nvat 19 0\n";
  EXPECT_THROW(restart(PowerLossPolicy::KeepReceipt), std::runtime_error);
}

TEST_F(Persistence, APaidReceiptFoundAtStartIsClosedOnceUnderLose) {
  openReceipt();
  send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 300));
  send(cmd::kTotalPayment, payment('C', 500));
  restart(PowerLossPolicy::LoseReceipt);
  EXPECT_EQ(state(), "0,0,0,0,1,");
  restart(PowerLossPolicy::LoseReceipt);
  const auto st = printer->state();
  EXPECT_EQ(st.dayReceipts, 1u);
  EXPECT_EQ(st.drawer.inDrawer, 300);
  std::ifstream record(dir / "roll.txt.receipts");
  const std::string records((std::istreambuf_iterator<char>(record)), {});
  EXPECT_EQ(records, "RECEIPT\t1\t02.03.2026 09:15:30\t300\t500\t200\n"
                     "LINE\tA\tA\t1000000\t300\t+\t0\t300\n"
                     "PAY\tC\t500\n"
                     "END\t1\n");
}

// Where in a receipt the power fails, and what each policy makes of it.
TEST_F(Engine, PowerLossPolicyForEveryStateOfTheReceipt) {
  enum class Stage { NoReceipt, NonFiscal, Unpaid, Paid, BeforeClose, AfterClose };
  struct Cell {
    const char* what;
    Stage stage;
    PowerLossPolicy policy;
    const char* stateAfter;  // command 2
    bool latched;            // S5 0x40 reported
    std::uint8_t dayReceipts;
    std::int64_t drawer;
    const char* roll;        // what the roll says of the failure; null: nothing
  };
  constexpr auto keep = PowerLossPolicy::KeepReceipt;
  constexpr auto lose = PowerLossPolicy::LoseReceipt;
  const Cell cells[] = {
      {"nothing open, keep", Stage::NoReceipt, keep, "0,0,0,0,0,", false, 0, 0, nullptr},
      {"nothing open, lose", Stage::NoReceipt, lose, "0,0,0,0,0,", false, 0, 0, nullptr},
      {"non-fiscal, keep", Stage::NonFiscal, keep, "0,0,0,0,0,", false, 0, 0, nullptr},
      {"non-fiscal, lose", Stage::NonFiscal, lose, "0,0,0,0,0,", false, 0, 0, nullptr},
      {"unpaid, keep", Stage::Unpaid, keep, "1,1,300,100,1,", true, 0, 0, "TENSIUNE ***"},
      {"unpaid, lose", Stage::Unpaid, lose, "0,0,0,0,1,", false, 0, 0, "BON ANULAT"},
      {"paid, keep", Stage::Paid, keep, "2,1,300,500,1,", true, 0, 0, "TENSIUNE ***"},
      {"paid, lose", Stage::Paid, lose, "0,0,0,0,1,", false, 1, 300, "BON INCHEIAT"},
      {"as 11 arrives, keep", Stage::BeforeClose, keep, "2,1,300,500,1,", true, 0, 0, "TENSIUNE ***"},
      {"as 11 arrives, lose", Stage::BeforeClose, lose, "0,0,0,0,1,", false, 1, 300, "BON INCHEIAT"},
      {"after 11, keep", Stage::AfterClose, keep, "0,0,0,0,1,", false, 1, 300, nullptr},
      {"after 11, lose", Stage::AfterClose, lose, "0,0,0,0,1,", false, 1, 300, nullptr},
  };
  for (const auto& c : cells) {
    SCOPED_TRACE(c.what);
    PrinterOptions o = options();
    o.powerLoss = c.policy;
    printer = std::make_unique<Printer>(o);
    if (c.stage == Stage::NonFiscal) send(cmd::kOpenNonFiscal);
    if (c.stage >= Stage::Unpaid) {
      openReceipt();
      send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 300));
      send(cmd::kTotalPayment, payment('C', c.stage == Stage::Unpaid ? 100 : 500));
    }
    if (c.stage == Stage::BeforeClose || c.stage == Stage::AfterClose) {
      printer->armFault(printer->requestCount() + 1, c.stage == Stage::BeforeClose
                                                         ? ArmedFault::PowerFailBefore
                                                         : ArmedFault::PowerFailAfter);
      EXPECT_TRUE(printer->exchange(encodeRequest(++seq, cmd::kCloseFiscalReceipt, {})).bytes.empty());
    } else {
      printer->powerFailure();
    }
    EXPECT_EQ(state(), c.stateAfter);
    EXPECT_EQ(has(send(cmd::kStatus).status, bit::kPowerFailedInReceipt), c.latched);
    EXPECT_FALSE(printer->state().nonFiscalOpen);
    EXPECT_EQ(send(cmd::kDayCounters).data, (Bytes{0, c.dayReceipts, 0, 0}));
    EXPECT_EQ(printer->state().drawer.inDrawer, c.drawer) << "cash less the change";
    const auto closed = printer->closedReceipts();
    ASSERT_EQ(closed.size(), c.dayReceipts);
    if (!closed.empty()) {
      EXPECT_EQ(closed[0].number, 1u);
      EXPECT_EQ(closed[0].change, 200);
      ASSERT_EQ(closed[0].payments.size(), 1u);
      EXPECT_EQ(closed[0].payments[0].amount, 500);
    }
    const std::string roll = printer->journal();
    if (c.roll) {
      EXPECT_NE(roll.find(c.roll), std::string::npos) << roll;
    } else {
      EXPECT_EQ(roll.find("CADERE"), std::string::npos) << roll;
    }
    if (c.dayReceipts > 0) {
      EXPECT_NE(roll.find("BON FISCAL NR. 1"), std::string::npos) << "closing lines printed";
    }
    if (c.stage >= Stage::Unpaid && !printer->state().openReceipt) {
      EXPECT_EQ(textOf(send(cmd::kOpenFiscalReceipt, {1, 1}).data), "2") << "a number is never reused";
    }
  }
}

TEST_F(Engine, DayCountersCountClosedReceiptsOnlyAndNumbersGoOn) {
  auto counters = [&] { return send(cmd::kDayCounters).data; };
  auto sell = [&](std::uint32_t paid) {
    openReceipt();
    send(cmd::kSaleLine, saleLine("A", 'A', 1, 0, '+', 100));
    if (paid > 0) send(cmd::kTotalPayment, payment('C', paid));
  };
  printer->setPowerLossPolicy(PowerLossPolicy::LoseReceipt);
  sell(0);
  send(cmd::kCloseFiscalReceipt);
  sell(0);
  printer->powerFailure();
  EXPECT_EQ(counters(), (Bytes{0, 1, 0, 0})) << "a cancelled receipt does not count";

  sell(100);
  // Nothing but command 11 closes a paid receipt while the power stays on.
  struct Case {
    const char* what;
    std::uint8_t code;
    Bytes payload;
  };
  const Case others[] = {
      {"state", cmd::kTransactionState, {}},     {"subtotal", cmd::kSubtotal, {1, 1}},
      {"payment", cmd::kTotalPayment, payment('C', 1)}, {"open", cmd::kOpenFiscalReceipt, {1, 1}},
      {"X report", cmd::kReport, bytesOf("X")},  {"Z report", cmd::kReport, bytesOf("G")},
      {"status", cmd::kStatus, {}},              {"drawer", cmd::kOpenDrawer, {}},
      {"counters", cmd::kDayCounters, {}},
  };
  for (const auto& c : others) {
    send(c.code, c.payload);
    EXPECT_EQ(state(), "2,1,100,100,3,") << c.what;
  }
  EXPECT_EQ(counters(), (Bytes{0, 1, 0, 0}));
  printer->powerFailure();
  EXPECT_EQ(counters(), (Bytes{0, 2, 0, 0})) << "completed at power-up";

  send(cmd::kReport, bytesOf("G"));
  EXPECT_EQ(counters(), (Bytes{0, 0, 0, 1})) << "the day-end report resets the count";
  EXPECT_EQ(textOf(send(cmd::kOpenFiscalReceipt, {1, 1}).data), "4") << "numbering goes on";
  send(cmd::kCloseFiscalReceipt);
  send(cmd::kReport, bytesOf("G"));
  EXPECT_EQ(counters(), (Bytes{0, 0, 0, 2}));

  printer->modify([](PrinterState& s) {
    s.dayReceipts = 0x0102;
    s.lastZNumber = 0x0304;
  });
  EXPECT_EQ(counters(), (Bytes{0x01, 0x02, 0x03, 0x04})) << "both big-endian";
}

TEST_F(Engine, RequestsAreCountedAndLoggedWhateverBecomesOfThem) {
  send(cmd::kStatus);
  Bytes bad = encodeRequest(9, cmd::kOpenFiscalReceipt, Bytes{1, 1});
  bad[bad.size() - 3] ^= 0x01;
  EXPECT_FALSE(printer->exchange(bad).bytes.empty()) << "bad checksum: answered, not executed";
  printer->injectReplyFault(ReplyFault::NoReply);
  EXPECT_TRUE(printer->exchange(encodeRequest(10, cmd::kSaleLine, {})).bytes.empty());
  printer->exchange(Bytes{0x01, 0x01, 0x00});  // a length that holds no frame: noise
  send(cmd::kReadDateTime);
  EXPECT_EQ(printer->requestCount(), 4u);
  EXPECT_EQ(printer->requestLog(), (std::vector<std::uint8_t>{cmd::kStatus, cmd::kOpenFiscalReceipt,
                                                              cmd::kSaleLine, cmd::kReadDateTime}));
}

TEST_F(Engine, AnArmedFaultHitsItsFrameOnce) {
  struct Case {
    ArmedFault kind;
    bool executed;
    bool powerFailed;
  };
  const Case cases[] = {
      {ArmedFault::LoseReply, true, false},
      {ArmedFault::NoReply, false, false},
      {ArmedFault::PowerFailAfter, true, true},
      {ArmedFault::PowerFailBefore, false, true},
  };
  const Bytes line = saleLine("A", 'A', 1, 0, '+', 100);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    printer = std::make_unique<Printer>(options());  // keeps the receipt on a power failure
    openReceipt();
    printer->armFault(2, c.kind);
    EXPECT_TRUE(printer->exchange(encodeRequest(++seq, cmd::kSaleLine, line)).bytes.empty());
    EXPECT_EQ(printer->requestCount(), 2u);
    EXPECT_TRUE(printer->armedFaults().empty());
    const auto st = printer->state();
    ASSERT_TRUE(st.openReceipt);
    EXPECT_EQ(st.openReceipt->lines.size(), c.executed ? 1u : 0u);
    EXPECT_EQ(st.powerFailedInReceipt, c.powerFailed);
    EXPECT_EQ(printer->journal().find("CADERE") != std::string::npos, c.powerFailed);
    send(cmd::kSaleLine, line);  // the same frame again is answered
    EXPECT_EQ(printer->state().openReceipt->lines.size(), c.executed ? 2u : 1u);
  }
}

TEST_F(Engine, ArmedFaultsGoByNumberAndComeBeforeInjectedOnes) {
  send(cmd::kStatus);
  EXPECT_THROW(printer->armFault(0, ArmedFault::NoReply), std::invalid_argument);
  EXPECT_THROW(printer->armFault(1, ArmedFault::NoReply), std::invalid_argument) << "gone past";
  printer->armFault(4, ArmedFault::LoseReply);
  printer->armFault(2, ArmedFault::NoReply);
  EXPECT_EQ(printer->armedFaults(), (std::vector<ArmedFaultAt>{{2, ArmedFault::NoReply},
                                                               {4, ArmedFault::LoseReply}}));
  printer->injectReplyFault(ReplyFault::BadChecksum);
  const Bytes status = encodeRequest(5, cmd::kStatus, {});
  EXPECT_TRUE(printer->exchange(status).bytes.empty()) << "2";
  EXPECT_FALSE(decodeReply(printer->exchange(status).bytes)) << "3: the injected fault waited";
  EXPECT_TRUE(printer->exchange(status).bytes.empty()) << "4";
  EXPECT_TRUE(decodeReply(printer->exchange(status).bytes)) << "5";

  // Two on one frame: the power failure as it arrives wins, and both are used up.
  printer->armFault(6, ArmedFault::LoseReply);
  printer->armFault(6, ArmedFault::PowerFailBefore);
  EXPECT_TRUE(printer->exchange(encodeRequest(6, cmd::kOpenFiscalReceipt, Bytes{1, 1})).bytes.empty());
  EXPECT_FALSE(printer->state().openReceipt);
  EXPECT_TRUE(printer->armedFaults().empty());

  printer->armFault(8, ArmedFault::NoReply);
  printer->clearReplyFaults();
  EXPECT_TRUE(printer->armedFaults().empty());
}

TEST(Control, LinesSetSwitchesAndRejectNonsense) {
  Printer p;
  EXPECT_EQ(applyControlLine(p, "paper-out on"), "");
  EXPECT_TRUE(p.state().conditions[static_cast<std::size_t>(Condition::PaperOut)]);
  EXPECT_EQ(applyControlLine(p, "paper-out off"), "");
  EXPECT_FALSE(p.state().conditions[static_cast<std::size_t>(Condition::PaperOut)]);
  EXPECT_EQ(applyControlLine(p, "status-bit 7 0x80 on"), "");
  EXPECT_EQ(p.statusBytes()[7] & 0x80, 0x80);
  EXPECT_EQ(applyControlLine(p, "fault lose-reply 2"), "");
  EXPECT_EQ(applyControlLine(p, "# comment"), "");
  EXPECT_EQ(applyControlLine(p, "fault-at 3 power-fail-before"), "");
  EXPECT_EQ(applyControlLine(p, "fault-at 7 lose-reply"), "");
  EXPECT_EQ(p.armedFaults(), (std::vector<ArmedFaultAt>{{3, ArmedFault::PowerFailBefore},
                                                        {7, ArmedFault::LoseReply}}));
  EXPECT_NE(describe(p).find("\nrequests 0; armed power-fail-before at 3; armed lose-reply at 7\n"),
            std::string::npos)
      << describe(p);
  for (const char* bad : {"paper-out maybe", "fault nothing", "status-bit 9 1", "power-loss later",
                          "late-ms -4", "launch", "fault-at", "fault-at 5", "fault-at x no-reply",
                          "fault-at -1 no-reply", "fault-at 0 no-reply", "fault-at 5 explode",
                          "fault-at 99999999999999999999 no-reply"}) {
    EXPECT_NE(applyControlLine(p, bad), "") << bad;
  }
  EXPECT_EQ(applyControlLine(p, "clear"), "");
  EXPECT_EQ(p.statusBytes()[7] & 0x80, 0);
  EXPECT_TRUE(p.armedFaults().empty());
}

}  // namespace
}  // namespace fpsim
