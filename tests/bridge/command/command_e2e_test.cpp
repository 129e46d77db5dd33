// The command layer through the real libkordal.so, talking to the virtual
// printer over a pseudo-terminal: the main paths as the receipt flow, the
// reports, the service screens and the cash request use them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "command/codes.h"
#include "command/exchange.h"
#include "command/queries.h"
#include "command/sale.h"
#include "command/status.h"
#include "fixed_clock.h"
#include "fpsim/pty_printer.h"
#include "memory_files.h"
#include "scripted_window_services.h"
#include "shell/kordal_binding.h"
#include "shell/log.h"
#include "shell/settings.h"

namespace veltar {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kPort = 1;
const fpsim::DateTime kPrinterStart{2026, 3, 2, 9, 0, 0};
const char* const kPowerFailure = "Cadere de tensiune! Bonul va fi recuperat!";

// One binding for the whole run, as the program keeps it: the library's own
// state lives until the process ends, so it is never unloaded under it.
KordalExports& Library() {
    static KordalExports* const binding = MakeDynamicKordal(KORDAL_LIBRARY_DIR).release();
    return *binding;
}

class CommandEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fpsim::PrinterOptions options;
        options.clock = printerClock_;
        options.journalFile = (dir_ / "roll.txt").string();
        options.powerLoss = fpsim::PowerLossPolicy::KeepReceipt;
        server_ = std::make_unique<fpsim::PtyPrinter>(options, (dir_ / "COM1").string());
        server_->start();
        printer().modify([](fpsim::PrinterState& st) {
            st.identity = {"MAGAZIN TEST SRL", "STR. LUNGA 1", "RO123", "AB"};
            st.vatRates = {fpsim::VatRate{19, 0}, {9, 0}, {5, 0}, {0, 0}};
        });
        setenv("KORDAL_COM1", server_->devicePath().c_str(), 1);

        ReadStartupSettings(ctx);
        ctx.settings.ComPort = kPort;
        ctx.command.PorturiImprimanta = {kPort, 0, 0};
        ctx.money.FactorLeu = Amount::fromInt(1);
        ASSERT_EQ(kordal_->InitializeazaSerialaNr(kPort), kPort);
        ui.boxes.clear();
    }
    void TearDown() override {
        kordal_->InchidePort(kPort);
        server_.reset();
        fs::remove_all(dir_);
    }

    fpsim::Printer& printer() { return server_->printer(); }
    std::vector<std::string> BoxTexts() const { return ui.boxTexts(); }

    void Sell(const std::string& name, double quantity, double price, const char* group,
              double percent = 0) {
        ctx.sale.DenumireArticol = name;
        ctx.sale.CantitateArticol = Amount::fromDouble(quantity);
        ctx.sale.LinieNegativa = 0;
        ctx.sale.PretArticol = Amount::fromDouble(price);
        ctx.sale.GrupaTVA = group;
        ctx.sale.ProcentArticol = Amount::fromDouble(percent);
        ctx.sale.ProcentActiv = percent != 0 ? 1 : 0;
        std::string response = "-";
        ASSERT_TRUE(VanzareMarfa(ctx, response)) << name;
    }

    fs::path dir_ = fs::temp_directory_path() /
                    ("veltar-cmd-e2e-" +
                     std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::shared_ptr<fpsim::ManualClock> printerClock_ =
        std::make_shared<fpsim::ManualClock>(kPrinterStart);
    std::unique_ptr<fpsim::PtyPrinter> server_;

    testing::ScriptedWindowServices ui;
    testing::FixedClock clock;
    testing::MemoryFiles files;
    KordalExports* kordal_ = &Library();
    Context ctx{Services{ui, clock, files, *kordal_}};
    int32_t index = 0;
};

TEST_F(CommandEndToEnd, ReceiptFromOpeningToClosing) {
    ctx.LiniiHeaderFooter[1] = "      BINE ATI VENIT                    ";
    ctx.LiniiHeaderFooter[2] = std::string(40, ' ');
    ctx.LiniiHeaderFooter[3] = "      MAGAZIN NR. 7                     ";
    std::string dash = "-";

    EXPECT_EQ(VerificareStareImprimantaVinzare(ctx, index, dash), sale_state::kReceiptLost);
    dash = "-";
    int32_t receipt = 0;
    ASSERT_TRUE(DeschideBonFiscal(ctx, index, receipt, dash));
    EXPECT_EQ(receipt, 1);
    Sell("PAINE", 2, 250, "A");
    Sell("LAPTE", 1.5, 1000, "B", -5.5);
    EXPECT_EQ(ctx.sale.ProcentActiv, 0);
    Sell("APA", 1, 300, "E");
    EXPECT_TRUE(fctFunctia75(ctx, index, ",", "A", Amount::fromInt(-10), dash));
    EXPECT_TRUE(fctFunctia75(ctx, index, ":", "B", Amount::fromInt(20), dash));
    EXPECT_EQ(VerificareStareImprimantaVinzare(ctx, index, dash), sale_state::kReceiptOpen);
    EXPECT_EQ(ctx.command.BufRaspuns.substr(0, 4), "1,3,");
    EXPECT_TRUE(fctFunctia11(ctx, index, dash));
    EXPECT_EQ(dash, "-");
    EXPECT_TRUE(ui.boxes.empty()) << ::testing::PrintToString(BoxTexts());

    const auto closed = printer().closedReceipts();
    ASSERT_EQ(closed.size(), 1u);
    const fpsim::ClosedReceipt& r = closed[0];
    EXPECT_EQ(r.number, 1u);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[0].quantityMillionths, 2'000'000);
    EXPECT_EQ(r.lines[0].unitPrice, 250);
    EXPECT_EQ(r.lines[1].quantityMillionths, 1'500'000);
    EXPECT_EQ(r.lines[1].percentHundredths, -550);
    EXPECT_EQ(r.lines[1].group, 'B');
    EXPECT_EQ(r.lines[2].group, ' ');
    ASSERT_EQ(r.adjustments.size(), 2u);
    EXPECT_TRUE(r.adjustments[0].percentage);
    EXPECT_EQ(r.adjustments[0].amountOrHundredths, -1000);
    EXPECT_EQ(r.adjustments[1].amountOrHundredths, 20);
    const std::string roll = printer().journal();
    EXPECT_NE(roll.find("BINE ATI VENIT"), std::string::npos);
    EXPECT_NE(roll.find("MAGAZIN NR. 7"), std::string::npos);

    std::string response;
    EXPECT_EQ(VerificareStareImprimantaVinzare(ctx, index, response), sale_state::kReceiptLost);
    EXPECT_EQ(response, "A avut loc o cadere de tensiune! Bonul va fi retiparit");
}

TEST_F(CommandEndToEnd, PowerFailureDuringTheReceiptStopsTheClosing) {
    std::string dash = "-";
    int32_t receipt = 0;
    ASSERT_TRUE(DeschideBonFiscal(ctx, index, receipt, dash));
    Sell("PAINE", 1, 250, "A");
    printer().powerFailure();
    std::string response;
    EXPECT_FALSE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(response, "");
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kPowerFailure});
    // The printer kept the receipt; the next close finishes it.
    EXPECT_TRUE(fctFunctia11(ctx, index, response));
    EXPECT_EQ(printer().closedReceipts().size(), 1u);
}

TEST_F(CommandEndToEnd, ClockAndLeuState) {
    std::string dash = "-";
    DateTime now;
    ASSERT_TRUE(CitesteDataOraImp(ctx, index, now, dash));
    EXPECT_EQ(now, (DateTime{2026, 3, 2, 9, 0, 0}));

    DateTime switched;
    int32_t z = 0;
    ctx.money.LeuGreu = 1;
    ASSERT_TRUE(CitesteLeuGreuImp(ctx, index, switched, z, dash));
    EXPECT_EQ(ctx.money.LeuGreu, 0);
    EXPECT_EQ(z, -1);

    printerClock_->set({2026, 3, 2, 9, 15, 30});
    printer().modify([](fpsim::PrinterState& st) { st.lastZNumber = 412; });
    ASSERT_TRUE(ScrieLeuGreuImp(ctx, index, switched, z));
    EXPECT_EQ(ctx.money.LeuGreu, 1);
    EXPECT_EQ(switched, (DateTime{2026, 3, 2, 9, 15, 30}));
    EXPECT_EQ(z, 412);

    printerClock_->advance(3600);
    ctx.money.LeuGreu = 0;
    ASSERT_TRUE(CitesteLeuGreuImp(ctx, index, switched, z, dash));
    EXPECT_EQ(ctx.money.LeuGreu, 1);
    EXPECT_EQ(switched, (DateTime{2026, 3, 2, 9, 15, 30}));
    EXPECT_EQ(z, 412);
    EXPECT_TRUE(ui.boxes.empty());

    // A second switch is refused by the printer's fiscal mode.
    EXPECT_FALSE(ScrieLeuGreuImp(ctx, index, switched, z));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "Executarea comenzii nu e permisa in regimul fiscal curent!\r\n"
                              "Trebuie dat Raport Z (Inchidere zi) inainte de trecere!"});
}

TEST_F(CommandEndToEnd, PrinterWithoutLeuCommandsCountsInTheOldLeu) {
    printer().setCondition(fpsim::Condition::NoLeuCommands, true);
    std::string dash = "-";
    DateTime switched;
    int32_t z = 0;
    ctx.money.LeuGreu = 1;
    EXPECT_TRUE(CitesteLeuGreuImp(ctx, index, switched, z, dash));
    EXPECT_EQ(ctx.money.LeuGreu, 0);
    EXPECT_FALSE(ScrieLeuGreuImp(ctx, index, switched, z));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Comanda Scrie Leu Greu Inexistenta!"});
}

TEST_F(CommandEndToEnd, InterimAndDayEndReports) {
    std::string dash = "-";
    EXPECT_TRUE(fctFunctia33(ctx, index, kInterimReport, dash));
    EXPECT_EQ(printer().state().lastZNumber, 0u);
    EXPECT_TRUE(fctFunctia33(ctx, index, kDayEndReport, dash));
    EXPECT_EQ(printer().state().lastZNumber, 1u);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CommandEndToEnd, CashIntoAndOutOfTheDrawer) {
    Amount inDrawer, putIn, takenOut;
    std::string response;
    const struct {
        double amount;
        double inDrawer, putIn, takenOut;
    } steps[] = {
        {100, 100, 100, 0},
        {-30, 70, 100, 30},
        {0, 70, 100, 30},
    };
    for (const auto& s : steps) {
        Amount amount = Amount::fromDouble(s.amount);
        ASSERT_TRUE(fctInOutSertar(ctx, index, amount, inDrawer, putIn, takenOut, response));
        EXPECT_EQ(inDrawer, Amount::fromDouble(s.inDrawer));
        EXPECT_EQ(putIn, Amount::fromDouble(s.putIn));
        EXPECT_EQ(takenOut, Amount::fromDouble(s.takenOut));
    }
    // In the redenominated leu the printer counts ten-thousandths of the amount.
    ctx.money.FactorLeu = Amount::fromInt(10000);
    Amount amount = Amount::fromDouble(0.5);
    ASSERT_TRUE(fctInOutSertar(ctx, index, amount, inDrawer, putIn, takenOut, response));
    EXPECT_EQ(printer().state().drawer.inDrawer, 70 + 5000);
    EXPECT_EQ(inDrawer, Amount::fromDouble(0.507));

    // More than the drawer holds is refused by the printer.
    amount = Amount::fromInt(-1);
    EXPECT_FALSE(fctInOutSertar(ctx, index, amount, inDrawer, putIn, takenOut, response));
    EXPECT_EQ(response, "Verificati imprimanta !");
}

TEST_F(CommandEndToEnd, ServiceScreenExchangeAndStatus) {
    EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kReadCompanyName), imp_result::kAccepted);
    EXPECT_EQ(std::string(ctx.command.BufRaspuns.c_str()), "MAGAZIN TEST SRL");
    EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);

    printer().setCondition(fpsim::Condition::PaperOut, true);
    EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kPrinterStatus), imp_result::kAccepted);
    std::string dash = "-";
    EXPECT_FALSE(VerificareExecutieComanda(ctx, index, dash));
    TrateazaErorileImprimantei(ctx);
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"Lipsa hartie la imprimanta! Puneti hartie si apasati OK !",
                                        " Lipsa hartie!", "Imprimanta fiscalizata!"}));
}

TEST_F(CommandEndToEnd, DamagedRepliesBecomeTheirTexts) {
    const struct {
        fpsim::ReplyFault fault;
        const char* response;  // ExecutaComanda
        int imp;               // TrimiteComandaImp
        const char* box;
    } cases[] = {
        {fpsim::ReplyFault::BadChecksum, "Eroare CRC: CRC prost! ", 7, "Eroare CRC: CRC prost !"},
        {fpsim::ReplyFault::BadSequence, "Eroare secventa data! ", 1, "Eroare data"},
        {fpsim::ReplyFault::BadCommandEcho, "Eroare comanda la imprimanta! ", 1,
         "Eroare comanda la imprimanta."},
        {fpsim::ReplyFault::BadEndByte, "Eroare terminator comanda! ", 5,
         "Eroare terminator comanda."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.response);
        printer().injectReplyFault(c.fault);
        std::string response;
        EXPECT_FALSE(ExecutaComanda(ctx, index, "", command_code::kPrinterStatus, response));
        EXPECT_EQ(response, c.response);
        ui.boxes.clear();
        printer().injectReplyFault(c.fault);
        EXPECT_EQ(TrimiteComandaImp(ctx, "", command_code::kPrinterStatus), c.imp);
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.box});
        EXPECT_EQ(ctx.command.BufRaspuns.size(), 251u);
    }
}

}  // namespace
}  // namespace veltar
