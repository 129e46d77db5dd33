#include "fake_kordal.h"

#include <cstring>
#include <stdexcept>

#include "failure.h"

namespace veltar::testing {
namespace {

// The largest reply data the library delivers, and the data buffer size the
// library may rely on.
constexpr std::size_t kMaxReplyData = 245;

KordalCall Call(std::string function, int32_t port = 0, int32_t command = -1,
                std::string payload = {}) {
    KordalCall call;
    call.function = std::move(function);
    call.port = port;
    call.command = command;
    call.payload = std::move(payload);
    return call;
}

bool NumberedPort(int32_t port) { return port >= 1 && port <= 8; }

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

void FakeKordal::queueReply(const std::string& function, KordalReply reply) {
    queued_[function].push_back(std::move(reply));
}

void FakeKordal::replyToCommand(int32_t command, KordalReply reply) {
    byCommand_[command] = std::move(reply);
}

std::vector<KordalCall> FakeKordal::callsTo(const std::string& function) const {
    std::vector<KordalCall> found;
    for (const KordalCall& call : calls) {
        if (call.function == function) found.push_back(call);
    }
    return found;
}

std::vector<int32_t> FakeKordal::commands() const {
    std::vector<int32_t> codes;
    for (const KordalCall& call : calls) {
        if (call.command >= 0) codes.push_back(call.command);
    }
    return codes;
}

KordalReply FakeKordal::answer(KordalCall call) {
    call.failed = libraryMissing_;
    calls.push_back(call);
    if (libraryMissing_) {
        throw RuntimeError(error_number::kLibraryMissing,
                           "libkordal.so: cannot open shared object file: No such file or "
                           "directory");
    }
    auto queue = queued_.find(call.function);
    if (queue != queued_.end() && !queue->second.empty()) {
        KordalReply reply = queue->second.front();
        queue->second.pop_front();
        return reply;
    }
    auto byCode = byCommand_.find(call.command);
    if (call.command >= 0 && byCode != byCommand_.end()) return byCode->second;
    return defaultReply;
}

int32_t FakeKordal::exchange(KordalCall call, char* data, char* status, bool countedData) {
    KordalReply reply = answer(std::move(call));
    if (reply.result != 0) return reply.result;
    if (reply.data.size() > kMaxReplyData || reply.status.size() != 8) {
        throw std::logic_error("FakeKordal: a reply carries at most 245 data bytes and 8 status bytes");
    }
    if (countedData) {
        data[0] = static_cast<char>(reply.data.size());
        std::memcpy(data + 1, reply.data.data(), reply.data.size());
    } else {
        std::memcpy(data, reply.data.data(), reply.data.size());
        data[reply.data.size()] = '\0';
    }
    std::memcpy(status, reply.status.data(), 8);
    return 0;
}

int32_t FakeKordal::portAnswer(KordalCall call, int32_t libraryResult) {
    auto queue = queued_.find(call.function);
    bool scripted = queue != queued_.end() && !queue->second.empty();
    KordalReply reply = answer(std::move(call));
    return scripted ? reply.result : libraryResult;
}

int32_t FakeKordal::InitializeazaSeriala() {
    return portAnswer(Call("InitializeazaSeriala"), foundPort);
}

// Unscripted, the port functions give what the library gives for a port that
// opens and closes: the number itself, -2 outside 1..8, 0 for the time-outs.
int32_t FakeKordal::InitializeazaSerialaNr(int32_t port) {
    return portAnswer(Call("InitializeazaSerialaNr", port), NumberedPort(port) ? port : -2);
}

int32_t FakeKordal::InchidePort(int32_t port) {
    return portAnswer(Call("InchidePort", port), NumberedPort(port) ? 0 : -2);
}

int32_t FakeKordal::TimeOut6(int32_t port) { return portAnswer(Call("TimeOut6", port), 0); }

int32_t FakeKordal::TimeOut60(int32_t port) { return portAnswer(Call("TimeOut60", port), 0); }

int32_t FakeKordal::TrimiteTelegrama(int32_t port, const char* payload, int32_t command,
                                     char* data, char* status) {
    return exchange(Call("TrimiteTelegrama", port, command, Text(payload)), data, status);
}

int32_t FakeKordal::TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                                      unsigned char* data, char* status) {
    std::string payload(reinterpret_cast<const char*>(block), std::size_t{block[0]} + 1);
    return exchange(Call("TrimiteTelegramaL", port, command, payload),
                    reinterpret_cast<char*>(data), status, true);
}

int32_t FakeKordal::VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                        const char* quantity, const char* price,
                                        const char* display, char* data, char* status) {
    KordalCall call = Call("VanzareAfisareMarfa", port, 8);
    call.texts = {Text(name), Text(quantity), Text(price), Text(display)};
    call.numbers = {kind};
    return exchange(call, data, status);
}

int32_t FakeKordal::CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                                char* status) {
    KordalCall call = Call("CalculTotal", port, 10);
    call.texts = {Text(text), Text(payment)};
    return exchange(call, data, status);
}

int32_t FakeKordal::ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths,
                                 int32_t b_whole, int32_t b_hundredths, int32_t c_whole,
                                 int32_t c_hundredths, int32_t d_whole, int32_t d_hundredths,
                                 char* data, char* status) {
    KordalCall call = Call("ScrieCoteTVA", port, 4);
    call.numbers = {a_whole, a_hundredths, b_whole, b_hundredths,
                    c_whole, c_hundredths, d_whole, d_hundredths};
    return exchange(call, data, status);
}

int32_t FakeKordal::ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                                 char* status) {
    std::string payload(reinterpret_cast<const char*>(date_time), 6);
    return exchange(Call("ScrieDataOra", port, 38, payload), data, status);
}

int32_t FakeKordal::RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                                   char* status) {
    std::string payload(reinterpret_cast<const char*>(report), 7);
    return exchange(Call("RaportPeriodic", port, 31, payload), data, status);
}

int32_t FakeKordal::InOutSume(int32_t port, const char* amount, char* data, char* status) {
    KordalCall call = Call("InOutSume", port, 42);
    call.texts = {Text(amount)};
    return exchange(call, data, status);
}

}  // namespace veltar::testing
