// The program on the virtual printer through its real windows: the start and
// the main window's load by cause, the splash's three ways out, the manual
// reports with their paper loop, the way out, and the service menu's return
// to the checks.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <algorithm>
#include <optional>

#include "about_window.h"
#include "comenzi_window.h"
#include "service_menu_window.h"
#include "shell/windows/small_windows.h"
#include "splash_window.h"
#include "ui_test.h"

namespace veltar::testing {
namespace {

constexpr const char* kPortFailure =
    "Porturile seriale nu au fost initializate. Eroare IRECUPERABILA";

const auto kOk = QMessageBox::StandardButtons(QMessageBox::Ok);
const auto kYesNo = QMessageBox::Yes | QMessageBox::No;

class ProgramTest : public UiTest {
public:
    void nothing() {}
    // Something that is not a terminal stands where the port should be.
    void refusePort() {
        put("not-a-port", "");
        setenv("KORDAL_COM1", (dir_ / "not-a-port").c_str(), 1);
    }

protected:
    // The library's own line settings (hardware flow control among them) are
    // on the terminal while it holds the port; closing it puts the printer
    // side's settings back.
    bool libraryHoldsPort() {
        const int fd = ::open(printer_->terminalPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) return false;
        termios settings{};
        const bool held = ::tcgetattr(fd, &settings) == 0 && (settings.c_cflag & CRTSCTS) != 0;
        ::close(fd);
        return held;
    }
    QWidget& mainWindow() { return program().mainWindow(); }
    void click(Window w, const char* name) {
        QPushButton* button = control<QPushButton>(w, name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    bool ended() { return services().quitRequested() && context().exchange.programEnded; }
};

// --- The start and the load ------------------------------------------------

TEST_F(ProgramTest, ASecondCopyEndsAtOnceWithoutAWord) {
    Program& program = makeProgram();
    const std::string conf = read("Conf.ini");
    EXPECT_EQ(program.start(true), StartOutcome::AlreadyRunning);
    QTest::qWait(800);
    for (Window w : {Window::Splash, Window::Main, Window::About, Window::ServiceMenu}) {
        EXPECT_FALSE(services().widget(w)->isVisible());
    }
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(printer().requestCount(), 0u);
    EXPECT_EQ(read("Conf.ini"), conf);
    EXPECT_FALSE(context().windows.mainWindowLoaded);
}

struct LoadCase {
    const char* cause;
    void (ProgramTest::*arrange)();
    std::optional<SeenBox> box;
    bool ends;
    std::string errorFile;  // ERR.TXT, for the sales application
};

void PrintTo(const LoadCase& c, std::ostream* out) { *out << c.cause; }

class LoadTest : public ProgramTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, EndsOrGoesOnByCause) {
    const LoadCase& c = GetParam();
    (this->*c.arrange)();
    Program& program = makeProgram();
    ASSERT_EQ(program.start(false), StartOutcome::Splash);
    ASSERT_TRUE(QTest::qWaitFor([&] { return context().windows.mainWindowLoaded; }, 5000));
    QTest::qWait(100);

    if (c.box) {
        EXPECT_EQ(boxes, std::vector<SeenBox>{*c.box});
    } else {
        EXPECT_TRUE(boxes.empty()) << boxes[0];
    }
    EXPECT_EQ(ended(), c.ends);
    EXPECT_EQ(mainWindow().isVisible(), !c.ends);
    // Trading started: the first tick ran and switched polling on.
    EXPECT_EQ(services().pollingTimer(), !c.ends);
    EXPECT_EQ(libraryHoldsPort(), !c.ends);
    EXPECT_EQ(read("ERR.TXT"), c.errorFile);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, LoadTest,
    ::testing::Values(
        LoadCase{"PortOpens", &ProgramTest::nothing, std::nullopt, false, ""},
        LoadCase{"PortRefused", &ProgramTest::refusePort,
                 SeenBox{kPortFailure, "Tratare Erori POS", QMessageBox::Critical, kOk}, true,
                 std::string(kPortFailure) + "\r\n"}),
    [](const auto& info) { return std::string(info.param.cause); });

// --- The splash ------------------------------------------------------------

enum class SplashEnd { Timer, Key, Click };

class SplashTest : public ProgramTest, public ::testing::WithParamInterface<SplashEnd> {};

TEST_P(SplashTest, EndsAndTheMainWindowLoadsOnce) {
    Program& program = makeProgram();
    ASSERT_EQ(program.start(false), StartOutcome::Splash);
    SplashWindow& splash = program.splash();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    EXPECT_EQ(splash.findChild<QLabel*>("lblProductName")->text().toStdString(), "VELTAR2000");
    EXPECT_EQ(splash.findChild<QLabel*>("lblVersion")->text().toStdString(), "Version 1.2.1002");
    EXPECT_EQ(splash.findChild<QLabel*>("lblPlatform")->text().toStdString(), "Platform Linux");
    EXPECT_FALSE(context().windows.mainWindowLoaded);

    switch (GetParam()) {
        case SplashEnd::Timer:
            EXPECT_TRUE(splash.timerForTest().isActive());
            EXPECT_EQ(splash.timerForTest().interval(), 500);
            ASSERT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 3000));
            break;
        case SplashEnd::Key:
            QTest::keyClick(&splash, Qt::Key_Space);
            break;
        case SplashEnd::Click: {
            auto* frame = splash.findChild<QWidget*>("Frame1");
            QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(5, 5));
            break;
        }
    }
    // A key or a click ends the splash there and then, before its timer.
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.timerForTest().isActive());
    EXPECT_TRUE(context().windows.mainWindowLoaded);
    const uint64_t afterLoad = printer().requestCount();
    EXPECT_GT(afterLoad, 0u);
    // Past the splash's timer nothing loads again (idle ticks ask the printer nothing).
    QTest::qWait(1200);
    EXPECT_EQ(printer().requestCount(), afterLoad);
    EXPECT_TRUE(boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, SplashTest,
                         ::testing::Values(SplashEnd::Timer, SplashEnd::Key, SplashEnd::Click),
                         [](const auto& info) {
                             switch (info.param) {
                                 case SplashEnd::Timer: return std::string("Timer");
                                 case SplashEnd::Key: return std::string("Key");
                                 case SplashEnd::Click: break;
                             }
                             return std::string("Click");
                         });

// --- The manual reports ----------------------------------------------------

const std::string kPaperRunningOut =
    "S E   T E R M I N A   H A R T I A  L A  I M P R I M A N T A  !!\n\n"
    "P U N E T I  H A R T I E  S I  A P A S A T I   OK !";
const SeenBox kDayEndQuestion{"Ati terminat vanzarile pe ziua curenta?", "VELTAR 2000",
                              QMessageBox::Warning, kYesNo};

SeenBox PaperBox(const std::string& text) {
    return {text, "Rutina Verificare", QMessageBox::Information, kOk};
}

struct ReportCase {
    const char* name;
    const char* button;
    std::optional<fpsim::Condition> paper;
    int okPresses;  // OKs on the paper message until the paper is back
    std::vector<QMessageBox::StandardButton> answers;
    std::vector<SeenBox> boxes;
    const char* printed;  // the report's heading on the paper, nullptr: none
};

void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }

class ReportTest : public ProgramTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportTest, ThroughItsButton) {
    const ReportCase& c = GetParam();
    loadedProgram();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow()));
    ASSERT_TRUE(boxes.empty());
    if (c.paper) printer().setCondition(*c.paper, true);
    int paperBoxes = 0;
    whileBox = [&](QMessageBox& box) {
        if (box.windowTitle() == "Rutina Verificare" && ++paperBoxes == c.okPresses) {
            printer().setCondition(*c.paper, false);
        }
    };
    answers.assign(c.answers.begin(), c.answers.end());
    const std::size_t before = printer().requestLog().size();
    const std::size_t zBefore = printer().state().fiscalMemory.size();

    click(Window::Main, c.button);

    EXPECT_EQ(boxes, c.boxes);
    const std::vector<uint8_t> sent = commandsSince(before);
    const bool reported = c.printed != nullptr;
    // One status query per look at the paper, then the report itself.
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 14), reported ? c.okPresses + 1 : 0);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 33), reported ? 1 : 0);
    if (reported) {
        EXPECT_NE(printer().journal().find(c.printed), std::string::npos);
    }
    const bool dayEnd = reported && std::string(c.printed) == "RAPORT Z";
    EXPECT_EQ(printer().state().fiscalMemory.size(), zBefore + (dayEnd ? 1 : 0));
    EXPECT_TRUE(services().pollingTimer());
    EXPECT_FALSE(ended());
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ReportTest,
    ::testing::Values(
        ReportCase{"XPaperOutTwice", "Rapx", fpsim::Condition::PaperOut, 2, {},
                   {PaperBox(" Lipsa hartie la imprimanta! Puneti hartie si apasati OK !"),
                    PaperBox(" Lipsa hartie la imprimanta! Puneti hartie si apasati OK !")},
                   "RAPORT X"},
        ReportCase{"XPaperRunningOut", "Rapx", fpsim::Condition::PaperNearEnd, 1, {},
                   {PaperBox(kPaperRunningOut)}, "RAPORT X"},
        ReportCase{"XPaperPresent", "Rapx", std::nullopt, 0, {}, {}, "RAPORT X"},
        ReportCase{"ZPaperOut", "Rapz", fpsim::Condition::PaperOut, 1, {QMessageBox::Yes},
                   {kDayEndQuestion,
                    PaperBox("  Lipsa hartie la imprimanta! Puneti hartie si apasati OK !")},
                   "RAPORT Z"},
        ReportCase{"ZAnsweredNo", "Rapz", std::nullopt, 0, {QMessageBox::No},
                   {kDayEndQuestion}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The way out -----------------------------------------------------------

enum class ExitBy { Button, Escape, TrayMenu };

struct ExitCase {
    const char* name;
    ExitBy by;
    QMessageBox::StandardButton answer;
};

void PrintTo(const ExitCase& c, std::ostream* out) { *out << c.name; }

class ExitTest : public ProgramTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitTest, AsksFirst) {
    const ExitCase& c = GetParam();
    loadedProgram();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow()));
    answers.push_back(c.answer);
    switch (c.by) {
        case ExitBy::Button:
            click(Window::Main, "ExitBut");
            break;
        case ExitBy::Escape:
            QTest::keyClick(&mainWindow(), Qt::Key_Escape);
            break;
        case ExitBy::TrayMenu:
            services().trayMenu().actions().at(1)->trigger();
            break;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 2000));
    EXPECT_EQ(boxes, (std::vector<SeenBox>{
                         {"Doriti sa iesiti din program? ", "VELTAR 2000", QMessageBox::NoIcon,
                          kYesNo}}));
    const bool yes = c.answer == QMessageBox::Yes;
    EXPECT_EQ(ended(), yes);
    EXPECT_EQ(mainWindow().isVisible(), !yes);
    EXPECT_EQ(libraryHoldsPort(), !yes) << "the port is closed on the way out";
    EXPECT_EQ(services().pollingTimer(), !yes);
}

INSTANTIATE_TEST_SUITE_P(Ways, ExitTest,
                         ::testing::Values(ExitCase{"ButtonYes", ExitBy::Button, QMessageBox::Yes},
                                           ExitCase{"ButtonNo", ExitBy::Button, QMessageBox::No},
                                           ExitCase{"EscapeNo", ExitBy::Escape, QMessageBox::No},
                                           ExitCase{"EscapeYes", ExitBy::Escape, QMessageBox::Yes},
                                           ExitCase{"TrayMenuYes", ExitBy::TrayMenu,
                                                    QMessageBox::Yes}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ProgramTest, TheEventLoopEndsWithTheProgram) {
    loadedProgram();
    answers.push_back(QMessageBox::Yes);
    QTimer::singleShot(0, [this] { click(Window::Main, "ExitBut"); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    watchdog.start(5000);
    EXPECT_EQ(program().exec(), 0);
    // Once asked to end, the program does not enter the loop again.
    EXPECT_EQ(program().exec(), 0);
}

TEST_F(ProgramTest, TheLastWindowGoingAwayDoesNotEndTheProgram) {
    loadedProgram();
    // The service menu hands over to the fiscal elements screen: it closes,
    // and for a moment no window of the program is shown (the button waits
    // for its screen, so its handler is called as the button will call it).
    click(Window::Main, "ServicePOS");
    ASSERT_FALSE(mainWindow().isVisible());
    QTimer::singleShot(300, [this] { ServiceFiscalClick(context()); });
    QTimer::singleShot(1500, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(program().exec(), 7) << "the program ended with its last visible window";
    EXPECT_FALSE(ended());
}

// --- The small windows -----------------------------------------------------

TEST_F(ProgramTest, LeavingTheServiceMenuRunsTheChecksAtTheNextActivation) {
    loadedProgram();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow()));
    QWidget& menu = program().serviceMenu();

    click(Window::Main, "ServicePOS");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    EXPECT_FALSE(mainWindow().isVisible());
    EXPECT_FALSE(services().pollingTimer()) << "no polling while in service";

    const std::size_t before = printer().requestLog().size();
    click(Window::ServiceMenu, "RapTehBut");
    EXPECT_EQ(commandsSince(before), std::vector<uint8_t>{3});

    ASSERT_TRUE(QTest::qWaitForWindowActive(&menu));
    const std::size_t beforeExit = printer().requestLog().size();
    // Esc clicks the exit button, which shows its press for a moment first.
    QTest::keyClick(&menu, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return context().VerificareLaActivare; }, 2000));
    EXPECT_FALSE(menu.isVisible());
    // The main window's activation runs the checks; passing, they start polling.
    ASSERT_TRUE(QTest::qWaitFor([&] { return services().pollingTimer(); }, 5000));
    EXPECT_TRUE(mainWindow().isVisible());
    const std::vector<uint8_t> checks = commandsSince(beforeExit);
    ASSERT_FALSE(checks.empty());
    EXPECT_EQ(checks.front(), 14) << "the checks begin with the status query";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ProgramTest, ChecksAtActivationAreNotBroughtBackByTheirOwnBox) {
    loadedProgram();
    QWidget& main = mainWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    fs::remove(dir_ / "TVA.TXT");
    // The box is really shown, takes the focus, and gives it back to the
    // main window when it closes, as a window manager does.
    whileBox = [&](QMessageBox& box) {
        box.show();
        box.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&box));
        box.hide();
        main.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&main));
    };
    context().VerificareLaActivare = true;
    // Hidden behind the tray while the operator works elsewhere, then back.
    main.hide();
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
    services().showWindow(Window::Main);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 3000));
    QTest::qWait(500);
    EXPECT_EQ(boxes, (std::vector<SeenBox>{
                         {"Fisierul TVA.TXT nu exista!", "VELTAR 2000", QMessageBox::Critical,
                          kOk}}));
    EXPECT_FALSE(services().pollingTimer()) << "trading stays stopped";
}

TEST_F(ProgramTest, AboutBoxBesideTheMainWindow) {
    loadedProgram();
    QWidget& about = program().about();
    click(Window::Main, "AboutB");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_EQ(about.windowTitle().toStdString(), "About VELTAR2000");
    EXPECT_EQ(about.findChild<QLabel*>("lblTitle")->text().toStdString(), "VELTAR2000");
    EXPECT_EQ(about.findChild<QLabel*>("lblVersion")->text().toStdString(), "Version 1.2.1002");
    EXPECT_FALSE(about.findChild<QLabel*>("lblDisclaimer")->text().isEmpty());
    EXPECT_TRUE(mainWindow().isVisible()) << "the about box is not modal";
    about.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    QTest::keyClick(&about, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(ended());
}

}  // namespace
}  // namespace veltar::testing
