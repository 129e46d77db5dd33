// The interim and day-end reports: the day-end reply read into the report
// line, the archive in Rap, RSPRAPZ.TXT, and the ready check around the report.
#include "exchange/reports.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "exchange_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::LogEntry;
using testing::Status;
using testing::kNoReplyText;

constexpr int kReadyCheckAttempts = 60;
const char* const kPrinterSilentErr =
    "Raportul Z nu s-a putut executa: imprimanta nu raspunde. Se reincearca la urmatorul ciclu.";

// A 20-character reply field: the number with leading zeros, a sign first.
std::string Field(const std::string& number) {
    const bool negative = !number.empty() && number[0] == '-';
    const std::string digits = negative ? number.substr(1) : number;
    return (negative ? "-" : "") + std::string(20 - digits.size() - negative, '0') + digits;
}

struct ZFigures {
    std::string counterA = "42";
    std::array<std::string, 6> amounts{"1234500", "0", "2500000", "-1000000", "99", "3734999"};
    std::string counterB = "7";
    // seconds, minutes, hours, day, month, year
    std::string moment = Bytes({0x58, 0x59, 0x23, 0x31, 0x12, 0x07});
};

// The 166 bytes of the day-end reply.
std::string ZReply(const ZFigures& z = {}) {
    std::string reply = Field(z.counterA);
    for (const std::string& amount : z.amounts) reply += Field(amount);
    return reply + Field(z.counterB) + z.moment;
}

// The reply as BufRaspuns holds it: the data, the library's zero byte, blanks.
std::string AsBuffer(const std::string& data) {
    std::string buffer = data + '\0';
    buffer.resize(CommandState::kReplySize, ' ');
    return buffer;
}

const char* const kDefaultLine = "42#7#1.23#0#2.5#-1#0#3.74#31.12.2007#23:59:58";

class ReportsTest : public testing::ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        clock.set(DateTime{2007, 12, 31, 23, 59, 59});
    }

    std::string Line(const std::string& replyData) {
        std::string line = "untouched";
        EXPECT_TRUE(ScrieRapZinBD(ctx, replyData, line));
        return line;
    }

    std::vector<std::string> ArchiveFiles() const {
        std::vector<std::string> names;
        for (const auto& [name, content] : files.files) {
            if (name.rfind("Rap/", 0) == 0) names.push_back(name);
        }
        return names;
    }

    // The exports called, in order, with the command code of each exchange.
    std::vector<std::string> Calls() const {
        std::vector<std::string> seen;
        for (const auto& call : kordal.calls) {
            seen.push_back(call.function + (call.command >= 0
                                                ? " " + std::to_string(call.command)
                                                : " port " + std::to_string(call.port)));
        }
        return seen;
    }
};

// --- The report line ---

TEST_F(ReportsTest, ReportLineHoldsEveryFieldOfTheReplyAndIsArchived) {
    // The amounts are hundredths of the old leu; the line gives new lei with
    // two decimals; 3.734999 + 0.00001 rounds up to 3.74.
    EXPECT_EQ(Line(AsBuffer(ZReply())), kDefaultLine);
    EXPECT_EQ(ArchiveFiles(), (std::vector<std::string>{"Rap/20071231235959.1"}));
    EXPECT_EQ(files.content("Rap/20071231235959.1"), std::string(kDefaultLine) + "\r\n");
    EXPECT_TRUE(files.directories.count("Rap"));
    EXPECT_TRUE(Log().empty());
}

TEST_F(ReportsTest, AmountsFollowTheLeuFactorTheDecimalsAndTheRegionalSeparator) {
    const struct {
        int64_t factorLeu;
        int decimals;
        char separator;
        std::string field;
        std::string expected;
    } cases[] = {
        {10000, 2, '.', "1234500", "1.23"},
        {1, 0, '.', "1234500", "12345"},
        {1, 2, '.', "1234567", "12345.67"},
        {10000, 2, ',', "1250000", "1,25"},
        // A half of the last decimal goes up: 1.225 + 0.00001.
        {10000, 2, '.', "1225000", "1.23"},
        {1, 0, '.', "50", "1"},
        {10000, 2, '.', "-2345678", "-2.35"},
    };
    for (const auto& c : cases) {
        ctx.money.FactorLeu = Amount::fromInt(c.factorLeu);
        ctx.money.NrZecimale = c.decimals;
        ctx.regional.decimal = c.separator;
        ZFigures z;
        z.amounts[0] = c.field;
        const std::string line = Line(AsBuffer(ZReply(z)));
        EXPECT_EQ(line.substr(5, line.find('#', 5) - 5), c.expected) << c.field;
    }
}

TEST_F(ReportsTest, DateAndTimeCarryOverOrFallBackToNow) {
    clock.set(DateTime{2026, 12, 11, 10, 30, 15});
    const struct {
        std::string moment;  // seconds, minutes, hours, day, month, year
        std::string dateAndTime;
        std::vector<LogEntry> log;
    } cases[] = {
        {Bytes({0x58, 0x59, 0x23, 0x31, 0x12, 0x07}), "31.12.2007#23:59:58", {}},
        {Bytes({0x00, 0x00, 0x00, 0x01, 0x01, 0x30}), "01.01.1930#00:00:00", {}},
        // Month 13 is January of the next year; days run into the next month.
        {Bytes({0x00, 0x00, 0x12, 0x15, 0x13, 0x07}), "15.01.2008#12:00:00", {}},
        {Bytes({0x00, 0x00, 0x12, 0x32, 0x01, 0x07}), "01.02.2007#12:00:00", {}},
        {Bytes({0x00, 0x00, 0x12, 0x29, 0x02, 0x07}), "01.03.2007#12:00:00", {}},
        {Bytes({0x00, 0x00, 0x12, 0x29, 0x02, 0x08}), "29.02.2008#12:00:00", {}},
        // Seconds and minutes carry into the next unit.
        {Bytes({0x75, 0x59, 0x08, 0x01, 0x01, 0x07}), "01.01.2007#09:00:15", {}},
        // No day, no month: no date; 24 hours or more: no time. Now is used.
        {Bytes({0x00, 0x00, 0x12, 0x00, 0x05, 0x07}), "11.12.2026#12:00:00", {}},
        {Bytes({0x00, 0x00, 0x12, 0x10, 0x00, 0x07}), "11.12.2026#12:00:00", {}},
        {Bytes({0x00, 0x00, 0x24, 0x01, 0x01, 0x07}), "01.01.2007#10:30:15", {}},
        {Bytes({0x00, 0x60, 0x23, 0x01, 0x01, 0x07}), "01.01.2007#10:30:15", {}},
        // A half above 9 cannot be read: that part stays zero, the other is kept.
        {Bytes({0x00, 0x00, 0x12, 0x3A, 0x12, 0x07}),
         "30.12.1899#12:00:00",
         {{"ScrieRapZinBD: Type mismatch", 13}}},
        {Bytes({0x00, 0x0F, 0x12, 0x31, 0x12, 0x07}),
         "31.12.2007#00:00:00",
         {{"ScrieRapZinBD: Type mismatch", 13}}},
    };
    for (const auto& c : cases) {
        files.files.erase(kLogFile);
        ZFigures z;
        z.moment = c.moment;
        const std::string line = Line(AsBuffer(ZReply(z)));
        EXPECT_EQ(line.substr(line.size() - 19), c.dateAndTime);
        EXPECT_EQ(Log(), c.log) << c.dateAndTime;
    }
}

TEST_F(ReportsTest, AFieldThatCannotBeReadStaysZeroAndTheRestIsRead) {
    ZFigures z;
    z.counterA = "";
    std::string reply = ZReply(z);
    reply.replace(0, 20, "   12 apples        ");
    reply.replace(140, 20, "00000000009999999999");  // beyond 32 bits
    reply.replace(60, 20, "99999999999999999999");   // beyond any amount
    EXPECT_EQ(Line(AsBuffer(reply)), "0#0#1.23#0#0#-1#0#3.74#31.12.2007#23:59:58");
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"ScrieRapZinBD: Type mismatch", 13},
                                            {"ScrieRapZinBD: Overflow", 6},
                                            {"ScrieRapZinBD: Overflow", 6}}));

    // A reply cut short loses only the fields it does not hold.
    files.files.erase(kLogFile);
    EXPECT_EQ(Line(ZReply().substr(0, 60)),
              "42#0#1.23#0#0#0#0#0#30.12.1899#00:00:00");
    EXPECT_EQ(Log().size(), 7u);
}

TEST_F(ReportsTest, TheArchiveNameHasTheMomentAndThePosNumber) {
    clock.set(DateTime{2008, 1, 2, 3, 4, 5});
    ctx.settings.NRPOS = 17;
    files.directories.insert("Rap");
    Line(AsBuffer(ZReply()));
    EXPECT_EQ(ArchiveFiles(), (std::vector<std::string>{"Rap/20080102030405.17"}));
    // An existing directory is no failure.
    EXPECT_TRUE(Log().empty());
}

TEST_F(ReportsTest, TwoReportsInTheSameSecondReplaceTheSameArchiveFile) {
    Line(AsBuffer(ZReply()));
    ZFigures second;
    second.counterA = "43";
    EXPECT_EQ(Line(AsBuffer(ZReply(second))).substr(0, 3), "43#");
    EXPECT_EQ(ArchiveFiles(), (std::vector<std::string>{"Rap/20071231235959.1"}));
    EXPECT_EQ(files.content("Rap/20071231235959.1").substr(0, 3), "43#");
    // Replaced in one step each time, never deleted first.
    EXPECT_EQ(std::count(files.writes.begin(), files.writes.end(), "replace:Rap/20071231235959.1"),
              2);
    EXPECT_EQ(std::count(files.writes.begin(), files.writes.end(), "remove:Rap/20071231235959.1"),
              0);
}

TEST_F(ReportsTest, AnEmptyReplyWritesNoArchive) {
    for (const std::string& reply : {AsBuffer(""), std::string(251, ' '), std::string()}) {
        EXPECT_EQ(Line(reply), "");
        EXPECT_TRUE(ArchiveFiles().empty());
    }
    // The directory is made ready all the same.
    EXPECT_TRUE(files.directories.count("Rap"));
}

TEST_F(ReportsTest, AStepThatFailsIsLoggedAndTheNextOneRuns) {
    files.failOn(testing::FileOperation::CreateDirectory, "Rap", EACCES);
    EXPECT_EQ(Line(AsBuffer(ZReply())), kDefaultLine);
    EXPECT_TRUE(ArchiveFiles().empty());
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{std::string("ScrieRapZinBD: ") + std::strerror(EACCES),
                                             EACCES},
                                            {std::string("ScrieRapZinBD: ") + std::strerror(ENOENT),
                                             ENOENT}}));
}

// --- The day-end report ---

TEST_F(ReportsTest, DayEndReportArchivesAndAnswersInRspRapZ) {
    Put("RAPZ.TXT", "");
    Put("VANZARI.TXT", "sale");
    Put("RSPRAPZ.TXT", "older report\r\n");
    kordal.replyToCommand(command_code::kReport, Accepted(ZReply()));

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    const std::string expected = std::string(kDefaultLine) + "\r\n";
    EXPECT_EQ(files.content("RSPRAPZ.TXT"), expected);
    EXPECT_EQ(files.content("Rap/20071231235959.1"), expected);
    EXPECT_FALSE(Has("RAPZ.TXT"));
    EXPECT_TRUE(Has("VANZARI.TXT"));  // the sale waits for the next tick
    EXPECT_EQ(std::count(files.writes.begin(), files.writes.end(), "remove:RSPRAPZ.TXT"), 0);
    // The ready check, then the report under the long time-out.
    EXPECT_EQ(Calls(), (std::vector<std::string>{"TrimiteTelegrama 14", "TimeOut60 port 3",
                                                 "TrimiteTelegrama 33", "TimeOut6 port 3"}));
    EXPECT_EQ(kordal.callsTo("TrimiteTelegrama")[1].payload, "G");
    EXPECT_EQ(ui.waits, (std::vector<int>{1000}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ReportsTest, AnEmptyReplyDeletesTheOldAnswer) {
    Put("RAPZ.TXT", "");
    Put("RSPRAPZ.TXT", "older report\r\n");
    kordal.replyToCommand(command_code::kReport, Accepted(""));
    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);
    EXPECT_FALSE(Has("RSPRAPZ.TXT"));
    EXPECT_FALSE(Has("RAPZ.TXT"));
    EXPECT_TRUE(ArchiveFiles().empty());
}

TEST_F(ReportsTest, ReadyCheckShowsEveryFailureAndWaitsAfterEveryAttempt) {
    Put("RAPZ.TXT", "");
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    kordal.queueReply("TrimiteTelegrama", Accepted());
    kordal.queueReply("TrimiteTelegrama", Accepted(ZReply()));

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{14, 14, 14, 33}));
    EXPECT_EQ(Boxes(), (std::vector<Box>{{kNoReplyText, ctx.settings.Titlu, Icon::None},
                                         {kNoReplyText, ctx.settings.Titlu, Icon::None}}));
    EXPECT_EQ(ui.journal, (std::vector<std::string>{"box:" + std::string(kNoReplyText),
                                                    "wait:1000",
                                                    "box:" + std::string(kNoReplyText),
                                                    "wait:1000", "wait:1000"}));
    EXPECT_EQ(files.content("RSPRAPZ.TXT"), std::string(kDefaultLine) + "\r\n");
}

TEST_F(ReportsTest, APrinterThatNeverAnswersLeavesTheRequestForTheNextTick) {
    Put("RAPZ.TXT", "");
    Put("RSPRAPZ.TXT", "older report\r\n");
    kordal.replyToCommand(command_code::kPrinterStatus, Failed(library_result::kNoReply));

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    // Nothing but status queries reached the printer.
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>(kReadyCheckAttempts, 14));
    EXPECT_TRUE(kordal.callsTo("TimeOut60").empty());
    EXPECT_EQ(ui.boxes.size(), std::size_t{kReadyCheckAttempts});
    EXPECT_EQ(ui.waits, std::vector<int>(kReadyCheckAttempts, 1000));
    EXPECT_TRUE(Has("RAPZ.TXT"));
    EXPECT_EQ(files.content("RSPRAPZ.TXT"), "older report\r\n");
    EXPECT_EQ(files.content("ERR.TXT"), std::string(kPrinterSilentErr) + "\r\n");
    EXPECT_TRUE(ArchiveFiles().empty());

    kordal.calls.clear();
    int32_t index = 0;
    EXPECT_FALSE(ScrieRaspunsRapZ(ctx, index));
}

TEST_F(ReportsTest, AFailureBeforeTheReportIsSentKeepsTheRequest) {
    Put("RAPZ.TXT", "");
    Put("RSPRAPZ.TXT", "older report\r\n");
    ui.whileOpen = [] { throw RuntimeError(error_number::kOutOfRange, "Subscript out of range"); };

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{14}));
    EXPECT_TRUE(Has("RAPZ.TXT"));
    EXPECT_EQ(files.content("RSPRAPZ.TXT"), "older report\r\n");
    EXPECT_EQ(files.content("ERR.TXT"),
              "Raportul Z nu s-a putut executa: Subscript out of range. Se reincearca la "
              "urmatorul ciclu.\r\n");
}

TEST_F(ReportsTest, AFailedReportIsNotSentAgainAndItsFiguresAreStillRecorded) {
    const struct {
        const char* name;
        testing::KordalReply report;
        std::string expectedAnswer;  // empty: RSPRAPZ.TXT deleted
    } cases[] = {
        {"silent", Failed(library_result::kNoReply), ""},
        // Refused by its status, yet with the day's figures: the status query
        // that follows must not put its own data in their place.
        {"refused", Accepted(ZReply(), Status({{4, 0x08}})), std::string(kDefaultLine) + "\r\n"},
    };
    for (const auto& c : cases) {
        files.files.clear();
        files.directories.clear();
        kordal.calls.clear();
        ui.boxes.clear();
        Put("RAPZ.TXT", "");
        Put("RSPRAPZ.TXT", "older report\r\n");
        kordal.queueReply("TrimiteTelegrama", Accepted("status data"));
        kordal.queueReply("TrimiteTelegrama", c.report);
        kordal.queueReply("TrimiteTelegrama", Accepted("status data"));

        EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

        EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{14, 33, 14})) << c.name;
        // The long time-out does not outlast the report.
        EXPECT_EQ(kordal.callsTo("TimeOut6").size(), 1u);
        EXPECT_EQ(files.content("RSPRAPZ.TXT"), c.expectedAnswer) << c.name;
        EXPECT_EQ(Has("RSPRAPZ.TXT"), !c.expectedAnswer.empty());
        EXPECT_FALSE(Has("RAPZ.TXT"));
        EXPECT_TRUE(ui.boxes.empty());
    }
}

TEST_F(ReportsTest, AReadyCheckThatGivesUpAfterTheReportStillEndsTheRequest) {
    Put("RAPZ.TXT", "");
    kordal.queueReply("TrimiteTelegrama", Accepted());
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    kordal.replyToCommand(command_code::kPrinterStatus, Failed(library_result::kNoReply));

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    EXPECT_EQ(kordal.commands().size(), std::size_t{2 + kReadyCheckAttempts});
    EXPECT_EQ(ui.boxes.size(), std::size_t{kReadyCheckAttempts});
    EXPECT_FALSE(Has("RAPZ.TXT"));
    EXPECT_FALSE(Has("ERR.TXT"));
}

TEST_F(ReportsTest, AnAnswerThatCannotBeWrittenIsLogged) {
    Put("RAPZ.TXT", "");
    kordal.replyToCommand(command_code::kReport, Accepted(ZReply()));
    files.failOn(testing::FileOperation::Replace, "RSPRAPZ.TXT", EIO);

    EXPECT_EQ(HandleDayEndReport(ctx), TickFlow::EndTick);

    EXPECT_EQ(Log(), (std::vector<LogEntry>{
                         {std::string("ScrieRaspunsRapZ: ") + std::strerror(EIO), EIO}}));
    EXPECT_TRUE(Has("Rap/20071231235959.1"));
    EXPECT_FALSE(Has("RAPZ.TXT"));
}

// --- The interim report ---

TEST_F(ReportsTest, InterimReportRunsUnderTheLongTimeOutAndIsDeletedInAnyCase) {
    const struct {
        testing::KordalReply reply;
        std::vector<Box> boxes;
    } cases[] = {
        {Accepted(), {}},
        {Failed(library_result::kNoReply), {{kNoReplyText, ctx.settings.Titlu, Icon::None}}},
    };
    for (const auto& c : cases) {
        kordal.calls.clear();
        ui.boxes.clear();
        Put("rapx.txt", "");
        kordal.queueReply("TrimiteTelegrama", c.reply);

        HandleInterimReport(ctx);

        EXPECT_EQ(Calls(), (std::vector<std::string>{"TimeOut60 port 3", "TrimiteTelegrama 33",
                                                     "TimeOut6 port 3"}));
        EXPECT_EQ(kordal.callsTo("TrimiteTelegrama")[0].payload, "F");
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_FALSE(Has("rapx.txt"));
    }
}

}  // namespace
}  // namespace veltar
