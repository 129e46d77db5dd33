# Fails when a source file of the bridge's logic includes a Qt header: the
# logic must build and run without a window system, only bridge/ui may use Qt.
# Run with -DBRIDGE=<path of bridge/>.
file(GLOB_RECURSE sources ${BRIDGE}/*.h ${BRIDGE}/*.cpp)
set(offenders "")
foreach(source ${sources})
  if(source MATCHES "/bridge/ui/")
    continue()
  endif()
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]+|Qt[A-Za-z]*/)")
  if(lines)
    list(APPEND offenders "${source}: ${lines}")
  endif()
endforeach()
if(offenders)
  string(REPLACE ";" "\n" report "${offenders}")
  message(FATAL_ERROR "Qt included outside bridge/ui:\n${report}")
endif()
