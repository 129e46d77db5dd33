// placeholder, replaced by its implementation
#include "exchange/auxiliary.h"
namespace veltar {
void HandleDisplayText(Context&) {}
void HandleDrawer(Context&) {}
void HandleCash(Context&) {}
void HandleFunction(Context&) {}
void TiparesteNefiscal(Context&) {}
}
