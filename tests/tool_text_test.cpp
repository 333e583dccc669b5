// The tools' decoding of server values for the table and the JSON: valid
// UTF-8 kept, every other byte read as Windows-1252.
#include "TextDecoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextDecoding, ValidUtf8StaysAndOtherBytesAreWindows1252) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string text;
        std::size_t characters;
    };
    const Case cases[] = {
        {"ASCII", "Jade Mesa 011", "Jade Mesa 011", 13},
        {"UTF-8 of two, three and four bytes", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAE",
         "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAE", 7},
        {"Latin-1 letters", "Caf\xE9 M\xFCnchen", "Caf\xC3\xA9 M\xC3\xBCnchen", 12},
        {"the euro sign and quotes of 0x80-0x9F", "\x80\x93\x94", "\xE2\x82\xAC\xE2\x80\x9C\xE2\x80\x9D", 3},
        {"bytes Windows-1252 leaves undefined", "\x81\x8D", "\xC2\x81\xC2\x8D", 2},
        {"an overlong form", "\xC0\xAF", "\xC3\x80\xC2\xAF", 2},
        {"a surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC", 3},
        {"a sequence cut short at the end", "ab\xE2\x82", "ab\xC3\xA2\xE2\x80\x9A", 4},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC", 4},
        {"empty", "", "", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tooltext::decodeText(c.bytes), c.text) << c.what;
        EXPECT_EQ(tooltext::characterCount(tooltext::decodeText(c.bytes)), c.characters) << c.what;
    }
}

}  // namespace
