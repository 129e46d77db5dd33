// placeholder, replaced by its implementation
#include "exchange/prechecks.h"
namespace veltar {
void VerificariPornire(Context&) {}
bool VerificaCoteTVA(Context&) { return false; }
}
