#include "kordal_binding.h"

#include <dlfcn.h>

#include "failure.h"
#include "kordal.h"

namespace veltar {
namespace {

constexpr const char* kLibraryFile = "libkordal.so";

class DynamicKordal : public KordalExports {
public:
    explicit DynamicKordal(std::string programDirectory)
        : programDirectory_(std::move(programDirectory)) {}
    // The library stays loaded until the process ends: it keeps its port
    // table for the whole run and never frees it, so unloading it would only
    // throw that memory away (and a leak checker rightly says so).
    ~DynamicKordal() override = default;
    DynamicKordal(const DynamicKordal&) = delete;
    DynamicKordal& operator=(const DynamicKordal&) = delete;

    int32_t InitializeazaSeriala() override {
        return bind(initializeazaSeriala_, "InitializeazaSeriala")();
    }
    int32_t InitializeazaSerialaNr(int32_t port) override {
        return bind(initializeazaSerialaNr_, "InitializeazaSerialaNr")(port);
    }
    int32_t InchidePort(int32_t port) override {
        return bind(inchidePort_, "InchidePort")(port);
    }
    int32_t TimeOut6(int32_t port) override { return bind(timeOut6_, "TimeOut6")(port); }
    int32_t TimeOut60(int32_t port) override { return bind(timeOut60_, "TimeOut60")(port); }
    int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command, char* data,
                             char* status) override {
        return bind(trimiteTelegrama_, "TrimiteTelegrama")(port, payload, command, data, status);
    }
    int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                              unsigned char* data, char* status) override {
        return bind(trimiteTelegramaL_, "TrimiteTelegramaL")(port, block, command, data, status);
    }
    int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                const char* quantity, const char* price, const char* display,
                                char* data, char* status) override {
        return bind(vanzareAfisareMarfa_, "VanzareAfisareMarfa")(port, name, kind, quantity,
                                                                 price, display, data, status);
    }
    int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                        char* status) override {
        return bind(calculTotal_, "CalculTotal")(port, text, payment, data, status);
    }
    int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths, int32_t b_whole,
                         int32_t b_hundredths, int32_t c_whole, int32_t c_hundredths,
                         int32_t d_whole, int32_t d_hundredths, char* data,
                         char* status) override {
        return bind(scrieCoteTVA_, "ScrieCoteTVA")(port, a_whole, a_hundredths, b_whole,
                                                   b_hundredths, c_whole, c_hundredths, d_whole,
                                                   d_hundredths, data, status);
    }
    int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                         char* status) override {
        return bind(scrieDataOra_, "ScrieDataOra")(port, date_time, data, status);
    }
    int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                           char* status) override {
        return bind(raportPeriodic_, "RaportPeriodic")(port, report, data, status);
    }
    int32_t InOutSume(int32_t port, const char* amount, char* data, char* status) override {
        return bind(inOutSume_, "InOutSume")(port, amount, data, status);
    }

private:
    static RuntimeError Missing() {
        const char* text = ::dlerror();
        return RuntimeError(error_number::kLibraryMissing,
                            text != nullptr ? text : "libkordal.so cannot be loaded");
    }

    // Loads the library on the first call. A failed load is tried again at
    // the next call, so a library installed while the program runs is found.
    void* library() {
        if (handle_ != nullptr) return handle_;
        const std::string besideProgram = programDirectory_ + "/" + kLibraryFile;
        handle_ = ::dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr) return handle_;
        // The file beside the program explains best why it failed to load.
        RuntimeError first = Missing();
        handle_ = ::dlopen(kLibraryFile, RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) throw first;
        return handle_;
    }

    // The export's address, looked up by name at its first call. The pointer
    // types come from the library's own header, so a changed signature does
    // not compile.
    template <typename Function>
    Function bind(Function& slot, const char* name) {
        if (slot != nullptr) return slot;
        void* handle = library();
        ::dlerror();
        void* address = ::dlsym(handle, name);
        if (address == nullptr) throw Missing();
        slot = reinterpret_cast<Function>(address);
        return slot;
    }

    std::string programDirectory_;
    void* handle_ = nullptr;
    decltype(&::InitializeazaSeriala) initializeazaSeriala_ = nullptr;
    decltype(&::InitializeazaSerialaNr) initializeazaSerialaNr_ = nullptr;
    decltype(&::InchidePort) inchidePort_ = nullptr;
    decltype(&::TimeOut6) timeOut6_ = nullptr;
    decltype(&::TimeOut60) timeOut60_ = nullptr;
    decltype(&::TrimiteTelegrama) trimiteTelegrama_ = nullptr;
    decltype(&::TrimiteTelegramaL) trimiteTelegramaL_ = nullptr;
    decltype(&::VanzareAfisareMarfa) vanzareAfisareMarfa_ = nullptr;
    decltype(&::CalculTotal) calculTotal_ = nullptr;
    decltype(&::ScrieCoteTVA) scrieCoteTVA_ = nullptr;
    decltype(&::ScrieDataOra) scrieDataOra_ = nullptr;
    decltype(&::RaportPeriodic) raportPeriodic_ = nullptr;
    decltype(&::InOutSume) inOutSume_ = nullptr;
};

}  // namespace

std::unique_ptr<KordalExports> MakeDynamicKordal(const std::string& programDirectory) {
    return std::make_unique<DynamicKordal>(programDirectory);
}

}  // namespace veltar
