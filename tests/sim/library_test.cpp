// The real link library (libkordal.so) against the virtual printer over a
// pseudo-terminal: every command the system sends, a whole receipt, the
// day-end report, power failures and the fault switches.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "fpsim/pty_printer.h"
#include "kordal.h"

namespace fpsim {
namespace {

namespace fs = std::filesystem;
constexpr int kPort = 1;
constexpr DateTime kStart{2026, 3, 2, 9, 15, 30};

std::string readFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), {});
}

Receipt receiptWithLine(std::int64_t value) {
  Receipt r;
  r.number = 41;
  SaleLine l;
  l.name = "ARTICOL";
  l.quantityMillionths = 1'000'000;
  l.unitPrice = value;
  l.value = value;
  r.lines.push_back(l);
  return r;
}

// Members are public: the table of commands below reaches them through a reference.
class Library : public ::testing::Test {
 public:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
    startPrinter();
  }
  void TearDown() override {
    InchidePort(kPort);
    server.reset();
    fs::remove_all(dir);
  }

  PrinterOptions options() {
    PrinterOptions o;
    o.clock = clock;
    o.stateFile = (dir / "state").string();
    o.journalFile = (dir / "roll.txt").string();
    o.powerLoss = powerLoss;
    return o;
  }
  void startPrinter() {
    server = std::make_unique<PtyPrinter>(options(), (dir / "COM1").string());
    server->start();
    setenv("KORDAL_COM1", server->devicePath().c_str(), 1);
    ASSERT_EQ(InitializeazaSerialaNr(kPort), kPort);
  }
  // A restart of the printer: the port goes away and comes back on a new terminal.
  void restartPrinter() {
    InchidePort(kPort);
    server.reset();
    startPrinter();
  }
  Printer& printer() { return server->printer(); }

  void clearBuffers() {
    std::memset(data, ' ', sizeof data);
    std::memset(status, ' ', sizeof status);
  }
  int send(int code, const char* payload = "") {
    clearBuffers();
    return TrimiteTelegrama(kPort, payload, code, data, status);
  }
  bool bitSet(StatusBit b) const {
    return (static_cast<unsigned char>(status[b.byte]) & b.mask) != 0;
  }
  std::string text() const { return std::string(data); }
  unsigned byte(int i) const { return static_cast<unsigned char>(data[i]); }

  fs::path dir = fs::temp_directory_path() /
                 ("fpsim-lib-" + std::to_string(getpid()) + "-" + std::string(::testing::UnitTest::GetInstance()
                                                 ->current_test_info()
                                                 ->name()));
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(kStart);
  PowerLossPolicy powerLoss = PowerLossPolicy::KeepReceipt;
  std::unique_ptr<PtyPrinter> server;
  char data[251];
  char status[10];
};

// One case per command code the system sends, with the reply the bridge reads.
TEST_F(Library, EveryCommandOfTheSystem) {
  struct Case {
    int code;
    std::function<void(Library&)> prepare;
    std::function<int(Library&)> call;
    std::function<void(Library&)> check;
  };
  auto none = [](Library&) {};
  auto plain = [](int code, const char* payload = "") {
    return [code, payload](Library& t) { return t.send(code, payload); };
  };
  auto notFiscalized = [](Library& t) {
    t.printer().modify([](PrinterState& s) { s.fiscalized = false; });
  };
  auto receiptOf = [](std::int64_t value) {
    return [value](Library& t) {
      t.printer().modify([value](PrinterState& s) { s.openReceipt = receiptWithLine(value); });
    };
  };
  const unsigned char periodic[] = {0x01, 0x01, 0x26, 0x31, 0x12, 0x26, 'c'};
  const unsigned char dateTime[] = {0x05, 0x30, 0x14, 0x25, 0x12, 0x05};

  const Case cases[] = {
      {2, receiptOf(500), plain(2),
       [](Library& t) {
         EXPECT_EQ(t.text(), "1,1,500,0,41,");
         EXPECT_TRUE(t.bitSet(bit::kFiscalReceiptOpen));
       }},
      {3, none, plain(3),
       [](Library& t) { EXPECT_NE(t.printer().journal().find("RAPORT TEHNIC"), std::string::npos); }},
      {4, none,
       [](Library& t) {
         t.clearBuffers();
         return ScrieCoteTVA(kPort, 20, 50, 9, 0, 5, 0, 0, 0, t.data, t.status);
       },
       [](Library& t) {
         EXPECT_FALSE(t.bitSet(bit::kNotAllowedInMode));
         EXPECT_EQ(t.printer().state().vatRates[0], (VatRate{20, 50}));
       }},
      {5, notFiscalized, plain(5, "RO987654"),
       [](Library& t) { EXPECT_EQ(t.printer().state().identity.fiscalCode, "RO987654"); }},
      {6, none,
       [](Library& t) {
         t.clearBuffers();
         return ScrieHeaderFooter(kPort, 1, 1, "VA MULTUMIM", t.data, t.status);
       },
       [](Library& t) { EXPECT_FALSE(t.bitSet(bit::kInvalidArguments)); }},
      {7, none, plain(7, "\x01\x01"),
       [](Library& t) {
         EXPECT_EQ(std::atoi(t.data), 1);
         EXPECT_TRUE(t.bitSet(bit::kFiscalReceiptOpen));
       }},
      {8, receiptOf(100),
       [](Library& t) {
         t.clearBuffers();
         return VanzareAfisareMarfa(kPort, "PAINE", 'A', "2,5", "+250,-1000", "          ",
                                    t.data, t.status);
       },
       [](Library& t) {
         const auto r = *t.printer().state().openReceipt;
         ASSERT_EQ(r.lines.size(), 2u);
         EXPECT_EQ(r.lines[1].quantityMillionths, 2'500'000);
         EXPECT_EQ(r.lines[1].percentHundredths, -1000);
         EXPECT_EQ(r.lines[1].value, 562);  // 625 less a discount of 62.5, rounded up to 63
       }},
      {9, receiptOf(500),
       [](Library& t) {
         t.clearBuffers();
         return Subtotal(kPort, 1, 0, t.data, t.status);
       },
       [](Library& t) { EXPECT_EQ(t.text(), "500"); }},
      {10, receiptOf(500),
       [](Library& t) {
         t.clearBuffers();
         return CalculTotal(kPort, "", "C200", t.data, t.status);
       },
       [](Library& t) { EXPECT_EQ(t.text(), "D,300"); }},
      {11, receiptOf(500), plain(11),
       [](Library& t) {
         EXPECT_FALSE(t.bitSet(bit::kFiscalReceiptOpen));
         ASSERT_EQ(t.printer().closedReceipts().size(), 1u);
       }},
      {14, none, plain(14),
       [](Library& t) {
         EXPECT_TRUE(t.bitSet(bit::kFiscalized));
         EXPECT_EQ(t.data[0], '\0') << "no data";
       }},
      {15, none, plain(15),
       [](Library& t) {
         // Whole percent at offsets 0, 4, 8, 12; hundredths two bytes later.
         EXPECT_EQ(t.byte(0), 19u);
         EXPECT_EQ(t.byte(2), 0u);
         EXPECT_EQ(t.byte(4), 9u);
         EXPECT_EQ(t.byte(8), 5u);
         EXPECT_EQ(t.byte(12), 0u);
       }},
      {16, none, plain(16, "\x01\x01" "BUNA ZIUA"),
       [](Library& t) { EXPECT_EQ(t.printer().state().display[0], "BUNA ZIUA"); }},
      {17, none, plain(17), [](Library& t) { EXPECT_TRUE(t.bitSet(bit::kNonFiscalReceiptOpen)); }},
      {18, none, plain(18, "O LINIE DE TEXT"),
       [](Library& t) {
         EXPECT_NE(t.printer().journal().find("O LINIE DE TEXT\n"), std::string::npos);
       }},
      {19, [](Library& t) { t.printer().modify([](PrinterState& s) { s.nonFiscalOpen = true; }); },
       plain(19), [](Library& t) { EXPECT_FALSE(t.bitSet(bit::kNonFiscalReceiptOpen)); }},
      {28, none, plain(28, "\x07"),
       [](Library& t) { EXPECT_EQ(t.printer().state().posNumber, 7); }},
      {29, [](Library& t) { t.printer().modify([](PrinterState& s) { s.dayReceipts = 3; }); },
       plain(29),
       [](Library& t) {
         EXPECT_EQ(t.byte(0), 0u);
         EXPECT_EQ(t.byte(1), 3u);
       }},
      {30,
       [](Library& t) {
         t.printer().modify([](PrinterState& s) {
           s.fiscalized = false;
           s.identity.fiscalSeries = "XY0001";
         });
       },
       plain(30),
       [](Library& t) {
         EXPECT_TRUE(t.bitSet(bit::kFiscalized));
         EXPECT_FALSE(t.bitSet(bit::kNotAllowedInMode));
       }},
      {31, none,
       [periodic](Library& t) {
         t.clearBuffers();
         return RaportPeriodic(kPort, periodic, t.data, t.status);
       },
       [](Library& t) {
         EXPECT_NE(t.printer().journal().find("RAPORT MF SUMAR"), std::string::npos);
       }},
      {32, none, plain(32),
       [](Library& t) {
         const unsigned expected[] = {0x30, 0x15, 0x09, 0x02, 0x03, 0x26};
         for (int i = 0; i < 6; ++i) EXPECT_EQ(t.byte(i), expected[i]) << i;
       }},
      {33, none, plain(33, "F"),
       [](Library& t) {
         EXPECT_EQ(std::strlen(t.data), 166u);
         EXPECT_NE(t.printer().journal().find("RAPORT X"), std::string::npos);
       }},
      {36, none, plain(36), [](Library& t) { EXPECT_FALSE(t.bitSet(bit::kUnknownCommand)); }},
      {37, none, plain(37),
       [](Library& t) { EXPECT_EQ(t.printer().state().drawerOpenings, 1u); }},
      {38, none,
       [dateTime](Library& t) {
         t.clearBuffers();
         return ScrieDataOra(kPort, dateTime, t.data, t.status);
       },
       [](Library& t) {
         EXPECT_EQ(t.send(32), 0);
         const unsigned expected[] = {0x05, 0x30, 0x14, 0x25, 0x12, 0x05};
         for (int i = 0; i < 6; ++i) EXPECT_EQ(t.byte(i), expected[i]) << i;
       }},
      {40, notFiscalized, plain(40, "SC NOUA SRL"),
       [](Library& t) { EXPECT_EQ(t.printer().state().identity.companyName, "SC NOUA SRL"); }},
      {41, notFiscalized, plain(41, "STR. NOUA 2"),
       [](Library& t) { EXPECT_EQ(t.printer().state().identity.companyAddress, "STR. NOUA 2"); }},
      {42, none,
       [](Library& t) {
         t.clearBuffers();
         return InOutSume(kPort, "+1500", t.data, t.status);
       },
       [](Library& t) { EXPECT_EQ(t.text(), "D,1500,1500,0"); }},
      {43, notFiscalized, plain(43, "ZZ9"),
       [](Library& t) { EXPECT_EQ(t.printer().state().identity.fiscalSeries, "ZZ9"); }},
      {44, none, plain(44), [](Library& t) { EXPECT_EQ(t.text(), "AB12345678"); }},
      {45, none, plain(45), [](Library& t) { EXPECT_EQ(t.text(), "SC DEMO MAGAZIN SRL"); }},
      {46, none, plain(46),
       [](Library& t) { EXPECT_EQ(t.text(), "STR. EXEMPLU NR. 1, BUCURESTI"); }},
      {47, none, plain(47), [](Library& t) { EXPECT_EQ(t.text(), "RO1234567"); }},
      {51, none, plain(51),
       [](Library& t) {
         EXPECT_EQ(t.byte(0), 0x00u) << "now in the redenominated leu";
         EXPECT_EQ(t.byte(3), 0x09u) << "switch hour";
       }},
      {52, none, plain(52), [](Library& t) { EXPECT_EQ(t.byte(0), 0xFFu) << "old leu"; }},
      {75, receiptOf(1000),
       [](Library& t) {
         t.clearBuffers();
         const unsigned char block[] = {5, ',', 'r', 'A', 5, 25};
         return TrimiteTelegramaL(kPort, block, 75, reinterpret_cast<unsigned char*>(t.data),
                                  t.status);
       },
       [](Library& t) {
         EXPECT_EQ(t.byte(0), 0u) << "count byte: no data";
         EXPECT_EQ(t.printer().state().openReceipt->total(), 947);  // 1000 less 5.25 %
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("command " + std::to_string(c.code));
    printer().modify([](PrinterState& s) {
      s = PrinterState{};
      s.fiscalized = true;
      s.identity = {"SC DEMO MAGAZIN SRL", "STR. EXEMPLU NR. 1, BUCURESTI", "RO1234567",
                    "AB12345678"};
      s.vatRates = {{{19, 0}, {9, 0}, {5, 0}, {0, 0}}};
    });
    c.prepare(*this);
    ASSERT_EQ(c.call(*this), KORDAL_OK);
    EXPECT_FALSE(bitSet(bit::kInvalidArguments));
    EXPECT_FALSE(bitSet(bit::kCommandFailed));
    c.check(*this);
  }
}

TEST_F(Library, WholeReceiptReachesThePaperAndTheRecordOnce) {
  ASSERT_EQ(send(7, "\x01\x01"), KORDAL_OK);
  const int number = std::atoi(data);
  clearBuffers();
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "PAINE ALBA", 'A', "2", "+250", "          ", data, status), 0);
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "LAPTE 1L", 'B', "1.5", "+600,-0500", "          ", data,
                                status), 0);
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "APA PLATA", ' ', "3", "+120", "          ", data, status),
            0);
  ASSERT_EQ(send(2), 0);
  EXPECT_EQ(text(), "1,3,1715,0,1,");  // 500 + 855 + 360
  clearBuffers();
  ASSERT_EQ(CalculTotal(kPort, "", "A700", data, status), 0);
  EXPECT_EQ(text(), "D,1015");
  ASSERT_EQ(send(2), 0);
  EXPECT_EQ(text(), "1,3,1715,700,1,");
  clearBuffers();
  ASSERT_EQ(CalculTotal(kPort, "", "C1100", data, status), 0);
  EXPECT_EQ(text(), "R,85");
  ASSERT_EQ(send(2), 0);
  EXPECT_EQ(text()[0], '2') << "paid, waiting to be closed";
  ASSERT_EQ(send(11), 0);
  EXPECT_FALSE(bitSet(bit::kFiscalReceiptOpen));

  const std::string roll = readFile(dir / "roll.txt");
  for (const char* expected : {"PAINE ALBA", "  2.000 x 250", "LAPTE 1L", "REDUCERE 5.00%",
                               "APA PLATA", "TOTAL", "CARD", "NUMERAR", "REST",
                               "BON FISCAL NR. 1"}) {
    EXPECT_NE(roll.find(expected), std::string::npos) << expected;
  }
  const std::string record = readFile(dir / "roll.txt.receipts");
  EXPECT_EQ(record,
            "RECEIPT\t" + std::to_string(number) + "\t02.03.2026 09:15:30\t1715\t1800\t85\n"
            "LINE\tPAINE ALBA\tA\t2000000\t250\t+\t0\t500\n"
            "LINE\tLAPTE 1L\tB\t1500000\t600\t+\t-500\t855\n"
            "LINE\tAPA PLATA\t \t3000000\t120\t+\t0\t360\n"
            "PAY\tA\t700\n"
            "PAY\tC\t1100\n"
            "END\t" + std::to_string(number) + "\n");
  EXPECT_EQ(printer().state().drawer.inDrawer, 1015) << "cash less change";
}

TEST_F(Library, DayEndReportRepliesWithTheDaysTotals) {
  for (const char* price : {"+1000", "+2345"}) {
    ASSERT_EQ(send(7, "\x01\x01"), 0);
    clearBuffers();
    ASSERT_EQ(VanzareAfisareMarfa(kPort, "A", 'A', "1", price, "          ", data, status), 0);
    ASSERT_EQ(VanzareAfisareMarfa(kPort, "B", 'B', "2", "+100", "          ", data, status), 0);
    ASSERT_EQ(send(11), 0);
  }
  clock->advance(3600);
  TimeOut60(kPort);
  ASSERT_EQ(send(33, "G"), 0);
  TimeOut6(kPort);
  ASSERT_EQ(std::strlen(data), 166u);
  const std::string reply(data, 166);
  auto number = [&](int field) { return std::stoll(reply.substr(field * 20u, 20)); };
  EXPECT_EQ(number(0), 1) << "counter A: the Z number";
  EXPECT_EQ(number(1), 334500) << "group A, hundredths";
  EXPECT_EQ(number(2), 40000) << "group B, hundredths";
  EXPECT_EQ(number(3), 0);
  EXPECT_EQ(number(4), 0);
  EXPECT_EQ(number(5), 0) << "exempt group";
  EXPECT_EQ(number(6), 374500) << "day total";
  EXPECT_EQ(number(7), 2) << "counter B: receipts";
  const unsigned date[] = {0x30, 0x15, 0x10, 0x02, 0x03, 0x26};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(byte(160 + i), date[i]) << "date byte " << i;

  std::int64_t receipts = 0;
  for (const auto& r : printer().closedReceipts()) receipts += r.total();
  EXPECT_EQ(receipts * 100, number(6));
  ASSERT_EQ(send(2), 0);
  ASSERT_EQ(send(29), 0);
  EXPECT_EQ(byte(0) * 256 + byte(1), 0u) << "the day is closed";
  EXPECT_NE(readFile(dir / "roll.txt").find("RAPORT Z"), std::string::npos);
}

TEST_F(Library, PowerFailureInAReceiptKeepsItWithTheFailureBit) {
  ASSERT_EQ(send(7, "\x01\x01"), 0);
  clearBuffers();
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "A", 'A', "1", "+300", "          ", data, status), 0);
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "B", 'A', "1", "+200", "          ", data, status), 0);
  restartPrinter();  // the printer was switched off and on again
  ASSERT_EQ(send(2), 0);
  EXPECT_EQ(text(), "1,2,500,0,1,") << "two lines kept";
  EXPECT_TRUE(bitSet(bit::kPowerFailedInReceipt));
  EXPECT_TRUE(bitSet(bit::kFiscalReceiptOpen));
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "C", 'A', "1", "+100", "          ", data, status), 0);
  EXPECT_TRUE(bitSet(bit::kPowerFailedInReceipt)) << "carried on the first receipt command";
  ASSERT_EQ(send(11), 0);
  EXPECT_FALSE(bitSet(bit::kPowerFailedInReceipt)) << "reported once";
  EXPECT_FALSE(bitSet(bit::kFiscalReceiptOpen));
  const auto receipts = printer().closedReceipts();
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].lines.size(), 3u);
  EXPECT_EQ(receipts[0].total(), 600);
}

TEST_F(Library, PowerFailureInAReceiptLosesIt) {
  printer().setPowerLossPolicy(PowerLossPolicy::LoseReceipt);
  ASSERT_EQ(send(7, "\x01\x01"), 0);
  clearBuffers();
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "A", 'A', "1", "+300", "          ", data, status), 0);
  printer().powerFailure();
  ASSERT_EQ(send(2), 0);
  EXPECT_EQ(text(), "0,0,0,0,1,");
  EXPECT_FALSE(bitSet(bit::kFiscalReceiptOpen));
  EXPECT_FALSE(bitSet(bit::kPowerFailedInReceipt));
  ASSERT_EQ(send(7, "\x01\x01"), 0);
  EXPECT_EQ(std::atoi(data), 2) << "the lost receipt's number is used up";
  EXPECT_TRUE(printer().closedReceipts().empty());
}

// The frames the server reads off the terminal are numbered as the engine's own
// are, so a fault armed by number hits the call a test means.
TEST_F(Library, PowerFailureArmedOnTheLastPaymentFinishesThePaidReceipt) {
  printer().setPowerLossPolicy(PowerLossPolicy::LoseReceipt);
  const std::uint64_t before = printer().requestCount();
  ASSERT_EQ(send(7, "\x01\x01"), KORDAL_OK);
  clearBuffers();
  ASSERT_EQ(VanzareAfisareMarfa(kPort, "A", 'A', "1", "+300", "          ", data, status), 0);
  ASSERT_EQ(printer().requestCount(), before + 2);
  const auto log = printer().requestLog();
  EXPECT_EQ(std::vector<std::uint8_t>(log.end() - 2, log.end()), (std::vector<std::uint8_t>{7, 8}));
  printer().armFault(before + 3, ArmedFault::PowerFailAfter);
  clearBuffers();
  EXPECT_EQ(CalculTotal(kPort, "", "C500", data, status), KORDAL_ERR_NO_REPLY);
  ASSERT_EQ(send(2), KORDAL_OK);
  EXPECT_EQ(text(), "0,0,0,0,1,") << "paid, so closed when the power came back";
  ASSERT_EQ(send(29), KORDAL_OK);
  EXPECT_EQ(byte(0) * 256 + byte(1), 1u);
  const auto receipts = printer().closedReceipts();
  ASSERT_EQ(receipts.size(), 1u);
  EXPECT_EQ(receipts[0].change, 200);
  EXPECT_EQ(printer().requestCount(), before + 5);
}

TEST_F(Library, ReplyFaultsGiveTheirResultCodes) {
  struct Case {
    ReplyFault fault;
    int result;
  };
  const Case cases[] = {
      {ReplyFault::BadChecksum, KORDAL_ERR_CHECKSUM},
      {ReplyFault::BadSequence, KORDAL_ERR_SEQUENCE},
      {ReplyFault::BadCommandEcho, KORDAL_ERR_COMMAND},
      {ReplyFault::BadEndByte, KORDAL_ERR_END},
      {ReplyFault::GarbageBefore, KORDAL_ERR_NO_REPLY},
  };
  for (const auto& c : cases) {
    printer().injectReplyFault(c.fault);
    EXPECT_EQ(send(14), c.result) << static_cast<int>(c.fault);
    EXPECT_EQ(status[0], ' ') << "status left untouched";
    EXPECT_EQ(send(14), KORDAL_OK) << "the next exchange is clean";
  }
  printer().setLateReplyDelay(std::chrono::milliseconds(300));
  printer().injectReplyFault(ReplyFault::Late);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(send(14), KORDAL_OK) << "late, but within the time-out";
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(300));
}

TEST_F(Library, ConditionsReachTheLibraryAsStatusBits) {
  struct Case {
    const char* line;
    StatusBit bit;
  };
  const Case cases[] = {
      {"paper-near-end", bit::kPaperNearEnd},   {"paper-out", bit::kPaperOutS3b},
      {"cover-open", bit::kCoverOpen},          {"paper-jam", bit::kPaperJamB},
      {"date-lost", bit::kDateTimeLost},        {"vat-invalid", bit::kInvalidVatRates},
      {"fm-full", bit::kFiscalMemoryFull},      {"fm-nearly-full", bit::kFiscalMemoryNearlyFull},
      {"display-missing", bit::kDisplayMissing}, {"day-24h", bit::kDay24HoursPassed},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(applyControlLine(printer(), std::string(c.line) + " on"), "");
    ASSERT_EQ(send(14), KORDAL_OK);
    EXPECT_TRUE(bitSet(c.bit)) << c.line;
    ASSERT_EQ(applyControlLine(printer(), std::string(c.line) + " off"), "");
  }
  applyControlLine(printer(), "fiscal-refusal on");
  ASSERT_EQ(send(7, "\x01\x01"), KORDAL_OK);
  EXPECT_TRUE(bitSet(bit::kNotAllowedInMode));
  applyControlLine(printer(), "clear");
  applyControlLine(printer(), "no-leu-commands on");
  ASSERT_EQ(send(52), KORDAL_OK);
  EXPECT_TRUE(bitSet(bit::kUnknownCommand));
}

TEST_F(Library, AnOrdinaryFileAtTheLinkPathIsNeitherReplacedNorRemoved) {
  const fs::path taken = dir / "taken";
  std::ofstream(taken) << "keep me";
  {
    PtyPrinter other(options(), taken.string());
    EXPECT_THROW(other.start(), std::runtime_error);
  }
  EXPECT_EQ(readFile(taken), "keep me");
}

// Frames written straight to the terminal, as no correct library would send them.
TEST_F(Library, RawFramesOnTheTerminal) {
  InchidePort(kPort);
  const int fd = open(server->devicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios t{};
  ASSERT_EQ(tcgetattr(fd, &t), 0);
  cfmakeraw(&t);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 3;  // a read gives up after 0.3 s of silence
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
  auto write = [&](const Bytes& b) { ASSERT_EQ(::write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size())); };
  auto readReply = [&] {
    Bytes got;
    std::uint8_t buf[64];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) got.insert(got.end(), buf, buf + n);
    return got;
  };

  Bytes bad = encodeRequest(0x11, cmd::kOpenFiscalReceipt, Bytes{1, 1});
  bad[bad.size() - 2] ^= 0x01;
  write(bad);
  auto reply = decodeReply(readReply());
  ASSERT_TRUE(reply);
  EXPECT_TRUE(reply->status[bit::kBadChecksum.byte] & bit::kBadChecksum.mask);
  EXPECT_FALSE(printer().state().openReceipt) << "not executed";

  // A frame cut short is dropped after half a second of silence; the next is answered.
  const Bytes good = encodeRequest(0x12, cmd::kStatus, {});
  write(Bytes(good.begin(), good.begin() + 3));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  write(good);
  reply = decodeReply(readReply());
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->seq, 0x12);

  // A frame may arrive in pieces with short gaps.
  write(Bytes(good.begin(), good.begin() + 4));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  write(Bytes(good.begin() + 4, good.end()));
  EXPECT_TRUE(decodeReply(readReply()));
  close(fd);
}

// The two slow cases: each waits out the library's 6-second time-out.
TEST_F(Library, SilentPrinterGivesNoReplyAndDoesNothing) {
  printer().injectReplyFault(ReplyFault::NoReply);
  EXPECT_EQ(send(7, "\x01\x01"), KORDAL_ERR_NO_REPLY);
  ASSERT_EQ(send(2), KORDAL_OK);
  EXPECT_EQ(text(), "0,0,0,0,0,");
}

TEST_F(Library, LostReplyLeavesTheCommandDone) {
  ASSERT_EQ(send(7, "\x01\x01"), KORDAL_OK);
  printer().injectReplyFault(ReplyFault::LoseReply);
  clearBuffers();
  EXPECT_EQ(VanzareAfisareMarfa(kPort, "A", 'A', "1", "+300", "          ", data, status),
            KORDAL_ERR_NO_REPLY);
  ASSERT_EQ(send(2), KORDAL_OK);
  EXPECT_EQ(text(), "1,1,300,0,1,") << "the sale was registered although its reply was lost";
}

}  // namespace
}  // namespace fpsim
