// With pacing on, the real library sees the printer's replies at the speed of a
// 9600-baud line. Kept apart and run alone, so that no parallel test skews the clock.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "fpsim/pty_printer.h"
#include "kordal.h"

namespace fpsim {
namespace {

namespace fs = std::filesystem;
constexpr int kPort = 1;
constexpr DateTime kStart{2026, 3, 2, 9, 15, 30};

// An exchange lasts as long as its bytes take on the line (ten bit times a byte),
// plus the printing time of the lines it prints.
TEST(Pacing, ExchangeTakesTheWireTimeOfItsBytesAndItsPrinting) {
  const fs::path dir = fs::temp_directory_path() / ("fpsim-pacing-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  struct Case {
    int code;
    const char* payload;
    std::size_t bytes;  // request + reply on the wire
    int lineMs;
  };
  const Case cases[] = {
      {33, "F", 8 + 15 + 166, 0},  // the X report's reply carries 166 data bytes
      {46, "", 7 + 15 + 29, 0},    // the company address
      {33, "F", 8 + 15 + 166, 5},  // the X report again, printing at 5 ms a line
  };
  for (const auto& c : cases) {
    PrinterOptions o;
    o.clock = std::make_shared<ManualClock>(kStart);
    o.pace = true;
    o.printTimePerLine = std::chrono::milliseconds(c.lineMs);
    PtyPrinter server(o, (dir / "COM1").string());
    server.start();
    setenv("KORDAL_COM1", server.devicePath().c_str(), 1);
    ASSERT_EQ(InitializeazaSerialaNr(kPort), kPort);
    char data[251];
    char status[10];
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(TrimiteTelegrama(kPort, c.payload, c.code, data, status), KORDAL_OK);
    const double took =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    InchidePort(kPort);
    const std::string roll = server.printer().journal();
    const auto lines = std::count(roll.begin(), roll.end(), '\n');
    const double wire = static_cast<double>(c.bytes) * 10.0 / 9.6;
    const double expected = wire + static_cast<double>(lines * c.lineMs);
    std::printf("command %d: %zu bytes (wire %.1f ms) + %ld lines x %d ms = %.1f ms, measured %.1f ms\n",
                c.code, c.bytes, wire, static_cast<long>(lines), c.lineMs, expected, took);
    EXPECT_NEAR(took, expected, expected * 0.10) << "command " << c.code;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace fpsim
