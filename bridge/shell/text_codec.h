// Code page 1250 (the bridge's texts) to and from UTF-8 (the window system and
// the terminal), through iconv.
#pragma once

#include <string>
#include <string_view>

namespace veltar {

// A byte that code page 1250 leaves undefined (81h, 83h, 88h, 90h, 98h)
// becomes "?".
std::string Cp1250ToUtf8(std::string_view text);
// A character that code page 1250 does not have becomes "?", and so does each
// broken piece of UTF-8 (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate). The Romanian letters with a comma below
// (U+0218 to U+021B), which keyboards type today, become the letters with a
// cedilla that code page 1250 has, as the printer and the sales application
// know them.
std::string Utf8ToCp1250(std::string_view text);

}  // namespace veltar
