#include "process_library.h"

namespace veltar {

KordalExports& ProcessLibrary(const std::string& directory) {
    static KordalExports* const library = MakeDynamicKordal(directory).release();
    return *library;
}

}  // namespace veltar
