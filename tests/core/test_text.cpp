// Windows-1250 at the boundary, and the string table's shared texts.
#include <gtest/gtest.h>

#include "app/Strings.h"
#include "app/TextCodec.h"

TEST(TextCodec, CzechLettersAreOneByteEach) {
    std::string ansi = cp1250::FromUtf8("žluťoučký kůň");
    EXPECT_EQ(ansi.size(), 13u);
    EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0x9E);  // ž
    EXPECT_EQ(cp1250::ToUtf8(ansi), "žluťoučký kůň");
}

TEST(TextCodec, UnmappableCharactersBecomeReplacements) {
    EXPECT_EQ(cp1250::FromUtf8("a\xE2\x98\x83"
                               "b"),
              "a?b");  // snowman
    EXPECT_EQ(cp1250::FromUtf8("a\xFF"
                               "b"),
              "a?b");  // invalid UTF-8
    EXPECT_EQ(cp1250::ToUtf8(std::string("a\x98"
                                         "b")),
              "a\xEF\xBF\xBD"
              "b");  // undefined in 1250
    EXPECT_EQ(cp1250::FromUtf8("a\xF3\xA0\x80\x85"
                               "b"),
              "ab");  // an invisible tag character leaves nothing behind
}

TEST(Strings, TextsAndFilters) {
    EXPECT_STREQ(LoadStr(IDS_RESULT_BASE + 3), "Vypršel komunikační timeout.");
    EXPECT_STREQ(LoadStr(999), "");
    EXPECT_EQ(FileFilter(IDS_FILTER_TXT), "Textové dokumenty (*.txt)|*.txt|Všechny soubory|*.*");
}
