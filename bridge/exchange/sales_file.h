// VANZARI.TXT, the sale as the sales application writes it, read into
// LiniiVanzare, LiniiMajRed and LiniiPlata.
#pragma once

#include <cstdint>

#include "shell/context.h"

namespace veltar {

namespace load_result {
inline constexpr uint8_t kStructureError = 0;  // a message has been shown; the file stays
inline constexpr uint8_t kLoaded = 1;
inline constexpr uint8_t kEmpty = 2;  // the first line was empty; the file is deleted
}  // namespace load_result

// Reads the sales file into the three lists of ctx.exchange.
uint8_t IncarcaFisierVanzari(Context& ctx);

}  // namespace veltar
