#include <gtest/gtest.h>

#include <string>

#include "config/AttributeText.h"

namespace {

struct Row {
    const char* name;
    std::string bytes;
    std::string written;
};

// U+F700 plus a byte, as UTF-8.
std::string esc(unsigned char byte) {
    const char32_t c = 0xF700 + byte;
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

}  // namespace

TEST(AttributeText, WritesOnlyWhatXmlCannotHoldAsEscapesAndReadsItBack) {
    const Row rows[] = {
        {"ascii path unchanged", "/home/u/a b&<>\"", "/home/u/a b&<>\""},
        {"valid UTF-8 unchanged",
         "/donn\xc3\xa9"
         "es/\xe6\x97\xa5\xf0\x9f\x98\x80",
         "/donn\xc3\xa9"
         "es/\xe6\x97\xa5\xf0\x9f\x98\x80"},
        {"tab, line feed, carriage return unchanged", "a\tb\nc\r", "a\tb\nc\r"},
        {"lone Latin-1 byte", "caf\xe9", "caf" + esc(0xE9)},
        {"stray continuation byte", "\x80x", esc(0x80) + "x"},
        {"overlong slash", "\xc0\xaf", esc(0xC0) + esc(0xAF)},
        {"encoded surrogate", "\xed\xa0\x80", esc(0xED) + esc(0xA0) + esc(0x80)},
        {"cut-off sequence at the end", "a\xe6\x97", "a" + esc(0xE6) + esc(0x97)},
        {"control character", "a\x01z\x1f", "a" + esc(0x01) + "z" + esc(0x1F)},
        {"noncharacter U+FFFE", "\xef\xbf\xbe", esc(0xEF) + esc(0xBF) + esc(0xBE)},
        {"a real escape character is escaped itself", "\xef\x9c\x81",
         esc(0xEF) + esc(0x9C) + esc(0x81)},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string written = config::encodeAttributeText(row.bytes);
        EXPECT_EQ(written, row.written);
        EXPECT_EQ(config::decodeAttributeText(written), row.bytes);
    }
}

TEST(AttributeText, ReadingNeverMakesANulByte) {
    // U+F700 stands for NUL when written; read back it stays a character.
    EXPECT_EQ(config::encodeAttributeText(std::string("a\0b", 3)), "a" + esc(0) + "b");
    EXPECT_EQ(config::decodeAttributeText("a" + esc(0) + "b"), "a" + esc(0) + "b");
}
