// Sales from VANZARI.TXT to BON.TXT through the real library and the virtual
// printer, judged by what the printer recorded, not by the bridge's own view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge_on_printer.h"
#include "exchange/sale_record.h"

namespace veltar::testing {
namespace {

struct ExpectedLine {
    std::string name;
    int64_t quantityMillionths;
    int64_t unitPrice;
    bool negative;
    int percentHundredths;
    char group;
};

struct ExpectedAdjustment {
    char group;
    bool percentage;
    int64_t amountOrHundredths;
};

struct SaleCase {
    const char* name;
    std::string sale;         // VANZARI.TXT
    std::string description;  // DESCRIERE.TXT, when not empty
    std::vector<ExpectedLine> lines;
    std::vector<ExpectedAdjustment> adjustments;
    std::vector<std::pair<char, int64_t>> payments;
};

void PrintTo(const SaleCase& c, std::ostream* out) { *out << c.name; }

const std::vector<SaleCase>& SaleCases() {
    static const std::vector<SaleCase> cases = {
        {"Plain",
         "PAINE\t2\t3\tA\t\r\nLAPTE\t1\t10\tB\t\r\n$\tC\t20\t\r\n",
         "",
         {{"PAINE", 2'000'000, 3, false, 0, 'A'}, {"LAPTE", 1'000'000, 10, false, 0, 'B'}},
         {},
         {{'C', 20}}},
        {"SplitQuantityCarriesThePercentageOnItsFirstPortion",
         "APA\t45000\t1\tB\t-10\t\r\n$\tC\t50000\t\r\n",
         "",
         {{"APA", 20'000'000'000, 1, false, -1000, 'B'},
          {"APA", 20'000'000'000, 1, false, 0, 'B'},
          {"APA", 5'000'000'000, 1, false, 0, 'B'}},
         {},
         {{'C', 50000}}},
        {"NegativeLineAndZeroQuantity",
         "PAINE\t3\t5\tA\t\r\nPAINE\t-2\t5\tA\t\r\nNIMIC\t0\t7\tA\t\r\n$\tC\t5\t\r\n",
         "",
         {{"PAINE", 3'000'000, 5, false, 0, 'A'}, {"PAINE", 2'000'000, 5, true, 0, 'A'}},
         {},
         {{'C', 5}}},
        {"MarkupsAndDiscountsAfterAllLines",
         "%\t,\t10\tA\t\r\nPAINE\t1\t100\tA\t\r\n%\t:\t-5\tb\t\r\nAPA\t1\t50\tB\t\r\n"
         "$\tC\t200\t\r\n",
         "",
         {{"PAINE", 1'000'000, 100, false, 0, 'A'}, {"APA", 1'000'000, 50, false, 0, 'B'}},
         {{'A', true, 1000}, {'A', false, -5}},
         {{'C', 200}}},
        {"TwoPayments",
         "PAINE\t7\t10\tA\t\r\n$\tC\t50\tA\t20\t\r\n",
         "",
         {{"PAINE", 7'000'000, 10, false, 0, 'A'}},
         {},
         {{'C', 50}, {'A', 20}}},
        {"NoPaymentLinePaysTheRestInCash",
         "PAINE\t4\t6\tA\t\r\n",
         "",
         {{"PAINE", 4'000'000, 6, false, 0, 'A'}},
         {},
         {{'C', 24}}},
        {"PartPaymentAndTheRestInCash",
         "PAINE\t4\t6\tA\t\r\n$\tN\t10\t\r\n",
         "",
         {{"PAINE", 4'000'000, 6, false, 0, 'A'}},
         {},
         {{'N', 10}, {'C', 14}}},
        {"DescriptionOfFifteenLinesPrintsEleven",
         "PAINE\t1\t3\tA\t\r\n$\tC\t3\t\r\n",
         "D01\r\nD02\r\n\r\nD04\r\nD05\r\nD06\r\nD07\r\nD08\r\nD09\r\nD10\r\nD11\r\nD12\r\n"
         "D13\r\nD14\r\nD15\r\n",
         {{"PAINE", 1'000'000, 3, false, 0, 'A'}},
         {},
         {{'C', 3}}},
    };
    return cases;
}

class SaleEndToEnd : public BridgeOnPrinter, public ::testing::WithParamInterface<SaleCase> {};

TEST_P(SaleEndToEnd, PrintsTheReceiptOnceAndAnswersWithItsNumber) {
    const SaleCase& c = GetParam();
    if (!c.description.empty()) put(request_file::kDescription, c.description);
    put(request_file::kSale, c.sale);

    PollingTick(ctx());

    const std::vector<fpsim::ClosedReceipt> closed = printer().closedReceipts();
    ASSERT_EQ(closed.size(), 1u) << ::testing::PrintToString(bridge().ui.boxTexts());
    const fpsim::ClosedReceipt& r = closed[0];
    ASSERT_EQ(r.lines.size(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        EXPECT_EQ(r.lines[i].name, c.lines[i].name);
        EXPECT_EQ(r.lines[i].quantityMillionths, c.lines[i].quantityMillionths);
        EXPECT_EQ(r.lines[i].unitPrice, c.lines[i].unitPrice);
        EXPECT_EQ(r.lines[i].negative, c.lines[i].negative);
        EXPECT_EQ(r.lines[i].percentHundredths, c.lines[i].percentHundredths);
        EXPECT_EQ(r.lines[i].group, c.lines[i].group);
    }
    ASSERT_EQ(r.adjustments.size(), c.adjustments.size());
    for (std::size_t i = 0; i < c.adjustments.size(); ++i) {
        EXPECT_EQ(r.adjustments[i].group, c.adjustments[i].group);
        EXPECT_EQ(r.adjustments[i].percentage, c.adjustments[i].percentage);
        EXPECT_EQ(r.adjustments[i].amountOrHundredths, c.adjustments[i].amountOrHundredths);
    }
    std::vector<std::pair<char, int64_t>> payments;
    for (const fpsim::Payment& p : r.payments) payments.emplace_back(p.mode, p.amount);
    EXPECT_EQ(payments, c.payments);

    EXPECT_EQ(read(response_file::kReceiptNumber), " " + std::to_string(r.number) + "\t\r\n");
    EXPECT_FALSE(has(request_file::kSale));
    EXPECT_FALSE(has(request_file::kDescription));
    EXPECT_FALSE(has(kSaleRecordFile));
    EXPECT_TRUE(bridge().ui.timerOn);
    EXPECT_TRUE(bridge().ui.boxes.empty()) << ::testing::PrintToString(bridge().ui.boxTexts());
    if (!c.description.empty()) {
        const std::string roll = printer().journal();
        EXPECT_NE(roll.find("D11"), std::string::npos);
        EXPECT_EQ(roll.find("D12"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Sales, SaleEndToEnd, ::testing::ValuesIn(SaleCases()),
                         [](const auto& info) { return std::string(info.param.name); });

using SaleOnPrinter = BridgeOnPrinter;

TEST_F(SaleOnPrinter, RollShowsHeaderDescriptionAndFooterInOrder) {
    put(request_file::kDescription, "PRIMA\r\n\r\nA TREIA\r\n");
    put(request_file::kSale, "PAINE\t1\t3\tA\t\r\n$\tC\t3\t\r\n");
    PollingTick(ctx());

    const std::string roll = printer().journal();
    const std::size_t header = roll.find("MAGAZIN DE PROBA");
    const std::size_t first = roll.find("PRIMA" + std::string(35, ' '));
    const std::size_t blank = roll.find(std::string(40, ' '), first + 40);
    const std::size_t third = roll.find("A TREIA");
    const std::size_t line = roll.find("PAINE");
    const std::size_t footer = roll.find("VA MULTUMIM");
    ASSERT_NE(header, std::string::npos) << roll;
    ASSERT_NE(first, std::string::npos) << roll;
    ASSERT_NE(blank, std::string::npos) << roll;
    ASSERT_NE(footer, std::string::npos) << roll;
    EXPECT_LT(header, first);
    EXPECT_LT(first, blank);
    EXPECT_LT(blank, third);
    EXPECT_LT(third, line);
    EXPECT_LT(line, footer);
}

TEST_F(SaleOnPrinter, ConsecutiveSalesGetConsecutiveNumbers) {
    for (int sale = 1; sale <= 3; ++sale) {
        put(request_file::kSale, "PAINE\t1\t3\tA\t\r\n");
        PollingTick(ctx());
        const auto closed = printer().closedReceipts();
        ASSERT_EQ(closed.size(), static_cast<std::size_t>(sale));
        EXPECT_EQ(read(response_file::kReceiptNumber),
                  " " + std::to_string(closed.back().number) + "\t\r\n");
    }
}

TEST_F(SaleOnPrinter, After24HoursNothingIsPrintedAndTheSaleWaits) {
    printer().setCondition(fpsim::Condition::Day24HoursPassed, true);
    put(request_file::kSale, "PAINE\t1\t3\tA\t\r\n");
    PollingTick(ctx());

    EXPECT_TRUE(printer().closedReceipts().empty());
    EXPECT_FALSE(printer().state().openReceipt.has_value());
    EXPECT_TRUE(has(request_file::kSale));
    EXPECT_FALSE(bridge().ui.timerOn);
    EXPECT_EQ(bridge().ui.boxTexts(),
              std::vector<std::string>{"Au trecut 24 de ore de la primul bon fiscal. "});
}

TEST_F(SaleOnPrinter, APrinterThatRefusesAtOnceDoesNotMakeTheTillSpin) {
    // Every turn back to the state check waits a second; then the sale is
    // left for the next tick, kept whole, with the reason in ERR.TXT.
    put(request_file::kSale, "PAINE\t1\t3\tA\t\r\n");
    printer().setCondition(fpsim::Condition::PaperOut, true);
    PollingTick(ctx());

    EXPECT_TRUE(printer().closedReceipts().empty());
    EXPECT_TRUE(has(request_file::kSale));
    EXPECT_TRUE(bridge().ui.timerOn);
    EXPECT_NE(read("ERR.TXT").find("Vanzarea nu s-a putut finaliza"), std::string::npos);
    const std::vector<int>& waits = bridge().ui.waits;
    EXPECT_GE(waits.size(), 30u);
    for (int w : waits) EXPECT_EQ(w, 1000);

    // The paper is back: the next tick prints the sale once.
    printer().setCondition(fpsim::Condition::PaperOut, false);
    PollingTick(ctx());
    EXPECT_EQ(printer().closedReceipts().size(), 1u);
    EXPECT_FALSE(has(request_file::kSale));
}

}  // namespace
}  // namespace veltar::testing
