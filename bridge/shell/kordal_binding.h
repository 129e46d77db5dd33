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

// The real binding. `programDirectory` is searched first, then the dynamic
// loader's own search path.
std::unique_ptr<KordalExports> MakeDynamicKordal(const std::string& programDirectory);

}  // namespace veltar
