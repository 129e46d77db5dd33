// The cash drawer sums screen against the scripted library: the typed
// amount, the printer's limit in both leu, the drawer totals and when the
// drawer opens.
#include "service/cash_drawer.h"

#include <gtest/gtest.h>

#include "service_test.h"
#include "shell/log.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Failed;
using testing::KordalReply;
using testing::LogEntry;
using testing::Status;

const MoneyState kNewLeu{1, 2, Amount::fromInt(10000)};
const MoneyState kOldLeu{0, 0, Amount::fromInt(1)};

class CashDrawerTest : public testing::ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        screen.Load();
    }

    SumaSertar screen{ctx};
    CashDrawerForm& form = screen.form();
};

TEST_F(CashDrawerTest, TheAmountBoxTakesThePointOnlyInTheNewLeu) {
    for (const MoneyState& money : {kNewLeu, kOldLeu}) {
        ctx.money = money;
        for (char c : std::string("+-0123456789\b")) EXPECT_TRUE(screen.SExistKeyPress(c)) << c;
        for (char c : std::string(", a\r*")) EXPECT_FALSE(screen.SExistKeyPress(c)) << c;
        EXPECT_EQ(screen.SExistKeyPress('.'), money.LeuGreu != 0);
    }
}

TEST_F(CashDrawerTest, TheSignedAmountGoesInThePrintersUnit) {
    const struct {
        MoneyState money;
        std::string typed;
        std::string payload;
    } cases[] = {
        {kNewLeu, "+12.50", "+125000"},
        {kNewLeu, "  -3  ", "-30000"},
        {kNewLeu, "+429496.7295", "+4294967295"},
        {kNewLeu, "+.5", "+5000"},
        {kOldLeu, "+1250", "+1250"},
        {kOldLeu, "-4294967295", "-4294967295"},
        {kNewLeu, "", ""},  // only the totals
        {kNewLeu, "   ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        kordal.calls.clear();
        ctx.money = c.money;
        form.SExist = c.typed;
        screen.ExecutaButClick();
        const auto sent = kordal.callsTo("InOutSume");
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].texts, std::vector<std::string>{c.payload});
        EXPECT_EQ(sent[0].port, kComPort);
        EXPECT_EQ(ctx.command.CodComanda, 42);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CashDrawerTest, AnAmountWithoutSignOrOverTheLimitIsNotSent) {
    const std::string sign =
        "In fata sumei introduse folositi '+' pentru introducere sau '-' pentru scoatere bani "
        "din casa";
    const struct {
        MoneyState money;
        std::string typed;
        Box box;
    } cases[] = {
        {kNewLeu, "12.50", {sign, "VELTAR 2000", Icon::Information}},
        {kNewLeu, " 5+", {sign, "VELTAR 2000", Icon::Information}},
        {kNewLeu, "+429496.7296", {"Suma nu poate depasi 429496.7295 !", "VELTAR2000", Icon::None}},
        {kNewLeu, "-99999999999999999999",
         {"Suma nu poate depasi 429496.7295 !", "VELTAR2000", Icon::None}},
        {kOldLeu, "+4294967296", {"Suma nu poate depasi 4294967295 !", "VELTAR2000", Icon::None}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.boxes.clear();
        ctx.money = c.money;
        form.SExist = c.typed;
        screen.ExecutaButClick();
        EXPECT_EQ(Boxes(), std::vector<Box>{c.box});
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(CashDrawerTest, ASignWithoutAPlainNumberAfterItIsAFailureNotAnAmount) {
    for (const std::string typed : {"+", "-", "+-5", "++5", "+1.2.3", "+5 0", "+12,50"}) {
        SCOPED_TRACE(typed);
        ui.boxes.clear();
        files.files.erase(kLogFile);
        form.SExist = typed;
        screen.ExecutaButClick();
        EXPECT_EQ(Boxes(), (std::vector<Box>{{"Type mismatch", "VELTAR2000", Icon::None}}));
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{"19.001", 13}}));
    }
    EXPECT_TRUE(kordal.calls.empty());
}

TEST_F(CashDrawerTest, TheTotalsAreShownInTheOperatorsUnitAndTheDrawerOpens) {
    const struct {
        MoneyState money;
        std::string reply;
        std::string inDrawer, putIn, takenOut;
    } cases[] = {
        {kNewLeu, "D,1250000,500000,0", "125", "50", "0"},
        {kNewLeu, "D,1234567,40,10   ", "123.4567", "0.004", "0.001"},
        {kOldLeu, "D,1234567,40,10", "1234567", "40", "10"},
        // The character after "D" is not read.
        {kOldLeu, "Dx120,40,10", "120", "40", "10"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        kordal.calls.clear();
        ctx.money = c.money;
        form.SExist = "";
        kordal.queueReply("InOutSume", Accepted(c.reply));
        screen.ExecutaButClick();
        EXPECT_EQ(form.SExist, c.inDrawer);
        EXPECT_EQ(form.SIntr, c.putIn);
        EXPECT_EQ(form.SIes, c.takenOut);
        EXPECT_EQ(kordal.commands(), (std::vector<int32_t>{42, 37}));
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CashDrawerTest, TheDrawerOpensUnlessThePrinterIsSilentOrRefused) {
    const struct {
        const char* name;
        KordalReply reply;
        std::vector<Box> boxes;
        bool opens;
        std::string shown;
    } cases[] = {
        {"no reply",
         Failed(library_result::kNoReply),
         {{"Lipsa comunicatie cu imprimanta.", "Tratare Erori POS", Icon::Error}},
         false,
         "+5"},
        {"refused",
         Accepted("D,1,2,3", Status({{4, 0x08}})),
         {{"Verificati imprimanta !", "NORVADE 2000", Icon::Information}},
         false,
         "+5"},
        {"accepted with a condition",
         Accepted("D,70000,50000,0", Status({{4, 0x04}})),
         {{"Executarea comenzii nu e permisa in regimul fiscal curent!", "Rutina Verificare",
           Icon::Information}},
         true,
         "7"},
        {"no totals in the reply", Accepted("OK"), {}, true, "+5"},
        // A damaged reply or an amount the library refused: no message of
        // this screen, and the drawer opens all the same.
        {"damaged reply", Failed(library_result::kChecksum), {}, true, "+5"},
        {"amount refused", Failed(library_result::kArgTooLong), {}, true, "+5"},
    };
    ctx.money = kNewLeu;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kordal.calls.clear();
        ui.boxes.clear();
        form.SExist = "+5";
        kordal.queueReply("InOutSume", c.reply);
        screen.ExecutaButClick();
        EXPECT_EQ(Boxes(), c.boxes);
        EXPECT_EQ(kordal.commands(), c.opens ? (std::vector<int32_t>{42, 37})
                                             : std::vector<int32_t>{42});
        EXPECT_EQ(form.SExist, c.shown);
    }
}

TEST_F(CashDrawerTest, AReplyWithoutBothCommasIsAFailureAndTheDrawerStaysShut) {
    form.SExist = "";
    form.SIntr = "1";
    kordal.queueReply("InOutSume", Accepted("D,1250000"));
    screen.ExecutaButClick();
    EXPECT_EQ(Boxes(), (std::vector<Box>{{"Invalid procedure call or argument", "VELTAR2000",
                                          Icon::None}}));
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"19.001", 5}}));
    EXPECT_EQ(kordal.commands(), std::vector<int32_t>{42});
    EXPECT_EQ(form.SIntr, "1");
}

TEST_F(CashDrawerTest, LoadEmptiesTheBoxesAndExitGoesBackWithoutTheChecks) {
    form = CashDrawerForm{"+1", "2", "3"};
    screen.Load();
    EXPECT_EQ(form.SExist + form.SIntr + form.SIes, "");

    ctx.VerificareLaActivare = false;
    screen.ExitButClick();
    EXPECT_FALSE(ctx.VerificareLaActivare);
    EXPECT_EQ(WindowJournal(), (std::vector<std::string>{Closed(Window::CashDrawer),
                                                         Shown(Window::Main)}));
    EXPECT_TRUE(kordal.calls.empty());
}

}  // namespace
}  // namespace veltar
