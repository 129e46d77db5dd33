#include "failure.h"

#include <cstring>

namespace veltar {

RuntimeError SystemError(int errnum) {
    // strerror_r (GNU flavour) may return a static text instead of filling the buffer.
    char buffer[256] = {};
    const char* text = strerror_r(errnum, buffer, sizeof buffer);
    return RuntimeError(errnum, text != nullptr ? text : "Unknown error", true);
}

}  // namespace veltar
