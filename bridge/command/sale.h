// The two commands whose library functions take composed decimal texts: one
// sale line of the open receipt, and cash into or out of the drawer.
#pragma once

#include <cstdint>
#include <string>

#include "shell/amount.h"
#include "shell/context.h"

namespace veltar {

// Longest article name the printer takes.
inline constexpr std::size_t kArticleNameMax = 40;

// Registers ctx.sale on the open receipt. Clears ProcentActiv once the line is
// registered (and after a refused quantity), so that only the first portion of
// a split line carries the percentage.
bool VanzareMarfa(Context& ctx, std::string& response);

// Amount 0 only reads the drawer sums; a positive amount puts cash in, a
// negative one takes its absolute value out. The three sums are written only
// when the printer's reply carries them.
bool fctInOutSertar(Context& ctx, int32_t& printerIndex, Amount& amount, Amount& sumInDrawer,
                    Amount& sumPutIn, Amount& sumTakenOut, std::string& response);

}  // namespace veltar
