// The four forms as built: their controls under the names the screens use,
// exact captions, pictures with tooltips, the title bar, the tab order and
// the boxes' length limits.
#include <QCheckBox>
#include <QLabel>

#include "dialog_test.h"

namespace veltar::testing {
namespace {

constexpr Window kFiscal = Window::FiscalElements;
constexpr Window kUtilities = Window::PrinterUtilities;
constexpr Window kReport = Window::PeriodicReport;
constexpr Window kCash = Window::CashDrawer;

enum class Kind { Label, Text, Picture, Check };

struct Caption {
    Window window;
    const char* name;
    Kind kind;
    const char* text;  // the exact caption; for a picture, a part of its tooltip
};

void PrintTo(const Caption& c, std::ostream* out) { *out << WindowName(c.window) << "." << c.name; }

class CaptionTest : public DialogTest, public ::testing::WithParamInterface<Caption> {};

TEST_P(CaptionTest, ShowsTheScreensText) {
    const Caption& c = GetParam();
    QWidget* widget = control(c.window, c.name);
    ASSERT_NE(widget, nullptr);
    switch (c.kind) {
        case Kind::Label:
            ASSERT_NE(qobject_cast<QLabel*>(widget), nullptr);
            EXPECT_EQ(static_cast<QLabel*>(widget)->text().toStdString(), c.text);
            break;
        case Kind::Check:
            ASSERT_NE(qobject_cast<QCheckBox*>(widget), nullptr);
            EXPECT_EQ(static_cast<QCheckBox*>(widget)->text().toStdString(), c.text);
            break;
        case Kind::Text:
        case Kind::Picture: {
            auto* b = qobject_cast<QPushButton*>(widget);
            ASSERT_NE(b, nullptr);
            if (c.kind == Kind::Text) {
                EXPECT_EQ(b->text().toStdString(), c.text);
                EXPECT_TRUE(b->icon().isNull());
            } else {
                // A picture and nothing else, and a tooltip that says what it does.
                EXPECT_TRUE(b->text().isEmpty());
                EXPECT_FALSE(b->icon().isNull());
                EXPECT_NE(b->toolTip().toStdString().find(c.text), std::string::npos)
                    << b->toolTip().toStdString();
            }
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CaptionTest,
    ::testing::Values(
        Caption{kFiscal, "Label1", Kind::Label, "Configurare elemente fiscale"},
        Caption{kFiscal, "Label2", Kind::Label, "Serie fiscala"},
        Caption{kFiscal, "Label3", Kind::Label, "Denumire firma"},
        Caption{kFiscal, "Label4", Kind::Label, "Adresa firma"},
        Caption{kFiscal, "Label5", Kind::Label, "Cod fiscal"},
        Caption{kFiscal, "Label6", Kind::Label, "TVA A"},
        Caption{kFiscal, "Label9", Kind::Label, "TVA D"},
        Caption{kFiscal, "Label10", Kind::Label, "ATENTIE!"},
        Caption{kFiscal, "Label11", Kind::Label,
                "Fiscalizarea imprimantei se face o singura data si este un proces ireversibil!"},
        Caption{kFiscal, "Label12", Kind::Label, "ATENTIE!"},
        Caption{kFiscal, "Label13", Kind::Label,
                "Trecerea la leul greu se face o singura data si este un proces ireversibil!"},
        Caption{kFiscal, "CitesteSerieF", Kind::Text, "Citeste"},
        Caption{kFiscal, "ScrieCodF", Kind::Text, "Scrie"},
        Caption{kFiscal, "CitesteCote", Kind::Text, "Citeste"},
        Caption{kFiscal, "ScrieCote", Kind::Text, "Scrie"},
        Caption{kFiscal, "FiscalizareBut", Kind::Text, "Fiscalizare"},
        Caption{kFiscal, "cmdLeuGreu", Kind::Text, "Trecere la Leu Greu"},
        Caption{kFiscal, "cmdVerifLeuGreu", Kind::Text, "Verificare Leu Greu"},
        Caption{kFiscal, "ExitBut", Kind::Text, "E&xit"},
        Caption{kUtilities, "Label1", Kind::Label, "Utilitare"},
        Caption{kUtilities, "Header1Label", Kind::Label, "Header 1"},
        Caption{kUtilities, "Footer1Label", Kind::Label, "Footer 1"},
        Caption{kUtilities, "NumarPOSLabel", Kind::Label, "Numar POS"},
        Caption{kUtilities, "LabelOra_0", Kind::Label, "Sec."},
        Caption{kUtilities, "LabelOra_1", Kind::Label, "Minut"},
        Caption{kUtilities, "LabelOra_2", Kind::Label, "Ora"},
        Caption{kUtilities, "LabelOra_3", Kind::Label, "Zi"},
        Caption{kUtilities, "LabelOra_4", Kind::Label, "Luna"},
        Caption{kUtilities, "LabelOra_5", Kind::Label, "An"},
        Caption{kUtilities, "Scrie", Kind::Text, "Scrie"},
        Caption{kUtilities, "ScrieNrPOSBUT", Kind::Text, "Scri&e"},
        Caption{kUtilities, "ScrieDataOraBut", Kind::Text, "&Scrie Data/Ora"},
        Caption{kUtilities, "CitesteDataOra", Kind::Text, "Citeste &Data/Ora"},
        Caption{kUtilities, "StareBut", Kind::Text, "Citeste &Stare"},
        Caption{kUtilities, "StareTranz", Kind::Text, "Citeste Stare &Tranzactie"},
        Caption{kUtilities, "ExitBut", Kind::Text, "E&xit"},
        Caption{kReport, "Titlu", Kind::Label, "Rapoarte"},
        Caption{kReport, "Label1", Kind::Label, "Data de inceput"},
        Caption{kReport, "Label2", Kind::Label, "Data de sfarsit"},
        Caption{kReport, "Label4", Kind::Label, "Tip raport"},
        Caption{kReport, "Label3_0", Kind::Label, "Zi"},
        Caption{kReport, "Label3_4", Kind::Label, "Luna"},
        Caption{kReport, "Label3_5", Kind::Label, "An"},
        Caption{kReport, "Detaliat", Kind::Check, "&Detaliat"},
        Caption{kReport, "ExecBut", Kind::Picture, "Tipareste raportul"},
        Caption{kReport, "ExitBut", Kind::Picture, "Inapoi la fereastra principala"},
        Caption{kCash, "Label1", Kind::Label, "Sume in sertarul de bani"},
        Caption{kCash, "Label2", Kind::Label, "Existent"},
        Caption{kCash, "Label3", Kind::Label, "Intrat"},
        Caption{kCash, "Label4", Kind::Label, "Iesit"},
        Caption{kCash, "ExecutaBut", Kind::Picture, "sertar"},
        Caption{kCash, "ExitBut", Kind::Picture, "Inapoi la fereastra principala"}),
    [](const auto& info) {
        return std::string(WindowName(info.param.window)) + "_" + info.param.name;
    });

class FormsTest : public DialogTest {};

TEST_F(FormsTest, CaptionsAndTheCloseBoxWhereTheScreenHasOne) {
    const struct {
        Window window;
        const char* caption;
        bool closeBox;
    } cases[] = {
        {kFiscal, "Elemente fiscale", true},
        {kUtilities, "Utilitare Imprimanta fiscala", true},
        {kReport, "Rapoarte memorie fiscala pe perioade", false},
        {kCash, "Sume in Sertar", false},
    };
    for (const auto& c : cases) {
        QDialog& d = dialog(c.window);
        EXPECT_EQ(d.objectName().toStdString(), WindowName(c.window));
        EXPECT_EQ(d.windowTitle().toStdString(), c.caption);
        const Qt::WindowFlags flags = d.windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << c.caption;
        EXPECT_EQ(flags.testFlag(Qt::WindowCloseButtonHint), c.closeBox) << c.caption;
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint)) << c.caption;
        // The screens run beside the main window's timer: never modal.
        EXPECT_FALSE(d.isModal()) << c.caption;
    }
}

TEST_F(FormsTest, TabGoesThroughTheControlsInTheScreensOrderFromTheFirst) {
    const struct {
        Window window;
        std::vector<std::string> order;
    } cases[] = {
        {kFiscal,
         {"TVAA", "TVAB", "TVAC", "TVAD", "ScrieCote", "CitesteCote", "Seriefiscala", "DenFirma",
          "AdresaFirma", "CodFisc", "ScrieSerieF", "ScrieDenF", "ScrieAdrF", "ScrieCodF",
          "CitesteSerieF", "CitesteDenF", "CitesteAdrF", "CitesteCodF", "FiscalizareBut",
          "ExitBut", "cmdLeuGreu", "cmdVerifLeuGreu"}},
        {kUtilities,
         {"StareBut", "StareTranz", "CitesteDataOra", "Header1", "Header2", "Header3", "Footer1",
          "Footer2", "Scrie", "Ora_2", "Ora_1", "Ora_0", "Ora_3", "Ora_4", "Ora_5",
          "ScrieDataOraBut", "NumarPOS", "ScrieNrPOSBUT", "ExitBut", "StareImp",
          "StareTranzactie", "DataOra"}},
        {kReport,
         {"DataInc_0", "DataInc_1", "DataInc_2", "DataSf_3", "DataSf_4", "DataSf_5", "Detaliat",
          "ExecBut", "ExitBut"}},
        // The totals are shown, not typed: Tab passes them by.
        {kCash, {"SExist", "ExecutaBut", "ExitBut"}},
    };
    files.files["GENERALE.TXT"] = "1\r\n2\r\n3\r\n4\r\n5\r\n";
    ctx.money.LeuGreu = 0;  // every button of the fiscal elements enabled
    for (const auto& c : cases) {
        open(c.window);
        std::vector<std::string> seen{focused(c.window)};
        for (std::size_t k = 1; k <= c.order.size(); ++k) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen.push_back(focused(c.window));
        }
        std::vector<std::string> wanted = c.order;
        wanted.push_back(c.order.front());  // and round again
        EXPECT_EQ(seen, wanted) << WindowName(c.window);
    }
    EXPECT_EQ(commands(), std::vector<int32_t>{});
}

TEST_F(FormsTest, BoxesTakeNoMoreCharactersThanTheirLimit) {
    const struct {
        Window window;
        const char* box;
        std::size_t limit;  // 0: none that typing reaches
    } cases[] = {
        {kUtilities, "Ora_0", 2}, {kUtilities, "Ora_1", 2}, {kUtilities, "Ora_2", 2},
        {kUtilities, "Ora_3", 2}, {kUtilities, "Ora_4", 2}, {kUtilities, "Ora_5", 4},
        {kReport, "DataInc_0", 2}, {kReport, "DataInc_1", 2}, {kReport, "DataInc_2", 4},
        {kReport, "DataSf_3", 2},  {kReport, "DataSf_4", 2},  {kReport, "DataSf_5", 4},
        // Lines longer than the receipt's 40 characters are kept whole.
        {kUtilities, "Header1", 0}, {kUtilities, "NumarPOS", 0}, {kFiscal, "CodFisc", 0},
        {kFiscal, "TVAA", 0},       {kCash, "SExist", 0},
    };
    const std::string typed = "1234567890123456789012345678901234567890123456789";
    for (const auto& c : cases) {
        open(c.window);
        QLineEdit* b = box(c.window, c.box);
        ASSERT_NE(b, nullptr);
        b->setFocus();
        b->clear();
        QTest::keyClicks(b, QString::fromStdString(typed));
        EXPECT_EQ(b->text().toStdString(), c.limit == 0 ? typed : typed.substr(0, c.limit))
            << WindowName(c.window) << "." << c.box;
    }
}

}  // namespace
}  // namespace veltar::testing
