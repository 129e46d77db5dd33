// Measures the exchange-file interface on a real directory, through the real
// libkordal.so found beside this program:
//   1. the idle polling tick: a directory of unrelated files and no request;
//      CPU time of the calling thread and wall time per tick;
//   2. a ten-line sale with two payments against the virtual printer paced
//      at 9600 baud: the wall time of the tick that carries it out against
//      what the line and the printer cannot avoid, and what the sale's
//      durable record writes cost.
//
//   exchange_bench [PARENT]   temporary directories go under PARENT
//                             (default: the system's temporary directory)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "exchange/request_files.h"
#include "exchange/sale_record.h"
#include "exchange/tick.h"
#include "fpsim/pty_printer.h"
#include "shell/context.h"
#include "shell/kordal_binding.h"
#include "shell/platform.h"
#include "shell/settings.h"

namespace {

namespace fs = std::filesystem;
using veltar::Context;
using veltar::KordalExports;
using Steady = std::chrono::steady_clock;

constexpr int kUnrelatedFiles = 50;
constexpr std::size_t kUnrelatedFileSize = 300;
constexpr int kWarmUpTicks = 1000;
constexpr int kBatches = 200;
constexpr int kTicksPerBatch = 100;
constexpr double kIdleGoalMicroseconds = 50.0;

constexpr int32_t kPort = 1;
constexpr int kSales = 10;
constexpr int kRecordWrites = 100;
constexpr std::size_t kRecordSize = 200;
constexpr auto kLineTime = std::chrono::milliseconds(40);
// The library's wait between writing a request and reading its reply.
constexpr auto kMandatedWait = std::chrono::milliseconds(20);
constexpr double kSaleGoalRatio = 1.02;

// Ten lines of 1 to 2 pieces at whole prices, groups A and B: 205 in all.
// The two payments (50 cash, 30 by cheque) leave 125, paid in cash.
constexpr const char* kSale =
    "PAINE\t1\t5\tA\t\r\nLAPTE\t2\t7\tA\t\r\nUNT\t1\t12\tA\t\r\nBRANZA\t1\t25\tA\t\r\n"
    "APA\t2\t3\tB\t\r\nSUC\t1\t8\tB\t\r\nCAFEA\t1\t30\tA\t\r\nZAHAR\t2\t6\tA\t\r\n"
    "ULEI\t1\t11\tA\t\r\nCIOCOLATA\t1\t82\tB\t\r\n$\tC\t50\tN\t30\t\r\n";
constexpr int kSaleTotal = 205;

double microsecondsOf(const timespec& t) { return t.tv_sec * 1e6 + t.tv_nsec / 1e3; }

double threadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return microsecondsOf(now);
}

// User and system CPU time of the calling thread so far, in microseconds.
std::pair<double, double> threadUserAndSystemMicroseconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  auto us = [](const timeval& t) { return t.tv_sec * 1e6 + static_cast<double>(t.tv_usec); };
  return {us(usage.ru_utime), us(usage.ru_stime)};
}

double millisecondsSince(Steady::time_point start) {
  return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t at = std::min(values.size() - 1,
                                  static_cast<std::size_t>(fraction * (values.size() - 1) + 0.5));
  return values[at];
}

double worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// A box is answered the way an operator who agrees would; nothing is kept.
class AgreeingWindows : public veltar::WindowServices {
 public:
  veltar::Answer messageBox(const std::string&, const std::string&, veltar::Icon,
                            veltar::Buttons buttons) override {
    return buttons == veltar::Buttons::YesNo ? veltar::Answer::Yes : veltar::Answer::Ok;
  }
  void setPollingTimer(bool on) override { timer_ = on; }
  bool pollingTimer() const override { return timer_; }
  void showWindow(veltar::Window) override {}
  void hideWindow(veltar::Window) override {}
  void closeWindow(veltar::Window) override {}
  void quit() override {}
  void setBusyPointer(bool) override {}
  // A pause of the bridge's own is real time spent, so it is really waited.
  void waitProcessingEvents(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
  void setCaption(veltar::Window, const std::string&) override {}
  void setControlEnabled(veltar::Window, const std::string&, bool) override {}
  bool addTrayIcon(const std::string&) override { return false; }
  void removeTrayIcon() override {}
  void popupTrayMenu() override {}

 private:
  bool timer_ = false;
};

// The wall clock; it adds up the waits it was asked for, so that a figure
// that includes one can say so.
class WaitingClock : public veltar::Clock {
 public:
  veltar::DateTime now() const override {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }
  void sleepMilliseconds(int milliseconds) override {
    waitedMilliseconds += milliseconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  long waitedMilliseconds = 0;
};

// The bridge directory, with the replacements counted and timed by file name.
class CountingFiles : public veltar::ProgramFiles {
 public:
  explicit CountingFiles(const std::string& directory) : inner_(directory) {}

  struct Replacements {
    int count = 0;
    double milliseconds = 0;
  };
  std::map<std::string, Replacements> replacements;

  std::string directory() const override { return inner_.directory(); }
  std::optional<std::string> findFile(const std::string& name) const override {
    return inner_.findFile(name);
  }
  std::vector<std::string> listNames() const override { return inner_.listNames(); }
  std::optional<veltar::FileStamp> stamp(const std::string& name) const override {
    return inner_.stamp(name);
  }
  std::vector<std::string> readLines(const std::string& name) const override {
    return inner_.readLines(name);
  }
  std::string readAll(const std::string& name) const override { return inner_.readAll(name); }
  void replace(const std::string& name, const std::string& content) override {
    const auto start = Steady::now();
    inner_.replace(name, content);
    Replacements& r = replacements[name];
    ++r.count;
    r.milliseconds += millisecondsSince(start);
  }
  void append(const std::string& name, const std::string& text) override {
    inner_.append(name, text);
  }
  void remove(const std::string& name) override { inner_.remove(name); }
  void createDirectory(const std::string& name) override { inner_.createDirectory(name); }

 private:
  veltar::DirectoryFiles inner_;
};

// What one library exchange put on the line and how long the call took.
struct ExchangeFigures {
  std::uint64_t wireBytes = 0;
  std::uint64_t printedLines = 0;
  double milliseconds = 0;
};

// The library, with every exchange measured against the printer's counts.
class MeteredKordal : public veltar::ForwardingKordal {
 public:
  MeteredKordal(KordalExports& inner, const fpsim::PtyPrinter& printer)
      : ForwardingKordal(inner), printer_(printer) {}

  std::vector<ExchangeFigures> exchanges;

 protected:
  int32_t exchange(const std::function<int32_t()>& call) override {
    const fpsim::WireCounts before = printer_.wireCounts();
    const auto start = Steady::now();
    const int32_t result = call();
    ExchangeFigures f;
    f.milliseconds = millisecondsSince(start);
    const fpsim::WireCounts after = printer_.wireCounts();
    f.wireBytes = after.requestBytes - before.requestBytes + after.replyBytes - before.replyBytes;
    f.printedLines = after.printedLines - before.printedLines;
    exchanges.push_back(f);
    return result;
  }

 private:
  const fpsim::PtyPrinter& printer_;
};

// A fresh directory, removed with everything in it at the end.
class TemporaryDirectory {
 public:
  TemporaryDirectory(const fs::path& parent, const std::string& prefix) {
    std::string pattern = (parent / (prefix + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
  }
  ~TemporaryDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The file system under a directory, by name where it is a common one: an
// fsync costs nothing on tmpfs and a great deal on some disks.
std::string fileSystemOf(const std::string& directory) {
  struct statfs info {};
  if (statfs(directory.c_str(), &info) != 0) return "unknown";
  switch (static_cast<unsigned long>(info.f_type)) {
    case 0x01021994UL: return "tmpfs";
    case 0xEF53UL: return "ext2/3/4";
    case 0x58465342UL: return "xfs";
    case 0x9123683EUL: return "btrfs";
    case 0x794C7630UL: return "overlayfs";
    default: {
      char hex[32];
      std::snprintf(hex, sizeof hex, "type 0x%lx", static_cast<unsigned long>(info.f_type));
      return hex;
    }
  }
}

void setUpBridge(Context& ctx) {
  veltar::ReadStartupSettings(ctx);
  ctx.settings.ComPort = kPort;
  ctx.command.PorturiImprimanta = {kPort, 0, 0};
  ctx.LiniiHeaderFooter[1] = veltar::FitToWidth("MAGAZIN DE PROBA", veltar::kTextLineWidth);
  ctx.LiniiHeaderFooter[2] = std::string(veltar::kTextLineWidth, ' ');
  ctx.LiniiHeaderFooter[3] = std::string(veltar::kTextLineWidth, ' ');
  ctx.LiniiHeaderFooter[4] = veltar::FitToWidth("VA MULTUMIM", veltar::kTextLineWidth);
  ctx.LiniiHeaderFooter[5] = std::string(veltar::kTextLineWidth, ' ');
}

// ---- 1. the idle tick ------------------------------------------------------

bool idleTick(const fs::path& parent, KordalExports& library) {
  TemporaryDirectory dir(parent, "veltar-idle-");
  veltar::DirectoryFiles files(dir.path());
  for (int i = 1; i <= kUnrelatedFiles; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "ART%04d.DAT", i);
    files.replace(name, std::string(kUnrelatedFileSize, 'x'));
  }
  AgreeingWindows ui;
  WaitingClock clock;
  Context ctx(veltar::Services{ui, clock, files, library});
  veltar::ReadStartupSettings(ctx);

  for (int i = 0; i < kWarmUpTicks; ++i) veltar::PollingTick(ctx);
  std::vector<double> cpu_us;
  std::vector<double> wall_us;
  const auto [user_before, system_before] = threadUserAndSystemMicroseconds();
  for (int b = 0; b < kBatches; ++b) {
    const double cpu_before = threadCpuMicroseconds();
    const auto start = Steady::now();
    for (int i = 0; i < kTicksPerBatch; ++i) veltar::PollingTick(ctx);
    wall_us.push_back(millisecondsSince(start) * 1000.0 / kTicksPerBatch);
    cpu_us.push_back((threadCpuMicroseconds() - cpu_before) / kTicksPerBatch);
  }
  const auto [user_after, system_after] = threadUserAndSystemMicroseconds();
  const double ticks = kBatches * kTicksPerBatch;
  const std::size_t entries = static_cast<std::size_t>(
      std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));

  std::printf("1. Idle polling tick\n");
  std::printf("   directory            %zu files (%d unrelated of %zu bytes), no request, %s\n",
              entries, kUnrelatedFiles, kUnrelatedFileSize, fileSystemOf(dir.path()).c_str());
  std::printf("   ticks                %d after %d warm-up (%d batches of %d)\n",
              kBatches * kTicksPerBatch, kWarmUpTicks, kBatches, kTicksPerBatch);
  std::printf("   CPU per tick         median %.1f us, p99 %.1f us   (goal < %.0f us)\n",
              percentile(cpu_us, 0.5), percentile(cpu_us, 0.99), kIdleGoalMicroseconds);
  std::printf("   wall per tick        median %.1f us, p99 %.1f us\n", percentile(wall_us, 0.5),
              percentile(wall_us, 0.99));
  std::printf("   of the CPU           %.1f us user, %.1f us system a tick (mean)\n",
              (user_after - user_before) / ticks, (system_after - system_before) / ticks);
  if (ctx.exchange.programEnded || clock.waitedMilliseconds != 0) {
    std::printf("   the idle tick did something it should not (ended: %d, waited %ld ms)\n",
                ctx.exchange.programEnded ? 1 : 0, clock.waitedMilliseconds);
    return false;
  }
  return true;
}

// ---- 2. the sale on a paced printer -----------------------------------------

// Written the way the sales application does, but stamped two seconds ago:
// the settle wait for a file still being written is not the sale's cost.
void putSale(veltar::DirectoryFiles& files, const std::string& directory) {
  files.replace(veltar::request_file::kSale, kSale);
  timespec times[2];
  clock_gettime(CLOCK_REALTIME, &times[0]);
  times[0].tv_sec -= 2;
  times[1] = times[0];
  const std::string path = directory + "/" + veltar::request_file::kSale;
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) std::perror("utimensat");
}

struct SaleFigures {
  double tickMs = 0;
  double serialFloorMs = 0;   // wire both ways + 20 ms a command + printing, one after another
  double overlapFloorMs = 0;  // the same, with each command's 20 ms running under its wire time
  double libraryMs = 0;       // inside the library calls
  int commands = 0;
  std::uint64_t requestBytes = 0;
  std::uint64_t replyBytes = 0;
  std::uint64_t printedLines = 0;
  int recordWrites = 0;
  double recordWriteMs = 0;
  int otherReplacements = 0;
  double otherReplacementMs = 0;
  long waitedMs = 0;
};

double msOf(std::chrono::nanoseconds d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

bool paidSale(const fs::path& parent, KordalExports& library) {
  TemporaryDirectory dir(parent, "veltar-sale-");
  fpsim::PrinterOptions options;
  options.pace = true;
  options.printTimePerLine = kLineTime;
  fpsim::PtyPrinter server(options);
  server.start();
  server.printer().modify([](fpsim::PrinterState& st) {
    st.identity = {"MAGAZIN TEST SRL", "STR. LUNGA 1", "RO123", "AB"};
    st.vatRates = {fpsim::VatRate{19, 0}, {9, 0}, {5, 0}, {0, 0}};
  });
  setenv("KORDAL_COM1", server.devicePath().c_str(), 1);

  AgreeingWindows ui;
  WaitingClock clock;
  CountingFiles files(dir.path());
  MeteredKordal kordal(library, server);
  Context ctx(veltar::Services{ui, clock, files, kordal});
  setUpBridge(ctx);
  if (kordal.InitializeazaSerialaNr(kPort) != kPort) {
    std::fprintf(stderr, "cannot open the printer at %s\n", server.devicePath().c_str());
    return false;
  }

  const double byteMs = msOf(fpsim::kPacedByteTime);
  const double lineMs = msOf(kLineTime);
  const double waitMs = msOf(kMandatedWait);
  veltar::DirectoryFiles writer(dir.path());
  std::vector<SaleFigures> sales;
  bool allDone = true;
  for (int s = 0; s < kSales; ++s) {
    putSale(writer, dir.path());
    kordal.exchanges.clear();
    files.replacements.clear();
    clock.waitedMilliseconds = 0;
    const fpsim::WireCounts before = server.wireCounts();

    const auto start = Steady::now();
    veltar::PollingTick(ctx);
    SaleFigures f;
    f.tickMs = millisecondsSince(start);

    const fpsim::WireCounts after = server.wireCounts();
    f.requestBytes = after.requestBytes - before.requestBytes;
    f.replyBytes = after.replyBytes - before.replyBytes;
    f.printedLines = after.printedLines - before.printedLines;
    f.commands = static_cast<int>(kordal.exchanges.size());
    f.serialFloorMs = static_cast<double>(f.requestBytes + f.replyBytes) * byteMs +
                      f.commands * waitMs + static_cast<double>(f.printedLines) * lineMs;
    for (const ExchangeFigures& e : kordal.exchanges) {
      const double busy = static_cast<double>(e.wireBytes) * byteMs +
                          static_cast<double>(e.printedLines) * lineMs;
      f.overlapFloorMs += std::max(waitMs, busy);
      f.libraryMs += e.milliseconds;
    }
    for (const auto& [name, r] : files.replacements) {
      if (name == veltar::kSaleRecordFile) {
        f.recordWrites += r.count;
        f.recordWriteMs += r.milliseconds;
      } else {
        f.otherReplacements += r.count;
        f.otherReplacementMs += r.milliseconds;
      }
    }
    f.waitedMs = clock.waitedMilliseconds;
    sales.push_back(f);

    const std::vector<fpsim::ClosedReceipt> closed = server.printer().closedReceipts();
    const bool done = !writer.findFile(veltar::request_file::kSale) &&
                      writer.findFile(veltar::response_file::kReceiptNumber) &&
                      closed.size() == static_cast<std::size_t>(s + 1) &&
                      closed.back().total() == kSaleTotal && closed.back().payments.size() == 3;
    if (!done || ctx.exchange.programEnded) {
      std::printf("   sale %d was not carried out in one tick as expected\n", s + 1);
      allDone = false;
      break;
    }
  }

  // What one durable replacement costs in this directory.
  std::vector<double> replace_ms;
  const std::string record(kRecordSize, 'r');
  for (int i = 0; i < kRecordWrites; ++i) {
    const auto start = Steady::now();
    writer.replace("record.bench", record);
    replace_ms.push_back(millisecondsSince(start));
  }

  kordal.InchidePort(kPort);
  server.stop();
  if (sales.empty()) return false;

  std::vector<double> serial_ratio, overlap_ratio, tick_ms, outside_ms, excess_ms, record_ms,
      other_ms;
  long waited = 0;
  const SaleFigures& first = sales.front();
  bool alike = true;
  for (const SaleFigures& f : sales) {
    serial_ratio.push_back(f.tickMs / f.serialFloorMs);
    overlap_ratio.push_back(f.tickMs / f.overlapFloorMs);
    tick_ms.push_back(f.tickMs);
    outside_ms.push_back(f.tickMs - f.libraryMs);
    excess_ms.push_back(f.tickMs - f.overlapFloorMs);
    record_ms.push_back(f.recordWriteMs);
    other_ms.push_back(f.otherReplacementMs);
    waited += f.waitedMs;
    alike = alike && f.commands == first.commands && f.requestBytes == first.requestBytes &&
            f.replyBytes == first.replyBytes && f.printedLines == first.printedLines &&
            f.recordWrites == first.recordWrites;
  }
  const double replaceMedian = percentile(replace_ms, 0.5);
  const auto count = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };

  std::printf("\n2. Ten-line sale, two payments and the rest in cash, paced at 9600 baud\n");
  std::printf("   directory            %s\n", fileSystemOf(dir.path()).c_str());
  std::printf("   sales                %zu of %d carried out, each in one tick, same printer\n",
              sales.size(), kSales);
  std::printf("   per sale             %d commands, %llu request + %llu reply bytes, %llu printed "
              "lines%s\n",
              first.commands, count(first.requestBytes), count(first.replyBytes),
              count(first.printedLines), alike ? "" : " (the first; see the table)");
  std::printf("   floor, serial        %.1f ms = wire %.1f + %d x %.0f ms wait + %llu x %.0f ms "
              "printing\n",
              first.serialFloorMs,
              static_cast<double>(first.requestBytes + first.replyBytes) * byteMs, first.commands,
              waitMs, count(first.printedLines), lineMs);
  std::printf("   floor, overlapped    %.1f ms: each command's wait runs while its bytes cross\n",
              first.overlapFloorMs);
  std::printf("   tick wall time       median %.1f ms, worst %.1f ms\n", percentile(tick_ms, 0.5),
              worst(tick_ms));
  std::printf("   tick / serial floor  median %.3f, worst %.3f   (goal <= %.2f)\n",
              percentile(serial_ratio, 0.5), worst(serial_ratio), kSaleGoalRatio);
  std::printf("   tick / overlapped    median %.3f, worst %.3f\n", percentile(overlap_ratio, 0.5),
              worst(overlap_ratio));
  std::printf("   over the overlapped  median %.1f ms, worst %.1f ms a sale\n",
              percentile(excess_ms, 0.5), worst(excess_ms));
  std::printf("   outside the library  median %.1f ms, worst %.1f ms a sale\n",
              percentile(outside_ms, 0.5), worst(outside_ms));
  std::printf("   sale  tick ms  commands  bytes  lines  serial  overlapped  record ms\n");
  for (std::size_t i = 0; i < sales.size(); ++i) {
    const SaleFigures& f = sales[i];
    std::printf("   %4zu  %7.1f  %8d  %5llu  %5llu  %6.3f  %10.3f  %9.1f\n", i + 1, f.tickMs,
                f.commands, count(f.requestBytes + f.replyBytes), count(f.printedLines),
                serial_ratio[i], overlap_ratio[i], f.recordWriteMs);
  }
  std::printf("   record writes        %d a sale to %s\n", first.recordWrites,
              veltar::kSaleRecordFile);
  std::printf("   one replace          %zu bytes with fsync, %d times: median %.2f ms, "
              "p99 %.2f ms\n",
              kRecordSize, kRecordWrites, replaceMedian, percentile(replace_ms, 0.99));
  std::printf("   record cost          %.1f ms a sale estimated (%d x median); in the sales: "
              "median %.1f ms, worst %.1f ms\n",
              replaceMedian * first.recordWrites, first.recordWrites, percentile(record_ms, 0.5),
              worst(record_ms));
  std::printf("   other replacements   %d a sale (BON.TXT): median %.1f ms\n",
              first.otherReplacements, percentile(other_ms, 0.5));
  if (waited != 0) std::printf("   the bridge waited %ld ms in all on its clock\n", waited);
  return allDone;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path parent = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  // The figures come as they are measured, also when the output is a pipe.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  try {
    // The program's own directory holds libkordal.so, as in an installation.
    // Like the program, the benchmark keeps the library loaded to the end:
    // its state lives as long as the process.
    static KordalExports* const library =
        veltar::MakeDynamicKordal(veltar::ProgramDirectory()).release();
    const bool idleOk = idleTick(parent, *library);
    const bool saleOk = paidSale(parent, *library);
    return idleOk && saleOk ? 0 : 1;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "exchange_bench: %s\n", failure.what());
    return 1;
  }
}
