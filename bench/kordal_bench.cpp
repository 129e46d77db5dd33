// Measures what one command costs the library itself. A printer on the
// master side of a pseudo-terminal answers every request at once; the
// program times 1000 TrimiteTelegrama calls and reports
//   - the round trip minus the fixed 20 ms wait before the first read,
//   - the CPU time of the calling thread per exchange.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "kordal.h"

namespace {

constexpr int kExchanges = 1000;
constexpr int kPort = 1;
constexpr std::uint8_t kCommand = 0x21;
constexpr double kMandatedWaitUs = 20000.0;

// Answers each whole request frame with a correct empty reply.
void answerInstantly(int master, const std::atomic<bool>& stop) {
  std::vector<std::uint8_t> pending;
  while (!stop) {
    pollfd entry{master, POLLIN, 0};
    if (poll(&entry, 1, 50) <= 0) {
      continue;
    }
    std::uint8_t chunk[512];
    ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) {
      continue;
    }
    pending.insert(pending.end(), chunk, chunk + n);
    while (pending.size() >= 2 && pending.size() >= std::size_t{pending[1]} + 5) {
      const std::size_t size = std::size_t{pending[1]} + 5;
      const std::uint8_t sequence = pending[2];
      const std::uint8_t command = pending[3];
      pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(size));
      std::uint8_t reply[15] = {0x01, 10, sequence, 0, 0, 0, 0, 0, 0, 0, 0, command};
      unsigned sum = 0;
      for (int i = 1; i < 12; ++i) {
        sum += reply[i];
      }
      reply[12] = static_cast<std::uint8_t>(sum);
      reply[13] = static_cast<std::uint8_t>(sum >> 8);
      reply[14] = 0x03;
      if (write(master, reply, sizeof reply) != static_cast<ssize_t>(sizeof reply)) {
        std::perror("peer write");
      }
    }
  }
}

double microsecondsOf(const timespec& t) { return t.tv_sec * 1e6 + t.tv_nsec / 1e3; }

double threadCpuMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return microsecondsOf(now);
}

double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const std::size_t at = std::min(values.size() - 1,
                                  static_cast<std::size_t>(fraction * (values.size() - 1) + 0.5));
  return values[at];
}

}  // namespace

int main() {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("posix_openpt");
    return 1;
  }
  char slave[128];
  if (ptsname_r(master, slave, sizeof slave) != 0) {
    std::perror("ptsname_r");
    return 1;
  }
  // Held open so the master never sees a hang-up between library calls.
  int keep_slave = open(slave, O_RDWR | O_NOCTTY);
  setenv("KORDAL_COM1", slave, 1);
  if (InitializeazaSerialaNr(kPort) != kPort) {
    std::fprintf(stderr, "cannot open %s\n", slave);
    return 1;
  }

  std::atomic<bool> stop{false};
  std::thread peer(answerInstantly, master, std::cref(stop));

  std::vector<double> extra_us;
  std::vector<double> cpu_us;
  extra_us.reserve(kExchanges);
  cpu_us.reserve(kExchanges);
  int failures = 0;
  for (int i = 0; i < kExchanges; ++i) {
    char data[251];
    char status[10];
    const double cpu_before = threadCpuMicroseconds();
    const auto start = std::chrono::steady_clock::now();
    if (TrimiteTelegrama(kPort, "F", kCommand, data, status) != KORDAL_OK) {
      ++failures;
    }
    const auto end = std::chrono::steady_clock::now();
    cpu_us.push_back(threadCpuMicroseconds() - cpu_before);
    extra_us.push_back(std::chrono::duration<double, std::micro>(end - start).count() -
                       kMandatedWaitUs);
  }

  stop = true;
  peer.join();
  InchidePort(kPort);
  close(keep_slave);
  close(master);

  std::printf("exchanges: %d (failed: %d)\n", kExchanges, failures);
  std::printf("round trip minus 20 ms wait: median %.1f us, p99 %.1f us\n",
              percentile(extra_us, 0.5), percentile(extra_us, 0.99));
  std::printf("library CPU per exchange:    median %.1f us, p99 %.1f us\n",
              percentile(cpu_us, 0.5), percentile(cpu_us, 0.99));
  return failures == 0 ? 0 : 1;
}
