// The one base of the window tests: a bridge directory with Conf.ini and
// TVA.TXT, the virtual printer on a pseudo-terminal behind KORDAL_COM1, and
// the program with its real widgets (offscreen), finding libkordal.so beside
// itself. Boxes are answered by a script instead of an operator.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fpsim/pty_printer.h"
#include "program.h"
#include "shell/kordal_binding.h"

namespace veltar::testing {

namespace fs = std::filesystem;

// A box as the operator would have seen it.
struct SeenBox {
    std::string text;  // UTF-8, Qt's line ends
    std::string title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    friend bool operator==(const SeenBox&, const SeenBox&) = default;
};
inline std::ostream& operator<<(std::ostream& out, const SeenBox& box) {
    return out << "{\"" << box.text << "\", \"" << box.title << "\", icon " << box.icon
               << ", buttons " << box.buttons.toInt() << "}";
}

inline SeenBox Seen(const QMessageBox& box) {
    return {box.text().toStdString(), box.windowTitle().toStdString(), box.icon(),
            box.standardButtons()};
}

// The printer's rates as the sales application writes them.
inline constexpr const char* kMatchingVatRates = "19\t9\t5\t0\t\r\n";

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir_ = fs::temp_directory_path() / ("veltar-ui-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        printer_ = std::make_unique<fpsim::PtyPrinter>();
        printer_->start();
        printer().modify([](fpsim::PrinterState& st) {
            st.identity = {"MAGAZIN TEST SRL", "STR. LUNGA 1", "RO123", "AB"};
            st.vatRates = {fpsim::VatRate{19, 0}, {9, 0}, {5, 0}, {0, 0}};
        });
        setenv("KORDAL_COM1", printer_->devicePath().c_str(), 1);
        writeConf(0);
        put("TVA.TXT", kMatchingVatRates);
    }

    void TearDown() override {
        program_.reset();
        if (usedRealLibrary_) RealLibrary().InchidePort(1);
        // A queued end of the program must not reach the next test's loops.
        QCoreApplication::processEvents();
        printer_.reset();
        fs::remove_all(dir_);
    }

    void writeConf(int tipInterfata, int comPort = 1) {
        put("Conf.ini", "[Mag]\r\nComPort=" + std::to_string(comPort) +
                            "\r\nMultiplu=0\r\nTipInterfata=" + std::to_string(tipInterfata) +
                            "\r\nTipMesaj=0\r\nTitlu=MAGAZIN\r\nNRPOS=1\r\n");
    }
    void put(const std::string& name, const std::string& content) {
        std::FILE* f = std::fopen((dir_ / name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    bool has(const std::string& name) const { return fs::exists(dir_ / name); }
    std::string read(const std::string& name) const {
        std::string content;
        if (std::FILE* f = std::fopen((dir_ / name).c_str(), "rb")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
            std::fclose(f);
        }
        return content;
    }

    // One binding for the whole run, as the program keeps it: the library's
    // state (its open ports) lives until the process ends.
    static KordalExports& RealLibrary() {
        static KordalExports* const binding = MakeDynamicKordal(KORDAL_LIBRARY_DIR).release();
        return *binding;
    }

    // The program on the bridge directory, not started yet; boxes go to the
    // script. The library is the real one unless the test brings another.
    Program& makeProgram(KordalExports* library = nullptr) {
        if (library == nullptr) {
            library = &RealLibrary();
            usedRealLibrary_ = true;
        }
        program_ =
            std::make_unique<Program>(dir_.string(), ProgramSeams{nullptr, nullptr, library});
        program_->windowServices().setBoxAnswerer([this](QMessageBox& box) {
            boxes.push_back(Seen(box));
            if (whileBox) whileBox(box);
            if (!answers.empty()) {
                const QMessageBox::StandardButton answer = answers.front();
                answers.pop_front();
                return answer;
            }
            return box.standardButtons().testFlag(QMessageBox::Yes) ? QMessageBox::Yes
                                                                    : QMessageBox::Ok;
        });
        return *program_;
    }
    // Started in normal operation; returns once the main window has loaded.
    Program& loadedProgram() {
        Program& program = makeProgram();
        program.start(false);
        EXPECT_TRUE(QTest::qWaitFor([&] { return context().windows.mainWindowLoaded; }, 5000));
        return program;
    }

    Program& program() { return *program_; }
    Context& context() { return program_->context(); }
    QtWindowServices& services() { return program_->windowServices(); }
    fpsim::Printer& printer() { return printer_->printer(); }
    template <typename T = QWidget>
    T* control(Window w, const char* name) {
        QWidget* window = services().widget(w);
        return window == nullptr ? nullptr : window->findChild<T*>(QString::fromLatin1(name));
    }
    // The commands the printer received, from the `from`-th on.
    std::vector<uint8_t> commandsSince(std::size_t from) {
        const std::vector<uint8_t> log = printer().requestLog();
        return from < log.size() ? std::vector<uint8_t>(log.begin() + static_cast<long>(from),
                                                        log.end())
                                 : std::vector<uint8_t>{};
    }

    std::vector<SeenBox> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    // Runs while a box is open, before it is answered: the operator's doing.
    std::function<void(QMessageBox&)> whileBox;

    fs::path dir_;
    bool usedRealLibrary_ = false;
    std::unique_ptr<fpsim::PtyPrinter> printer_;
    std::unique_ptr<Program> program_;
};

}  // namespace veltar::testing
