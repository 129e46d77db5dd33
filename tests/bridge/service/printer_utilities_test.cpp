// The printer utilities screen against the scripted library and the files in
// memory: GENERALE.TXT and the receipt lines, the clock, the POS number and
// the status readings.
#include "service/printer_utilities.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "service_test.h"
#include "shell/log.h"
#include "shell/settings.h"
#include "shell/windows/main_window.h"
#include "windows_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::FileOperation;
using testing::KordalReply;
using testing::LogEntry;
using testing::Status;
using Focus = std::optional<FocusRequest<UtilitiesControl>>;
using Lines = std::array<std::string, kHeaderFooterLineCount>;
using Ora = std::array<std::string, ora::kCount>;

const char* const kFile = "GENERALE.TXT";

class PrinterUtilitiesTest : public testing::ServiceTest {
protected:
    std::string Padded(const std::string& text) { return FitToWidth(text, kTextLineWidth); }

    UtilitareImprimanta screen{ctx};
    PrinterUtilitiesForm& form = screen.form();
};

TEST_F(PrinterUtilitiesTest, LoadShowsTheLinesOfGeneraleTxtWhole) {
    const std::string longLine = "MAGAZIN UNIVERSAL DE PRODUSE ALIMENTARE SI NEALIMENTARE";
    const Box noFile{"Fisierul GENERALE.TXT nu exista", "VELTAR 2000", Icon::Information};
    const struct {
        const char* name;
        std::optional<std::pair<std::string, std::string>> file;  // name, content
        Lines lines;
        std::vector<Box> boxes;
        std::vector<LogEntry> log;
    } cases[] = {
        {"no file", std::nullopt, {}, {noFile}, {}},
        // Only the exact name counts, as for the receipts that print the lines.
        {"another case", {{"Generale.txt", "A\r\nB\r\nC\r\nD\r\nE\r\n"}}, {}, {noFile}, {}},
        {"five lines and more",
         {{kFile, longLine + "\r\n  CUI RO123  \r\n\r\nVA MULTUMIM\r\nLA REVEDERE\r\nSASE\r\n"}},
         {longLine, "  CUI RO123  ", "", "VA MULTUMIM", "LA REVEDERE"},
         {},
         {}},
        // A short file fills the boxes it has lines for; the others are empty,
        // not left with what an earlier opening showed.
        {"three lines",
         {{kFile, "UNU\r\nDOI\r\nTREI\r\n"}},
         {"UNU", "DOI", "TREI", "", ""},
         {{"Input past end of file", "VELTAR2000", Icon::None}},
         {{"22.005", 62}}},
        {"empty file",
         {{kFile, ""}},
         {},
         {{"Input past end of file", "VELTAR2000", Icon::None}},
         {{"22.005", 62}}},
    };
    ctx.settings.NRPOS = 7;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        files.files.clear();
        ui.boxes.clear();
        if (c.file) files.files[c.file->first] = c.file->second;
        form.lines = {"OLD", "OLD", "OLD", "OLD", "OLD"};
        form.Ora = {"1", "2", "3", "4", "5", "6"};
        form.DataOra = form.StareImp = form.StareTranzactie = form.NumarPOS = "OLD";
        ctx.LiniiHeaderFooter[1] = Padded("PRINTED");

        screen.Load();

        EXPECT_EQ(form.lines, c.lines);
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(Log(), c.log);
        EXPECT_EQ(form.NumarPOS, "7");
        EXPECT_EQ(form.Ora, Ora{});
        EXPECT_EQ(form.DataOra + form.StareImp + form.StareTranzactie, "");
        EXPECT_EQ(ctx.LiniiHeaderFooter[1], Padded("PRINTED"));  // untouched by the load
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(PrinterUtilitiesTest, LoadThatCannotReadTheFileTakesTheFailurePath) {
    files.files[kFile] = "A\r\nB\r\nC\r\nD\r\nE\r\n";
    files.failOn(FileOperation::Read, kFile, EIO);
    screen.Load();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{std::strerror(EIO)});
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"22.005", EIO}}));
    EXPECT_EQ(form.lines, Lines{});
}

TEST_F(PrinterUtilitiesTest, EnterInALineBoxStoresItsReceiptTextAndMovesOn) {
    const struct {
        std::string text;
        std::string stored;
        Focus focus;
    } cases[] = {
        {"ABC", "ABC" + std::string(37, ' '), {{UtilitiesControl::Header2, true}}},
        {std::string(45, 'X'), std::string(40, 'X'), {{UtilitiesControl::Header3, true}}},
        {"", std::string(40, ' '), {{UtilitiesControl::Footer1, false}}},
        {"VA MULTUMIM", Padded("VA MULTUMIM"), {{UtilitiesControl::Footer2, true}}},
        {"  LA REVEDERE", Padded("  LA REVEDERE"), {{UtilitiesControl::Scrie, false}}},
    };
    for (std::size_t k = 0; k < kHeaderFooterLineCount; ++k) {
        SCOPED_TRACE(k);
        form.focus.reset();
        form.lines[k] = cases[k].text;
        EXPECT_TRUE(screen.LineKeyPress(k, 'Q'));  // any other character is typed
        EXPECT_EQ(form.focus, std::nullopt);
        EXPECT_FALSE(screen.LineKeyPress(k, kEnterChar));
        EXPECT_EQ(ctx.LiniiHeaderFooter[k + 1], cases[k].stored);
        EXPECT_EQ(form.focus, cases[k].focus);
    }
    EXPECT_FALSE(files.exists(kFile));  // Enter does not write the file
}

TEST_F(PrinterUtilitiesTest, ScrieSavesTheLinesWholeAndTheReceiptTextsCut) {
    const std::string longLine(55, 'L');
    form.lines = {longLine, "HEADER 2", "", "FOOTER 1", " FOOTER 2 "};
    screen.ScrieClick();
    EXPECT_EQ(files.content(kFile), longLine + "\r\nHEADER 2\r\n\r\nFOOTER 1\r\n FOOTER 2 \r\n");
    EXPECT_EQ(ctx.LiniiHeaderFooter[1], std::string(40, 'L'));
    EXPECT_EQ(ctx.LiniiHeaderFooter[3], std::string(40, ' '));
    EXPECT_EQ(ctx.LiniiHeaderFooter[5], Padded(" FOOTER 2 "));
    EXPECT_EQ(Boxes(),
              (std::vector<Box>{{"Datele au fost salvate", "VELTAR 2000", Icon::Information}}));
    EXPECT_TRUE(kordal.calls.empty());

    // Written back, the file gives the same boxes.
    UtilitareImprimanta again(ctx);
    again.Load();
    EXPECT_EQ(again.form().lines, form.lines);
}

TEST_F(PrinterUtilitiesTest, ScrieThatCannotWriteTheFileChangesNothing) {
    files.files[kFile] = "A\r\nB\r\nC\r\nD\r\nE\r\n";
    ctx.LiniiHeaderFooter[1] = Padded("A");
    files.failOn(FileOperation::Replace, kFile, ENOSPC);
    form.lines = {"NEW", "NEW", "NEW", "NEW", "NEW"};
    screen.ScrieClick();
    EXPECT_EQ(files.content(kFile), "A\r\nB\r\nC\r\nD\r\nE\r\n");
    EXPECT_EQ(ctx.LiniiHeaderFooter[1], Padded("A"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{std::strerror(ENOSPC)});
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"NUMAR", ENOSPC}}));
}

TEST_F(PrinterUtilitiesTest, CitesteDataOraShowsThePrintersClockAndItsStatus) {
    kordal.queueReply("TrimiteTelegrama", Accepted(Bytes({0x09, 0x14, 0x17, 0x30, 0x06, 0x05}),
                                                   Status({{4, 0x20}})));
    screen.CitesteDataOraClick();
    EXPECT_EQ(form.DataOra, "17:14:09 30\\06\\05");
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>{32});
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Data si ora nedeterminate dupa ultima stergere RAM!",
                                          "Rutina Verificare", Icon::Information}}));

    // A silent printer: only the exchange's message; the box keeps its text.
    ui.boxes.clear();
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
    screen.CitesteDataOraClick();
    EXPECT_EQ(form.DataOra, "17:14:09 30\\06\\05");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Lipsa comunicatie cu imprimanta."});
}

TEST_F(PrinterUtilitiesTest, ScrieDataOraChecksTheTimeInOrder) {
    const struct {
        Ora boxes;  // second, minute, hour, day, month, year
        const char* message;
    } cases[] = {
        {{"0", "0", "25", "1", "1", "05"}, "Ora incorecta"},
        {{"61", "61", "25", "1", "1", "05"}, "Ora incorecta"},
        {{"61", "61", "24", "1", "1", "05"}, "Date pentru minute incorecte !"},
        {{"61", "60", "24", "1", "1", "05"}, "Date pentru secunde incorecte !"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ui.boxes.clear();
        form.Ora = c.boxes;
        screen.ScrieDataOraButClick();
        EXPECT_EQ(Boxes(), (std::vector<Box>{{c.message, "VELTAR 2000 Manager", Icon::Error}}));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(PrinterUtilitiesTest, ScrieDataOraSendsTwoDigitsPerBoxThenCommand36) {
    const struct {
        Ora boxes;
        std::string payload;
    } cases[] = {
        {{"9", "14", "17", "30", "6", "5"}, Bytes({0x09, 0x14, 0x17, 0x30, 0x06, 0x05})},
        // 24, 60 and 60 pass; the printer judges them.
        {{"60", "60", "24", "31", "12", "99"}, Bytes({0x60, 0x60, 0x24, 0x31, 0x12, 0x99})},
        {{"", "5", "", "1", "1", "2005"}, Bytes({0x00, 0x05, 0x00, 0x01, 0x01, 0x05})},
        // A four-digit year keeps its last two digits, not only the last one.
        {{"0", "0", "8", "15", "3", "2012"}, Bytes({0x00, 0x00, 0x08, 0x15, 0x03, 0x12})},
        {{"0", "0", "8", "15", "3", "1999"}, Bytes({0x00, 0x00, 0x08, 0x15, 0x03, 0x99})},
        {{"0", "0", "8", "15", "3", "2100"}, Bytes({0x00, 0x00, 0x08, 0x15, 0x03, 0x00})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boxes[5]);
        kordal.calls.clear();
        form.Ora = c.boxes;
        screen.ScrieDataOraButClick();
        EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{38, 36}));
        const auto writes = kordal.callsTo("ScrieDataOra");
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].payload, c.payload);
        EXPECT_EQ(writes[0].port, kComPort);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PrinterUtilitiesTest, ScrieDataOraReportsItsOwnResultAndAlwaysSends36) {
    const struct {
        const char* name;
        KordalReply write;
        std::vector<Box> boxes;
    } cases[] = {
        {"accepted", Accepted(), {}},
        {"refused",
         Accepted("", Status({{4, 0x10}})),
         {{"Codul sau argumentele comenzii primite nu sunt valabile!", "Rutina Verificare",
           Icon::Information}}},
        {"no reply",
         Failed(library_result::kNoReply),
         {{"Lipsa comunicatie cu imprimanta", "VELTAR 2000", Icon::Error}}},
        {"damaged reply", Failed(library_result::kEndByte), {}},
    };
    form.Ora = {"0", "0", "8", "15", "3", "26"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        kordal.queueReply("ScrieDataOra", c.write);
        screen.ScrieDataOraButClick();
        EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{38, 36}));
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(PrinterUtilitiesTest, ClockBoxesTakeDigitsAndEnterGoesHourMinuteSecondDayMonthYear) {
    for (char c : std::string("0123456789\b")) EXPECT_TRUE(screen.OraKeyPress(0, c)) << int{c};
    for (char c : std::string(".,-a \r")) EXPECT_FALSE(screen.OraKeyPress(5, c)) << int{c};

    std::vector<UtilitiesControl> visited;
    std::size_t box = ora::kHour;
    for (int step = 0; step < 6; ++step) {
        form.focus.reset();
        screen.OraKeyDown(box, kKeyEnter);
        ASSERT_TRUE(form.focus.has_value());
        visited.push_back(form.focus->control);
        box = static_cast<std::size_t>(form.focus->control) -
              static_cast<std::size_t>(UtilitiesControl::Ora0);
    }
    EXPECT_EQ(visited, (std::vector<UtilitiesControl>{
                           UtilitiesControl::Ora1, UtilitiesControl::Ora0, UtilitiesControl::Ora3,
                           UtilitiesControl::Ora4, UtilitiesControl::Ora5,
                           UtilitiesControl::ScrieDataOraBut}));
    form.focus.reset();
    screen.OraKeyDown(ora::kHour, kKeyEscape);
    EXPECT_EQ(form.focus, std::nullopt);
}

TEST_F(PrinterUtilitiesTest, PosNumberIsStoredInConfIniThenSent) {
    const struct {
        std::string typed;
        std::string shown;
        uint8_t stored;
        std::string payload;
    } cases[] = {
        {"", "1", 1, "\x01"},
        {"abc", "1", 1, "\x01"},
        {"300", "1", 1, "\x01"},
        {"0", "1", 1, "\x01"},
        {"99999999999999999999", "1", 1, "\x01"},
        {"7", "7", 7, "\x07"},
        {"254.6", "254.6", 255, "\xFF"},
        {"2.5", "2.5", 2, "\x02"},  // halves to even
        // A number that rounds to 0 goes as an empty payload: a text cannot
        // carry a zero byte.
        {"0.4", "0.4", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        kordal.calls.clear();
        form.NumarPOS = c.typed;
        screen.ScrieNrPOSBUTClick();
        EXPECT_EQ(form.NumarPOS, c.shown);
        EXPECT_EQ(ctx.settings.NRPOS, c.stored);
        EXPECT_EQ(CitesteIni(ctx, "Mag", "NRPOS"), std::to_string(c.stored));
        ASSERT_EQ(kordal.calls.size(), 1u);
        EXPECT_EQ(kordal.calls[0].command, 28);
        EXPECT_EQ(kordal.calls[0].payload, c.payload);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PrinterUtilitiesTest, PosNumberReportsThePrintersRefusalButKeepsTheNumber) {
    kordal.queueReply("TrimiteTelegrama", Accepted("", Status({{4, 0x04}})));
    form.NumarPOS = "9";
    screen.ScrieNrPOSBUTClick();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Executarea comenzii nu e permisa in regimul fiscal "
                                          "curent!",
                                          "Rutina Verificare", Icon::Information}}));
    EXPECT_EQ(CitesteIni(ctx, "Mag", "NRPOS"), "9");

    // A number below 0 is a failure before anything is stored or sent.
    ui.boxes.clear();
    kordal.calls.clear();
    form.NumarPOS = "-3";
    screen.ScrieNrPOSBUTClick();
    EXPECT_EQ(ctx.settings.NRPOS, 9);
    EXPECT_EQ(CitesteIni(ctx, "Mag", "NRPOS"), "9");
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Overflow"});
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"22.018", 6}}));
}

TEST_F(PrinterUtilitiesTest, StatusButtonsShowTheRawStatusAndTheTransaction) {
    const struct {
        std::string status;
        std::string shown;
        std::vector<std::string> boxes;
    } cases[] = {
        {Status(), "00000000", {}},
        // Each byte without its leading zero: S2 to S6 are one "0" each.
        {Status({{0, 0x80}, {1, 0x10}, {7, 0x20}}), "80100000020", {"Imprimanta fiscalizata!"}},
        {Status({{3, 0x40}, {6, 0xFF}}), "0004000FF0",
         {" Lipsa hartie!", "A aparut o eroare la inregistrarea in memoria fiscala !",
          "Memorie fiscala plina", "Mai sunt mai putin de 60 de inregistrari in memoria fiscala",
          "Nu exista modulul de memorie fiscala"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", Accepted("", c.status));
        screen.StareButClick();
        EXPECT_EQ(form.StareImp, c.shown);
        EXPECT_EQ(BoxTexts(), c.boxes);
    }

    ui.boxes.clear();
    kordal.queueReply("TrimiteTelegrama", Accepted(" 1,3,0,25 ", Status({{7, 0x20}})));
    screen.StareTranzClick();
    EXPECT_EQ(form.StareTranzactie, " 1,3,0,25 ");  // untrimmed
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Imprimanta fiscalizata!"});
    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{14, 14, 14, 2}));

    // Failed readings leave the boxes as they were.
    kordal.replyToCommand(14, Failed(library_result::kNoReply));
    kordal.replyToCommand(2, Failed(library_result::kNoReply));
    screen.StareButClick();
    screen.StareTranzClick();
    EXPECT_EQ(form.StareImp, "0004000FF0");
    EXPECT_EQ(form.StareTranzactie, " 1,3,0,25 ");
}

TEST_F(PrinterUtilitiesTest, ExitAsksForTheTradingChecksThatRestartPolling) {
    testing::PrinterLetsTradingStart(*this);
    ServicePOSClick(ctx);
    ASSERT_FALSE(ui.timerOn);
    ui.journal.clear();
    screen.ExitButClick();
    EXPECT_TRUE(ctx.VerificareLaActivare);
    EXPECT_EQ(WindowJournal(), (std::vector<std::string>{Shown(Window::Main),
                                                         Closed(Window::PrinterUtilities)}));
    ComenziActivate(ctx);
    EXPECT_TRUE(ui.timerOn);
}

}  // namespace
}  // namespace veltar
