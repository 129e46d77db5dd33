#include "exchange/receipt.h"
namespace veltar {
TickFlow HandleSale(Context&) { return TickFlow::Continue; }
uint8_t VerificaStareBon(Context&, std::string&) { return 1; }
int PlataTotal(Context&, const std::string&, Amount, std::string&) { return 3; }
void TiparesteDescriere(Context&) {}
void SettlePendingSale(Context&) {}
}
