// A stand-in for libkordal.so that measures how long the program spends in
// the library: each export passes the call on to the real library (the file
// named by KORDAL_METER_LIBRARY) and adds the call's wall time to one of four
// kinds. When the program unloads it (or ends), one line per kind goes to the
// file named by KORDAL_METER_REPORT:
//
//   exchange <calls> <microseconds>   commands that go to the printer
//   port <calls> <microseconds>       opening and closing the port
//   wait <calls> <microseconds>       Intarziere
//   setting <calls> <microseconds>    the time-out switches
//
// Built by bench/program_bench.sh beside the program in place of the real
// file, so the program under measurement is the unchanged one.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "kordal.h"

namespace {

enum Kind { kExchange, kPort, kWait, kSetting, kKinds };
constexpr const char* kKindNames[kKinds] = {"exchange", "port", "wait", "setting"};

struct Totals {
    long calls[kKinds] = {};
    long long microseconds[kKinds] = {};
};
Totals totals;

void* RealLibrary() {
    static void* handle = [] {
        const char* path = std::getenv("KORDAL_METER_LIBRARY");
        void* h = path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (h == nullptr) {
            std::fprintf(stderr, "kordal_meter: KORDAL_METER_LIBRARY: %s\n",
                         path == nullptr ? "not set" : dlerror());
            std::abort();
        }
        return h;
    }();
    return handle;
}

template <typename Pointer>
Pointer Real(Pointer& slot, const char* name) {
    if (slot == nullptr) {
        slot = reinterpret_cast<Pointer>(dlsym(RealLibrary(), name));
        if (slot == nullptr) {
            std::fprintf(stderr, "kordal_meter: the real library has no %s\n", name);
            std::abort();
        }
    }
    return slot;
}

template <typename Pointer, typename... Args>
int32_t Metered(Kind kind, Pointer& slot, const char* name, Args... args) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const int32_t result = Real(slot, name)(args...);
    totals.calls[kind] += 1;
    totals.microseconds[kind] +=
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    return result;
}

__attribute__((destructor)) void Report() {
    const char* path = std::getenv("KORDAL_METER_REPORT");
    if (path == nullptr) return;
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) return;
    for (int k = 0; k < kKinds; ++k) {
        std::fprintf(out, "%s %ld %lld\n", kKindNames[k], totals.calls[k], totals.microseconds[k]);
    }
    std::fclose(out);
}

#define METERED(kind, name, signature, ...)                                 \
    static decltype(&::name) slot_##name = nullptr;                         \
    extern "C" KORDAL_API int32_t name signature {                          \
        return Metered(kind, slot_##name, #name __VA_OPT__(, ) __VA_ARGS__); \
    }

}  // namespace

METERED(kPort, InitializeazaSeriala, (void))
METERED(kPort, InitializeazaSerialaNr, (int32_t port), port)
METERED(kPort, InchidePort, (int32_t port), port)
METERED(kSetting, TimeOut6, (int32_t port), port)
METERED(kSetting, TimeOut60, (int32_t port), port)
METERED(kWait, Intarziere, (float seconds), seconds)
METERED(kExchange, TrimiteTelegrama,
        (int32_t port, const char* payload, int32_t command, char* data, char* status), port,
        payload, command, data, status)
METERED(kExchange, TrimiteTelegramaL,
        (int32_t port, const unsigned char* block, int32_t command, unsigned char* data,
         char* status),
        port, block, command, data, status)
METERED(kExchange, VanzareAfisareMarfa,
        (int32_t port, const char* name, int32_t kind, const char* quantity, const char* price,
         const char* display, char* data, char* status),
        port, name, kind, quantity, price, display, data, status)
METERED(kExchange, Subtotal, (int32_t port, int32_t first, int32_t second, char* data,
                              char* status),
        port, first, second, data, status)
METERED(kExchange, CalculTotal,
        (int32_t port, const char* text, const char* payment, char* data, char* status), port,
        text, payment, data, status)
METERED(kExchange, CitesteCoteTVA,
        (int32_t port, int32_t a_whole, int32_t a_hundredths, int32_t b_whole,
         int32_t b_hundredths, int32_t c_whole, int32_t c_hundredths, int32_t d_whole,
         int32_t d_hundredths, char* data, char* status),
        port, a_whole, a_hundredths, b_whole, b_hundredths, c_whole, c_hundredths, d_whole,
        d_hundredths, data, status)
METERED(kExchange, ScrieCoteTVA,
        (int32_t port, int32_t a_whole, int32_t a_hundredths, int32_t b_whole,
         int32_t b_hundredths, int32_t c_whole, int32_t c_hundredths, int32_t d_whole,
         int32_t d_hundredths, char* data, char* status),
        port, a_whole, a_hundredths, b_whole, b_hundredths, c_whole, c_hundredths, d_whole,
        d_hundredths, data, status)
METERED(kExchange, ScrieDataOra,
        (int32_t port, const unsigned char* date_time, char* data, char* status), port,
        date_time, data, status)
METERED(kExchange, RaportPeriodic,
        (int32_t port, const unsigned char* report, char* data, char* status), port, report,
        data, status)
METERED(kExchange, ScrieHeaderFooter,
        (int32_t port, int32_t line, int32_t kind, const char* text, char* data, char* status),
        port, line, kind, text, data, status)
METERED(kExchange, InOutSume, (int32_t port, const char* amount, char* data, char* status),
        port, amount, data, status)
