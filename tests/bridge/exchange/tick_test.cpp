// The polling tick: which request files it takes, in which order, what waits
// for the next tick, how it fails, and that it never runs inside itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>
#include <vector>

#include "exchange/sale_record.h"
#include "exchange/tick.h"
#include "exchange_test.h"

namespace veltar::testing {
namespace {

const char* const kSale = "PAINE\t1\t3\tA\t\r\n$\tC\t3\t\r\n";

class TickTest : public ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        // A printer with no receipt open that takes every command.
        kordal.replyToCommand(command_code::kTransactionState, Accepted("0,0,0,0,7,"));
        kordal.replyToCommand(command_code::kReadDayCounters, Accepted(Bytes({0, 0, 0, 1})));
        kordal.replyToCommand(command_code::kOpenFiscalReceipt, Accepted("8"));
        kordal.replyToCommand(command_code::kReport, Accepted(std::string(166, '0')));
        kordal.queueReply("CalculTotal", Accepted("R,0"));
        kordal.replyToCommand(command_code::kCloseFiscalReceipt, Accepted());
    }

    // The request files still in the directory.
    std::set<std::string> Left() const {
        static const std::set<std::string> requests = {
            "FTEXT.TXT", "RAPX.TXT", "SERTAR.TXT",  "SUME.TXT",    "FCT.TXT",
            "RAPZ.TXT",  "VANZARI.TXT", "NEFISCAL.TXT", "ftext.txt", "Sertar.Txt"};
        std::set<std::string> left;
        for (const auto& [name, content] : files.files) {
            if (requests.count(name) != 0) left.insert(name);
        }
        return left;
    }

    // The first command each handler sends, in the order they came.
    std::vector<int32_t> Commands() const { return kordal.commands(); }
};

struct DispatchCase {
    const char* name;
    std::vector<std::string> present;
    std::vector<int32_t> commands;  // every exchange of the tick, in order
    std::set<std::string> left;     // what waits for the next tick
};

void PrintTo(const DispatchCase& c, std::ostream* out) { *out << c.name; }

class TickDispatch : public TickTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(TickDispatch, TakesTheRequestsInTheirOrder) {
    const DispatchCase& c = GetParam();
    for (const std::string& name : c.present) {
        Put(name, name.rfind("VANZARI", 0) == 0 ? kSale : name == "FCT.TXT" ? "14" : "TEXT");
    }
    PollingTick(ctx);
    EXPECT_EQ(Commands(), c.commands) << ::testing::PrintToString(ui.boxTexts());
    EXPECT_EQ(Left(), c.left);
    EXPECT_FALSE(ctx.exchange.programEnded);
}

INSTANTIATE_TEST_SUITE_P(
    Files, TickDispatch,
    ::testing::ValuesIn(std::vector<DispatchCase>{
        {"NoRequestSendsNothing", {}, {}, {}},
        {"AllButTheDayEndInTheTableOrder",
         {"NEFISCAL.TXT", "SUME.TXT", "FTEXT.TXT", "FCT.TXT", "SERTAR.TXT", "RAPX.TXT"},
         {16, 33, 37, 42, 14, 17, 18, 19},
         {}},
        {"DayEndDefersTheSaleAndTheNonFiscalReceipt",
         {"NEFISCAL.TXT", "VANZARI.TXT", "RAPZ.TXT", "SERTAR.TXT"},
         {37, 14, 33},
         {"VANZARI.TXT", "NEFISCAL.TXT"}},
        {"LowerCaseAndMixedCaseNames", {"ftext.txt", "Sertar.Txt"}, {16, 37}, {}},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TickTest, ACompletedSaleIsFollowedByTheNonFiscalReceiptInTheSameTick) {
    // The printer as the sale goes: nothing open, then the receipt open and
    // unpaid, then closed, and its count moved on.
    for (const KordalReply& reply : {
             Accepted(),                                      // 37 drawer
             Accepted("0,0,0,0,7,"),                          // 2 state: none open
             Accepted(Bytes({0, 4, 0, 1})),                   // 29 counters
             Accepted("8"),                                   // 7 open
             Accepted("1,1,3,0,8,", Status({{5, 0x10}})),     // 2 before paying
             Accepted(),                                      // 11 close
             Accepted(Bytes({0, 5, 0, 1})),                   // 29: one more receipt
             Accepted(), Accepted(), Accepted(),              // 17 18 19
         }) {
        kordal.queueReply("TrimiteTelegrama", reply);
    }
    Put("NEFISCAL.TXT", "A");
    Put("VANZARI.TXT", kSale);
    PollingTick(ctx);
    EXPECT_EQ(Commands(), (std::vector<int32_t>{37, 2, 29, 7, 8, 2, 10, 11, 29, 17, 18, 19}))
        << ::testing::PrintToString(ui.boxTexts());
    EXPECT_EQ(files.content("BON.TXT"), " 8\t\r\n");
    EXPECT_TRUE(Left().empty());
    EXPECT_FALSE(Has(kSaleRecordFile));
}

TEST_F(TickTest, AFileStillBeingWrittenWaitsForTheNextTick) {
    Put("SERTAR.TXT", "");
    files.ages["SERTAR.TXT"] = 20;
    // The sales application is still writing while the bridge watches it.
    clock.onSleep = [&](int) { files.replace("SERTAR.TXT", "more"); };
    PollingTick(ctx);
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(Has("SERTAR.TXT"));
    EXPECT_EQ(clock.sleeps, std::vector<int>{kSettleMilliseconds});

    // Quiet now: taken after one settle interval.
    clock.onSleep = nullptr;
    PollingTick(ctx);
    EXPECT_EQ(Commands(), std::vector<int32_t>{command_code::kOpenDrawer});
    EXPECT_FALSE(Has("SERTAR.TXT"));
}

TEST_F(TickTest, AFileWrittenBeforeTheSettleIntervalCostsNoWait) {
    Put("SERTAR.TXT", "");
    files.ages["SERTAR.TXT"] = kSettleMilliseconds;
    PollingTick(ctx);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_FALSE(Has("SERTAR.TXT"));
}

TEST_F(TickTest, AFileWithAModificationTimeAheadOfTheClockIsWatchedLikeAFreshOne) {
    Put("SERTAR.TXT", "");
    files.ages["SERTAR.TXT"] = -5000;
    PollingTick(ctx);
    EXPECT_EQ(clock.sleeps, std::vector<int>{kSettleMilliseconds});
    EXPECT_FALSE(Has("SERTAR.TXT"));
}

TEST_F(TickTest, ATimerEventWhileABoxOfTheTickIsOpenIsDropped) {
    kordal.replyToCommand(command_code::kOpenDrawer, Failed(library_result::kNoReply));
    Put("SERTAR.TXT", "");
    int nested = 0;
    ui.whileOpen = [&] {
        // The sales application drops a display text meanwhile, and the
        // timer fires: the second tick must take nothing.
        Put("FTEXT.TXT", "SALUT");
        ++nested;
        PollingTick(ctx);
    };
    PollingTick(ctx);
    ui.whileOpen = nullptr;
    EXPECT_GE(nested, 1);
    EXPECT_EQ(Commands(), std::vector<int32_t>{command_code::kOpenDrawer});
    EXPECT_TRUE(Has("FTEXT.TXT"));

    PollingTick(ctx);
    EXPECT_FALSE(Has("FTEXT.TXT"));
}

TEST_F(TickTest, EachTickSwitchesTheTimerOnFirst) {
    PollingTick(ctx);
    ASSERT_FALSE(ui.timerSwitches.empty());
    EXPECT_TRUE(ui.timerSwitches.front());
    EXPECT_TRUE(ui.timerOn);
}

struct UnattendedCase {
    const char* name;
    std::vector<std::string> present;
};

class UnattendedTick : public TickTest, public ::testing::WithParamInterface<UnattendedCase> {};

TEST_P(UnattendedTick, EndsTheProgramAfterOneTick) {
    ctx.settings.TipInterfata = 1;
    for (const std::string& name : GetParam().present) Put(name, "X");
    PollingTick(ctx);
    EXPECT_TRUE(ctx.exchange.programEnded);
    EXPECT_EQ(ui.quitCalls, 1);
    ASSERT_FALSE(kordal.callsTo("InchidePort").empty());
    EXPECT_EQ(kordal.callsTo("InchidePort").back().port, kComPort);
    EXPECT_NE(std::find(ui.windowEvents.begin(), ui.windowEvents.end(),
                        ScriptedWindowServices::WindowEvent{
                            ScriptedWindowServices::WindowEvent::Kind::Close, Window::Main}),
              ui.windowEvents.end());

    // Nothing more runs once the program is ending.
    Put("SERTAR.TXT", "");
    const std::size_t before = kordal.calls.size();
    PollingTick(ctx);
    EXPECT_EQ(kordal.calls.size(), before);
}

INSTANTIATE_TEST_SUITE_P(Runs, UnattendedTick,
                         ::testing::ValuesIn(std::vector<UnattendedCase>{
                             {"WithoutAnyRequest", {}},
                             {"WithARequest", {"SERTAR.TXT"}},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TickTest, UnattendedAlsoEndsAfterAFailedTick) {
    // With nobody to switch polling on again, staying would leave a program
    // that does nothing for ever.
    ctx.settings.TipInterfata = 1;
    Put("FTEXT.TXT", "SALUT");
    files.failOn(FileOperation::Read, "FTEXT.TXT", EIO);
    PollingTick(ctx);
    EXPECT_TRUE(ctx.exchange.programEnded);
    EXPECT_EQ(ui.quitCalls, 1);
}

TEST_F(TickTest, AnUnexpectedFailureIsReportedAndTheTickEnds) {
    Put("FTEXT.TXT", "SALUT");
    Put("SERTAR.TXT", "");
    files.failOn(FileOperation::Read, "FTEXT.TXT", EIO);
    PollingTick(ctx);

    const std::string text = "Eroare Tranzactie: Input/output error";
    EXPECT_EQ(files.content(kErrorFile), text + "\r\n");
    EXPECT_EQ(Boxes(), (std::vector<Box>{{text, "VELTAR2000", Icon::None}}));
    const std::vector<LogEntry> log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), LogEntry{"3.011Input/output error", EIO}),
              log.end());
    // The rest of the tick is abandoned; the program stays.
    EXPECT_TRUE(Has("SERTAR.TXT"));
    EXPECT_TRUE(Has("FTEXT.TXT"));
    EXPECT_FALSE(ctx.exchange.programEnded);
    EXPECT_TRUE(ui.timerOn);
}

TEST_F(TickTest, PermissionDeniedIsNotTakenForAMalformedNumber) {
    // errno 13 and the conversion failure share a number; only the latter
    // ends the program.
    Put("FTEXT.TXT", "SALUT");
    files.failOn(FileOperation::Read, "FTEXT.TXT", EACCES);
    PollingTick(ctx);
    EXPECT_FALSE(ctx.exchange.programEnded);
    EXPECT_EQ(files.content(kErrorFile), "Eroare Tranzactie: Permission denied\r\n");
}

TEST_F(TickTest, AFailureDuringASaleLeavesPollingStoppedAndTheSaleInPlace) {
    Put("VANZARI.TXT", kSale);
    files.failOn(FileOperation::Replace, kSaleRecordFile, ENOSPC);
    PollingTick(ctx);
    EXPECT_FALSE(ui.timerOn);
    EXPECT_TRUE(Has("VANZARI.TXT"));
    // Nothing was printed without the record that makes it recoverable.
    const std::vector<int32_t> sent = Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), command_code::kOpenFiscalReceipt), 0);
    EXPECT_EQ(files.content(kErrorFile), "Eroare Tranzactie: No space left on device\r\n");
}

TEST_F(TickTest, AQuietStepThatFailsIsSkipped) {
    Put("SUME.TXT", "10");
    Put("SERTAR.TXT", "");
    Put("NEFISCAL.TXT", "A");
    files.failOn(FileOperation::Read, "SUME.TXT", EIO);
    PollingTick(ctx);
    EXPECT_FALSE(Has("SERTAR.TXT"));
    EXPECT_FALSE(Has("NEFISCAL.TXT"));
    EXPECT_FALSE(Has(kErrorFile));
}

}  // namespace
}  // namespace veltar::testing
