// The shared printer operations: their failure paths against the scripted
// library, and the reply readings that callers depend on.
#include "command/queries.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "command_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::LogEntry;
using testing::Status;

using testing::kNoReplyText;
const char* const kPowerFailure = "Cadere de tensiune! Bonul va fi recuperat!";

class QueriesTest : public testing::CommandTest {
protected:
    int32_t index = 0;
    std::string response;
};

// --- DeschideBonFiscal ---

TEST_F(QueriesTest, DeschideBonFiscalReadsTheNumberAndPrintsTheNonBlankHeaderLines) {
    ctx.LiniiHeaderFooter[1] = std::string(16, ' ') + "MAGAZIN" + std::string(17, ' ');
    ctx.LiniiHeaderFooter[2] = std::string(40, ' ');
    ctx.LiniiHeaderFooter[3] = "STR. LUNGA 1" + std::string(28, ' ');
    kordal.replyToCommand(command_code::kOpenFiscalReceipt, Accepted("1234,ok"));
    int32_t receipt = -7;

    EXPECT_TRUE(DeschideBonFiscal(ctx, index, receipt, response));
    EXPECT_EQ(receipt, 1234);
    const auto calls = kordal.callsTo("TrimiteTelegrama");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].command, command_code::kOpenFiscalReceipt);
    EXPECT_EQ(calls[0].payload, Bytes({0x01, 0x01}));
    EXPECT_EQ(calls[1].command, command_code::kPrintLine);
    EXPECT_EQ(calls[1].payload, ctx.LiniiHeaderFooter[1]);  // all 40 characters
    EXPECT_EQ(calls[2].payload, ctx.LiniiHeaderFooter[3]);
}

TEST_F(QueriesTest, DeschideBonFiscalFailsOnlyWhenTheReceiptDoesNotOpen) {
    ctx.LiniiHeaderFooter[1] = "HEADER";
    int32_t receipt = -7;

    kordal.replyToCommand(command_code::kOpenFiscalReceipt, Failed(library_result::kNoReply));
    EXPECT_FALSE(DeschideBonFiscal(ctx, index, receipt, response));
    EXPECT_EQ(receipt, -7);
    EXPECT_EQ(response, kNoReplyText);
    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{command_code::kOpenFiscalReceipt}));

    // A header line that does not print leaves the receipt open all the same.
    kordal.calls.clear();
    kordal.replyToCommand(command_code::kOpenFiscalReceipt, Accepted("15"));
    kordal.replyToCommand(command_code::kPrintLine, Failed(library_result::kChecksum));
    EXPECT_TRUE(DeschideBonFiscal(ctx, index, receipt, response));
    EXPECT_EQ(receipt, 15);

    // A number that does not fit is a failure, logged without a prefix.
    kordal.calls.clear();
    kordal.replyToCommand(command_code::kOpenFiscalReceipt, Accepted("99999999999"));
    EXPECT_FALSE(DeschideBonFiscal(ctx, index, receipt, response));
    EXPECT_EQ(receipt, 15);
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"Overflow", 6}}));
    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{command_code::kOpenFiscalReceipt}));
}

// --- VerificareStareImprimantaVinzare ---

TEST_F(QueriesTest, VerificareStareImprimantaVinzareTellsOpenLostOrUnknown) {
    const char* const kLost = "A avut loc o cadere de tensiune! Bonul va fi retiparit";
    const struct {
        testing::KordalReply reply;
        std::string response;
        uint8_t returns;
        std::string responseAfter;
        std::size_t boxes;
    } cases[] = {
        {Accepted("1,3", Status({{5, 0x10}})), "-", 0, "-", 0},
        {Accepted("1,3", Status({{5, 0x10}})), "", 0, "", 0},
        // The lost-receipt text is stored even when boxes were asked for.
        {Accepted("0", Status()), "-", 2, kLost, 0},
        {Accepted("0", Status()), "", 2, kLost, 0},
        {Failed(library_result::kNoReply), "", 1, kNoReplyText, 0},
        {Failed(library_result::kNoReply), "-", 1, "-", 1},
        {Accepted("", Status({{5, 0x10}, {4, 0x08}})), "", 1, "Verificati imprimanta !", 0},
    };
    for (const auto& c : cases) {
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", c.reply);
        std::string r = c.response;
        EXPECT_EQ(VerificareStareImprimantaVinzare(ctx, index, r), c.returns);
        EXPECT_EQ(r, c.responseAfter);
        EXPECT_EQ(ui.boxes.size(), c.boxes);
        EXPECT_EQ(kordal.calls.back().command, command_code::kTransactionState);
    }
}

// --- CitesteDataOraImp ---

TEST_F(QueriesTest, CitesteDataOraImpReadsPackedBcdAndZeroesAPartItCannotRead) {
    const struct {
        std::string data;
        DateTime expected;
        std::vector<LogEntry> log;
    } cases[] = {
        {Bytes({0x05, 0x30, 0x14, 0x25, 0x12, 0x05}), {2005, 12, 25, 14, 30, 5}, {}},
        {Bytes({0x59, 0x59, 0x23, 0x29, 0x02, 0x28}), {2028, 2, 29, 23, 59, 59}, {}},
        {Bytes({0x00, 0x00, 0x00, 0x01, 0x01, 0x30}), {1930, 1, 1, 0, 0, 0}, {}},
        // A half above 9 in the minutes: the time is lost, the date kept.
        {Bytes({0x05, 0x3A, 0x14, 0x25, 0x12, 0x05}),
         {2005, 12, 25, 0, 0, 0},
         {{"CitesteDataOraImp: Type mismatch", 13}}},
        // A day the calendar does not have: the date is lost, the time kept.
        {Bytes({0x05, 0x30, 0x14, 0x30, 0x02, 0x05}),
         {1899, 12, 30, 14, 30, 5},
         {{"CitesteDataOraImp: Type mismatch", 13}}},
        {Bytes({0x60, 0x00, 0x24, 0xF1, 0x01, 0x05}),
         {1899, 12, 30, 0, 0, 0},
         {{"CitesteDataOraImp: Type mismatch", 13}, {"CitesteDataOraImp: Type mismatch", 13}}},
    };
    for (const auto& c : cases) {
        files.files.erase(kLogFile);
        kordal.queueReply("TrimiteTelegrama", Accepted(c.data));
        DateTime read;
        EXPECT_TRUE(CitesteDataOraImp(ctx, index, read, response));
        EXPECT_EQ(FormatDateTime(read), FormatDateTime(c.expected));
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(kordal.calls.back().command, command_code::kReadDateTime);
    }
}

TEST_F(QueriesTest, CitesteDataOraImpLeavesTheDateAloneWhenTheQueryFails) {
    kordal.defaultReply = Failed(library_result::kEndByte);
    const DateTime before{2001, 2, 3, 4, 5, 6};
    DateTime read = before;
    EXPECT_FALSE(CitesteDataOraImp(ctx, index, read, response));
    EXPECT_EQ(read, before);
    EXPECT_EQ(response, "Eroare terminator comanda! ");
}

// --- CitesteLeuGreuImp and ScrieLeuGreuImp ---

struct LeuCase {
    const char* name;
    testing::KordalReply reply;
    int leuGreu;
    DateTime switchTime;  // the clock's time when nothing is read
    int32_t zNumber;
};

std::vector<LeuCase> LeuCases(DateTime now) {
    return {
        {"old leu", Accepted(Bytes({0xFF, 0x00, 0x00, 0x10, 0x01, 0x07, 0x05, 0x00, 0x0A})), 0, now,
         -1},
        {"another value is the old leu too", Accepted(Bytes({0x01})), 0, now, -1},
        {"switched",
         Accepted(Bytes({0x00, 0x00, 0x00, 0x10, 0x01, 0x07, 0x05, 0x00, 0x0A})),
         1,
         {2005, 7, 1, 10, 0, 0},
         10},
        {"switched, Z number over 255",
         Accepted(Bytes({0x00, 0x10, 0x59, 0x23, 0x30, 0x06, 0x05, 0x01, 0x9C})),
         1,
         {2005, 6, 30, 23, 59, 10},
         412},
        {"printer without the leu commands", Accepted(Bytes({0x00}), Status({{5, 0x04}})), 0, now,
         -1},
    };
}

TEST_F(QueriesTest, CitesteLeuGreuImpSetsTheLeuStateFromTheReply) {
    for (const LeuCase& c : LeuCases(clock.now())) {
        SCOPED_TRACE(c.name);
        ctx.money.LeuGreu = 1 - c.leuGreu;
        kordal.queueReply("TrimiteTelegrama", c.reply);
        DateTime when{1999, 1, 1, 0, 0, 0};
        int32_t z = 77;
        std::string dash = "-";
        EXPECT_TRUE(CitesteLeuGreuImp(ctx, index, when, z, dash));
        EXPECT_EQ(ctx.money.LeuGreu, c.leuGreu);
        EXPECT_EQ(when, c.switchTime);
        EXPECT_EQ(z, c.zNumber);
        EXPECT_EQ(kordal.calls.back().command, command_code::kReadLeuState);
        EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(QueriesTest, CitesteLeuGreuImpFailureLeavesTheLeuStateAndSaysWhy) {
    kordal.defaultReply = Failed(library_result::kNoReply);
    DateTime when;
    int32_t z = 77;
    EXPECT_FALSE(CitesteLeuGreuImp(ctx, index, when, z, response));
    EXPECT_EQ(ctx.money.LeuGreu, 1);
    EXPECT_EQ(when, clock.now());
    EXPECT_EQ(z, -1);
    EXPECT_EQ(response, kNoReplyText);
}

TEST_F(QueriesTest, ScrieLeuGreuImpReadsTheSwitchLikeTheReadDoes) {
    for (const LeuCase& c : LeuCases(clock.now())) {
        if (c.reply.status != Status())
            continue;  // refusals are tested below
        SCOPED_TRACE(c.name);
        kordal.queueReply("TrimiteTelegrama", c.reply);
        DateTime when;
        int32_t z = 77;
        EXPECT_TRUE(ScrieLeuGreuImp(ctx, index, when, z));
        EXPECT_EQ(ctx.money.LeuGreu, c.leuGreu);
        EXPECT_EQ(when, c.switchTime);
        EXPECT_EQ(z, c.zNumber);
        EXPECT_EQ(kordal.calls.back().command, command_code::kSwitchLeu);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(QueriesTest, ScrieLeuGreuImpRefusesWithTheFirstReasonInABox) {
    const struct {
        std::string status;
        Box box;
        int leuGreuAfter;
    } cases[] = {
        {Status({{5, 0x04}}),
         {"Comanda Scrie Leu Greu Inexistenta!", "Rutina Verificare", Icon::Information},
         0},
        {Status({{5, 0x10}}),
         {"Comanda interzisa. Este deschis un bon fiscal!", "NORVADE 2000", Icon::Information},
         1},
        {Status({{5, 0x08}}),
         {"Comanda interzisa. Este deschis un bon nefiscal!", "NORVADE 2000", Icon::Information},
         1},
        {Status({{4, 0x04}}),
         {"Executarea comenzii nu e permisa in regimul fiscal curent!\r\nTrebuie dat Raport Z "
          "(Inchidere zi) inainte de trecere!",
          "Rutina Verificare", Icon::Information},
         1},
        {Status({{6, 0x08}}),
         {"A aparut o eroare la inregistrarea in memoria fiscala !", "Rutina Verificare",
          Icon::Information},
         1},
        {Status({{5, 0x1C}, {4, 0x04}, {6, 0x08}}),
         {"Comanda Scrie Leu Greu Inexistenta!", "Rutina Verificare", Icon::Information},
         0},
        {Status({{5, 0x18}}),
         {"Comanda interzisa. Este deschis un bon fiscal!", "NORVADE 2000", Icon::Information},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box.text);
        ctx.money.LeuGreu = 1;
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", Accepted(Bytes({0x00}), c.status));
        DateTime when;
        int32_t z = 77;
        EXPECT_FALSE(ScrieLeuGreuImp(ctx, index, when, z));
        EXPECT_EQ(Boxes(), std::vector<Box>{c.box});
        EXPECT_EQ(ctx.money.LeuGreu, c.leuGreuAfter);
        EXPECT_EQ(when, clock.now());
        EXPECT_EQ(z, -1);
    }
}

TEST_F(QueriesTest, ScrieLeuGreuImpShowsExchangeAndStatusFailuresItself) {
    DateTime when;
    int32_t z = 0;
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    EXPECT_FALSE(ScrieLeuGreuImp(ctx, index, when, z));
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{3, 0x40}})));
    EXPECT_FALSE(ScrieLeuGreuImp(ctx, index, when, z));
    EXPECT_EQ(Boxes(), (std::vector<Box>{
                           {kNoReplyText, "NORVADE 2000", Icon::Error},
                           {"Lipsa hartie la imprimanta! Puneti hartie si apasati OK !",
                            "NORVADE 2000", Icon::Information},
                       }));
}

TEST_F(QueriesTest, LeuSwitchDateThatDoesNotReadIsLoggedAndZeroed) {
    kordal.defaultReply = Accepted(Bytes({0x00, 0x00, 0x00, 0x10, 0x01, 0x1A, 0x05, 0x00, 0x0A}));
    DateTime when;
    int32_t z = 0;
    EXPECT_TRUE(CitesteLeuGreuImp(ctx, index, when, z, response));
    EXPECT_EQ(when, (DateTime{1899, 12, 30, 10, 0, 0}));
    EXPECT_EQ(z, 10);
    EXPECT_TRUE(ScrieLeuGreuImp(ctx, index, when, z));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"CitesteLeuGreuImp: Type mismatch", 13},
                                            {"ScrieLeuGreuImp: Type mismatch", 13}}));
}

// --- fctFunctia11 ---

TEST_F(QueriesTest, FctFunctia11RepeatsUntilTheReceiptIsClosed) {
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{5, 0x10}})));
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{5, 0x10}})));
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status()));
    EXPECT_TRUE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>(3, command_code::kCloseFiscalReceipt));
    EXPECT_EQ(response, "");
}

TEST_F(QueriesTest, FctFunctia11StopsAtAPowerFailureOrAFailedExchange) {
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{5, 0x10}})));
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{5, 0x50}})));
    EXPECT_FALSE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(response, "");  // already shown by WriteDisplay
    EXPECT_EQ(Boxes(), (std::vector<Box>{{kPowerFailure, ctx.settings.Titlu, Icon::None}}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{std::string("WriteDisplay:") + kPowerFailure, 100}}));

    kordal.calls.clear();
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kSequence));
    EXPECT_FALSE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(response, "Eroare secventa data! ");
    EXPECT_EQ(kordal.calls.size(), 1u);
}

// A printer that keeps the receipt open must not hold the bridge for ever.
TEST_F(QueriesTest, FctFunctia11GivesUpOnAReceiptThatNeverCloses) {
    kordal.defaultReply = Accepted("", Status({{5, 0x10}}));
    EXPECT_FALSE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(kordal.calls.size(), static_cast<std::size_t>(kCloseReceiptRounds));
    const std::string text = "Bonul fiscal nu s-a inchis dupa 1000 comenzi. Verificati imprimanta!";
    EXPECT_EQ(response, text);
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"fctFunctia11: " + text, 0}}));
}

// --- fctFunctia33 ---

TEST_F(QueriesTest, FctFunctia33PutsTheShortTimeOutBackWhateverTheOutcome) {
    for (int32_t result : {library_result::kOk, library_result::kNoReply}) {
        kordal.calls.clear();
        kordal.defaultReply = result == 0 ? Accepted() : Failed(result);
        int32_t printer = 2;
        EXPECT_EQ(fctFunctia33(ctx, printer, "G", response), result == 0);
        ASSERT_EQ(kordal.calls.size(), 3u);
        EXPECT_EQ(kordal.calls[0].function, "TimeOut60");
        EXPECT_EQ(kordal.calls[0].port, 7);
        EXPECT_EQ(kordal.calls[1].function, "TrimiteTelegrama");
        EXPECT_EQ(kordal.calls[1].command, command_code::kReport);
        EXPECT_EQ(kordal.calls[1].payload, "G");
        EXPECT_EQ(kordal.calls[2].function, "TimeOut6");
        EXPECT_EQ(kordal.calls[2].port, 7);
    }
}

TEST_F(QueriesTest, FctFunctia33WithoutTheLibraryLogsAndFails) {
    kordal.setLibraryMissing(true);
    EXPECT_FALSE(fctFunctia33(ctx, index, "F", response));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{
                         {"fctFunctia33: libkordal.so: cannot open shared object file: No such "
                          "file or directory",
                          48}}));
}

// --- fctFunctia75 ---

TEST_F(QueriesTest, FctFunctia75ComposesTheBlockOrSendsNothing) {
    const struct {
        const char* kind;
        const char* group;
        int64_t raw;  // value times 10000
        int64_t multiplier;
        std::string block;  // empty: nothing sent
    } cases[] = {
        {",", "A", -52500, 1, Bytes({0x05, ',', 'r', 'A', 5, 25})},
        // A percentage is never multiplied by Multiplu.
        {",", "A", -52500, 10000, Bytes({0x05, ',', 'r', 'A', 5, 25})},
        {",", "D", 122500, 1, Bytes({0x04, ',', 'D', 12, 25})},
        {",", "B", 5, 1, Bytes({0x04, ',', 'B', 0, 0})},
        // Halves to even, and a carry into the whole percent.
        {",", "B", 52550, 1, Bytes({0x04, ',', 'B', 5, 26})},
        {",", "B", 52450, 1, Bytes({0x04, ',', 'B', 5, 24})},
        {",", "C", 59960, 1, Bytes({0x04, ',', 'C', 6, 0})},
        {":", "B", 125000, 10000, Bytes({0x0A, ':', 'B', 0, 0, 0, 0, 0, 0x01, 0xE8, 0x48})},
        {":", "C", -30000, 1, Bytes({0x0A, ';', 'C', 0, 0, 0, 0, 0, 0, 0, 3})},
        {":", "A", 2147483647LL * 10000, 1,
         Bytes({0x0A, ':', 'A', 0, 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF})},
        {",", "A", 0, 1, ""},
        {":", "A", 0, 1, ""},
        {"%", "A", 50000, 1, ""},
        {"", "A", 50000, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + std::to_string(c.raw));
        kordal.calls.clear();
        ctx.settings.Multiplu = Amount::fromInt(c.multiplier);
        EXPECT_TRUE(fctFunctia75(ctx, index, c.kind, c.group, Amount::fromRaw(c.raw), response));
        if (c.block.empty()) {
            EXPECT_TRUE(kordal.calls.empty());
            continue;
        }
        ASSERT_EQ(kordal.calls.size(), 1u);
        EXPECT_EQ(kordal.calls[0].function, "TrimiteTelegramaL");
        EXPECT_EQ(kordal.calls[0].command, command_code::kMarkupDiscount);
        EXPECT_EQ(kordal.calls[0].payload, c.block);
    }
    EXPECT_TRUE(Log().empty());
}

// An amount the printer cannot read would reach the receipt as another amount.
TEST_F(QueriesTest, FctFunctia75RefusesValuesTheirFieldCannotHold) {
    const struct {
        const char* kind;
        int64_t raw;
        int64_t multiplier;
    } cases[] = {
        {":", 2147483648LL * 10000, 1},
        {":", -2147483648LL, 10000},  // -2147483648 after the multiplier
        {",", 2560000, 1},            // 256 percent does not fit its byte
    };
    for (const auto& c : cases) {
        files.files.erase(kLogFile);
        ctx.settings.Multiplu = Amount::fromInt(c.multiplier);
        EXPECT_FALSE(fctFunctia75(ctx, index, c.kind, "A", Amount::fromRaw(c.raw), response));
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{"fctFunctia75: Overflow", 6}}));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(QueriesTest, FctFunctia75FailsOnAPowerFailureOrAFailedExchange) {
    kordal.queueReply("TrimiteTelegramaL", Accepted("", Status({{5, 0x40}})));
    EXPECT_FALSE(fctFunctia75(ctx, index, ",", "A", Amount::fromInt(5), response));
    EXPECT_EQ(Boxes(), (std::vector<Box>{{kPowerFailure, ctx.settings.Titlu, Icon::None}}));

    kordal.queueReply("TrimiteTelegramaL", Failed(library_result::kCommandEcho));
    EXPECT_FALSE(fctFunctia75(ctx, index, ",", "A", Amount::fromInt(5), response));
    EXPECT_EQ(response, "Eroare comanda la imprimanta! ");

    kordal.queueReply("TrimiteTelegramaL", Accepted("", Status({{4, 0x10}})));
    response.clear();
    EXPECT_FALSE(fctFunctia75(ctx, index, ",", "A", Amount::fromInt(5), response));
    EXPECT_EQ(response, "Codul sau argumentele comenzii primite nu sunt valabile!");
}

// --- WriteDisplay ---

TEST_F(QueriesTest, WriteDisplayShowsUnderTheConfiguredTitleAndLogs) {
    ctx.settings.Titlu = "MAGAZIN 7";
    WriteDisplay(ctx, "Mesaj, cu \"ghilimele\"", 5);
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Mesaj, cu \"ghilimele\"", "MAGAZIN 7", Icon::None}}));
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::Ok);
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"WriteDisplay:Mesaj, cu \"ghilimele\"", 100}}));
}

TEST_F(QueriesTest, WriteDisplayIgnoresALogItCannotWrite) {
    files.failOn(testing::FileOperation::Append, kLogFile, EACCES);
    WriteDisplay(ctx, "text");
    ASSERT_FALSE(ui.boxes.empty());
    EXPECT_EQ(ui.boxes[0].text, "text");
}

}  // namespace
}  // namespace veltar
