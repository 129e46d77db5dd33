// The periodic fiscal memory report screen against the scripted library:
// the date checks in their order, the report's payload and the way out.
#include "service/periodic_report.h"

#include <gtest/gtest.h>

#include "service_test.h"
#include "shell/log.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::KordalReply;
using testing::Status;
using Dates = std::array<std::string, report_date::kCount>;

class PeriodicReportTest : public testing::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        screen.Load();
    }

    // The library calls of a report, by function name.
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const auto& call : kordal.calls) names.push_back(call.function);
        return names;
    }

    RapPer screen{ctx};
    PeriodicReportForm& form = screen.form();
};

TEST_F(PeriodicReportTest, DatesAreCheckedInTheirOrderBeforeAnythingIsSent) {
    const char* const spaced = "VELTAR 2000";
    const char* const joined = "VELTAR2000";
    const struct {
        Dates dates;  // start day, month, year, end day, month, year
        const char* message;
        const char* title;
    } cases[] = {
        {{"", "1", "05", "31", "1", "05"}, "Zi inceput raport incorecta !", spaced},
        {{"0", "1", "05", "31", "1", "05"}, "Zi inceput raport incorecta !", spaced},
        {{"32", "13", "0", "31", "1", "05"}, "Zi inceput raport incorecta !", spaced},
        {{"1", "13", "05", "31", "1", "05"}, "Luna de inceput raport incorecta !", spaced},
        {{"1", "", "05", "31", "1", "05"}, "Luna de inceput raport incorecta !", spaced},
        {{"1", "1", "00", "31", "1", "05"}, "An de inceput raport incorect !", spaced},
        {{"1", "1", "", "31", "1", "05"}, "An de inceput raport incorect !", spaced},
        {{"31", "4", "05", "31", "1", "05"}, "Data de inceput nu este valida !", joined},
        {{"29", "2", "05", "31", "1", "05"}, "Data de inceput nu este valida !", joined},
        {{"29", "2", "2100", "31", "1", "05"}, "Data de inceput nu este valida !", joined},
        {{"1", "1", "05", "0", "1", "05"}, "Zi sfarsit raport incorecta !", spaced},
        {{"1", "1", "05", "31", "1", "0"}, "Anul de sfarsit raport incorect !", spaced},
        // The end month is checked after the date: 5/13 reads as 13 May.
        {{"1", "1", "05", "5", "13", "05"}, "Luna de sfarsit raport incorecta !", spaced},
        {{"1", "1", "05", "20", "13", "05"}, "Data de sfirsit nu este valida !", joined},
        {{"1", "1", "05", "5", "0", "05"}, "Data de sfirsit nu este valida !", joined},
        {{"1", "1", "05", "31", "6", "2005"}, "Data de sfirsit nu este valida !", joined},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dates[0] + "/" + c.dates[1] + "/" + c.dates[2] + " - " + c.dates[3] + "/" +
                     c.dates[4] + "/" + c.dates[5]);
        ui.boxes.clear();
        form.Data = c.dates;
        screen.ExecButClick();
        EXPECT_EQ(Boxes(), (std::vector<Box>{{c.message, c.title, Icon::Error}}));
        EXPECT_FALSE(ui.busy);
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(PeriodicReportTest, ReportShowsItsTitleThenSendsTheDatesUnderTheLongTimeOut) {
    const struct {
        Dates dates;
        bool detailed;
        std::string payload;
    } cases[] = {
        {{"1", "1", "05", "31", "1", "05"}, true, Bytes({0x01, 0x01, 0x05, 0x31, 0x01, 0x05, 'e'})},
        {{"5", "3", "2005", "7", "3", "2005"}, false,
         Bytes({0x05, 0x03, 0x05, 0x07, 0x03, 0x05, 'c'})},
        // Four-digit years keep their last two digits: 2012 is 12h, not 02h.
        {{"29", "2", "2012", "1", "1", "2026"}, true,
         Bytes({0x29, 0x02, 0x12, 0x01, 0x01, 0x26, 'e'})},
        {{"29", "2", "04", "31", "12", "1999"}, false,
         Bytes({0x29, 0x02, 0x04, 0x31, 0x12, 0x99, 'c'})},
        // 13/5 is accepted as 13 May; the bytes stay as typed.
        {{"13", "5", "06", "6", "10", "06"}, true,
         Bytes({0x13, 0x05, 0x06, 0x06, 0x10, 0x06, 'e'})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dates[2]);
        kordal.calls.clear();
        ui.journal.clear();
        form.Data = c.dates;
        form.Detaliat = c.detailed;
        screen.ExecButClick();
        EXPECT_EQ(CallNames(), (std::vector<std::string>{"TrimiteTelegrama", "TrimiteTelegrama",
                                                         "TrimiteTelegrama", "TimeOut60",
                                                         "RaportPeriodic", "TimeOut6"}));
        EXPECT_EQ(kordal.calls[0].payload, "\x01\x01" + std::string(40, ' '));
        EXPECT_EQ(kordal.calls[1].payload, "\x01\x01  Raport fiscal");
        EXPECT_EQ(kordal.calls[2].payload, "\x01\x02   pe perioade");
        EXPECT_EQ(kordal.calls[0].command, 16);
        EXPECT_EQ(kordal.calls[4].payload, c.payload);
        EXPECT_EQ(kordal.calls[4].port, kComPort);
        EXPECT_EQ(ctx.command.CodComanda, 31);
        EXPECT_EQ(ui.journal, (std::vector<std::string>{"busy:on", "busy:off"}));
    }
}

TEST_F(PeriodicReportTest, ReportResultIsShownAndTheShortTimeOutComesBack) {
    const struct {
        const char* name;
        KordalReply reply;
        std::vector<Box> boxes;
    } cases[] = {
        {"accepted", Accepted(), {}},
        {"conditions",
         Accepted("", Status({{4, 0x02}, {7, 0x04}})),
         {{"La executarea comenzii se depasesc campuri de sume!", "Rutina Verificare",
           Icon::Information},
          {"Imprimanta fiscala este in regim de READ ONLY!", "Rutina Verificare",
           Icon::Information}}},
        {"no reply",
         Failed(library_result::kNoReply),
         {{"Lipsa comunicatie cu imprimanta", "VELTAR 2000", Icon::Error}}},
        {"damaged reply", Failed(library_result::kChecksum), {}},
    };
    form.Data = {"1", "1", "26", "31", "1", "26"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        kordal.queueReply("RaportPeriodic", c.reply);
        screen.ExecButClick();
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(kordal.calls.back().function, "TimeOut6");
        EXPECT_EQ(ctx.command.RezultatComanda, 0);
    }
}

TEST_F(PeriodicReportTest, OnlySomeDisplayFailuresStopTheReport) {
    const struct {
        const char* name;
        std::vector<KordalReply> display;
        bool reported;
    } cases[] = {
        {"blank display refused", {Failed(library_result::kArgTooLong)}, false},
        {"blank display silent", {Failed(library_result::kNoReply)}, false},
        // Only frame failures and silence stop the title lines.
        {"title refused", {Accepted(), Failed(library_result::kArgTooLong), Accepted()}, true},
        {"title silent", {Accepted(), Failed(library_result::kNoReply)}, false},
        {"second line damaged", {Accepted(), Accepted(), Failed(library_result::kSequence)}, false},
        {"second line checksum", {Accepted(), Accepted(), Failed(library_result::kChecksum)},
         false},
        {"second line echo", {Accepted(), Accepted(), Failed(library_result::kCommandEcho)}, false},
    };
    form.Data = {"1", "1", "26", "31", "1", "26"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        for (const KordalReply& reply : c.display) kordal.queueReply("TrimiteTelegrama", reply);
        screen.ExecButClick();
        EXPECT_EQ(kordal.callsTo("RaportPeriodic").size(), c.reported ? 1u : 0u);
        EXPECT_EQ(kordal.callsTo("TimeOut60").size(), c.reported ? 1u : 0u);
        EXPECT_FALSE(ui.busy);
    }
}

TEST_F(PeriodicReportTest, DateBoxesTakeOnlyDigits) {
    for (char c : std::string("0123456789\b")) EXPECT_TRUE(screen.DataKeyPress(0, c)) << int{c};
    for (char c : std::string("a./- \r")) EXPECT_FALSE(screen.DataKeyPress(5, c)) << int{c};
}

TEST_F(PeriodicReportTest, ExitSends36AndAsksForTheTradingChecksUnlessTheReplyWasDamaged) {
    const struct {
        const char* name;
        KordalReply reply;
        bool leaves;
    } cases[] = {
        {"accepted", Accepted(), true},
        // A printer switched off does not keep the operator here.
        {"no reply", Failed(library_result::kNoReply), true},
        {"end byte", Failed(library_result::kEndByte), true},
        {"checksum", Failed(library_result::kChecksum), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.journal.clear();
        ctx.VerificareLaActivare = false;
        kordal.queueReply("TrimiteTelegrama", c.reply);
        screen.ExitButClick();
        EXPECT_EQ(kordal.commands(), std::vector<int32_t>{36});
        EXPECT_EQ(ctx.VerificareLaActivare, c.leaves);
        EXPECT_EQ(WindowJournal(),
                  c.leaves ? (std::vector<std::string>{Shown(Window::Main),
                                                       Closed(Window::PeriodicReport)})
                           : std::vector<std::string>{});
    }

    // Esc leaves at once: nothing sent, no checks asked for.
    kordal.calls.clear();
    ui.journal.clear();
    ctx.VerificareLaActivare = false;
    screen.EscapePressed();
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_FALSE(ctx.VerificareLaActivare);
    EXPECT_EQ(WindowJournal(), (std::vector<std::string>{Closed(Window::PeriodicReport),
                                                         Shown(Window::Main)}));
}

TEST_F(PeriodicReportTest, AnUnexpectedFailureShowsItsDescriptionOnly) {
    FailAtBox("Lipsa comunicatie cu imprimanta");
    kordal.queueReply("RaportPeriodic", Failed(library_result::kNoReply));
    form.Data = {"1", "1", "26", "31", "1", "26"};
    screen.ExecButClick();
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"Lipsa comunicatie cu imprimanta", "Out of memory"}));
    EXPECT_FALSE(files.exists(kLogFile));
    // The normal pointer and the short time-out again.
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(kordal.calls.back().function, "TimeOut6");
}

}  // namespace
}  // namespace veltar
