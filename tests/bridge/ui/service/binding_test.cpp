// How the dialogs bind their forms: the key rules of the boxes, Enter and
// Esc, the close box, the viewer, the texts crossing between the boxes and
// the presenters in code page 1250, and a fresh form at each opening.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QWindow>

#include "command/codes.h"
#include "dialog_test.h"
#include "exchange/request_files.h"
#include "field_viewer.h"

namespace veltar::testing {
namespace {

constexpr Window kFiscal = Window::FiscalElements;
constexpr Window kUtilities = Window::PrinterUtilities;
constexpr Window kReport = Window::PeriodicReport;
constexpr Window kCash = Window::CashDrawer;

using namespace std::string_literals;

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

KordalReply Accepted(std::string data, std::string status = std::string(8, '\0')) {
    return KordalReply{library_result::kOk, std::move(data), std::move(status)};
}

// Types `text` into `widget` one key at a time, as a keyboard would, letters
// outside Latin-1 included.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c),
                                Qt::NoModifier);
        }
    }
}

class BindingTest : public DialogTest {
protected:
    // The main window hidden and the screen opened, as its button does.
    QDialog& openFromMain(Window w) {
        main.hide();
        return open(w);
    }
    bool closedToMain(Window w) {
        return QTest::qWaitFor([&] { return !dialog(w).isVisible(); }, 2000) &&
               main.isVisible();
    }
    std::vector<KordalCall> calls(const char* function) const {
        return kordal.callsTo(function);
    }
};

TEST_F(BindingTest, ABoxKeepsOnlyTheCharactersItsScreenAllows) {
    const struct {
        Window window;
        const char* box;
        int leuGreu;
        QString typed;
        QString shown;
    } cases[] = {
        {kFiscal, "TVAA", 1, "1a9,.5 x", "19.5"},
        {kFiscal, "TVAD", 1, "12\b3", "13"},  // backspace passes
        {kFiscal, "DenFirma", 1, Q("Şa,1 .-"), Q("Şa,1 .-")},  // no rules
        {kUtilities, "Ora_2", 1, "1.2a", "12"},
        {kUtilities, "Ora_5", 1, "2a0.0-5", "2005"},
        {kUtilities, "Header1", 1, Q("Ţ ab.,-9"), Q("Ţ ab.,-9")},
        {kReport, "DataInc_0", 1, "3x.1", "31"},
        {kReport, "DataSf_5", 1, "2-00 5", "2005"},
        {kCash, "SExist", 1, "+12.5a ", "+12.5"},
        // In the old leu there are no fractions to type.
        {kCash, "SExist", 0, "-12.5", "-125"},
    };
    for (const auto& c : cases) {
        ctx.money.LeuGreu = c.leuGreu;
        open(c.window);
        QLineEdit* b = box(c.window, c.box);
        ASSERT_NE(b, nullptr);
        b->setFocus();
        b->clear();
        Type(b, c.typed);
        EXPECT_EQ(b->text(), c.shown) << WindowName(c.window) << "." << c.box;
    }
    EXPECT_EQ(commands(), std::vector<int32_t>{});
}

TEST_F(BindingTest, EnterMovesTheFocusOnAndSelectsWhereTheScreenSaysSo) {
    files.files["GENERALE.TXT"] = "unu\r\ndoi\r\ntrei\r\npatru\r\ncinci\r\n";
    struct Step {
        const char* focus;
        bool selected;
    };
    const struct {
        Window window;
        const char* start;
        std::vector<Step> steps;  // where each Enter leads
    } cases[] = {
        {kFiscal, "TVAA", {{"TVAB", false}, {"TVAC", false}, {"TVAD", false}, {"TVAD", false}}},
        {kUtilities,
         "Header1",
         {{"Header2", true}, {"Header3", true}, {"Footer1", false}, {"Footer2", true},
          {"Scrie", false}}},
        {kUtilities,
         "Ora_2",
         {{"Ora_1", false}, {"Ora_0", false}, {"Ora_3", false}, {"Ora_4", false},
          {"Ora_5", false}, {"ScrieDataOraBut", false}}},
    };
    for (const auto& c : cases) {
        open(c.window);
        for (QLineEdit* b : dialog(c.window).findChildren<QLineEdit*>()) {
            if (b->text().isEmpty() && !b->isReadOnly()) Type(b, "12");
        }
        box(c.window, c.start)->setFocus();
        for (const Step& step : c.steps) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            ASSERT_EQ(focused(c.window), step.focus) << WindowName(c.window);
            if (auto* b = qobject_cast<QLineEdit*>(dialog(c.window).focusWidget())) {
                EXPECT_EQ(b->selectedText(), step.selected ? b->text() : QString()) << step.focus;
            }
        }
        // Enter is no character of these boxes.
        EXPECT_EQ(box(c.window, c.start)->text().contains('\r'), false);
    }
    EXPECT_EQ(commands(), std::vector<int32_t>{});
    // What Enter stored is what was in the box at that moment, not what the
    // screen had loaded.
    EXPECT_EQ(ctx.LiniiHeaderFooter[1], FitToWidth("unu", kTextLineWidth));
    Type(box(kUtilities, "Header3"), "X");
    box(kUtilities, "Header3")->setFocus();
    QTest::keyClick(box(kUtilities, "Header3"), Qt::Key_Return);
    EXPECT_EQ(ctx.LiniiHeaderFooter[3], FitToWidth("treiX", kTextLineWidth));
}

TEST_F(BindingTest, ARefusedWriteSendsTheFocusBackToItsField) {
    open(kFiscal);
    QLineEdit* code = box(kFiscal, "CodFisc");
    Type(code, "1234567890123456");
    button(kFiscal, "ScrieCodF")->setFocus();
    button(kFiscal, "ScrieCodF")->click();
    EXPECT_EQ(boxes, (std::vector<SeenBox>{
                         {"Codul Fiscal nu poate contine mai mult de 15 caractere! ",
                          "VELTAR2000"}}));
    EXPECT_EQ(focused(kFiscal), "CodFisc");
    EXPECT_EQ(commands(), std::vector<int32_t>{});
}

TEST_F(BindingTest, EscLeavesOnlyTheScreensThatAnswerIt) {
    const struct {
        Window window;
        const char* where;
        bool leaves;
    } cases[] = {
        {kReport, "DataInc_0", true}, {kReport, "Detaliat", true}, {kReport, "ExecBut", true},
        {kCash, "SExist", true},      {kCash, "ExecutaBut", true},
        {kFiscal, "TVAA", false},     {kFiscal, "DenFirma", false},
        {kUtilities, "Header1", false}, {kUtilities, "Ora_2", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(WindowName(c.window)) + "." + c.where);
        openFromMain(c.window);
        QWidget* where = control(c.window, c.where);
        where->setFocus();
        QTest::keyClick(where, Qt::Key_Escape);
        if (c.leaves) {
            EXPECT_TRUE(closedToMain(c.window));
        } else {
            QTest::qWait(20);
            EXPECT_TRUE(dialog(c.window).isVisible());
            EXPECT_FALSE(main.isVisible());
        }
    }
    // Esc sends nothing, and the trading checks are not asked for.
    EXPECT_EQ(commands(), std::vector<int32_t>{});
    EXPECT_FALSE(ctx.VerificareLaActivare);
}

TEST_F(BindingTest, EnterGoesToTheFocusedButtonElseToTheDefaultOne) {
    // The drawer's exchange answers Enter in the amount box.
    openFromMain(kCash);
    Type(box(kCash, "SExist"), "+12.5");
    QTest::keyClick(box(kCash, "SExist"), Qt::Key_Return);
    ASSERT_EQ(calls("InOutSume").size(), 1u);
    EXPECT_EQ(calls("InOutSume")[0].texts, std::vector<std::string>{"+125000"});
    // Except where another button has the focus.
    button(kCash, "ExitBut")->setFocus();
    QTest::keyClick(button(kCash, "ExitBut"), Qt::Key_Return);
    EXPECT_TRUE(closedToMain(kCash));
    EXPECT_EQ(calls("InOutSume").size(), 1u);

    // The report has no default button: Enter in a box or on the check box
    // does nothing, on a button it presses that button.
    kordal.calls.clear();
    openFromMain(kReport);
    Type(box(kReport, "DataInc_0"), "1");
    QTest::keyClick(box(kReport, "DataInc_0"), Qt::Key_Return);
    control(kReport, "Detaliat")->setFocus();
    QTest::keyClick(control(kReport, "Detaliat"), Qt::Key_Return);
    EXPECT_TRUE(kordal.calls.empty());
    EXPECT_TRUE(dialog(kReport).isVisible());
    button(kReport, "ExitBut")->setFocus();
    QTest::keyClick(button(kReport, "ExitBut"), Qt::Key_Return);
    EXPECT_EQ(commands(), std::vector<int32_t>{command_code::kAfterDateTime});
    EXPECT_TRUE(closedToMain(kReport));

    // Nor has the fiscal elements screen: Enter in a field sends nothing.
    kordal.calls.clear();
    openFromMain(kFiscal);
    Type(box(kFiscal, "DenFirma"), "MAGAZIN");
    QTest::keyClick(box(kFiscal, "DenFirma"), Qt::Key_Return);
    EXPECT_TRUE(kordal.calls.empty());
    button(kFiscal, "CitesteDenF")->setFocus();
    QTest::keyClick(button(kFiscal, "CitesteDenF"), Qt::Key_Return);
    EXPECT_EQ(commands(), std::vector<int32_t>{command_code::kReadCompanyName});
}

TEST_F(BindingTest, TheWindowManagersCloseKeepsTheMainWindowReachable) {
    const struct {
        Window window;
        bool leaves;       // through the screen's exit
        bool checksAsked;  // VerificareLaActivare afterwards
    } cases[] = {
        {kReport, false, false},
        {kCash, false, false},
        {kFiscal, true, true},
        {kUtilities, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WindowName(c.window));
        ctx.VerificareLaActivare = false;
        QDialog& d = openFromMain(c.window);
        // The way the window manager asks, for the close box or Alt+F4.
        d.windowHandle()->close();
        if (c.leaves) {
            EXPECT_TRUE(closedToMain(c.window));
        } else {
            QTest::qWait(20);
            EXPECT_TRUE(d.isVisible());
            EXPECT_FALSE(main.isVisible());
        }
        EXPECT_EQ(ctx.VerificareLaActivare, c.checksAsked);
    }
    EXPECT_EQ(commands(), std::vector<int32_t>{});
}

TEST_F(BindingTest, ADoubleClickShowsTheFieldsWholeTextInTheViewer) {
    auto& screen = as<FiscalElementsDialog>(kFiscal);
    open(kFiscal);
    const struct {
        const char* field;
        QString typed;
    } cases[] = {
        {"AdresaFirma", Q("STR. LUNGĂ NR. 1, BL. A, SC. 2, ET. 3, AP. 45, MUN. BUCUREŞTI")},
        {"TVAB", "9.5"},
    };
    for (const auto& c : cases) {
        QLineEdit* field = box(kFiscal, c.field);
        Type(field, c.typed);
        QTest::mouseDClick(field, Qt::LeftButton);
        ASSERT_TRUE(screen.viewer().isVisible()) << c.field;
        EXPECT_EQ(screen.viewer().text(), c.typed);
        auto* shown = screen.viewer().findChild<QPlainTextEdit*>(QStringLiteral("Rezultat"));
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->isReadOnly());
    }
    // The viewer goes with its screen.
    button(kFiscal, "ExitBut")->click();
    EXPECT_FALSE(screen.viewer().isVisible());
    EXPECT_EQ(commands(), std::vector<int32_t>{});
}

TEST_F(BindingTest, TextsCrossInTheCodePageAndUnchangedOnesKeepTheirBytes) {
    open(kFiscal);
    // Ş, then a byte the code page leaves undefined, as the printer holds them.
    kordal.replyToCommand(command_code::kReadCompanyName, Accepted("  MAGAZIN \xAA\x81"));
    button(kFiscal, "CitesteDenF")->click();
    QLineEdit* name = box(kFiscal, "DenFirma");
    EXPECT_EQ(name->text(), Q("MAGAZIN Ş?"));
    button(kFiscal, "ScrieDenF")->click();
    // Typed letters go as the code page has them; ș (comma below) as its
    // cedilla twin.
    name->setFocus();
    name->end(false);
    Type(name, Q("ȘŢ"));
    button(kFiscal, "ScrieDenF")->click();
    const std::vector<KordalCall> writes = calls("TrimiteTelegrama");
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[1].command, command_code::kWriteCompanyName);
    EXPECT_EQ(writes[1].payload, "MAGAZIN \xAA\x81");
    EXPECT_EQ(writes[2].payload, "MAGAZIN \xAA?\xAA\xDE");
}

TEST_F(BindingTest, EachScreensButtonsReachItsPresenterAndTheFormComesBack) {
    // The utilities: the printer's status bytes in the status box.
    open(kUtilities);
    kordal.replyToCommand(command_code::kPrinterStatus,
                          Accepted("", "\x80\x10\x00\x00\x00\x00\x00\x20"s));
    button(kUtilities, "StareBut")->click();
    EXPECT_EQ(box(kUtilities, "StareImp")->text().toStdString(), "80100000020");

    // The report: the typed dates and the check box make the payload.
    open(kReport);
    const char* const dates[] = {"DataInc_0", "DataInc_1", "DataInc_2",
                                 "DataSf_3",  "DataSf_4",  "DataSf_5"};
    const char* const typed[] = {"1", "1", "05", "31", "1", "2005"};
    for (std::size_t k = 0; k < std::size(dates); ++k) Type(box(kReport, dates[k]), typed[k]);
    control<QCheckBox>(kReport, "Detaliat")->setChecked(true);
    button(kReport, "ExecBut")->click();
    ASSERT_EQ(calls("RaportPeriodic").size(), 1u);
    EXPECT_EQ(calls("RaportPeriodic")[0].payload, "\x01\x01\x05\x31\x01\x05" "e");

    // The drawer: an empty amount only reads the totals, which come back
    // into the three boxes.
    open(kCash);
    kordal.queueReply("InOutSume", Accepted("D,1250000,500000,0"));
    button(kCash, "ExecutaBut")->click();
    ASSERT_EQ(calls("InOutSume").size(), 1u);
    EXPECT_EQ(calls("InOutSume")[0].texts, std::vector<std::string>{""});
    EXPECT_EQ(box(kCash, "SExist")->text().toStdString(), "125");
    EXPECT_EQ(box(kCash, "SIntr")->text().toStdString(), "50");
    EXPECT_EQ(box(kCash, "SIes")->text().toStdString(), "0");
}

TEST_F(BindingTest, EveryOpeningStartsFromTheScreensLoad) {
    // What one opening left behind is gone at the next.
    openFromMain(kFiscal);
    Type(box(kFiscal, "DenFirma"), "MAGAZIN");
    button(kFiscal, "ExitBut")->click();
    ASSERT_TRUE(closedToMain(kFiscal));
    // A printer fiscalized meanwhile locks its identity at the next opening.
    ctx.command.OctetiStare[status_bit::kFiscalized.byte] = status_bit::kFiscalized.mask;
    ctx.money.LeuGreu = 1;
    openFromMain(kFiscal);
    EXPECT_TRUE(box(kFiscal, "DenFirma")->text().isEmpty());
    EXPECT_EQ(focused(kFiscal), "TVAA");
    for (const char* locked :
         {"FiscalizareBut", "ScrieSerieF", "ScrieDenF", "ScrieAdrF", "ScrieCodF", "cmdLeuGreu"}) {
        EXPECT_FALSE(button(kFiscal, locked)->isEnabled()) << locked;
    }
    for (const char* open : {"ScrieCote", "CitesteDenF", "cmdVerifLeuGreu", "ExitBut"}) {
        EXPECT_TRUE(button(kFiscal, open)->isEnabled()) << open;
    }

    openFromMain(kReport);
    Type(box(kReport, "DataSf_5"), "2005");
    control<QCheckBox>(kReport, "Detaliat")->setChecked(true);
    box(kReport, "DataSf_5")->setFocus();
    QTest::keyClick(box(kReport, "DataSf_5"), Qt::Key_Escape);
    ASSERT_TRUE(closedToMain(kReport));
    openFromMain(kReport);
    EXPECT_TRUE(box(kReport, "DataSf_5")->text().isEmpty());
    EXPECT_FALSE(control<QCheckBox>(kReport, "Detaliat")->isChecked());
    EXPECT_EQ(focused(kReport), "DataInc_0");

    // The utilities load their lines and the POS number each time.
    files.files["GENERALE.TXT"] = "unu\r\ndoi\r\ntrei\r\npatru\r\ncinci\r\n";
    ctx.settings.NRPOS = 7;
    openFromMain(kUtilities);
    EXPECT_EQ(box(kUtilities, "Footer2")->text().toStdString(), "cinci");
    EXPECT_EQ(box(kUtilities, "NumarPOS")->text().toStdString(), "7");
    EXPECT_EQ(focused(kUtilities), "StareBut");
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace veltar::testing
