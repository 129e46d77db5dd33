#include "text_codec.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <map>

namespace veltar {
namespace {

constexpr char kReplacement = '?';
constexpr char32_t kUndefined = 0xFFFFFFFF;

// The code page is a single byte per character, so iconv is asked once per
// byte for its character and the answers are kept: every conversion after
// that is a look-up, and a byte iconv refuses cannot leave a conversion
// half done.
class CodePage1250 {
public:
    CodePage1250() {
        for (std::size_t b = 0; b < 0x80; ++b) toUnicode_[b] = static_cast<char32_t>(b);
        for (std::size_t b = 0x80; b < toUnicode_.size(); ++b) toUnicode_[b] = kUndefined;
        iconv_t cd = iconv_open("UTF-32LE", "CP1250");
        // Without the converter (glibc's gconv modules missing) only ASCII
        // crosses; everything else becomes "?" rather than something wrong.
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            for (std::size_t b = 0x80; b < toUnicode_.size(); ++b) {
                toUnicode_[b] = Ask(cd, static_cast<char>(b));
            }
            iconv_close(cd);
        }
        for (std::size_t b = 0; b < toUnicode_.size(); ++b) {
            if (toUnicode_[b] != kUndefined) fromUnicode_[toUnicode_[b]] = static_cast<char>(b);
        }
        // The comma-below letters map onto their cedilla twins, when the code
        // page has those.
        const std::pair<char32_t, char32_t> twins[] = {
            {0x0218, 0x015E}, {0x0219, 0x015F}, {0x021A, 0x0162}, {0x021B, 0x0163}};
        for (const auto& [comma, cedilla] : twins) {
            const auto found = fromUnicode_.find(cedilla);
            if (found != fromUnicode_.end()) fromUnicode_[comma] = found->second;
        }
    }

    char32_t toUnicode(unsigned char b) const { return toUnicode_[b]; }
    char fromUnicode(char32_t c) const {
        const auto found = fromUnicode_.find(c);
        return found == fromUnicode_.end() ? kReplacement : found->second;
    }

private:
    static char32_t Ask(iconv_t cd, char byte) {
        char in[1] = {byte};
        unsigned char out[8] = {};
        char* inPtr = in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            sizeof out - outLeft != 4) {
            return kUndefined;
        }
        return static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
               static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
    }

    std::array<char32_t, 256> toUnicode_{};
    std::map<char32_t, char> fromUnicode_;
};

const CodePage1250& Table() {
    static const CodePage1250 table;
    return table;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One character of UTF-8 from `at`. A broken sequence gives kUndefined and
// the length of its longest valid beginning (at least 1), so that one "?"
// stands for it and reading goes on at the next byte that may start a
// character.
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    std::size_t follow = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        c = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        c = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return {kUndefined, 1};
    }
    for (std::size_t k = 1; k <= follow; ++k) {
        if (at + k >= text.size()) return {kUndefined, k};
        const unsigned char b = byte(at + k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return {kUndefined, k};
        c = c << 6 | (b & 0x3F);
    }
    return {c, follow + 1};
}

}  // namespace

std::string Cp1250ToUtf8(std::string_view text) {
    const CodePage1250& table = Table();
    std::string out;
    out.reserve(text.size());
    for (const char byte : text) {
        const char32_t c = table.toUnicode(static_cast<unsigned char>(byte));
        if (c == kUndefined) {
            out += kReplacement;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string Utf8ToCp1250(std::string_view text) {
    const CodePage1250& table = Table();
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto [c, length] = DecodeUtf8(text, at);
        out += c == kUndefined ? kReplacement : table.fromUnicode(c);
        at += length;
    }
    return out;
}

}  // namespace veltar
