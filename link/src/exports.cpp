// The library's C interface: argument checks and payloads from payloads.cpp,
// the conversation from exchange.cpp, ports from the library state.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

#include "commands.h"
#include "exchange.h"
#include "kordal.h"
#include "library_state.h"
#include "payloads.h"

namespace kordal {
namespace {

std::string_view textOf(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

std::uint8_t lowByte(std::int32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

bool numberedPort(std::int32_t port) { return port >= kFirstPort && port <= kLastNumberedPort; }

// The sequence byte of every export except TrimiteTelegramaL: the seconds of
// the wall clock, so two commands within one second carry the same value.
std::uint8_t wallClockSequence() {
  return static_cast<std::uint8_t>(libraryState().clock().secondsField());
}

void deliverStatus(const Reply& reply, char* status) {
  if (status != nullptr) {
    std::memcpy(status, reply.status.data(), kStatusBytes);
  }
}

// Reply data as a zero-terminated string at the start of the caller's buffer.
void deliverText(const Reply& reply, char* data) {
  if (data != nullptr) {
    std::memcpy(data, reply.data.data(), reply.data_size);
    data[reply.data_size] = '\0';
  }
}

// Reply data as a count byte followed by the bytes.
void deliverCounted(const Reply& reply, unsigned char* data) {
  if (data != nullptr) {
    data[0] = static_cast<unsigned char>(reply.data_size);
    std::memcpy(data + 1, reply.data.data(), reply.data_size);
  }
}

// The common tail of every command function: exchange with wall-clock
// sequence, then the reply into the caller's buffers only when accepted.
std::int32_t sendCommand(std::int32_t port, std::uint8_t command, const Payload& payload,
                         char* data, char* status) {
  LibraryState& state = libraryState();
  Reply reply;
  int result = runExchange(state.port(port), state.clock(), wallClockSequence, command,
                           payload.data(), payload.size(), reply);
  if (result == KORDAL_OK) {
    deliverStatus(reply, status);
    deliverText(reply, data);
  }
  return result;
}

std::int32_t openWithLineSettings(std::int32_t port) {
  int result = libraryState().open(port);
  return result == 0 ? port : result;
}

}  // namespace
}  // namespace kordal

using namespace kordal;

extern "C" {

KORDAL_API int32_t InitializeazaSeriala(void) {
  for (std::int32_t port = kFirstPort; port <= kLastSearchedPort; ++port) {
    if (libraryState().open(port) == 0) {
      return port;
    }
  }
  return KORDAL_PORT_NONE_FOUND;
}

KORDAL_API int32_t InitializeazaSerialaNr(int32_t port) {
  if (!numberedPort(port)) {
    return KORDAL_PORT_OUT_OF_RANGE;
  }
  return openWithLineSettings(port);
}

KORDAL_API int32_t InchidePort(int32_t port) {
  if (!numberedPort(port)) {
    return KORDAL_PORT_OUT_OF_RANGE;
  }
  return libraryState().close(port);
}

KORDAL_API int32_t TimeOut6(int32_t port) {
  libraryState().port(port).setTimeoutSeconds(kDefaultTimeoutSeconds);
  return 0;
}

KORDAL_API int32_t TimeOut60(int32_t port) {
  libraryState().port(port).setTimeoutSeconds(kLongTimeoutSeconds);
  return 0;
}

KORDAL_API int32_t Intarziere(float seconds) {
  // Negative, NaN and absurdly long delays must not turn into undefined
  // conversions; a day is more than any caller waits.
  constexpr double kLongestDelaySeconds = 86400.0;
  if (std::isnan(seconds) || seconds <= 0.0f) {
    return 1;
  }
  const double wait = std::min(static_cast<double>(seconds), kLongestDelaySeconds);
  libraryState().clock().pause(
      std::chrono::nanoseconds(static_cast<long long>(wait * 1e9)));
  return 1;
}

KORDAL_API int32_t TrimiteTelegrama(int32_t port, const char* payload, int32_t command,
                                    char* data, char* status) {
  Payload composed;
  if (int refused = composeTextPayload(textOf(payload), composed); refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, lowByte(command), composed, data, status);
}

KORDAL_API int32_t TrimiteTelegramaL(int32_t port, const unsigned char* block, int32_t command,
                                     unsigned char* data, char* status) {
  Payload composed;
  if (int refused = composeCountedPayload(block, composed); refused != KORDAL_OK) {
    return refused;
  }
  LibraryState& state = libraryState();
  Reply reply;
  int result = runExchange(state.port(port), state.clock(), [&state] { return state.takeCounter(); },
                           lowByte(command), composed.data(), composed.size(), reply);
  if (result == KORDAL_OK) {
    deliverStatus(reply, status);
    deliverCounted(reply, data);
  }
  return result;
}

KORDAL_API int32_t VanzareAfisareMarfa(int32_t port, const char* name, int32_t kind,
                                       const char* quantity, const char* price,
                                       const char* display, char* data, char* status) {
  Payload composed;
  if (int refused = composeSaleLine(textOf(name), kind, textOf(quantity), textOf(price),
                                    textOf(display), composed);
      refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdSaleLine, composed, data, status);
}

KORDAL_API int32_t Subtotal(int32_t port, int32_t first, int32_t second, char* data,
                            char* status) {
  Payload composed;
  composeSubtotal(first, second, composed);
  return sendCommand(port, kCmdSubtotal, composed, data, status);
}

KORDAL_API int32_t CalculTotal(int32_t port, const char* text, const char* payment, char* data,
                               char* status) {
  Payload composed;
  if (int refused = composeTotal(textOf(text), textOf(payment), composed);
      refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdTotal, composed, data, status);
}

KORDAL_API int32_t CitesteCoteTVA(int32_t port, int32_t, int32_t, int32_t, int32_t, int32_t,
                                  int32_t, int32_t, int32_t, char* data, char* status) {
  // The rate arguments only mirror ScrieCoteTVA; the rates come back as data.
  Payload composed;
  return sendCommand(port, kCmdReadVatRates, composed, data, status);
}

KORDAL_API int32_t ScrieCoteTVA(int32_t port, int32_t a_whole, int32_t a_hundredths,
                                int32_t b_whole, int32_t b_hundredths, int32_t c_whole,
                                int32_t c_hundredths, int32_t d_whole, int32_t d_hundredths,
                                char* data, char* status) {
  Payload composed;
  composeVatRates({a_whole, a_hundredths, b_whole, b_hundredths, c_whole, c_hundredths, d_whole,
                   d_hundredths},
                  composed);
  return sendCommand(port, kCmdWriteVatRates, composed, data, status);
}

KORDAL_API int32_t ScrieDataOra(int32_t port, const unsigned char* date_time, char* data,
                                char* status) {
  Payload composed;
  if (int refused = composeBlock(date_time, kDateTimeBlockSize, composed);
      refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdWriteDateTime, composed, data, status);
}

KORDAL_API int32_t RaportPeriodic(int32_t port, const unsigned char* report, char* data,
                                  char* status) {
  Payload composed;
  if (int refused = composeBlock(report, kReportBlockSize, composed); refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdPeriodicReport, composed, data, status);
}

KORDAL_API int32_t ScrieHeaderFooter(int32_t port, int32_t line, int32_t kind, const char* text,
                                     char* data, char* status) {
  Payload composed;
  if (int refused = composeHeaderFooter(line, kind, textOf(text), composed);
      refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdHeaderFooter, composed, data, status);
}

KORDAL_API int32_t InOutSume(int32_t port, const char* amount, char* data, char* status) {
  Payload composed;
  if (int refused = composeCashInOut(textOf(amount), composed); refused != KORDAL_OK) {
    return refused;
  }
  return sendCommand(port, kCmdCashInOut, composed, data, status);
}

}  // extern "C"
