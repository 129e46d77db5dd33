// The receipt's pieces the printer cannot show end to end: every answer of
// the payment command, the totals that end the program, and where selling
// resumes when the printer already holds some sale commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/receipt.h"
#include "exchange/sale_record.h"
#include "exchange_test.h"

namespace veltar::testing {
namespace {

class ReceiptTest : public ExchangeTest {};

TEST_F(ReceiptTest, PlataTotalReadsEveryAnswerOfThePaymentCommand) {
    const struct {
        const char* name;
        KordalReply reply;
        int result;
        std::string response;  // with an empty response given
        Amount rest;           // RestDePlata afterwards
    } cases[] = {
        {"paid in full", Accepted("R,5"), payment_result::kPaidInFull, "", Amount{}},
        {"more to pay", Accepted("D,30"), payment_result::kMoreToPay, "", Amount::fromInt(30)},
        {"negative VAT total", Accepted("I"), payment_result::kCannotTotal,
         "Unul din totalizatoarele de TVA este negativ. Totalul nu se poate executa ! ", Amount{}},
        {"negative subtotal", Accepted("E"), payment_result::kCannotTotal,
         "Subtotal negativ. Totalul nu se poate executa ! ", Amount{}},
        {"an answer it does not know", Accepted("X"), payment_result::kFailure, "", Amount{}},
        {"refused by the printer", Accepted("D,30", Status({{4, 0x08}})),
         payment_result::kFailure, "Verificati imprimanta !", Amount{}},
        {"no reply", Failed(library_result::kNoReply), payment_result::kFailure, kNoReplyText,
         Amount{}},
        {"mode refused by the library", Failed(library_result::kArgMissing),
         payment_result::kFailure, "Eroare mod plata", Amount{}},
        {"text too long", Failed(library_result::kArgTooLong), payment_result::kFailure,
         " Fct Cash - Pretul este prea mare! Trebuie sa chemati depanatorul ", Amount{}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ctx.exchange.SumaBon = Amount::fromInt(100);
        ctx.exchange.RestDePlata = Amount{};
        kordal.queueReply("CalculTotal", c.reply);
        std::string response;
        EXPECT_EQ(PlataTotal(ctx, "C", Amount::fromInt(70), response), c.result);
        EXPECT_EQ(response, c.response);
        EXPECT_EQ(ctx.exchange.RestDePlata, c.rest);
        EXPECT_EQ(kordal.callsTo("CalculTotal").back().texts.at(1), "C70");
    }
    // The paid amount follows the rest the printer reports.
    kordal.queueReply("CalculTotal", Accepted("D,30"));
    std::string response;
    PlataTotal(ctx, "A", Amount::fromInt(70), response);
    EXPECT_EQ(ctx.exchange.SumaAchitata, Amount::fromInt(70));
}

TEST_F(ReceiptTest, ATotalThePrinterCannotMakeEndsTheProgramAndKeepsTheSale) {
    kordal.queueReply("CalculTotal", Accepted("E"));
    Put("VANZARI.TXT", "PAINE\t-1\t3\tA\t\r\n");
    // After opening, the printer shows the receipt open and unpaid.
    kordal.queueReply("TrimiteTelegrama", Accepted());                        // 37
    kordal.queueReply("TrimiteTelegrama", Accepted("0,0,0,0,7,"));            // 2
    kordal.queueReply("TrimiteTelegrama", Accepted(Bytes({0, 0, 0, 1})));     // 29
    kordal.queueReply("TrimiteTelegrama", Accepted("8"));                     // 7
    kordal.queueReply("TrimiteTelegrama", Accepted("1,1,-3,0,8,", Status({{5, 0x10}})));

    EXPECT_EQ(HandleSale(ctx), TickFlow::EndProgram);
    EXPECT_TRUE(ctx.exchange.programEnded);
    EXPECT_EQ(ui.quitCalls, 1);
    EXPECT_EQ(kordal.callsTo("InchidePort").size(), 1u);
    EXPECT_TRUE(Has("VANZARI.TXT"));
    EXPECT_FALSE(Has("BON.TXT"));
    EXPECT_EQ(ui.boxTexts().back(), "Subtotal negativ. Totalul nu se poate executa ! ");
}

// The printer counts sale commands: a line over CantitateMaxima is several,
// a quantity 0 line none. After a restart the count says where to go on.
TEST_F(ReceiptTest, SellingResumesAtTheEntryAndPortionThePrinterCountReaches) {
    const std::string sale =
        "APA\t45000\t1\tB\t-10\t\r\n"  // three commands: 20000, 20000, 5000
        "NIMIC\t0\t7\tA\t\r\n"         // none
        "PAINE\t2\t3\tA\t5\t\r\n"      // one
        "$\tC\t50000\t\r\n";
    const struct {
        int registered;                      // sale commands the printer holds
        std::vector<std::string> quantities;  // the quantities sold after the restart
        std::vector<bool> withPercent;
    } cases[] = {
        {0, {"20000", "20000", "5000", "2"}, {true, false, false, true}},
        {1, {"20000", "5000", "2"}, {false, false, true}},
        {2, {"5000", "2"}, {false, true}},
        {3, {"2"}, {true}},
        {4, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("registered " + std::to_string(c.registered));
        kordal.calls.clear();
        files.files.erase(kSaleRecordFile);
        Put("VANZARI.TXT", sale);
        const std::string state = "1," + std::to_string(c.registered) + ",100,0,8,";
        kordal.replyToCommand(command_code::kTransactionState,
                              Accepted(state, Status({{5, 0x10}})));
        // A printer without day counters: the close is taken at its word.
        kordal.replyToCommand(command_code::kReadDayCounters, Failed(library_result::kNoReply));
        kordal.queueReply("CalculTotal", Accepted("R,0"));
        kordal.replyToCommand(command_code::kCloseFiscalReceipt, Accepted());

        HandleSale(ctx);

        std::vector<std::string> quantities;
        std::vector<bool> withPercent;
        for (const KordalCall& call : kordal.callsTo("VanzareAfisareMarfa")) {
            quantities.push_back(call.texts.at(1));
            withPercent.push_back(call.texts.at(2).find(',') != std::string::npos);
        }
        EXPECT_EQ(quantities, c.quantities);
        EXPECT_EQ(withPercent, c.withPercent);
        EXPECT_EQ(ctx.exchange.NrBon, 8);
    }
}

}  // namespace
}  // namespace veltar::testing
