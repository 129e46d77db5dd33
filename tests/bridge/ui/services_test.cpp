// QtWindowServices on its own: what a box looks like and what it answers,
// the polling timer, the balanced busy pointer, the wait that keeps events
// going, the end of the program, and which activations count.
#include <QAbstractButton>
#include <QPushButton>
#include <QWidget>

#include "qt_window_services.h"
#include "ui_test.h"

namespace veltar::testing {
namespace {

struct BoxCase {
    const char* name;
    std::string text;  // code page 1250
    std::string title;
    Icon icon;
    Buttons buttons;
    QMessageBox::StandardButton clicked;  // what the operator does
    SeenBox seen;
    Answer answer;
};

void PrintTo(const BoxCase& c, std::ostream* out) { *out << c.name; }

class BoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxTest, ShowsTheTextAndReturnsTheAnswer) {
    const BoxCase& c = GetParam();
    QtWindowServices ui;
    std::vector<SeenBox> seen;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::TextFormat format = Qt::AutoText;
    ui.setBoxAnswerer([&](QMessageBox& box) {
        seen.push_back(Seen(box));
        defaultButton = box.standardButton(box.defaultButton());
        format = box.textFormat();
        return c.clicked;
    });
    EXPECT_EQ(ui.messageBox(c.text, c.title, c.icon, c.buttons), c.answer);
    EXPECT_EQ(seen, std::vector<SeenBox>{c.seen});
    // Texts from files and from the printer are never taken for markup.
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(defaultButton, c.buttons == Buttons::YesNo ? QMessageBox::Yes : QMessageBox::Ok);
}

const auto kOk = QMessageBox::StandardButtons(QMessageBox::Ok);
const auto kOkCancel = QMessageBox::Ok | QMessageBox::Cancel;
const auto kYesNo = QMessageBox::Yes | QMessageBox::No;

INSTANTIATE_TEST_SUITE_P(
    Boxes, BoxTest,
    ::testing::Values(
        BoxCase{"NoTitleGivesTheProgramsTitle", "Gata", "", Icon::None, Buttons::Ok,
                QMessageBox::Ok, {"Gata", "VELTAR2000", QMessageBox::NoIcon, kOk}, Answer::Ok},
        BoxCase{"ErrorIconAndCodePage1250",
                "Eroare la imprimant\xE3: \xBAtergere", "Tratare Erori POS", Icon::Error,
                Buttons::Ok, QMessageBox::Ok,
                {"Eroare la imprimant\xC4\x83: \xC5\x9Ftergere", "Tratare Erori POS",
                 QMessageBox::Critical, kOk},
                Answer::Ok},
        BoxCase{"LineEndsOfEveryKind", "S E\r\n\r\nP U\rX\nY", "Rutina Verificare",
                Icon::Information, Buttons::Ok, QMessageBox::Ok,
                {"S E\n\nP U\nX\nY", "Rutina Verificare", QMessageBox::Information, kOk},
                Answer::Ok},
        BoxCase{"MarkupStaysText", "<b>19</b> & 9", "", Icon::Warning, Buttons::OkCancel,
                QMessageBox::Cancel, {"<b>19</b> & 9", "VELTAR2000", QMessageBox::Warning,
                kOkCancel},
                Answer::Cancel},
        BoxCase{"Yes", "Doriti sa iesiti din program? ", "VELTAR 2000", Icon::None,
                Buttons::YesNo, QMessageBox::Yes,
                {"Doriti sa iesiti din program? ", "VELTAR 2000", QMessageBox::NoIcon, kYesNo},
                Answer::Yes},
        BoxCase{"No", "?", "VELTAR 2000", Icon::Warning, Buttons::YesNo, QMessageBox::No,
                {"?", "VELTAR 2000", QMessageBox::Warning, kYesNo}, Answer::No},
        // Closed by the window manager without a button: never taken as consent.
        BoxCase{"QuestionClosedWithoutAnswer", "?", "T", Icon::None, Buttons::YesNo,
                QMessageBox::NoButton, {"?", "T", QMessageBox::NoIcon, kYesNo}, Answer::No},
        BoxCase{"OkCancelClosedWithoutAnswer", "?", "T", Icon::None, Buttons::OkCancel,
                QMessageBox::NoButton, {"?", "T", QMessageBox::NoIcon, kOkCancel},
                Answer::Cancel}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QtWindowServicesTest, AModalBoxIsAnsweredByItsButtons) {
    // No answerer: the real modal box, answered the way an operator does.
    QtWindowServices ui;
    QTimer::singleShot(0, [] {
        QTimer* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                box->button(QMessageBox::No)->click();
            }
        });
        poll->start(20);
    });
    EXPECT_EQ(ui.messageBox("?", "", Icon::None, Buttons::YesNo), Answer::No);
}

TEST(QtWindowServicesTest, PollingTimerKeepsItsRhythmAndStopsWithTheProgram) {
    QtWindowServices ui;
    const QTimer& timer = ui.pollingTimerForTest();
    EXPECT_EQ(timer.interval(), 2000);
    EXPECT_FALSE(ui.pollingTimer());
    ui.setPollingTimer(true);
    QTest::qWait(300);
    const int left = timer.remainingTime();
    // Switching a running timer on again does not put its next tick off.
    ui.setPollingTimer(true);
    EXPECT_LE(timer.remainingTime(), left);
    ui.setPollingTimer(false);
    EXPECT_FALSE(ui.pollingTimer());

    ui.setPollingTimer(true);
    ui.quit();
    EXPECT_TRUE(ui.quitRequested());
    EXPECT_FALSE(ui.pollingTimer());
    ui.setPollingTimer(true);
    EXPECT_FALSE(ui.pollingTimer()) << "nothing is polled once the program ends";
}

TEST(QtWindowServicesTest, AQuitBeforeTheEventLoopStillEndsIt) {
    QtWindowServices ui;
    ui.quit();
    // The queued end reaches a loop that starts after it was asked for.
    QEventLoop loop;
    QTimer::singleShot(3000, &loop, [&loop] { loop.exit(1); });
    EXPECT_EQ(loop.exec(), 0);
}

TEST(QtWindowServicesTest, BusyPointerCallsAreBalanced) {
    {
        QtWindowServices ui;
        ui.setBusyPointer(false);  // nothing to undo
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ui.setBusyPointer(true);
        ui.setBusyPointer(true);
        ui.setBusyPointer(false);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.setBusyPointer(false);
        ui.setBusyPointer(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        ui.setBusyPointer(true);
    }
    // A busy pointer left on is taken back with the services.
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtWindowServicesTest, WaitKeepsEventsGoing) {
    QtWindowServices ui;
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    ui.waitProcessingEvents(300);
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 290);
}

TEST(QtWindowServicesTest, CaptionsAndControlsByName) {
    QtWindowServices ui;
    QWidget window;
    auto* button = new QPushButton(&window);
    button->setObjectName("ServicePOS");
    button->setEnabled(false);
    ui.registerWindow(Window::Main, &window);

    ui.setCaption(Window::Main, "Fereastr\xE3");
    EXPECT_EQ(window.windowTitle().toStdString(), "Fereastr\xC4\x83");
    ui.setControlEnabled(Window::Main, "ServicePOS", true);
    EXPECT_TRUE(button->isEnabled());
    // Unknown controls and windows without a widget are left alone.
    ui.setControlEnabled(Window::Main, "Nimic", false);
    ui.setCaption(Window::CashDrawer, "x");
    ui.showWindow(Window::CashDrawer);
    EXPECT_FALSE(ui.quitRequested());
}

TEST(QtWindowServicesTest, ClosingTheMainWindowEndsTheProgram) {
    QtWindowServices ui;
    QWidget main;
    QWidget about;
    ui.registerWindow(Window::Main, &main);
    ui.registerWindow(Window::About, &about);
    about.show();
    ui.closeWindow(Window::About);
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(ui.quitRequested());
    main.show();
    ui.closeWindow(Window::Main);
    EXPECT_FALSE(main.isVisible());
    EXPECT_TRUE(ui.quitRequested());
}

TEST(QtWindowServicesTest, ActivationCountsOnlyBetweenWindowsOfTheProgram) {
    QtWindowServices ui;
    QWidget main;
    QWidget menu;
    QWidget box;  // stands for a message box: not a window of the logic
    ui.registerWindow(Window::Main, &main);
    ui.registerWindow(Window::ServiceMenu, &menu);
    std::vector<Window> activated;
    QObject::connect(&ui, &QtWindowServices::formActivated,
                     [&](Window w) { activated.push_back(w); });
    auto activate = [](QWidget& w) {
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    };

    ASSERT_TRUE(activate(main));
    ASSERT_TRUE(activate(box));
    ASSERT_TRUE(activate(main));  // back from the box: the same activation
    EXPECT_EQ(activated, std::vector<Window>{Window::Main});
    ASSERT_TRUE(activate(menu));
    ASSERT_TRUE(activate(main));
    // Hidden, another program's window active meanwhile, then shown again.
    main.hide();
    ASSERT_TRUE(activate(box));
    ASSERT_TRUE(activate(main));
    EXPECT_EQ(activated,
              (std::vector<Window>{Window::Main, Window::ServiceMenu, Window::Main, Window::Main}));
}

}  // namespace
}  // namespace veltar::testing
