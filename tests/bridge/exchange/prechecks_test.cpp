// The checks before trading: every outcome of the sequence (error file,
// boxes, polling timer, end of the program) and the reading of TVA.TXT
// against the printer's rates.
#include "exchange/prechecks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "command/codes.h"
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

constexpr const char* kTitle = "MAGAZIN";
constexpr const char* kVat = "TVA.TXT";

const std::string kNoVatFile = "Fisierul TVA.TXT nu exista!";
const std::string kEmptyVatFile =
    "Fisierul TVA.TXT este vid. Scrieti cele 4 cotele TVA separate prin TAB (09h) si lansati "
    "inca o data programul! ";
const std::string kMalformedVatFile =
    " Fisiertul TVA.TXT contine erori de structura! Tranzactiile nu se pot efectua !";
const std::string kRatesDiffer =
    "Atentie! Cotele de TVA din imprimanta nu corespund cu cotele transmise in fisierul "
    "TVA.TXT. Tranzactiile nu se pot efectua.!";
const std::string kDateLost =
    "Data si ora nedeterminate dupa ultima stergere RAM! Setati data/ora din ecranul de service!";

// The reply of command 15: whole percent, ".", hundredths, "," for each group.
std::string Rates(std::array<int, 8> values) {
    std::string data;
    for (std::size_t k = 0; k < 4; ++k) {
        data += Bytes({values[2 * k], '.', values[2 * k + 1], ','});
    }
    return data;
}

const std::string kLeuOld = Bytes({0xFF});
const std::string kLeuNew = Bytes({0x00, 0x00, 0x00, 0x12, 0x30, 0x06, 0x05, 0x00, 0x07});

class PrechecksTest : public testing::ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        ctx.settings.Titlu = kTitle;
        // A printer that may trade, counting in the old leu, with the file's rates.
        kordal.replyToCommand(command_code::kPrinterStatus, Accepted());
        kordal.replyToCommand(command_code::kReadLeuState, Accepted(kLeuOld));
        kordal.replyToCommand(command_code::kReadVatRates, Accepted(Rates({19, 0, 9, 0, 0, 0, 0, 0})));
        Put(kVat, "19\t9\t0\t0\t\r\n");
        // Polling was running (the checks again on activation), so that a
        // timer left alone can be told from one switched off.
        ui.timerOn = true;
    }

    enum class End { Stays, Ends, EndsAtOnce };

    End HowItEnded() const {
        const auto closes = kordal.callsTo("InchidePort");
        if (closes.empty() && ui.quitCalls == 0) return End::Stays;
        EXPECT_EQ(closes.size(), 1u);
        if (!closes.empty()) {
            EXPECT_EQ(closes[0].port, kComPort);
        }
        EXPECT_EQ(ui.quitCalls, 1);
        const bool windowClosed =
            !ui.windowEvents.empty() &&
            ui.windowEvents.back() ==
                testing::ScriptedWindowServices::WindowEvent{
                    testing::ScriptedWindowServices::WindowEvent::Kind::Close, Window::Main};
        return windowClosed ? End::Ends : End::EndsAtOnce;
    }
};

struct Outcome {
    const char* cause;
    std::function<void(testing::TestDoubles&)> arrange;
    std::string errorFile;  // empty: ERR.TXT not written
    std::vector<Box> boxes;
    std::vector<bool> timerSwitches;
    int end;  // PrechecksTest::End
};

class VerificariPornireOutcome : public PrechecksTest,
                                 public ::testing::WithParamInterface<Outcome> {};

TEST_P(VerificariPornireOutcome, EndsAsItsFirstCauseSays) {
    const Outcome& c = GetParam();
    c.arrange(*this);

    VerificariPornire(ctx);

    EXPECT_EQ(files.content(kErrorFile), c.errorFile.empty() ? "" : c.errorFile + "\r\n");
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(ui.timerSwitches, c.timerSwitches);
    EXPECT_EQ(static_cast<int>(HowItEnded()), c.end);
}

constexpr int kStays = 0, kEnds = 1, kEndsAtOnce = 2;
const char* const kRutina = kTitleRutinaVerificare;
const char* const kVeltar = kTitleVeltarSpaced;
auto Status14(std::string status) {
    return [status](testing::TestDoubles& t) {
        t.kordal.replyToCommand(command_code::kPrinterStatus, Accepted("", status));
    };
}

INSTANTIATE_TEST_SUITE_P(
    Causes, VerificariPornireOutcome,
    ::testing::Values(
        Outcome{"StatusQueryFails",
                [](testing::TestDoubles& t) {
                    t.kordal.replyToCommand(command_code::kPrinterStatus,
                                            Failed(library_result::kNoReply));
                },
                kNoReplyText, {{kNoReplyText, kRutina, Icon::Information}}, {}, kStays},
        Outcome{"DateLost", Status14(Status({{4, 0x20}})), kDateLost,
                {{kDateLost, kRutina, Icon::Information}}, {}, kStays},
        // Reported together, the full memory alone is told.
        Outcome{"FiscalMemoryFull", Status14(Status({{6, 0x40}, {4, 0x01}})),
                "Memorie fiscala plina! Trebuie schimbata memoria fiscala.",
                {{"Memorie fiscala plina! Trebuie schimbata memoria fiscala. Chemati service-ul ",
                  kRutina, Icon::Information}},
                {false}, kStays},
        Outcome{"VatRatesInvalid", Status14(Status({{4, 0x01}})),
                "Cote TVA nevalide! Setati cotele din ecranul de SERVICE",
                {{"Cote TVA nevalide! Setati cotele din ecranul de SERVICE, apoi OPRITI si "
                  "REPORNITI programul.",
                  kRutina, Icon::Information}},
                {false}, kStays},
        Outcome{"FewRecordsOnlyWarns", Status14(Status({{6, 0x20}})), "",
                {{"Mai sunt mai putin de 60 de inregistari in memoria fiscala!", kRutina,
                  Icon::Information}},
                {true}, kStays},
        Outcome{"FewRecordsThenDisplayMissing", Status14(Status({{6, 0x24}})),
                "Lipsa display client ! Porniti sau cuplati la imprimanta display-ul client",
                {{"Mai sunt mai putin de 60 de inregistari in memoria fiscala!", kRutina,
                  Icon::Information},
                 {"Lipsa display client ! Porniti sau cuplati la imprimanta display-ul client, "
                  "apoi reporniti VELTAR 2000",
                  kVeltar, Icon::Error}},
                {}, kEnds},
        Outcome{"DayOlderThan24Hours", Status14(Status({{6, 0x01}})),
                "Au trecut 24 de ore de la primul bon fiscal. ",
                {{"Au trecut 24 de ore de la primul bon fiscal. \r\nTrebuie executat Inchidere Zi "
                  "(Raport Z)!",
                  kProgramTitle, Icon::None}},
                {false}, kStays},
        Outcome{"LeuReadFails",
                [](testing::TestDoubles& t) {
                    t.kordal.replyToCommand(command_code::kReadLeuState,
                                            Failed(library_result::kNoReply));
                },
                "Nu s-a putut da Citire Leu Greu! Verificati Imprimanta.",
                {{kNoReplyText, kTitleNorvade, Icon::Error},  // the read's own box
                 {"Nu s-a putut da Citire Leu Greu! Verificati Imprimanta. Programul trebuie "
                  "restartat!",
                  kProgramTitle, Icon::None}},
                {}, kEnds},
        Outcome{"VatFileMissing", [](testing::TestDoubles& t) { t.files.files.erase(kVat); },
                kNoVatFile, {{kNoVatFile, kVeltar, Icon::Error}}, {false}, kStays},
        Outcome{"VatFileEmpty", [](testing::TestDoubles& t) { t.files.files[kVat] = ""; }, kEmptyVatFile,
                {{kEmptyVatFile, kTitle, Icon::None}}, {false}, kStays},
        Outcome{"VatFileMalformed",
                [](testing::TestDoubles& t) { t.files.files[kVat] = "19\t9\t0\t0"; },
                kMalformedVatFile,
                {{kMalformedVatFile, kTitle, Icon::None}}, {}, kEndsAtOnce},
        Outcome{"ReadRatesFails",
                [](testing::TestDoubles& t) {
                    t.kordal.replyToCommand(command_code::kReadVatRates,
                                            Failed(library_result::kNoReply));
                },
                kNoReplyText, {{kNoReplyText, kTitle, Icon::None}}, {}, kEndsAtOnce},
        Outcome{"RatesDiffer",
                [](testing::TestDoubles& t) { t.files.files[kVat] = "19\t9\t0\t5\t"; },
                kRatesDiffer,
                {{kRatesDiffer, kTitle, Icon::None}}, {false}, kStays},
        // The first tick runs at once and switches polling on.
        Outcome{"AllPass", [](testing::TestDoubles&) {}, "", {}, {true}, kStays}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::string(info.param.cause); });

TEST_F(PrechecksTest, AFailedStatusQueryRunsNoFurtherCheck) {
    kordal.replyToCommand(command_code::kPrinterStatus, Accepted("", Status({{4, 0x20}, {6, 0x40}})));
    VerificariPornire(ctx);
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>{command_code::kPrinterStatus});
    EXPECT_TRUE(ui.timerOn);  // trading goes on as it was; at load it stays stopped
}

TEST_F(PrechecksTest, SetsTheMoneyStateFromThePrintersLeu) {
    const struct {
        std::string reply;
        testing::KordalReply leu;
        int leuGreu;
        int decimals;
        int64_t factor;
    } cases[] = {
        {"redenominated", Accepted(kLeuNew), 1, 2, 10000},
        {"old leu", Accepted(kLeuOld), 0, 0, 1},
        // A printer without the leu commands counts in the old leu.
        {"no leu commands", Accepted("", Status({{5, 0x04}})), 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        ctx.money = MoneyState{};
        ctx.exchange.programEnded = false;
        kordal.replyToCommand(command_code::kReadLeuState, c.leu);
        VerificariPornire(ctx);
        EXPECT_EQ(ctx.money.LeuGreu, c.leuGreu);
        EXPECT_EQ(ctx.money.NrZecimale, c.decimals);
        EXPECT_EQ(ctx.money.FactorLeu, Amount::fromInt(c.factor));
    }
    EXPECT_TRUE(ui.boxes.empty());
}

// --- VerificaCoteTVA ---

TEST_F(PrechecksTest, ComparesTheFirstLineOfTheVatFileWithThePrinter) {
    const struct {
        std::string file;
        std::array<int, 8> printer;
        bool equal;
    } cases[] = {
        {"19\t9\t0\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, true},
        {"19.00\t9.00\t0\t0\t\r\n", {19, 0, 9, 0, 0, 0, 0, 0}, true},
        {"19.001\t9\t0\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, false},
        {"19.00001\t9\t0\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, true},  // four decimals
        {"19.00005\t9\t0\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, true},  // halves to even
        {"19.00015\t9\t0\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, false},
        {"19\t\t0\t0\t", {19, 0, 0, 0, 0, 0, 0, 0}, true},  // two TABs: the empty rate is 0
        {"9.5\t24\t5\t0\tanything\r\n1\t1\t1\t1\t", {9, 50, 24, 0, 5, 0, 0, 0}, true},
        {" 19%\tabc\t+5\t-0\t", {19, 0, 0, 0, 5, 0, 0, 0}, true},  // the leading-number rule
        {"0\t9\t19\t0\t", {19, 0, 9, 0, 0, 0, 0, 0}, false},  // the order of the groups counts
        {"19\t9\t0\t0.01\t", {19, 0, 9, 0, 0, 0, 0, 1}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ui.boxes.clear();
        Put(kVat, c.file);
        kordal.replyToCommand(command_code::kReadVatRates, Accepted(Rates(c.printer)));
        EXPECT_EQ(VerificaCoteTVA(ctx), c.equal);
        const std::vector<Box> differ{{kRatesDiffer, kTitle, Icon::None}};
        EXPECT_EQ(Boxes(), c.equal ? std::vector<Box>() : differ);
        EXPECT_EQ(HowItEnded(), End::Stays);
    }
    EXPECT_EQ(ctx.exchange.CoteTVAImp[3], Amount::fromRaw(100));
    EXPECT_EQ(ctx.exchange.CoteTVAFisier[3], Amount::fromRaw(100));
}

TEST_F(PrechecksTest, AVatFileWithoutItsFourTabsEndsTheProcess) {
    for (const std::string file : {"19\t9\t0\t0", "\r\n19\t9\t0\t0\t", "19 9 0 0"}) {
        SCOPED_TRACE(file);
        ui.boxes.clear();
        ui.quitCalls = 0;
        kordal.calls.clear();
        Put(kVat, file);
        EXPECT_FALSE(VerificaCoteTVA(ctx));
        EXPECT_EQ(Boxes(), (std::vector<Box>{{kMalformedVatFile, kTitle, Icon::None}}));
        EXPECT_EQ(HowItEnded(), End::EndsAtOnce);
        // The rates are not even asked for.
        EXPECT_TRUE(kordal.commands().empty());
    }
}

TEST_F(PrechecksTest, AnEmptyVatFileKeepsTheProgramOpenForALaterRun) {
    Put("tva.txt", "");
    files.files.erase(kVat);
    EXPECT_FALSE(VerificaCoteTVA(ctx));
    EXPECT_EQ(Boxes(), (std::vector<Box>{{kEmptyVatFile, kTitle, Icon::None}}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"ScrieErrInFis:" + kEmptyVatFile, 0},
                                            {"WriteDisplay:" + kEmptyVatFile, 100}}));
    EXPECT_EQ(HowItEnded(), End::Stays);

    Put("tva.txt", "19\t9\t0\t0\t");
    EXPECT_TRUE(VerificaCoteTVA(ctx));
    EXPECT_TRUE(Has("tva.txt"));  // only read, never deleted
}

TEST_F(PrechecksTest, OtherFailuresAreShownLoggedAndStopTrading) {
    const std::string eacces = std::strerror(EACCES);
    const struct {
        const char* what;
        std::function<void()> arrange;
        std::string description;
        int number;
    } cases[] = {
        {"unreadable", [&] { files.failOn(testing::FileOperation::Read, kVat, EACCES, 1); },
         eacces, EACCES},
        {"rate too large", [&] { Put(kVat, "19\t99999999999999999999\t0\t0\t"); }, "Overflow",
         error_number::kOverflow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.boxes.clear();
        files.files.erase(kLogFile);
        c.arrange();
        EXPECT_FALSE(VerificaCoteTVA(ctx));
        EXPECT_EQ(Boxes(), (std::vector<Box>{{c.description, kTitle, Icon::None}}));
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{"WriteDisplay:" + c.description, 100},
                                                {"1.003" + c.description, c.number}}));
        EXPECT_EQ(HowItEnded(), End::Stays);
    }

    // Through the whole sequence, trading stops.
    files.failOn(testing::FileOperation::Read, kVat, EACCES, 1);
    VerificariPornire(ctx);
    EXPECT_EQ(ui.timerSwitches, std::vector<bool>{false});
    EXPECT_FALSE(Has(kErrorFile));
}

}  // namespace
}  // namespace veltar
