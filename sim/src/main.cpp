// fpsim: the virtual fiscal printer on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "fpsim/pty_printer.h"

namespace {

constexpr int kDefaultLineMs = 40;

void usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: fpsim --link PATH [options]\n"
               "A virtual fiscal printer. It serves a pseudo-terminal in the foreground until\n"
               "SIGINT or SIGTERM, then saves its state and removes the link.\n"
               "Point the library at it with KORDAL_COM1=PATH (port 1).\n"
               "\n"
               "Options:\n"
               "  --link PATH         make PATH a link to the terminal device (required)\n"
               "  --state FILE        printer memory across runs (fiscal memory, counters, VAT\n"
               "                      rates, identity, leu state, drawer sums, open receipt);\n"
               "                      without it, or when FILE does not exist yet, the printer\n"
               "                      starts new: fiscalized, VAT rates 19/9/5/0, ready to sell\n"
               "  --journal FILE      append the paper roll (everything printed) to FILE;\n"
               "                      closed fiscal receipts are recorded in FILE.receipts\n"
               "  --receipts FILE     record closed fiscal receipts in FILE instead\n"
               "  --control PATH      create a FIFO at PATH that takes control lines (below)\n"
               "  --pace              send reply bytes at 9600 baud (1.04 ms a byte) and take\n"
               "                      printing time per printed line\n"
               "  --line-ms N         printing time per line with --pace (default %d)\n"
               "  --late-ms N         delay of a late reply (fault late; default 7000)\n"
               "  --power-loss MODE   keep: an open receipt survives a power failure or\n"
               "                      restart and S5 0x40 is reported (default);\n"
               "                      lose: an unpaid receipt is cancelled, a fully paid\n"
               "                      one is closed into the fiscal memory at power-up\n"
               "  --help              this text\n"
               "\n"
               "Control lines (one per line, e.g. echo 'paper-out on' > PATH):\n%s"
               "\n"
               "Receipt record lines (tab-separated):\n"
               "  RECEIPT number date-time total paid change\n"
               "  LINE name group quantity-millionths unit-price sign percent-hundredths value\n"
               "  ADJUST group %%|v amount-or-percent-hundredths value\n"
               "  PAY mode amount\n"
               "  END number\n",
               kDefaultLineMs, fpsim::controlLineHelp());
}

bool takeValue(int argc, char** argv, int& i, std::string& out) {
  if (i + 1 >= argc) {
    std::fprintf(stderr, "fpsim: %s needs a value\n", argv[i]);
    return false;
  }
  out = argv[++i];
  return true;
}

bool toMs(const std::string& s, long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtol(s.c_str(), &end, 10);
  return errno == 0 && end != s.c_str() && *end == '\0' && out >= 0;
}

// Applies every complete line received on the control FIFO.
void drainControl(int fd, std::string& pending, fpsim::Printer& printer) {
  char buf[256];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    pending.append(buf, static_cast<std::size_t>(n));
  }
  std::size_t nl;
  while ((nl = pending.find('\n')) != std::string::npos) {
    std::string line = pending.substr(0, nl);
    pending.erase(0, nl + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "show") {
      std::fprintf(stderr, "%s", fpsim::describe(printer).c_str());
      continue;
    }
    const std::string err = fpsim::applyControlLine(printer, line);
    if (err.empty()) {
      if (!line.empty()) std::fprintf(stderr, "fpsim: control: %s\n", line.c_str());
    } else {
      std::fprintf(stderr, "fpsim: control: %s\n", err.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  fpsim::PrinterOptions options;
  std::string link;
  std::string control;
  long lineMs = kDefaultLineMs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    } else if (arg == "--link") {
      if (!takeValue(argc, argv, i, link)) return 2;
    } else if (arg == "--state") {
      if (!takeValue(argc, argv, i, options.stateFile)) return 2;
    } else if (arg == "--journal") {
      if (!takeValue(argc, argv, i, options.journalFile)) return 2;
    } else if (arg == "--receipts") {
      if (!takeValue(argc, argv, i, options.receiptsFile)) return 2;
    } else if (arg == "--control") {
      if (!takeValue(argc, argv, i, control)) return 2;
    } else if (arg == "--pace") {
      options.pace = true;
    } else if (arg == "--line-ms" || arg == "--late-ms") {
      long ms = 0;
      if (!takeValue(argc, argv, i, value) || !toMs(value, ms)) {
        std::fprintf(stderr, "fpsim: %s needs a number of milliseconds\n", arg.c_str());
        return 2;
      }
      if (arg == "--line-ms") {
        lineMs = ms;
      } else {
        options.lateReplyDelay = std::chrono::milliseconds(ms);
      }
    } else if (arg == "--power-loss") {
      if (!takeValue(argc, argv, i, value)) return 2;
      if (value == "keep") {
        options.powerLoss = fpsim::PowerLossPolicy::KeepReceipt;
      } else if (value == "lose") {
        options.powerLoss = fpsim::PowerLossPolicy::LoseReceipt;
      } else {
        std::fprintf(stderr, "fpsim: --power-loss takes keep or lose\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "fpsim: unknown option %s (see --help)\n", arg.c_str());
      return 2;
    }
  }
  if (link.empty()) {
    std::fprintf(stderr, "fpsim: --link PATH is required (see --help)\n");
    return 2;
  }
  options.printTimePerLine = std::chrono::milliseconds(lineMs);

  // Signals are taken through a descriptor, so the server thread never sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (sigFd < 0) {
    std::perror("fpsim: signalfd");
    return 1;
  }

  int controlFd = -1;
  int controlKeepOpen = -1;
  if (!control.empty()) {
    struct stat st{};
    if (lstat(control.c_str(), &st) == 0 && !S_ISFIFO(st.st_mode)) {
      std::fprintf(stderr, "fpsim: %s exists and is not a FIFO\n", control.c_str());
      return 1;
    }
    if (lstat(control.c_str(), &st) != 0 && mkfifo(control.c_str(), 0600) != 0) {
      std::perror("fpsim: mkfifo");
      return 1;
    }
    controlFd = open(control.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // A writer of our own keeps the FIFO from signalling end-of-file between clients.
    controlKeepOpen = open(control.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (controlFd < 0 || controlKeepOpen < 0) {
      std::perror("fpsim: open control FIFO");
      return 1;
    }
  }

  try {
    fpsim::PtyPrinter server(options, link);
    server.start();
    std::fprintf(stderr, "fpsim: serving %s at %s%s\n", server.terminalPath().c_str(),
                 link.c_str(), options.pace ? " (paced at 9600 baud)" : "");
    std::string pending;
    for (;;) {
      pollfd fds[2] = {{sigFd, POLLIN, 0}, {controlFd, POLLIN, 0}};
      const int n = poll(fds, controlFd >= 0 ? 2 : 1, -1);
      if (n < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (fds[0].revents != 0) break;
      if (controlFd >= 0 && fds[1].revents != 0) drainControl(controlFd, pending, server.printer());
    }
    server.stop();
    std::fprintf(stderr, "fpsim: stopped%s\n", options.stateFile.empty() ? "" : ", state saved");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fpsim: %s\n", e.what());
    if (!control.empty()) unlink(control.c_str());
    return 1;
  }
  if (!control.empty()) {
    close(controlFd);
    close(controlKeepOpen);
    unlink(control.c_str());
  }
  return 0;
}
