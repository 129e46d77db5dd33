// Code page 1250 to and from UTF-8, as texts cross into the windows and back.
#include "text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace veltar {
namespace {

// ăâîşţ ĂÂÎŞŢ as code page 1250 has them (the s and t with a cedilla).
const std::string kRomanianCp1250 = "\xE3\xE2\xEE\xBA\xFE \xC3\xC2\xCE\xAA\xDE";
const std::string kRomanianCedilla = "ăâîşţ ĂÂÎŞŢ";
const std::string kRomanianCommaBelow = "ăâîșț ĂÂÎȘȚ";

TEST(TextCodec, RomanianLettersCrossBothWays) {
    EXPECT_EQ(Cp1250ToUtf8(kRomanianCp1250), kRomanianCedilla);
    EXPECT_EQ(Utf8ToCp1250(kRomanianCedilla), kRomanianCp1250);
    // Typed today with a comma below, they reach the printer as the letters
    // the code page has, not as "?".
    EXPECT_EQ(Utf8ToCp1250(kRomanianCommaBelow), kRomanianCp1250);
}

TEST(TextCodec, EveryDefinedByteRoundTripsAndTheUndefinedOnesBecomeAQuestionMark) {
    const std::string undefined = "\x81\x83\x88\x90\x98";
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string back = Utf8ToCp1250(Cp1250ToUtf8(byte));
        if (undefined.find(static_cast<char>(b)) != std::string::npos) {
            EXPECT_EQ(Cp1250ToUtf8(byte), "?") << b;
        } else {
            EXPECT_EQ(back, byte) << b;
        }
    }
    EXPECT_EQ(Cp1250ToUtf8("\x80 5"), "€ 5");
    EXPECT_EQ(Cp1250ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(TextCodec, CharactersTheCodePageLacksBecomeAQuestionMarkEach) {
    const struct {
        const char* utf8;
        const char* cp1250;
    } cases[] = {
        {"PAINE", "PAINE"},
        {"señor", "se?or"},       // two bytes in UTF-8
        {"日本", "??"},           // three bytes each
        {"a😀b", "a?b"},          // four bytes
        {"Größe", "Gr\xF6\xDF" "e"},  // present in the code page
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1250(c.utf8), c.cp1250) << c.utf8;
}

TEST(TextCodec, BrokenUtf8BecomesOneQuestionMarkPerBrokenPiece) {
    const struct {
        std::string utf8;
        std::string cp1250;
    } cases[] = {
        {"\x80", "?"},                  // a continuation byte alone
        {"a\xC3", "a?"},                // cut short at the end
        {"a\xE2\x82" "b", "a?b"},       // cut short before an ASCII letter
        {"\xC0\xAF", "??"},             // overlong "/"
        {"\xE0\x80\xAF", "???"},        // overlong in three bytes
        {"\xED\xA0\x80", "???"},        // a surrogate
        {"\xF4\x90\x80\x80", "????"},   // beyond U+10FFFF
        {"\xFF" "x", "?x"},
        {"\xC4\x83\x80", "\xE3?"},      // ă, then a stray byte
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1250(c.utf8), c.cp1250);
}

}  // namespace
}  // namespace veltar
