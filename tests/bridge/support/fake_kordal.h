// A stand-in for libkordal.so: replies from a script, a record of every call.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "kordal_binding.h"

namespace veltar::testing {

// What one library call answers. On result 0 the data go to the caller's data
// buffer (followed by a zero byte; for TrimiteTelegramaL preceded by their
// count instead) and the status bytes to the status buffer; on any other
// result both buffers stay untouched, as the library leaves them.
struct KordalReply {
    int32_t result = 0;
    std::string data;
    std::string status = std::string(8, '\0');  // S0..S7
};

struct KordalCall {
    std::string function;
    int32_t port = 0;
    // The command code of the exchange; dedicated functions record the code
    // they send (VanzareAfisareMarfa 8, CalculTotal 10, ScrieCoteTVA 4,
    // ScrieDataOra 38, RaportPeriodic 31, InOutSume 42); -1 for port functions.
    int32_t command = -1;
    // TrimiteTelegrama: the bytes up to the zero; TrimiteTelegramaL: the whole
    // block with its count byte; ScrieDataOra: 6 bytes; RaportPeriodic: 7 bytes.
    std::string payload;
    // Text arguments in order: VanzareAfisareMarfa name, quantity, price,
    // display; CalculTotal text, payment; InOutSume amount.
    std::vector<std::string> texts;
    // Other number arguments in order: VanzareAfisareMarfa kind; ScrieCoteTVA
    // its eight values.
    std::vector<int32_t> numbers;
    // True when the call threw because the library was "missing".
    bool failed = false;
};

class FakeKordal : public KordalExports {
public:
    // Answers, in order, for the next calls of one export ("TrimiteTelegrama").
    void queueReply(const std::string& function, KordalReply reply);
    // Answers every exchange with this command code once no reply is queued.
    void replyToCommand(int32_t command, KordalReply reply);
    // Every call throws RuntimeError(kLibraryMissing), as if libkordal.so could
    // not be loaded.
    void setLibraryMissing(bool missing) { libraryMissing_ = missing; }

    // The calls of one export, in order.
    std::vector<KordalCall> callsTo(const std::string& function) const;
    // The command codes of all exchanges, in order.
    std::vector<int32_t> commands() const;

    int32_t InitializeazaSeriala() override;
    int32_t InitializeazaSerialaNr(int32_t port) override;
    int32_t InchidePort(int32_t port) override;
    int32_t TimeOut6(int32_t port) override;
    int32_t TimeOut60(int32_t port) override;
    int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command, char* data,
                             char* status) override;
    int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                              unsigned char* data, char* status) override;
    int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                const char* quantity, const char* price, const char* display,
                                char* data, char* status) override;
    int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                        char* status) override;
    int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths, int32_t b_whole,
                         int32_t b_hundredths, int32_t c_whole, int32_t c_hundredths,
                         int32_t d_whole, int32_t d_hundredths, char* data,
                         char* status) override;
    int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                         char* status) override;
    int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                           char* status) override;
    int32_t InOutSume(int32_t port, const char* amount, char* data, char* status) override;

    // Every call, in order.
    std::vector<KordalCall> calls;
    // The answer when nothing more specific is scripted.
    KordalReply defaultReply;
    // What InitializeazaSeriala returns when nothing is queued for it: the
    // port the library found. The other port functions answer, unless queued,
    // as the library does for a port that works.
    int32_t foundPort = 1;

private:
    KordalReply answer(KordalCall call);
    // A port function: the queued result when one is queued, else `libraryResult`.
    int32_t portAnswer(KordalCall call, int32_t libraryResult);
    int32_t exchange(KordalCall call, char* data, char* status, bool countedData = false);

    std::map<std::string, std::deque<KordalReply>> queued_;
    std::map<int32_t, KordalReply> byCommand_;
    bool libraryMissing_ = false;
};

}  // namespace veltar::testing
