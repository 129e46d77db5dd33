// The base of the service dialogs' tests: the real window services (so that
// closes, boxes and the main window behave as in the program) over a context
// whose library, clock and files are the doubles, and the four dialogs made
// on demand and opened the way the program opens them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "cash_drawer_dialog.h"
#include "fake_kordal.h"
#include "fiscal_elements_dialog.h"
#include "fixed_clock.h"
#include "memory_files.h"
#include "periodic_report_dialog.h"
#include "printer_utilities_dialog.h"
#include "qt_window_services.h"
#include "shell/settings.h"

namespace veltar::testing {

// A box as the operator saw it: text and title, UTF-8.
struct SeenBox {
    std::string text;
    std::string title;
    friend bool operator==(const SeenBox&, const SeenBox&) = default;
    friend std::ostream& operator<<(std::ostream& out, const SeenBox& box) {
        return out << "{\"" << box.text << "\", \"" << box.title << "\"}";
    }
};

inline const char* WindowName(Window w) {
    switch (w) {
        case Window::FiscalElements: return "CfgElemFisc";
        case Window::PrinterUtilities: return "UtilitareImprimanta";
        case Window::PeriodicReport: return "RapPer";
        case Window::CashDrawer: return "SumaSertar";
        default: break;
    }
    return "other";
}

class DialogTest : public ::testing::Test {
protected:
    static constexpr int32_t kComPort = 3;

    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        ReadStartupSettings(ctx);
        ctx.settings.ComPort = kComPort;
        ctx.command.PorturiImprimanta = {kComPort, 5, 7};
        main.setObjectName(QStringLiteral("COMENZI"));
        ui.registerWindow(Window::Main, &main);
        ui.setBoxAnswerer([this](QMessageBox& box) {
            boxes.push_back({box.text().toStdString(), box.windowTitle().toStdString()});
            if (!answers.empty()) {
                const QMessageBox::StandardButton answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return box.standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                    : QMessageBox::Ok;
        });
    }

    void TearDown() override {
        for (Window w : {Window::Main, Window::FiscalElements, Window::PrinterUtilities,
                         Window::PeriodicReport, Window::CashDrawer}) {
            ui.registerWindow(w, nullptr);
        }
    }

    // The dialog of `w`, made and registered on first use.
    QDialog& dialog(Window w) {
        std::unique_ptr<QDialog>& made = dialogs_[static_cast<std::size_t>(w) % kSlots];
        if (!made) {
            switch (w) {
                case Window::FiscalElements:
                    made = std::make_unique<FiscalElementsDialog>(ctx);
                    break;
                case Window::PrinterUtilities:
                    made = std::make_unique<PrinterUtilitiesDialog>(ctx);
                    break;
                case Window::PeriodicReport:
                    made = std::make_unique<PeriodicReportDialog>(ctx);
                    break;
                default:
                    made = std::make_unique<CashDrawerDialog>(ctx);
                    break;
            }
            ui.registerWindow(w, made.get());
        }
        return *made;
    }
    template <typename D>
    D& as(Window w) {
        return static_cast<D&>(dialog(w));
    }

    // Opened as the program opens it, and active, as the operator finds it.
    QDialog& open(Window w) {
        QDialog& d = dialog(w);
        ui.showWindow(w);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d)) << WindowName(w);
        return d;
    }

    template <typename T = QWidget>
    T* control(Window w, const char* name) {
        T* found = dialog(w).findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << WindowName(w) << ": " << name;
        return found;
    }
    QLineEdit* box(Window w, const char* name) { return control<QLineEdit>(w, name); }
    QPushButton* button(Window w, const char* name) { return control<QPushButton>(w, name); }

    // The name of the control that has the dialog's focus.
    std::string focused(Window w) {
        QWidget* f = dialog(w).focusWidget();
        return f == nullptr ? std::string("(none)") : f->objectName().toStdString();
    }

    std::vector<int32_t> commands() const { return kordal.commands(); }

    QtWindowServices ui;
    FixedClock clock;
    MemoryFiles files;
    FakeKordal kordal;
    Context ctx{Services{ui, clock, files, kordal}};
    // Stands in for the main window the screens return to.
    QWidget main;
    std::vector<SeenBox> boxes;
    std::deque<QMessageBox::StandardButton> answers;

private:
    static constexpr std::size_t kSlots = 4;
    std::array<std::unique_ptr<QDialog>, kSlots> dialogs_;
};

}  // namespace veltar::testing
