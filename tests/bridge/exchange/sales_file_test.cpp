// Loading VANZARI.TXT: what each kind of line becomes in the three lists,
// the structure errors with their messages, and the numbers the printer
// could never take.
#include "exchange/sales_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>

#include "command/codes.h"
#include "exchange_test.h"

namespace veltar {

bool operator==(const SaleEntry& a, const SaleEntry& b) {
    return a.name == b.name && a.quantity == b.quantity && a.price == b.price &&
           a.group == b.group && a.percent == b.percent;
}
bool operator==(const AdjustmentEntry& a, const AdjustmentEntry& b) {
    return a.kind == b.kind && a.value == b.value && a.group == b.group;
}
bool operator==(const PaymentEntry& a, const PaymentEntry& b) {
    return a.mode == b.mode && a.amount == b.amount;
}
std::ostream& operator<<(std::ostream& out, const SaleEntry& e) {
    return out << "{" << e.name << "|" << e.quantity << "|" << e.price << "|" << e.group << "|"
               << e.percent << "}";
}
std::ostream& operator<<(std::ostream& out, const AdjustmentEntry& e) {
    return out << "{" << e.kind << "|" << e.value << "|'" << e.group << "'}";
}
std::ostream& operator<<(std::ostream& out, const PaymentEntry& e) {
    return out << "{" << e.mode << "|" << e.amount << "}";
}

namespace {

using testing::Box;
using testing::LogEntry;

constexpr const char* kSale = "VANZARI.TXT";

const std::string kSaleLineStructure =
    "Erori de structura (delimitatorul 09h) la fisierul VANZARI.TXT !!. Vanzarea nu se poate "
    "efectua!\r\n\r\nOpriti si apoi reporniti imprimanta pentru a anula bonul curent apoi "
    "reporniti programul VELTAR 2000.";
const std::string kPaymentTab =
    "                                              A T  E  N  T  I  E ! \r\n\r\nFisierul "
    "Vanzari.txt a fost generat cu erori de structura. Nu exista caracterul 09h la sfarsitul "
    "liniei cu modul de plata! ";
const std::string kPaymentMode =
    "Fisierul Vanzari.txt a fost generat cu erori de structura la modul de plata ! \r\n\r\n"
    "            Corectati eroarea si reporniti programul si imprimanta !";

std::string TooLarge(int line) {
    return "Fisierul VANZARI.TXT contine o valoare prea mare pentru imprimanta (linia " +
           std::to_string(line) +
           "). Vanzarea nu se poate efectua!\r\n\r\nCorectati fisierul VANZARI.TXT si reporniti "
           "programul VELTAR 2000.";
}

class SalesFileTest : public testing::ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        // Left over from an earlier sale: every load starts from empty lists.
        ctx.exchange.LiniiVanzare = {{"OLD", "1", "1", "A", "0"}};
        ctx.exchange.LiniiMajRed = {{",", "1", "A"}};
        ctx.exchange.LiniiPlata = {{"C", "1"}};
    }

    uint8_t Load(const std::string& content, const std::string& name = kSale) {
        Put(name, content);
        return IncarcaFisierVanzari(ctx);
    }

    const std::vector<SaleEntry>& Sales() const { return ctx.exchange.LiniiVanzare; }
    const std::vector<AdjustmentEntry>& Adjustments() const { return ctx.exchange.LiniiMajRed; }
    const std::vector<PaymentEntry>& Payments() const { return ctx.exchange.LiniiPlata; }
    Box Display(const std::string& text) const { return {text, ctx.settings.Titlu, Icon::None}; }
};

TEST_F(SalesFileTest, ReadsEveryKindOfLineInFileOrder) {
    const uint8_t result = Load(
        "PAINE\t2\t10.50\tA\t-5\t\r\n"
        "  LAPTE BATUT  \t 1.2345 \t 3.0005 \t B \t\r\n"  // blanks trimmed, 3 decimals half-even
        "%\t,\t-150\tb\t\r\n"
        "%x\t1\t2\tC\t\r\n"  // "%" without its TAB is a sale line
        "%\t:\t-2.5\tE\t\r\n"
        "%\t?\t5\tA\t\r\n"  // another kind: logged and left out
        "%\t,\t10\r\n"      // the missing group reads as empty, which becomes A
        "%\t,\t-99.5\tD\t\r\n"
        "OUA\tzece\t\tD\t\t\r\n"  // quantity and price that are no numbers read as 0
        "$\tc\t10\tA\t20.5\tn\tabc\t\r\n"
        "IGNORAT\t1\t1\tA\t\r\n"
        "gresit\r\n");

    EXPECT_EQ(result, load_result::kLoaded);
    EXPECT_EQ(Sales(), (std::vector<SaleEntry>{{"PAINE", "2", "10.5", "A", "-5"},
                                                {"LAPTE BATUT", "1.234", "3", "B", "0"},
                                                {"%x", "1", "2", "C", "0"},
                                                {"OUA", "0", "0", "D", "0"}}));
    EXPECT_EQ(Adjustments(), (std::vector<AdjustmentEntry>{{",", "-100", "A"},
                                                            {":", "-2.5", " "},
                                                            {",", "10", "A"},
                                                            {",", "-99.5", "D"}}));
    // A payment that is no number pays nothing.
    EXPECT_EQ(Payments(), (std::vector<PaymentEntry>{{"C", "10"}, {"A", "20"}, {"N", "0"}}));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(Log(), (std::vector<LogEntry>{{"Strucura Vanzari eronata la MajRed Subtotal!", 0}}));
    EXPECT_TRUE(Has(kSale));  // deleting it is the sale's business once printed
}

TEST_F(SalesFileTest, KeepsALinePercentageOnlyWithItsTabAndWithinRange) {
    const struct {
        std::string field;  // the text after the VAT group
        std::string percent;
    } cases[] = {
        {"-99.99\t", "-99.99"}, {"99.99\t", "99.99"}, {"12.345\t", "12.34"},
        {"150\t", "0"},         {"-100\t", "0"},      {"0\t", "0"},
        {"99.995\t", "0"},  // rounds to 100.00 first
        {"abc\t", "0"},         {"10", "0"},  // five fields: no percentage
        {"99999999999999999999\t", "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        ASSERT_EQ(Load("X\t1\t5\tA\t" + c.field + "\r\n"), load_result::kLoaded);
        ASSERT_EQ(Sales().size(), 1u);
        EXPECT_EQ(Sales()[0].percent, c.percent);
    }
}

TEST_F(SalesFileTest, MultipliesPricesAndPaymentsAfterRounding) {
    const struct {
        int64_t multiplu;
        std::string price;
        std::string payment;
        std::string loadedPrice;
        std::string loadedPayment;
    } cases[] = {
        {10000, "1.5", "2.25", "15000", "22500"},
        {10000, "0.0015", "2.255", "20", "22600"},  // 0.002 and 2.26, halves to even
        {10000, "-1.5", "-2.25", "-15000", "-22500"},
        {1, "1.5", "2.5", "1.5", "2"},
        {1, "1.5", "3.5", "1.5", "4"},
        {1, "7", "1.499", "7", "2"},  // 1.50 first, then the whole number
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.price + " / " + c.payment);
        ctx.settings.Multiplu = Amount::fromInt(c.multiplu);
        ASSERT_EQ(Load("X\t1\t" + c.price + "\tA\t\r\n$\tC\t" + c.payment + "\t\r\n"),
                  load_result::kLoaded);
        ASSERT_EQ(Sales().size(), 1u);
        EXPECT_EQ(Sales()[0].price, c.loadedPrice);
        EXPECT_EQ(Payments(), (std::vector<PaymentEntry>{{"C", c.loadedPayment}}));
    }
}

TEST_F(SalesFileTest, ReadsTheRegionalNumberFormat) {
    ctx.regional = RegionalFormat{',', '.'};
    ASSERT_EQ(Load("X\t1.500,5\t2,25\tA\t-5,5\t\r\n%\t:\t2,5\tA\t\r\n$\tC\t1.000,5\t\r\n"),
              load_result::kLoaded);
    // Stored with a point, the way the receipt reads them back.
    EXPECT_EQ(Sales(), (std::vector<SaleEntry>{{"X", "1500.5", "2.25", "A", "-5.5"}}));
    EXPECT_EQ(Adjustments(), (std::vector<AdjustmentEntry>{{":", "2,5", "A"}}));
    EXPECT_EQ(Payments(), (std::vector<PaymentEntry>{{"C", "1000"}}));

    // A point is no decimal separator here: "2.25" reads as 225.
    ASSERT_EQ(Load("X\t1\t2.25\tA\t\r\n"), load_result::kLoaded);
    EXPECT_EQ(Sales()[0].price, "225");
}

TEST_F(SalesFileTest, StopsReadingAtTheEmptyLineOrThePaymentLine) {
    const struct {
        std::string content;
        std::vector<std::string> names;
        std::size_t payments;
    } cases[] = {
        {"A\t1\t1\tA\t\r\n\r\nB\t1\t1\tA\t\r\n$\tC\t5\t\r\n", {"A"}, 0},
        {"A\t1\t1\tA\t\r\n\r\ngresit\r\n", {"A"}, 0},
        {"A\t1\t1\tA\t\r\n$\tC\t5\t\r\ngresit\r\n$\tX\t5\t\r\n", {"A"}, 1},
        {"A\t1\t1\tA\t\r\n\x07\tC\t5\t\r\nB\t1\t1\tA\t\r\n", {"A"}, 1},
        {"A\t1\t1\tA\t", {"A"}, 0},  // no line end at all
        {"$\tC\t5\t\r\nA\t1\t1\tA\t\r\n", {}, 1},
        {"$\r\n", {}, 0},
        {"A\t1\t1\tA\t\rB\t1\t1\tA\t\r\n", {"A", "B"}, 0},  // CR alone ends a line
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        ASSERT_EQ(Load(c.content), load_result::kLoaded);
        std::vector<std::string> names;
        for (const SaleEntry& e : Sales()) names.push_back(e.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(Payments().size(), c.payments);
        EXPECT_TRUE(ui.boxes.empty());
    }
}

TEST_F(SalesFileTest, DeletesAFileWhoseFirstLineIsEmpty) {
    for (const std::string content : {"", "\r\nA\t1\t1\tA\t\r\n$\tC\t5\t\r\n", "\r\n"}) {
        SCOPED_TRACE(content);
        EXPECT_EQ(Load(content, "vanzari.txt"), load_result::kEmpty);
        EXPECT_FALSE(Has("vanzari.txt"));
        EXPECT_TRUE(Sales().empty());
        EXPECT_TRUE(Payments().empty());
    }
    EXPECT_TRUE(ui.boxes.empty());

    // A deletion that fails is passed over; the file is still an empty sale.
    files.failOn(testing::FileOperation::Remove, kSale, EACCES, 1);
    EXPECT_EQ(Load("\r\n"), load_result::kEmpty);
    EXPECT_TRUE(Has(kSale));
    ASSERT_EQ(Log().size(), 1u);
    EXPECT_EQ(Log()[0].number, EACCES);
}

TEST_F(SalesFileTest, AFileThatCannotBeReadIsNeitherEmptyNorDeleted) {
    files.failOn(testing::FileOperation::Read, kSale, EIO);
    Put(kSale, "A\t1\t1\tA\t\r\n");
    try {
        IncarcaFisierVanzari(ctx);
        ADD_FAILURE() << "no failure";
    } catch (const RuntimeError& failure) {
        EXPECT_EQ(failure.number(), EIO);  // not a type mismatch: the tick does not end the program
    }
    EXPECT_TRUE(Has(kSale));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SalesFileTest, StructureErrorsShowTheirMessageAndKeepTheFile) {
    const Box saleLine = Display(kSaleLineStructure);
    const Box paymentTab{kPaymentTab, "VELTAR 2000", Icon::Error};
    const Box paymentMode = Display(kPaymentMode);
    const struct {
        std::string content;
        Box box;
    } cases[] = {
        {"A\t1\t1\tA\t\r\nB\t1\t1\tA\r\n$\tC\t5\t\r\n", saleLine},  // four fields
        {"B\t1\t1\r\n", saleLine},
        {"%\r\n", saleLine},
        {"A\t1\t1\tA\t\r\n$\tC\t10\r\n", paymentTab},  // no TAB after the amount
        {"$\tCASH\r\n", paymentTab},                   // no TAB after the mode
        {"$\tC\t10\tA\t5\r\n", paymentTab},            // the first pair is no help
        {"$\tX\t10\t\r\n", paymentMode},
        {"$\tC\t10\tCC\t5\t\r\n", paymentMode},
        {"$\t\t10\t\r\n", paymentMode},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        ui.boxes.clear();
        EXPECT_EQ(Load(c.content), load_result::kStructureError);
        EXPECT_EQ(Boxes(), std::vector<Box>{c.box});
        // What was read before the error is not used.
        EXPECT_TRUE(Sales().empty());
        EXPECT_TRUE(Payments().empty());
        EXPECT_TRUE(Has(kSale));
    }
}

// The printer's price, value and payment fields end below 4294967296; a sale
// that sends more is refused by the library every time it is tried.
TEST_F(SalesFileTest, RefusesNumbersThePrinterCannotTake) {
    const struct {
        int64_t multiplu;
        std::string content;
        int line;  // 0: loads
    } cases[] = {
        {1, "X\t1\t4294967295\tA\t\r\n$\tC\t4294967295\t\r\n", 0},
        {1, "A\t1\t1\tA\t\r\nX\t1\t4294967296\tA\t\r\n", 2},
        {1, "X\t1\t-4294967296\tA\t\r\n", 1},
        // Prices keep three decimals before they are multiplied.
        {10000, "X\t1\t429496.729\tA\t\r\n", 0},
        {10000, "X\t1\t429496.7295\tA\t\r\n", 1},
        // One sale command takes at most 20000 of the quantity.
        {1, "X\t20000\t214748.364\tA\t\r\n", 0},
        {1, "X\t20000\t214748.3645\tA\t\r\n", 0},  // 214748.364, halves to even
        {1, "X\t20000\t214748.365\tA\t\r\n", 1},
        {1, "X\t-20000\t214748.365\tA\t\r\n", 1},
        {1, "X\t0.5\t8589934591\tA\t\r\n", 1},  // the unit price alone is too large
        {1, "X\t45000\t214748.364\tA\t\r\n", 0},
        {1, "X\t1.5\t2863311530.667\tA\t\r\n", 1},
        {1, "X\t1.5\t2863311530.666\tA\t\r\n", 0},
        {1, "X\t99999999999999999999\t1\tA\t\r\n", 1},  // beyond any amount
        {10000, "X\t1\t922337203685477\tA\t\r\n", 1},    // overflows when multiplied
        {1, "A\t1\t1\tA\t\r\n$\tC\t1\tA\t4294967296\t\r\n", 2},
        {10000, "$\tC\t429496.7296\t\r\n", 1},
        {1, "$\tC\t-4294967296\t\r\n", 1},
        {1, "$\tC\t99999999999999999999\t\r\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        ui.boxes.clear();
        ctx.settings.Multiplu = Amount::fromInt(c.multiplu);
        const uint8_t result = Load(c.content);
        if (c.line == 0) {
            EXPECT_EQ(result, load_result::kLoaded);
            EXPECT_TRUE(ui.boxes.empty());
            continue;
        }
        EXPECT_EQ(result, load_result::kStructureError);
        EXPECT_EQ(Boxes(), std::vector<Box>{Display(TooLarge(c.line))});
        EXPECT_TRUE(Sales().empty());
        EXPECT_TRUE(Payments().empty());
        EXPECT_TRUE(Has(kSale));
    }
}

}  // namespace
}  // namespace veltar
