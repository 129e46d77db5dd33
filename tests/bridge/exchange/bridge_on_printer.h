// The bridge's logic on a real directory, through the real libkordal.so,
// against the virtual printer on a pseudo-terminal: what a till does, without
// the windows. A test can stop "the program" after any library call and start
// a fresh one on the same directory and printer, as after a restart.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "exchange/request_files.h"
#include "exchange/tick.h"
#include "fixed_clock.h"
#include "fpsim/pty_printer.h"
#include "scripted_window_services.h"
#include "shell/context.h"
#include "shell/kordal_binding.h"
#include "shell/platform.h"
#include "shell/settings.h"

namespace veltar::testing {

namespace fs = std::filesystem;

inline constexpr int32_t kPrinterPort = 1;

// One binding for the whole run, as the program keeps it: the library's own
// state lives until the process ends, so it is never unloaded under it.
inline KordalExports& RealLibrary() {
    static KordalExports* const binding = MakeDynamicKordal(KORDAL_LIBRARY_DIR).release();
    return *binding;
}

// Thrown out of a library call to stand for the program being killed right
// after that call: nothing of the bridge catches it, as nothing survives a kill.
struct ProgramStopped {};

// The library, with the program stopping after a chosen exchange.
class StoppingKordal : public ForwardingKordal {
public:
    using ForwardingKordal::ForwardingKordal;

    // Stop after the n-th exchange from now on (1-based); 0: never.
    void stopAfter(int n) {
        stopAfter_ = n;
        exchanges_ = 0;
    }
    int exchanges() const { return exchanges_; }

protected:
    int32_t exchange(const std::function<int32_t()>& call) override {
        const int32_t result = call();
        ++exchanges_;
        if (stopAfter_ > 0 && exchanges_ == stopAfter_) {
            stopAfter_ = 0;
            throw ProgramStopped{};
        }
        return result;
    }

private:
    int stopAfter_ = 0;
    int exchanges_ = 0;
};

// One run of the program on the bridge directory: its own window services,
// clock and context, with the settings read from Conf.ini there.
struct BridgeRun {
    ScriptedWindowServices ui;
    FixedClock clock;
    DirectoryFiles files;
    Context ctx;

    BridgeRun(const std::string& directory, KordalExports& kordal)
        : files(directory), ctx(Services{ui, clock, files, kordal}) {
        ReadStartupSettings(ctx);
        ctx.settings.ComPort = kPrinterPort;
        ctx.command.PorturiImprimanta = {kPrinterPort, 0, 0};
        ctx.LiniiHeaderFooter[1] = FitToWidth("MAGAZIN DE PROBA", kTextLineWidth);
        ctx.LiniiHeaderFooter[2] = std::string(kTextLineWidth, ' ');
        ctx.LiniiHeaderFooter[3] = std::string(kTextLineWidth, ' ');
        ctx.LiniiHeaderFooter[4] = FitToWidth("VA MULTUMIM", kTextLineWidth);
        ctx.LiniiHeaderFooter[5] = std::string(kTextLineWidth, ' ');
        kordal.InitializeazaSerialaNr(kPrinterPort);
    }
};

// A fresh bridge directory and a fresh printer for each test.
class BridgeOnPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        dir_ = fs::temp_directory_path() / ("veltar-exch-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        startPrinter(fpsim::PowerLossPolicy::KeepReceipt);
        newRun();
    }
    void TearDown() override {
        run_.reset();
        RealLibrary().InchidePort(kPrinterPort);
        server_.reset();
        fs::remove_all(dir_);
    }

    // A new bridge directory and a new printer, as if the test began again.
    void freshWorld(fpsim::PowerLossPolicy policy) {
        run_.reset();
        server_.reset();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        startPrinter(policy);
        newRun();
    }

    void startPrinter(fpsim::PowerLossPolicy policy) {
        run_.reset();
        server_.reset();
        fpsim::PrinterOptions options;
        options.clock = printerClock_;
        options.powerLoss = policy;
        server_ = std::make_unique<fpsim::PtyPrinter>(options);
        server_->start();
        printer().modify([](fpsim::PrinterState& st) {
            st.identity = {"MAGAZIN TEST SRL", "STR. LUNGA 1", "RO123", "AB"};
            st.vatRates = {fpsim::VatRate{19, 0}, {9, 0}, {5, 0}, {0, 0}};
        });
        setenv("KORDAL_COM1", server_->devicePath().c_str(), 1);
    }

    // The program starts (again) on the same directory and printer.
    BridgeRun& newRun() {
        run_.reset();
        run_ = std::make_unique<BridgeRun>(dir_.string(), stopping_);
        return *run_;
    }
    BridgeRun& bridge() { return *run_; }
    Context& ctx() { return run_->ctx; }
    fpsim::Printer& printer() { return server_->printer(); }

    // A request file as the sales application writes it.
    void put(const std::string& name, const std::string& content) {
        run_->files.replace(name, content);
    }
    bool has(const std::string& name) const { return fs::exists(dir_ / name); }
    std::string read(const std::string& name) const {
        return has(name) ? DirectoryFiles(dir_.string()).readAll(name) : std::string();
    }

    // Ticks until VANZARI.TXT is gone, starting the program anew whenever it
    // was stopped; at most `ticks` ticks. Returns the number of restarts.
    int runUntilSaleDone(int ticks = 20) {
        int restarts = 0;
        for (int t = 0; t < ticks && has(request_file::kSale); ++t) {
            try {
                PollingTick(ctx());
            } catch (const ProgramStopped&) {
                ++restarts;
                newRun();
            }
            if (ctx().exchange.programEnded) break;
        }
        return restarts;
    }

    fs::path dir_;
    std::shared_ptr<fpsim::ManualClock> printerClock_ =
        std::make_shared<fpsim::ManualClock>(fpsim::DateTime{2026, 3, 2, 9, 0, 0});
    std::unique_ptr<fpsim::PtyPrinter> server_;
    StoppingKordal stopping_{RealLibrary()};
    std::unique_ptr<BridgeRun> run_;
};

}  // namespace veltar::testing
