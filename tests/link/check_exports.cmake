# Fails unless the shared library's dynamic symbol table defines exactly the
# library's C interface. Run with -DNM=<nm> -DLIBRARY=<path>.
set(expected
  CalculTotal CitesteCoteTVA InOutSume InchidePort InitializeazaSeriala
  InitializeazaSerialaNr Intarziere RaportPeriodic ScrieCoteTVA ScrieDataOra
  ScrieHeaderFooter Subtotal TimeOut6 TimeOut60 TrimiteTelegrama TrimiteTelegramaL
  VanzareAfisareMarfa)
execute_process(COMMAND ${NM} -D --defined-only --format=just-symbols ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" out "${out}")
string(REPLACE "\n" ";" defined "${out}")
list(SORT defined)
list(SORT expected)
if(NOT defined STREQUAL expected)
  message(FATAL_ERROR "exported: ${defined}\nexpected: ${expected}")
endif()
