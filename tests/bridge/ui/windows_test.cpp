// The four windows as built: their controls under the names the logic uses,
// exact captions and texts, the buttons that are never or not yet active, the
// window kinds, and the events that reach the handlers.
#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolTip>
#include <QWindow>

#include "comenzi_window.h"
#include "shell/windows/main_window.h"
#include "splash_window.h"
#include "ui_test.h"

namespace veltar::testing {
namespace {

enum class Kind { Picture, Text, Label };

struct ControlCase {
    Window window;
    const char* name;
    Kind kind;
    const char* text;     // the exact caption (a label's or a text button's)
    bool enabled;
    const char* toolTip;  // a part of it; nullptr: none wanted
};

void PrintTo(const ControlCase& c, std::ostream* out) { *out << c.name; }

class ControlTest : public UiTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlTest, IsBuiltAsTheLogicNamesIt) {
    const ControlCase& c = GetParam();
    makeProgram();
    QWidget* widget = control(c.window, c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(widget->isEnabled(), c.enabled);
    if (c.kind == Kind::Label) {
        auto* label = qobject_cast<QLabel*>(widget);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(), c.text);
    } else {
        auto* button = qobject_cast<QPushButton*>(widget);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), c.text);
        // A picture button shows a picture and nothing else, and says in its
        // tooltip what it does.
        EXPECT_EQ(!button->icon().isNull(), c.kind == Kind::Picture);
    }
    if (c.toolTip != nullptr) {
        EXPECT_NE(widget->toolTip().toStdString().find(c.toolTip), std::string::npos)
            << widget->toolTip().toStdString();
    } else if (c.kind == Kind::Picture) {
        ADD_FAILURE() << "every picture button needs a tooltip";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ControlTest,
    ::testing::Values(
        ControlCase{Window::Main, "Label1", Kind::Label, "VELTAR 2000", true, nullptr},
        ControlCase{Window::Main, "Rapz", Kind::Picture, "", true, "Raport Z (inchidere zi)"},
        ControlCase{Window::Main, "Rapx", Kind::Picture, "", true, "Raport X"},
        ControlCase{Window::Main, "RapoarteMF", Kind::Picture, "", true, "Raport periodic"},
        ControlCase{Window::Main, "ServicePOS", Kind::Picture, "", true, "service"},
        ControlCase{Window::Main, "AboutB", Kind::Picture, "", true, "Despre"},
        ControlCase{Window::Main, "ExitBut", Kind::Picture, "", true, "Iesire"},
        ControlCase{Window::Main, "SumeSertarBut", Kind::Text, "Sume in Sertar", true, "sertar"},
        ControlCase{Window::Main, "VanzariPOS", Kind::Text, "Vanzari POS", false, nullptr},
        ControlCase{Window::Main, "InformatiiClienti", Kind::Text, "Informatii  Clienti", false,
                    nullptr},
        ControlCase{Window::Main, "InformatiiVanzari", Kind::Text, "Informatii  Vanzari", false,
                    nullptr},
        ControlCase{Window::ServiceMenu, "Titlu", Kind::Label, "SERVICE VELTAR 2000", true,
                    nullptr},
        ControlCase{Window::ServiceMenu, "ServiceFiscal", Kind::Picture, "", true,
                    "Elemente fiscale"},
        ControlCase{Window::ServiceMenu, "UtilitarBut", Kind::Picture, "", true,
                    "Utilitare imprimanta"},
        ControlCase{Window::ServiceMenu, "RapTehBut", Kind::Picture, "", true, "Raport tehnic"},
        ControlCase{Window::ServiceMenu, "ExitBut", Kind::Picture, "", true, "Inapoi"},
        ControlCase{Window::ServiceMenu, "ConfigurareBazaDeDate", Kind::Text,
                    "Configurare Baza de Date", false, nullptr},
        ControlCase{Window::ServiceMenu, "Utilizatori", Kind::Text, "Utili&zatori", false,
                    nullptr},
        ControlCase{Window::About, "cmdOK", Kind::Text, "OK", true, nullptr}),
    [](const auto& info) {
        return std::string(info.param.window == Window::Main ? "Main_" : "Other_") +
               info.param.name;
    });

class WindowsTest : public UiTest {};

TEST_F(WindowsTest, KindsOfWindowAndTheirCaptions) {
    makeProgram();
    QWidget* main = services().widget(Window::Main);
    QWidget* menu = services().widget(Window::ServiceMenu);
    QWidget* splash = services().widget(Window::Splash);
    QWidget* about = services().widget(Window::About);
    EXPECT_EQ(main->windowTitle().toStdString(), "COMENZI DISPONIBILE");
    EXPECT_EQ(menu->windowTitle().toStdString(), "SERVICE");
    // Neither the main window nor the service menu can be closed from the title bar.
    for (QWidget* w : {main, menu}) {
        const Qt::WindowFlags flags = w->windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint)) << w->objectName().toStdString();
        EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint));
    }
    EXPECT_EQ(splash->windowType(), Qt::SplashScreen);
    EXPECT_TRUE(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    // The about box: a tool window (kept out of the taskbar) without
    // minimise or maximise, and not modal.
    EXPECT_EQ(about->windowType(), Qt::Tool);
    EXPECT_FALSE(about->windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    EXPECT_FALSE(static_cast<QDialog*>(about)->isModal());
    EXPECT_TRUE(control<QPushButton>(Window::About, "cmdOK")->isDefault());
    // Esc leaves both the main window (through its exit) and the service menu.
    for (Window w : {Window::Main, Window::ServiceMenu}) {
        EXPECT_EQ(control<QPushButton>(w, "ExitBut")->shortcut(), QKeySequence(Qt::Key_Escape));
    }
}

TEST_F(WindowsTest, TheWindowManagersCloseIsRefusedWhereThereIsNoCloseBox) {
    makeProgram();
    for (Window w : {Window::Main, Window::ServiceMenu}) {
        QWidget* widget = services().widget(w);
        widget->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
        // The way the window manager asks, e.g. for Alt+F4.
        widget->windowHandle()->close();
        EXPECT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    }
    EXPECT_FALSE(services().quitRequested());
}

TEST_F(WindowsTest, APictureButtonSaysWhatItDoesOnHover) {
    makeProgram();
    QWidget* main = services().widget(Window::Main);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    QWidget* button = control(Window::Main, "RapoarteMF");
    // The pointer comes to rest on the button, as the operator's would.
    QTest::mouseMove(main, QPoint(1, 1));
    QTest::mouseMove(button, button->rect().center());
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_EQ(QToolTip::text(), button->toolTip());
    QToolTip::hideText();
}

TEST_F(WindowsTest, OnlyAPressOnTheBareBackgroundHidesTheMainWindow) {
    Program& program = makeProgram();
    QWidget* main = &program.mainWindow();
    // With a tray icon the window may hide: the icon leads back to it.
    context().windows.trayIcon = true;
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main));

    QWidget* disabled = control(Window::Main, "VanzariPOS");
    ASSERT_FALSE(disabled->isEnabled());
    QTest::mouseClick(disabled, Qt::LeftButton, {}, disabled->rect().center());
    QTest::mouseClick(control(Window::Main, "Label1"), Qt::LeftButton);
    EXPECT_TRUE(main->isVisible()) << "a press on a control is not one on the background";

    QTest::mouseClick(main, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(main->isVisible());
}

TEST_F(WindowsTest, TrayIconEventsReachTheMainWindow) {
    Program& program = makeProgram();
    QtWindowServices& ui = services();
    QWidget* main = &program.mainWindow();
    // The offscreen platform has no notification area, so there is no icon
    // to add; its events still travel the same way.
    EXPECT_FALSE(ui.addTrayIcon("VELTAR 2000 ver. TEXT"));

    emit ui.trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(main->isVisible()) << "a single click is ignored";

    emit ui.trayIcon().activated(QSystemTrayIcon::Context);
    QMenu& menu = ui.trayMenu();
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
    std::vector<std::string> entries;
    for (QAction* action : menu.actions()) entries.push_back(action->text().toStdString());
    EXPECT_EQ(entries, (std::vector<std::string>{"Comenzi", "Exit"}));
    menu.actions()[0]->trigger();
    menu.hide();
    EXPECT_TRUE(QTest::qWaitFor([&] { return main->isVisible(); }, 2000));
    EXPECT_EQ(main->windowTitle().toStdString(), "COMENZI DISPONIBILE");

    main->hide();
    emit ui.trayIcon().activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle().toStdString(), "Double Click");
}

}  // namespace
}  // namespace veltar::testing
