// placeholder, replaced by its implementation
#include "exchange/sales_file.h"
namespace veltar {
uint8_t IncarcaFisierVanzari(Context&) { return load_result::kStructureError; }
}
