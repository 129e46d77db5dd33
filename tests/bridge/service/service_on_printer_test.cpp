// The service screens through the real library against the virtual printer,
// judged by what the printer keeps and prints.
#include <gtest/gtest.h>

#include "bridge_on_printer.h"
#include "service/cash_drawer.h"
#include "service/fiscal_elements.h"
#include "service/periodic_report.h"
#include "service/printer_utilities.h"
#include "shell/settings.h"

namespace veltar::testing {
namespace {

class ServiceOnPrinter : public BridgeOnPrinter {
protected:
    std::vector<std::string> Boxes() { return bridge().ui.boxTexts(); }
};

TEST_F(ServiceOnPrinter, IdentityIsReadWrittenAndFixedByFiscalization) {
    printer().modify([](fpsim::PrinterState& st) { st.fiscalized = false; });
    CfgElemFisc screen(ctx());
    screen.Load();
    FiscalElementsForm& form = screen.form();

    screen.CitesteDenFClick();
    screen.CitesteAdrFClick();
    screen.CitesteCodFClick();
    screen.CitesteSerieFClick();
    EXPECT_EQ(form.DenFirma, "MAGAZIN TEST SRL");
    EXPECT_EQ(form.AdresaFirma, "STR. LUNGA 1");
    EXPECT_EQ(form.CodFisc, "RO123");
    EXPECT_EQ(form.Seriefiscala, "AB");

    form.DenFirma = "  NOUA FIRMA SRL ";
    form.CodFisc = "RO987654321";
    screen.ScrieDenFClick();
    screen.ScrieCodFClick();
    screen.FiscalizareButClick();  // the question answered OK
    EXPECT_EQ(Boxes().size(), 1u) << ::testing::PrintToString(Boxes());
    const fpsim::PrinterState st = printer().state();
    EXPECT_EQ(st.identity.companyName, "NOUA FIRMA SRL");
    EXPECT_EQ(st.identity.fiscalCode, "RO987654321");
    EXPECT_TRUE(st.fiscalized);

    // Now the identity is fixed: the printer refuses, and the screen says why.
    bridge().ui.boxes.clear();
    form.AdresaFirma = "ALTA ADRESA";
    screen.ScrieAdrFClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "Executarea comenzii nu e permisa in regimul fiscal curent!"});
    EXPECT_EQ(printer().state().identity.companyAddress, "STR. LUNGA 1");
    // Opened again, the screen locks the identity writes.
    screen.Load();
    EXPECT_FALSE(form.enabled.ScrieAdrF);
    EXPECT_FALSE(form.enabled.FiscalizareBut);
}

TEST_F(ServiceOnPrinter, RatesAreReadAndWrittenRoundedToHundredthsOnlyAfterTheDayEnd) {
    CfgElemFisc screen(ctx());
    screen.Load();
    FiscalElementsForm& form = screen.form();
    screen.CitesteCoteClick();
    EXPECT_EQ(form.TVA, (std::array<std::string, 4>{"19.00", "9.00", "5.00", "0.00"}));

    // A receipt today: the rates wait for the day-end report.
    printer().modify([](fpsim::PrinterState& st) { st.dayReceipts = 1; });
    form.TVA = {"19.999", "9.5", "5", "0"};
    screen.ScrieCoteClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Cotele TVA nu se pot scrie decat dupa executarea "
                                                "raportului Z (Inchiderea de zi)"});
    EXPECT_EQ(printer().state().vatRates[0], (fpsim::VatRate{19, 0}));

    // The printer takes no hundredths byte of 100: 19.999 must arrive as 20 and 0.
    printer().modify([](fpsim::PrinterState& st) { st.dayReceipts = 0; });
    bridge().ui.boxes.clear();
    screen.ScrieCoteClick();
    EXPECT_EQ(Boxes(), std::vector<std::string>{});
    const auto rates = printer().state().vatRates;
    EXPECT_EQ(rates[0], (fpsim::VatRate{20, 0}));
    EXPECT_EQ(rates[1], (fpsim::VatRate{9, 50}));
    EXPECT_EQ(rates[2], (fpsim::VatRate{5, 0}));
    EXPECT_EQ(rates[3], (fpsim::VatRate{0, 0}));
}

TEST_F(ServiceOnPrinter, LeuSwitchIsMadeOnceAndReportedWithItsDate) {
    ctx().money = MoneyState{0, 0, Amount::fromInt(1)};  // the checks found the old leu
    CfgElemFisc screen(ctx());
    screen.Load();
    screen.cmdVerifLeuGreuClick();
    screen.cmdLeuGreuClick();  // the question answered Yes
    const uint32_t z = printer().state().lastZNumber;
    EXPECT_TRUE(printer().state().redenominated);
    EXPECT_FALSE(screen.form().enabled.cmdLeuGreu);
    EXPECT_EQ(ctx().money.FactorLeu, Amount::fromInt(10000));

    screen.cmdVerifLeuGreuClick();
    screen.cmdLeuGreuClick();
    EXPECT_EQ(Boxes(),
              (std::vector<std::string>{
                  "Nu s-a facut trecerea la Leu Greu!",
                  "ATENTIE! Acest Proces este ireversibil!\r\nSunteti siguri ca doriti sa treceti "
                  "la Leu Greu?",
                  "S-a realizat trecerea la Leu Greu",
                  "S-a facut trecerea la Leu Greu pe data de: 02.03.2026 09:00:00 si nr z: " +
                      std::to_string(z) + "!",
                  "ATENTIE! Acest Proces este ireversibil!\r\nSunteti siguri ca doriti sa treceti "
                  "la Leu Greu?",
                  "Imprimanta este setata deja pe leu greu!"}));
}

TEST_F(ServiceOnPrinter, UtilitiesSetTheClockWithAFourDigitYearThePosNumberAndTheLines) {
    UtilitareImprimanta screen(ctx());
    screen.Load();  // no GENERALE.TXT yet
    PrinterUtilitiesForm& form = screen.form();

    form.Ora = {"5", "4", "3", "2", "1", "2027"};
    screen.ScrieDataOraButClick();
    screen.CitesteDataOraClick();
    EXPECT_EQ(form.DataOra, "03:04:05 02\\01\\27");

    form.NumarPOS = "7";
    screen.ScrieNrPOSBUTClick();
    EXPECT_EQ(printer().state().posNumber, 7);
    EXPECT_EQ(CitesteIni(ctx(), "Mag", "NRPOS"), "7");

    screen.StareButClick();
    EXPECT_EQ(form.StareImp, "000000020");  // fiscalized: S7 20h

    form.lines = {"MAGAZIN DE PROBA", "", "STR. LUNGA 1", "VA MULTUMIM", ""};
    screen.ScrieClick();
    EXPECT_EQ(read("GENERALE.TXT"), "MAGAZIN DE PROBA\r\n\r\nSTR. LUNGA 1\r\nVA MULTUMIM\r\n\r\n");
    UtilitareImprimanta again(ctx());
    again.Load();
    EXPECT_EQ(again.form().lines, form.lines);
    EXPECT_EQ(again.form().NumarPOS, "7");
    // The printer's reports name every condition, being fiscalized included.
    EXPECT_EQ(Boxes(), (std::vector<std::string>{
                           "Fisierul GENERALE.TXT nu exista", "Imprimanta fiscalizata!",
                           "Imprimanta fiscalizata!", "Imprimanta fiscalizata!",
                           "Datele au fost salvate"}));
}

TEST_F(ServiceOnPrinter, PeriodicReportPrintsTheYearsTypedWithFourDigits) {
    RapPer screen(ctx());
    screen.Load();
    screen.form().Data = {"1", "1", "2026", "31", "12", "2026"};
    screen.form().Detaliat = true;
    screen.ExecButClick();
    const std::string roll = printer().journal();
    EXPECT_NE(roll.find("RAPORT MF DETALIAT"), std::string::npos);
    EXPECT_NE(roll.find("DE LA 01.01.2026"), std::string::npos) << roll;
    EXPECT_NE(roll.find("PANA LA 31.12.2026"), std::string::npos) << roll;
    EXPECT_TRUE(Boxes().empty()) << ::testing::PrintToString(Boxes());

    screen.ExitButClick();
    EXPECT_EQ(printer().requestLog().back(), 36);
    EXPECT_TRUE(ctx().VerificareLaActivare);
}

TEST_F(ServiceOnPrinter, CashGoesInThePrintersUnitAndMoreThanTheDrawerHoldsIsRefused) {
    SumaSertar screen(ctx());
    screen.Load();
    CashDrawerForm& form = screen.form();
    form.SExist = "+12.50";
    screen.ExecutaButClick();
    fpsim::PrinterState st = printer().state();
    EXPECT_EQ(st.drawer.putIn, 125000);
    EXPECT_EQ(st.drawerOpenings, 1u);
    EXPECT_EQ(form.SExist, "12.5");
    EXPECT_EQ(form.SIntr, "12.5");
    EXPECT_EQ(form.SIes, "0");

    form.SExist = "-100";
    screen.ExecutaButClick();
    st = printer().state();
    EXPECT_EQ(st.drawer.inDrawer, 125000);
    EXPECT_EQ(st.drawerOpenings, 1u);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Verificati imprimanta !"});
}

}  // namespace
}  // namespace veltar::testing
