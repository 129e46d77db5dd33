// The sale line and the cash drawer: the texts handed to the library, every
// result, and the drawer sums read back.
#include "command/sale.h"

#include <gtest/gtest.h>

#include "command_test.h"

namespace veltar {
namespace {

using testing::Accepted;
using testing::Box;
using testing::Failed;
using testing::LogEntry;
using testing::Status;

using testing::kNoReplyText;

Amount Value(double v) {
    return Amount::fromDouble(v);
}

class SaleTest : public testing::CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ctx.sale = SaleLine{};
        ctx.sale.DenumireArticol = "PAINE";
        ctx.sale.CantitateArticol = Value(1);
        ctx.sale.PretArticol = Value(250);
        ctx.sale.GrupaTVA = "A";
    }
    testing::KordalCall LastSale() const {
        const auto calls = kordal.callsTo("VanzareAfisareMarfa");
        return calls.empty() ? testing::KordalCall{} : calls.back();
    }
};

TEST_F(SaleTest, VanzareMarfaComposesTheTextsTheLibraryReads) {
    const struct {
        const char* name;
        double quantity;
        uint8_t negative;
        double price;
        const char* group;
        uint8_t percentActive;
        double percent;
        char decimal;
        int kind;
        const char* quantityText;
        const char* priceText;
    } cases[] = {
        {"plain line", 2, 0, 250, "A", 0, 0, '.', 'A', "2", "+250"},
        {"negative with a discount", 1.5, 1, 1000, "B", 1, -5.5, ',', 'B', "1,5", "-1000,-0550"},
        {"regional point", 1.5, 0, 1000, "C", 0, 0, '.', 'C', "1.5", "+1000"},
        {"markup", 1, 0, 100, "D", 1, 12.25, '.', 'D', "1", "+100,1225"},
        {"small markup", 1, 0, 100, "A", 1, 0.05, '.', 'A', "1", "+100,0005"},
        {"largest discount", 1, 0, 100, "A", 1, -99.99, '.', 'A', "1", "+100,-9999"},
        {"zero percent", 1, 0, 100, "A", 1, 0, '.', 'A', "1", "+100"},
        {"percent not active", 1, 0, 100, "A", 0, 7, '.', 'A', "1", "+100"},
        {"exempt group is blank", 0.125, 0, 7, "E", 0, 0, '.', ' ', "0.125", "+7"},
        {"blank group", 3, 0, 7, " ", 0, 0, '.', ' ', "3", "+7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ctx.regional.decimal = c.decimal;
        ctx.sale.CantitateArticol = Value(c.quantity);
        ctx.sale.LinieNegativa = c.negative;
        ctx.sale.PretArticol = Value(c.price);
        ctx.sale.GrupaTVA = c.group;
        ctx.sale.ProcentActiv = c.percentActive;
        ctx.sale.ProcentArticol = Value(c.percent);
        std::string response = "-";
        EXPECT_TRUE(VanzareMarfa(ctx, response));
        const testing::KordalCall call = LastSale();
        ASSERT_EQ(call.texts.size(), 4u);
        EXPECT_EQ(call.port, kComPort);
        EXPECT_EQ(call.texts[0], "PAINE");
        EXPECT_EQ(call.texts[1], c.quantityText);
        EXPECT_EQ(call.texts[2], c.priceText);
        EXPECT_EQ(call.texts[3], std::string(10, ' '));
        EXPECT_EQ(call.numbers, std::vector<int32_t>{c.kind});
        EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);
    }
}

TEST_F(SaleTest, VanzareMarfaCutsTheNameInTheSharedLine) {
    const std::string name50 = "ABCDEFGHIJ0123456789abcdefghij0123456789KLMNOPQRST";
    ctx.sale.DenumireArticol = name50;
    std::string response;
    EXPECT_TRUE(VanzareMarfa(ctx, response));
    EXPECT_EQ(LastSale().texts[0], name50.substr(0, 40));
    EXPECT_EQ(ctx.sale.DenumireArticol, name50.substr(0, 40));
}

TEST_F(SaleTest, VanzareMarfaReportsEveryResultAndClearsThePercentWhereTheLineIsDone) {
    const struct {
        testing::KordalReply reply;
        bool returns;
        const char* text;  // nullptr: nothing reported
        const char* title;
        Icon icon;
        uint8_t percentActiveAfter;
    } cases[] = {
        {Accepted(), true, nullptr, nullptr, Icon::None, 0},
        {Accepted("", Status({{4, 0x10}})), false,
         "Codul sau argumentele comenzii primite nu sunt valabile!", "NORVADE 2000",
         Icon::Information, 1},
        {Failed(library_result::kNoReply), false, kNoReplyText, "NORVADE 2000", Icon::Error, 1},
        {Failed(library_result::kChecksum), false, "Eroare CRC: CRC prost! ", "NORVADE 2000",
         Icon::Error, 1},
        {Failed(library_result::kArgMissing), false, "Lipsa text descriere produs", "VELTAR 2000",
         Icon::Error, 1},
        {Failed(library_result::kArgKind), false, "Cote TVA invalide", "VELTAR 2000", Icon::Error,
         1},
        {Failed(library_result::kArgRange), false, nullptr, nullptr, Icon::None, 0},
        {Failed(library_result::kArgDisplay), false, nullptr, nullptr, Icon::None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("result " + std::to_string(c.reply.result));
        for (const std::string initial : {"-", ""}) {
            ui.boxes.clear();
            ctx.sale.ProcentActiv = 1;
            ctx.sale.ProcentArticol = Value(5);
            kordal.queueReply("VanzareAfisareMarfa", c.reply);
            std::string response = initial;
            EXPECT_EQ(VanzareMarfa(ctx, response), c.returns);
            EXPECT_EQ(ctx.sale.ProcentActiv, c.percentActiveAfter);
            EXPECT_EQ(ctx.command.RezultatComanda, c.reply.result);
            if (initial == "-") {
                EXPECT_EQ(response, "-");
                std::vector<Box> expected;
                if (c.text)
                    expected.push_back({c.text, c.title, c.icon});
                EXPECT_EQ(Boxes(), expected);
            } else {
                EXPECT_TRUE(ui.boxes.empty());
                EXPECT_EQ(response, c.text ? c.text : "");
            }
        }
    }
}

TEST_F(SaleTest, VanzareMarfaRunTimeFailureIsShownAndLoggedWithTheCommandAndTime) {
    ctx.command.CodComanda = 14;
    clock.set({2026, 3, 7, 9, 8, 7});

    ctx.sale.GrupaTVA = "";
    std::string response;
    EXPECT_FALSE(VanzareMarfa(ctx, response));
    EXPECT_TRUE(kordal.calls.empty());

    ctx.sale.GrupaTVA = "A";
    kordal.setLibraryMissing(true);
    EXPECT_FALSE(VanzareMarfa(ctx, response));
    EXPECT_EQ(ctx.command.RezultatComanda, library_result::kNoReply);

    const std::string missing =
        "libkordal.so: cannot open shared object file: No such file or directory";
    EXPECT_EQ(Boxes(), (std::vector<Box>{
                           {"Invalid procedure call or argument", "VELTAR2000", Icon::None},
                           {missing, "VELTAR2000", Icon::None},
                       }));
    EXPECT_EQ(
        Log(),
        (std::vector<LogEntry>{
            {"Fct VanzareMarfa err: Invalid procedure call or argument , comanda=14 "
             "Data:07.03.2026/09:08:07",
             5},
            {"Fct VanzareMarfa err: " + missing + " , comanda=14 Data:07.03.2026/09:08:07", 48},
        }));
    EXPECT_EQ(response, "");
}

// --- fctInOutSertar ---

class DrawerTest : public testing::CommandTest {
protected:
    int32_t index = 0;
    Amount inDrawer = Value(-1), putIn = Value(-1), takenOut = Value(-1);
    std::string response;

    bool Run(double amount) {
        Amount a = Value(amount);
        return fctInOutSertar(ctx, index, a, inDrawer, putIn, takenOut, response);
    }
    std::string SentAmount() const {
        const auto calls = kordal.callsTo("InOutSume");
        return calls.empty() ? "<nothing sent>" : calls.back().texts.at(0);
    }
    bool SumsUntouched() const {
        return inDrawer == Value(-1) && putIn == Value(-1) && takenOut == Value(-1);
    }
};

TEST_F(DrawerTest, AmountGoesOutSignedAndInThePrintersUnit) {
    const struct {
        double amount;
        int64_t factor;
        char decimal;
        const char* sent;
    } cases[] = {
        {-150, 1, '.', "-150"},     {-150, 10000, '.', "-1500000"}, {12.5, 10000, '.', "+125000"},
        {0.01, 10000, '.', "+100"}, {7.5, 1, ',', "+7,5"},          {0, 10000, '.', ""},
    };
    for (const auto& c : cases) {
        ctx.money.FactorLeu = Amount::fromInt(c.factor);
        ctx.regional.decimal = c.decimal;
        EXPECT_TRUE(Run(c.amount));
        EXPECT_EQ(SentAmount(), c.sent);
        EXPECT_EQ(kordal.calls.back().port, kComPort);
    }
    index = 2;
    EXPECT_TRUE(Run(1));
    EXPECT_EQ(kordal.calls.back().port, 7);
}

TEST_F(DrawerTest, DrawerSumsAreReadBackInTheOperatorsUnit) {
    const struct {
        std::string data;
        int64_t factor;
        double inDrawer, putIn, takenOut;
    } cases[] = {
        {"D,120.5,40,10", 1, 120.5, 40, 10},
        {"D,1205000,400000,100000", 10000, 120.5, 40, 10},
        {"D,0,0,0   ", 1, 0, 0, 0},
        {"D,12x,3 ,-4", 1, 12, 3, -4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        ctx.money.FactorLeu = Amount::fromInt(c.factor);
        kordal.queueReply("InOutSume", Accepted(c.data));
        EXPECT_TRUE(Run(0));
        EXPECT_EQ(inDrawer, Value(c.inDrawer));
        EXPECT_EQ(putIn, Value(c.putIn));
        EXPECT_EQ(takenOut, Value(c.takenOut));
    }
}

TEST_F(DrawerTest, ReplyWithoutSumsLeavesThemAlone) {
    kordal.queueReply("InOutSume", Accepted("OK"));
    EXPECT_TRUE(Run(5));
    EXPECT_TRUE(SumsUntouched());
}

TEST_F(DrawerTest, SumsReplyWithTooFewFieldsIsARunTimeFailure) {
    for (const char* data : {"D,12", "D"}) {
        SCOPED_TRACE(data);
        files.files.erase(kLogFile);
        kordal.queueReply("InOutSume", Accepted(data));
        response = "-";  // the failure text replaces whatever the response held
        EXPECT_FALSE(Run(0));
        EXPECT_EQ(response, "Invalid procedure call or argument");
        EXPECT_EQ(
            Log(),
            (std::vector<LogEntry>{{"fctInOutSertar: Invalid procedure call or argument", 5}}));
        EXPECT_TRUE(SumsUntouched());
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DrawerTest, FailedExchangeOrStatusIsReportedByTheResponseConvention) {
    kordal.queueReply("InOutSume", Failed(library_result::kNoReply));
    EXPECT_FALSE(Run(10));
    EXPECT_EQ(response, kNoReplyText);

    response = "-";
    kordal.queueReply("InOutSume", Failed(library_result::kEndByte));
    EXPECT_FALSE(Run(10));
    kordal.queueReply("InOutSume", Accepted("D,1,2,3", Status({{3, 0x40}})));
    EXPECT_FALSE(Run(10));
    EXPECT_EQ(response, "-");
    EXPECT_EQ(Boxes(), (std::vector<Box>{
                           {"Eroare terminator comanda! ", "NORVADE 2000", Icon::Error},
                           {"Lipsa hartie la imprimanta! Puneti hartie si apasati OK !",
                            "NORVADE 2000", Icon::Information},
                       }));
    EXPECT_TRUE(SumsUntouched());
}

// The library refuses an amount text it cannot send; the cash has not moved,
// so the sales application must not hear that it did.
TEST_F(DrawerTest, AmountRefusedByTheLibraryIsAFailure) {
    for (int32_t result : {library_result::kArgTooLong, library_result::kArgMissing}) {
        files.files.erase(kLogFile);
        kordal.queueReply("InOutSume", Failed(result));
        response.clear();
        EXPECT_FALSE(Run(123456.7891));
        const std::string text =
            "Suma nu poate fi trimisa la imprimanta! (rezultat " + std::to_string(result) + ")";
        EXPECT_EQ(response, text);
        EXPECT_EQ(Log(), (std::vector<LogEntry>{{"fctInOutSertar: " + text, 5}}));
    }
}

TEST_F(DrawerTest, MissingLibraryIsAFailureWithItsDescription) {
    kordal.setLibraryMissing(true);
    EXPECT_FALSE(Run(10));
    EXPECT_EQ(response, "libkordal.so: cannot open shared object file: No such file or directory");
    EXPECT_EQ(ctx.command.RezultatComanda, library_result::kNoReply);
    index = 3;
    kordal.setLibraryMissing(false);
    EXPECT_FALSE(Run(10));
    EXPECT_EQ(response, "Subscript out of range");
}

}  // namespace
}  // namespace veltar
