#include "platform/Text.h"

#include <gtest/gtest.h>

using platform::escapeControl;
using platform::lowerCase;

TEST(Text, LowerCaseMapsUtf8AndKeepsInvalidBytes) {
    EXPECT_EQ(lowerCase("C:/Data/A.DOC"), "c:/data/a.doc");
    EXPECT_EQ(lowerCase("\xC3\x84rger \xC3\x96L"), "\xC3\xA4rger \xC3\xB6l");  // Ä, Ö
    EXPECT_EQ(lowerCase("\xCE\xA3"), "\xCF\x83");                              // Greek sigma
    // A lone Latin-1 byte and a truncated sequence stay as they are.
    EXPECT_EQ(lowerCase("A\xC4Z"), "a\xC4z");
    EXPECT_EQ(lowerCase("X\xE2\x82"), "x\xE2\x82");
}

TEST(Text, LowerCaseDoesNotDependOnTheProcessLocale) {
    // Tests run with LANG=C.UTF-8, but the C locale is what the process has
    // until it calls setlocale: the mapping must work either way.
    EXPECT_EQ(lowerCase("\xC3\x9C"), "\xC3\xBC");  // Ü
}

TEST(Text, EscapeControlNeutralisesLineBreaks) {
    EXPECT_EQ(escapeControl("a\nb\tc\\d\x01"), "a\\nb\\tc\\\\d\\x01");
    EXPECT_EQ(escapeControl("plain \xC3\xA4"), "plain \xC3\xA4");
}
