// The fiscal elements screen against the scripted library: what each button
// sends, what it shows, and how it reads the printer's answers.
#include "service/fiscal_elements.h"

#include <gtest/gtest.h>

#include <optional>

#include "service_test.h"
#include "shell/log.h"
#include "shell/windows/main_window.h"
#include "shell/windows/small_windows.h"
#include "windows_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Bytes;
using testing::Failed;
using testing::KordalReply;
using testing::LogEntry;
using testing::Status;

using Click = void (CfgElemFisc::*)();
using Field = std::string FiscalElementsForm::*;
using Focus = std::optional<FocusRequest<FiscalControl>>;

const Box kNoReplyBox{"Lipsa comunicatie cu imprimanta.", "VELTAR 2000", Icon::Error};
const Box kNotAllowedBox{"Executarea comenzii nu e permisa in regimul fiscal curent!",
                         "Rutina Verificare", Icon::Information};
const char* const kAllZero = "Cotele de TVA nu pot fi toate 0 sau vide!";
const char* const kDayEndFirst =
    "Cotele TVA nu se pot scrie decat dupa executarea raportului Z (Inchiderea de zi)";
const char* const kLeuQuestion =
    "ATENTIE! Acest Proces este ireversibil!\r\nSunteti siguri ca doriti sa treceti la Leu Greu?";

// The reply of 15: whole percent, a byte not read, hundredths, a byte not read.
std::string Rates(std::initializer_list<std::pair<int, int>> rates) {
    std::string data;
    for (const auto& [whole, hundredths] : rates) data += Bytes({whole, '.', hundredths, ','});
    return data;
}

// The reply of 51 and 52: the leu state, the switch's second, minute, hour,
// day, month, year, and its Z number.
std::string LeuState(int state, std::initializer_list<int> when = {0, 0, 0, 0, 0, 0},
                     int zNumber = 0) {
    std::string data = Bytes({state});
    for (int b : when) data += static_cast<char>(b);
    return data + Bytes({zNumber >> 8, zNumber & 0xFF});
}

class FiscalElementsTest : public testing::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        screen.Load();
    }

    CfgElemFisc screen{ctx};
    FiscalElementsForm& form = screen.form();
};

TEST_F(FiscalElementsTest, LoadEmptiesTheFieldsAndLocksWhatTheLastStatusForbids) {
    FiscalElementsButtons onlyRates;
    onlyRates.FiscalizareBut = onlyRates.ScrieSerieF = onlyRates.ScrieDenF =
        onlyRates.ScrieAdrF = onlyRates.ScrieCodF = false;
    FiscalElementsButtons noLeu;
    noLeu.cmdLeuGreu = false;
    FiscalElementsButtons neither = onlyRates;
    neither.cmdLeuGreu = false;
    const struct {
        int leuGreu;
        uint8_t s7;
        FiscalElementsButtons enabled;
    } cases[] = {
        {0, 0x00, FiscalElementsButtons{}},
        {0, 0x20, onlyRates},  // fiscalized: the identity is fixed
        {0, 0xDF, FiscalElementsButtons{}},
        {1, 0x00, noLeu},
        {1, 0x20, neither},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "LeuGreu " << c.leuGreu << ", S7 " << int{c.s7});
        form.DenFirma = "old";
        form.TVA[2] = "9";
        ctx.money.LeuGreu = c.leuGreu;
        ctx.command.OctetiStare[7] = c.s7;
        screen.Load();
        EXPECT_EQ(form.enabled, c.enabled);
        EXPECT_EQ(form.DenFirma, "");
        EXPECT_EQ(form.TVA[2], "");
    }
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FiscalElementsTest, ReadButtonsPutTheReplyTextWithoutLeadingBlanksIntoTheirField) {
    const struct {
        Click click;
        uint8_t code;
        Field field;
    } cases[] = {
        {&CfgElemFisc::CitesteSerieFClick, 44, &FiscalElementsForm::Seriefiscala},
        {&CfgElemFisc::CitesteDenFClick, 45, &FiscalElementsForm::DenFirma},
        {&CfgElemFisc::CitesteAdrFClick, 46, &FiscalElementsForm::AdresaFirma},
        {&CfgElemFisc::CitesteCodFClick, 47, &FiscalElementsForm::CodFisc},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.code});
        kordal.calls.clear();
        ui.boxes.clear();
        // The status is not judged for a read.
        kordal.queueReply("TrimiteTelegrama", Accepted("  MAGAZIN  SRL ", Status({{4, 0x08}})));
        (screen.*c.click)();
        EXPECT_EQ(form.*c.field, "MAGAZIN  SRL ");
        ASSERT_EQ(kordal.calls.size(), 1u);
        EXPECT_EQ(kordal.calls[0].command, c.code);
        EXPECT_EQ(kordal.calls[0].payload, "");

        // A read that fails keeps what the field held.
        kordal.queueReply("TrimiteTelegrama", Failed(library_result::kNoReply));
        (screen.*c.click)();
        EXPECT_EQ(form.*c.field, "MAGAZIN  SRL ");
        EXPECT_EQ(Boxes(), std::vector<Box>{kNoReplyBox});
    }
}

TEST_F(FiscalElementsTest, WritesRefuseAnEmptyOrTooLongTextAndGiveTheFieldBack) {
    const std::string sixteen = "RO12345678901234";
    const struct {
        Click click;
        Field field;
        FiscalControl control;
        std::string text;
        std::string message;
    } cases[] = {
        {&CfgElemFisc::ScrieDenFClick, &FiscalElementsForm::DenFirma, FiscalControl::DenFirma,
         "   ", "Trebuie scrisa Denumirea Firmei! "},
        {&CfgElemFisc::ScrieAdrFClick, &FiscalElementsForm::AdresaFirma,
         FiscalControl::AdresaFirma, "", "Trebuie scrisa Adresa Firmei! "},
        {&CfgElemFisc::ScrieCodFClick, &FiscalElementsForm::CodFisc, FiscalControl::CodFisc, " ",
         "Trebuie scris Codul Fiscal! "},
        {&CfgElemFisc::ScrieSerieFClick, &FiscalElementsForm::Seriefiscala,
         FiscalControl::Seriefiscala, "", "Trebuie scrisa Seria Fiscal! "},
        {&CfgElemFisc::ScrieCodFClick, &FiscalElementsForm::CodFisc, FiscalControl::CodFisc,
         sixteen, "Codul Fiscal nu poate contine mai mult de 15 caractere! "},
        {&CfgElemFisc::ScrieSerieFClick, &FiscalElementsForm::Seriefiscala,
         FiscalControl::Seriefiscala, " " + sixteen + " ",
         "Seria Fiscala nu poate contine mai mult de 15 caractere! "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ui.boxes.clear();
        form.focus.reset();
        form.*c.field = c.text;
        (screen.*c.click)();
        EXPECT_EQ(Boxes(), (std::vector<Box>{{c.message, "VELTAR2000", Icon::None}}));
        EXPECT_EQ(form.focus, (Focus{{c.control}}));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(FiscalElementsTest, WritesSendTheTrimmedTextWithTheirCode) {
    const std::string fifteen = "RO1234567890123";
    const std::string longName(60, 'N');
    const struct {
        Click click;
        Field field;
        std::string text;
        uint8_t code;
        std::string payload;
    } cases[] = {
        {&CfgElemFisc::ScrieCodFClick, &FiscalElementsForm::CodFisc, "  " + fifteen + "  ", 5,
         fifteen},
        {&CfgElemFisc::ScrieSerieFClick, &FiscalElementsForm::Seriefiscala, "AB 12 ", 43,
         "AB 12"},
        // Name and address have no length check of their own: the printer judges them.
        {&CfgElemFisc::ScrieDenFClick, &FiscalElementsForm::DenFirma, longName, 40, longName},
        {&CfgElemFisc::ScrieAdrFClick, &FiscalElementsForm::AdresaFirma, " STR. LUNGA 1", 41,
         "STR. LUNGA 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.code});
        kordal.calls.clear();
        form.*c.field = c.text;
        (screen.*c.click)();
        ASSERT_EQ(kordal.calls.size(), 1u);
        EXPECT_EQ(kordal.calls[0].command, c.code);
        EXPECT_EQ(kordal.calls[0].payload, c.payload);
        EXPECT_EQ(form.*c.field, c.text);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FiscalElementsTest, WriteShowsNoSuccessOnlyWhatWentWrong) {
    const struct {
        const char* name;
        KordalReply reply;
        std::vector<Box> boxes;
    } cases[] = {
        {"accepted", Accepted(), {}},
        {"not in this fiscal mode", Accepted("", Status({{4, 0x04}})), {kNotAllowedBox}},
        // The verdict comes first and stops at its own problem.
        {"invalid arguments",
         Accepted("", Status({{4, 0x14}})),
         {{"Codul sau argumentele comenzii primite nu sunt valabile!", "NORVADE 2000",
           Icon::Information}}},
        {"no reply", Failed(library_result::kNoReply), {kNoReplyBox}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", c.reply);
        form.DenFirma = "MAGAZIN";
        screen.ScrieDenFClick();
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(FiscalElementsTest, CitesteCoteShowsEachRateWithTwoDecimals) {
    kordal.queueReply("TrimiteTelegrama", Accepted(Rates({{19, 0}, {9, 0}, {0, 0}, {5, 5}})));
    screen.CitesteCoteClick();
    EXPECT_EQ(form.TVA, (std::array<std::string, 4>{"19.00", "9.00", "0.00", "5.05"}));

    kordal.queueReply("TrimiteTelegrama", Accepted(Rates({{9, 50}, {255, 99}, {24, 10}, {0, 9}})));
    screen.CitesteCoteClick();
    EXPECT_EQ(form.TVA, (std::array<std::string, 4>{"9.50", "255.99", "24.10", "0.09"}));
    EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{15, 15}));

    // A status problem or a failed read leaves the boxes as they were.
    kordal.queueReply("TrimiteTelegrama",
                      Accepted(Rates({{1, 0}, {1, 0}, {1, 0}, {1, 0}}), Status({{4, 0x08}})));
    screen.CitesteCoteClick();
    kordal.queueReply("TrimiteTelegrama", Failed(library_result::kChecksum));
    screen.CitesteCoteClick();
    EXPECT_EQ(form.TVA, (std::array<std::string, 4>{"9.50", "255.99", "24.10", "0.09"}));
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Verificati imprimanta !",
                                                    "Eroare CRC: CRC prost !"}));
}

TEST_F(FiscalElementsTest, ScrieCoteRefusesRatesThatAreAllZeroOrEmpty) {
    const std::array<std::string, 4> cases[] = {
        {"", "", "", ""},
        {"0", "0.00", ".", ""},
        {"00", "0.0.5", "", "0"},
    };
    for (const auto& rates : cases) {
        SCOPED_TRACE(rates[1]);
        ui.boxes.clear();
        form.TVA = rates;
        screen.ScrieCoteClick();
        EXPECT_EQ(Boxes(), (std::vector<Box>{{kAllZero, "VELTAR2000", Icon::None}}));
        EXPECT_EQ(form.focus, (Focus{{FiscalControl::TVAA}}));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(FiscalElementsTest, ScrieCoteSendsEachRateAsWholePercentAndHundredths) {
    const struct {
        std::array<std::string, 4> rates;
        std::vector<int32_t> bytes;
    } cases[] = {
        {{"19", "9.5", "0", ""}, {19, 0, 9, 50, 0, 0, 0, 0}},
        // Rounded to hundredths first (halves to even): 19.999 is 20 and 0,
        // never 19 and a hundredths byte of 100.
        {{"19.999", "9.994", "5.005", "5.015"}, {20, 0, 9, 99, 5, 0, 5, 2}},
        // The value stops before a second point.
        {{"7..5", "0.5", "255.99", "24.1"}, {7, 0, 0, 50, 255, 99, 24, 10}},
    };
    kordal.replyToCommand(command_code::kReadDayCounters, Accepted(Bytes({0, 0, 0, 7})));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rates[0]);
        kordal.calls.clear();
        form.TVA = c.rates;
        screen.ScrieCoteClick();
        EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{29, 4}));
        const auto writes = kordal.callsTo("ScrieCoteTVA");
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].numbers, c.bytes);
        EXPECT_EQ(writes[0].port, kComPort);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FiscalElementsTest, ScrieCoteWritesOnlyOnADayWithoutReceiptsAndReportsTheWrite) {
    const Box veltarNoReply{"Lipsa comunicatie cu imprimanta. Eroare IRECUPERABILA", "VELTAR 2000",
                            Icon::Error};
    const struct {
        const char* name;
        KordalReply dayCounters;
        KordalReply write;
        bool writes;
        std::vector<Box> boxes;
    } cases[] = {
        {"receipts today", Accepted(Bytes({0, 1, 0, 7})), Accepted(), false,
         {{kDayEndFirst, "VELTAR 2000", Icon::Information}}},
        {"many receipts today", Accepted(Bytes({1, 0, 0, 7})), Accepted(), false,
         {{kDayEndFirst, "VELTAR 2000", Icon::Information}}},
        {"check refused", Accepted(Bytes({0, 0, 0, 7}), Status({{4, 0x08}})), Accepted(), false,
         {{"Verificati imprimanta !", "NORVADE 2000", Icon::Information}}},
        {"after the day-end report", Accepted(Bytes({0, 0, 0, 7})), Accepted(), true, {}},
        // A check that fails lets the write go ahead.
        {"printer silent", Failed(library_result::kNoReply), Failed(library_result::kNoReply), true,
         {kNoReplyBox, veltarNoReply}},
        {"not in this fiscal mode", Accepted(Bytes({0, 0})), Accepted("", Status({{4, 0x04}})),
         true, {kNotAllowedBox}},
        {"damaged reply to the write", Accepted(Bytes({0, 0})), Failed(library_result::kSequence),
         true, {}},
    };
    form.TVA = {"19", "9", "5", "0"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        kordal.replyToCommand(command_code::kReadDayCounters, c.dayCounters);
        kordal.replyToCommand(command_code::kWriteVatRates, c.write);
        screen.ScrieCoteClick();
        EXPECT_EQ(kordal.callsTo("ScrieCoteTVA").size(), c.writes ? 1u : 0u);
        EXPECT_EQ(Boxes(), c.boxes);
    }
}

TEST_F(FiscalElementsTest, ScrieCoteEndsInTheFailurePathForARateThatDoesNotFitAByte) {
    const struct {
        std::string rate;
        std::vector<int32_t> commands;
    } cases[] = {
        {"256", {29}},
        {"255.999", {29}},  // rounds to 256
        // Too large to read at all: nothing is sent, and it is never taken for 0.
        {"99999999999999999999", {}},
    };
    kordal.replyToCommand(command_code::kReadDayCounters, Accepted(Bytes({0, 0})));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        kordal.calls.clear();
        ui.boxes.clear();
        files.files.erase(kLogFile);
        form.TVA = {"19", c.rate, "5", "0"};
        screen.ScrieCoteClick();
        EXPECT_EQ(kordal.commands(), c.commands);
        EXPECT_EQ(Boxes(), (std::vector<Box>{{"Overflow", "VELTAR2000", Icon::None}}));
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{"2.013", 6}}));
    }
}

TEST_F(FiscalElementsTest, ScrieCoteWithoutTheLibraryCountsAsNoReply) {
    kordal.setLibraryMissing(true);
    form.TVA = {"19", "9", "5", "0"};
    screen.ScrieCoteClick();
    const std::string missing =
        "libkordal.so: cannot open shared object file: No such file or directory";
    // The day-end check reports its own failure and the write goes ahead.
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{missing, missing}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"1.002" + missing, 48}, {"2.013", 48}}));
    EXPECT_EQ(ctx.command.RezultatComanda, library_result::kNoReply);
}

TEST_F(FiscalElementsTest, FiscalizareAsksFirstThenReportsWhatThePrinterSays) {
    const testing::ShownBox question{
        "Fiscalizarea imprimantei este IREVERSIBILA si nu se poate face decat O SINGURA DATA. "
        "\rDoriti fiscalizarea imprimantei?",
        "VELTAR 2000", Icon::Warning, Buttons::OkCancel};
    ui.answerNext(Answer::Cancel);
    screen.FiscalizareButClick();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, question.text);
    EXPECT_EQ(ui.boxes[0].title, question.title);
    EXPECT_EQ(ui.boxes[0].icon, question.icon);
    EXPECT_EQ(ui.boxes[0].buttons, question.buttons);
    EXPECT_TRUE(kordal.calls.empty());

    const Box memoryError{"A aparut o eroare la inregistrarea in memoria fiscala !",
                          "Rutina Verificare", Icon::Information};
    const Box notFiscalized{"Imprimanta nu a fost fiscalizata! Chemati service-ul",
                            "Rutina Verificare", Icon::Information};
    const struct {
        const char* name;
        KordalReply reply;
        std::vector<Box> boxes;
    } cases[] = {
        {"fiscalized", Accepted("", Status({{7, 0x20}})), {}},
        {"every check", Accepted("", Status({{4, 0x04}, {6, 0x08}})),
         {memoryError, notFiscalized, kNotAllowedBox}},
        {"not fiscalized", Accepted(), {notFiscalized}},
        {"verdict first",
         Accepted("", Status({{3, 0x40}})),
         {{"Lipsa hartie la imprimanta! Puneti hartie si apasati OK !", "NORVADE 2000",
           Icon::Information}}},
        {"no reply", Failed(library_result::kNoReply), {kNoReplyBox}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", c.reply);
        screen.FiscalizareButClick();
        EXPECT_EQ(kordal.commands(), std::vector<int32_t>{30});
        std::vector<Box> shown = Boxes();
        ASSERT_FALSE(shown.empty());
        shown.erase(shown.begin());  // the question
        EXPECT_EQ(shown, c.boxes);
    }
    // Fiscalizing locks nothing until the screen opens again.
    EXPECT_TRUE(form.enabled.FiscalizareBut && form.enabled.ScrieSerieF &&
                form.enabled.ScrieDenF && form.enabled.ScrieAdrF && form.enabled.ScrieCodF);
}

TEST_F(FiscalElementsTest, LeuSwitchIsAllowedFromThe30thOfJune2005) {
    const struct {
        DateTime today;
        std::vector<std::string> boxes;
    } cases[] = {
        {{2005, 6, 29, 23, 59, 59},
         {"Trecerea la Leul Greu nu se poate face decat incepand cu data de 30.06.2005!"}},
        {{2004, 12, 31, 12, 0, 0},
         {"Trecerea la Leul Greu nu se poate face decat incepand cu data de 30.06.2005!"}},
        {{2005, 6, 30, 0, 0, 0}, {kLeuQuestion}},
        {{2005, 6, 30, 18, 30, 0}, {kLeuQuestion}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(FormatDateTime(c.today));
        ui.boxes.clear();
        clock.set(c.today);
        ui.answerNext(Answer::No);
        screen.cmdLeuGreuClick();
        EXPECT_EQ(BoxTexts(), c.boxes);
        ui.script.clear();
    }
    // Refused, or No to the question: nothing reaches the printer.
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_EQ(ui.boxes.back().buttons, Buttons::YesNo);
}

TEST_F(FiscalElementsTest, LeuSwitchChecksThePrinterFirstAndKeepsTheAmountsInStep) {
    const auto when = {0x10, 0x59, 0x23, 0x30, 0x06, 0x05};
    const struct {
        const char* name;
        KordalReply clock;
        KordalReply state;
        KordalReply switched;
        std::vector<int32_t> commands;
        std::vector<Box> boxes;
        bool buttonEnabled;
        int leuGreu;
    } cases[] = {
        {"switched", Accepted(Bytes({0, 0, 9, 1, 7, 5})), Accepted(LeuState(0xFF)),
         Accepted(LeuState(0x00, when, 412)), {32, 52, 51},
         {{"S-a realizat trecerea la Leu Greu", "VELTAR2000", Icon::None}}, false, 1},
        {"already switched", Accepted(Bytes({0, 0, 9, 1, 7, 5})),
         Accepted(LeuState(0x00, when, 412)), Accepted(), {32, 52},
         {{"Imprimanta este setata deja pe leu greu!", "VELTAR2000", Icon::None}}, true, 1},
        {"no leu commands", Accepted(Bytes({0, 0, 9, 1, 7, 5})),
         Accepted("", Status({{5, 0x04}})), Accepted(), {32, 52},
         {{"Nu exista Comanda Citire Leu Greu!", "Rutina Verificare", Icon::Information}}, true,
         0},
        {"receipt open", Accepted(Bytes({0, 0, 9, 1, 7, 5})), Accepted(LeuState(0xFF)),
         Accepted(LeuState(0xFF), Status({{5, 0x10}})), {32, 52, 51},
         {{"Comanda interzisa. Este deschis un bon fiscal!", "NORVADE 2000", Icon::Information},
          {"Nu s-a reusit trecerea la Leu Greu!", "VELTAR2000", Icon::None}},
         true, 0},
        {"printer clock unreadable", Failed(library_result::kNoReply), Accepted(), Accepted(),
         {32},
         {{testing::kNoReplyText, "NORVADE 2000", Icon::Error}}, true, 0},
    };
    clock.set({2026, 3, 2, 9, 0, 0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        ctx.money = MoneyState{0, 0, Amount::fromInt(1)};  // the trading checks found the old leu
        screen.Load();
        kordal.replyToCommand(command_code::kReadDateTime, c.clock);
        kordal.replyToCommand(command_code::kReadLeuState, c.state);
        kordal.replyToCommand(command_code::kSwitchLeu, c.switched);
        screen.cmdLeuGreuClick();
        EXPECT_EQ(kordal.commands(), c.commands);
        std::vector<Box> shown = Boxes();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.front().text, kLeuQuestion);
        shown.erase(shown.begin());
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(form.enabled.cmdLeuGreu, c.buttonEnabled);
        EXPECT_EQ(ctx.money.LeuGreu, c.leuGreu);
        // Cash amounts follow the printer's leu at once, not only at the
        // next trading checks.
        EXPECT_EQ(ctx.money.FactorLeu, Amount::fromInt(c.leuGreu ? 10000 : 1));
        EXPECT_EQ(ctx.money.NrZecimale, c.leuGreu ? 2 : 0);
    }
}

TEST_F(FiscalElementsTest, VerifLeuGreuReportsWhetherAndWhenTheSwitchWasMade) {
    const struct {
        const char* name;
        KordalReply reply;
        Box box;
    } cases[] = {
        {"switched",
         Accepted(LeuState(0x00, {0x10, 0x59, 0x23, 0x30, 0x06, 0x05}, 412)),
         {"S-a facut trecerea la Leu Greu pe data de: 30.06.2005 23:59:10 si nr z: 412!",
          "VELTAR2000", Icon::None}},
        // The time is written also at midnight.
        {"switched at midnight",
         Accepted(LeuState(0x00, {0x00, 0x00, 0x00, 0x01, 0x07, 0x05}, 7)),
         {"S-a facut trecerea la Leu Greu pe data de: 01.07.2005 00:00:00 si nr z: 7!",
          "VELTAR2000", Icon::None}},
        {"old leu", Accepted(LeuState(0xFF)),
         {"Nu s-a facut trecerea la Leu Greu!", "VELTAR2000", Icon::None}},
        {"no leu commands", Accepted("", Status({{5, 0x04}})),
         {"Nu exista Comanda Citire Leu Greu! Verificati Kordal.dll si procesor imprimanta",
          "Rutina Verificare", Icon::Information}},
        {"no reply", Failed(library_result::kNoReply),
         {testing::kNoReplyText, "NORVADE 2000", Icon::Error}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        kordal.queueReply("TrimiteTelegrama", c.reply);
        screen.cmdVerifLeuGreuClick();
        EXPECT_EQ(Boxes(), std::vector<Box>{c.box});
    }
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>(5, 52));
}

TEST_F(FiscalElementsTest, UnexpectedFailuresLogTheLocationCodeOrTheLeuHandlersName) {
    const struct {
        const char* name;
        Click click;
        std::string failingBox;
        LogEntry logged;
    } cases[] = {
        {"leu switch", &CfgElemFisc::cmdLeuGreuClick, kLeuQuestion,
         {"cmdLeuGreu Out of memory", 7}},
        {"leu check", &CfgElemFisc::cmdVerifLeuGreuClick, "Nu s-a facut trecerea la Leu Greu!",
         {"cmdVerifLeuGreu Out of memory", 7}},
        {"fiscalize", &CfgElemFisc::FiscalizareButClick,
         "Fiscalizarea imprimantei este IREVERSIBILA si nu se poate face decat O SINGURA DATA. "
         "\rDoriti fiscalizarea imprimantei?",
         {"2.010", 7}},
        {"name write", &CfgElemFisc::ScrieDenFClick, "Trebuie scrisa Denumirea Firmei! ",
         {"2.014", 7}},
    };
    kordal.replyToCommand(command_code::kReadLeuState, Accepted(LeuState(0xFF)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        files.files.erase(kLogFile);
        FailAtBox(c.failingBox);
        (screen.*c.click)();
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{c.failingBox, "Out of memory"}));
        EXPECT_EQ(Log(), std::vector<LogEntry>{c.logged});
        EXPECT_LE(kordal.calls.size(), 1u);  // nothing after the failure
    }
}

TEST_F(FiscalElementsTest, RateBoxesTakeDigitsAndPointsAndEnterMovesOn) {
    for (char c : std::string("0123456789.\b")) {
        EXPECT_TRUE(screen.TVAKeyPress(0, c)) << int{c};
    }
    for (char c : std::string("a,-+ \r\t%")) {
        EXPECT_FALSE(screen.TVAKeyPress(3, c)) << int{c};
    }

    const struct {
        std::size_t box;
        int key;
        Focus focus;
    } cases[] = {
        {0, kKeyEnter, {{FiscalControl::TVAB}}},
        {1, kKeyEnter, {{FiscalControl::TVAC}}},
        {2, kKeyEnter, {{FiscalControl::TVAD}}},
        {3, kKeyEnter, std::nullopt},  // Enter in the last box stays there
        {0, kKeyEscape, std::nullopt},
    };
    for (const auto& c : cases) {
        form.focus.reset();
        screen.TVAKeyDown(c.box, c.key);
        EXPECT_EQ(form.focus, c.focus) << c.box;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FiscalElementsTest, DoubleClickAsksForAViewerOfTheFieldsText) {
    form.Seriefiscala = "AB";
    form.DenFirma = "MAGAZIN TEST SRL";
    form.AdresaFirma = "STR. LUNGA 1, BL. 4, SC. B, AP. 12, SECTOR 3, BUCURESTI";
    form.CodFisc = "RO123";
    form.TVA = {"19.00", "9.00", "5.00", ""};
    const struct {
        FiscalControl field;
        std::string text;
    } cases[] = {
        {FiscalControl::Seriefiscala, "AB"},   {FiscalControl::DenFirma, form.DenFirma},
        {FiscalControl::AdresaFirma, form.AdresaFirma}, {FiscalControl::CodFisc, "RO123"},
        {FiscalControl::TVAA, "19.00"},        {FiscalControl::TVAD, ""},
    };
    for (const auto& c : cases) {
        form.viewerText.reset();
        screen.DoubleClick(c.field);
        EXPECT_EQ(form.viewerText, std::optional<std::string>(c.text));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(FiscalElementsTest, ExitShowsTheMainWindowAndAsksForTheActivationChecks) {
    for (bool checks : {false, true}) {
        ui.journal.clear();
        ctx.VerificareLaActivare = checks;
        screen.ExitButClick();
        EXPECT_TRUE(ctx.VerificareLaActivare);
        EXPECT_EQ(WindowJournal(), (std::vector<std::string>{Shown(Window::Main),
                                                             Closed(Window::FiscalElements)}));
    }
}

TEST_F(FiscalElementsTest, FromTheServiceMenuAndBackPollingStartsAgainWhenTheChecksPass) {
    // The service menu stops polling; coming back through this screen must
    // not leave it stopped for good.
    testing::PrinterLetsTradingStart(*this);
    ui.setPollingTimer(true);
    ServicePOSClick(ctx);
    ServiceFiscalClick(ctx);
    screen.Load();
    EXPECT_FALSE(ui.timerOn);
    screen.ExitButClick();
    ComenziActivate(ctx);
    EXPECT_TRUE(ui.timerOn);
    EXPECT_FALSE(kordal.calls.empty());
}

}  // namespace
}  // namespace veltar
