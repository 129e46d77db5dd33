// The one binding of libkordal.so of a running program.
#pragma once

#include <string>

#include "shell/kordal_binding.h"

namespace veltar {

// The binding for the whole process, looked for in `directory` first (the
// first call's directory counts). It is never unloaded: the library keeps
// the ports it opened in its own state, which must outlive every window and
// the end of the event loop, up to the process's own end.
KordalExports& ProcessLibrary(const std::string& directory);

}  // namespace veltar
