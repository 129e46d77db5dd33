// The bridge's road to libkordal.so.
//
// The logic calls the library through this interface. The real binding opens
// the library with dlopen at the first call (from the program's own directory
// first) and resolves each export by name at its own first call; a missing
// file or export throws RuntimeError(error_number::kLibraryMissing), which the
// callers treat as the run-time failure of their exchange step. Tests install
// a double of the export table instead.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace veltar {

class KordalExports {
public:
    virtual ~KordalExports() = default;
    virtual int32_t InitializeazaSeriala() = 0;
    virtual int32_t InitializeazaSerialaNr(int32_t port) = 0;
    virtual int32_t InchidePort(int32_t port) = 0;
    virtual int32_t TimeOut6(int32_t port) = 0;
    virtual int32_t TimeOut60(int32_t port) = 0;
    virtual int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command,
                                     char* data, char* status) = 0;
    virtual int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                                      unsigned char* data, char* status) = 0;
    virtual int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                        const char* quantity, const char* price,
                                        const char* display, char* data, char* status) = 0;
    virtual int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                                char* status) = 0;
    virtual int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths,
                                 int32_t b_whole, int32_t b_hundredths, int32_t c_whole,
                                 int32_t c_hundredths, int32_t d_whole, int32_t d_hundredths,
                                 char* data, char* status) = 0;
    virtual int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                                 char* status) = 0;
    virtual int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                                   char* status) = 0;
    virtual int32_t InOutSume(int32_t port, const char* amount, char* data, char* status) = 0;
};

// Passes every call on to another binding. Each call that sends a frame goes
// through `exchange`, which a subclass overrides to watch or interrupt the
// exchanges (a benchmark meters them, a test stops "the program" after one).
class ForwardingKordal : public KordalExports {
public:
    explicit ForwardingKordal(KordalExports& inner) : inner_(inner) {}

    int32_t InitializeazaSeriala() override { return inner_.InitializeazaSeriala(); }
    int32_t InitializeazaSerialaNr(int32_t port) override {
        return inner_.InitializeazaSerialaNr(port);
    }
    int32_t InchidePort(int32_t port) override { return inner_.InchidePort(port); }
    int32_t TimeOut6(int32_t port) override { return inner_.TimeOut6(port); }
    int32_t TimeOut60(int32_t port) override { return inner_.TimeOut60(port); }
    int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command, char* data,
                             char* status) override {
        return exchange(
            [&] { return inner_.TrimiteTelegrama(port, payload, command, data, status); });
    }
    int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                              unsigned char* data, char* status) override {
        return exchange(
            [&] { return inner_.TrimiteTelegramaL(port, block, command, data, status); });
    }
    int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                const char* quantity, const char* price, const char* display,
                                char* data, char* status) override {
        return exchange([&] {
            return inner_.VanzareAfisareMarfa(port, name, kind, quantity, price, display, data,
                                              status);
        });
    }
    int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                        char* status) override {
        return exchange([&] { return inner_.CalculTotal(port, text, payment, data, status); });
    }
    int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths, int32_t b_whole,
                         int32_t b_hundredths, int32_t c_whole, int32_t c_hundredths,
                         int32_t d_whole, int32_t d_hundredths, char* data,
                         char* status) override {
        return exchange([&] {
            return inner_.ScrieCoteTVA(port, a_whole, a_hundredths, b_whole, b_hundredths,
                                       c_whole, c_hundredths, d_whole, d_hundredths, data,
                                       status);
        });
    }
    int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                         char* status) override {
        return exchange([&] { return inner_.ScrieDataOra(port, date_time, data, status); });
    }
    int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                           char* status) override {
        return exchange([&] { return inner_.RaportPeriodic(port, report, data, status); });
    }
    int32_t InOutSume(int32_t port, const char* amount, char* data, char* status) override {
        return exchange([&] { return inner_.InOutSume(port, amount, data, status); });
    }

protected:
    virtual int32_t exchange(const std::function<int32_t()>& call) { return call(); }

private:
    KordalExports& inner_;
};

// The real binding. `programDirectory` is searched first, then the dynamic
// loader's own search path.
std::unique_ptr<KordalExports> MakeDynamicKordal(const std::string& programDirectory);

}  // namespace veltar
