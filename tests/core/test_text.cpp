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

// Every upper byte: the five without a character (a code page table that
// gives them C1 controls would let them through) and the round trip of all
// the others, so that both realisations of the codec agree byte for byte.
TEST(TextCodec, UpperHalfMatchesTheCodePage) {
    const std::string undefined = "\x81\x83\x88\x90\x98";
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        std::string one(1, char(b));
        std::string utf8 = cp1250::ToUtf8(one);
        if (undefined.find(char(b)) != std::string::npos) {
            EXPECT_EQ(utf8, "\xEF\xBF\xBD") << std::hex << b;
            continue;
        }
        EXPECT_NE(utf8, "\xEF\xBF\xBD") << std::hex << b;
        EXPECT_EQ(cp1250::FromUtf8(utf8), one) << std::hex << b;
    }
    EXPECT_EQ(cp1250::ToUtf8("\x80\x8A\xA0\xFF"), "\u20AC\u0160\u00A0\u02D9");
    EXPECT_EQ(cp1250::FromUtf8("\xC2\x81"), "?") << "U+0081 is no Windows-1250 character";
}

TEST(Strings, TextsAndFilters) {
    EXPECT_STREQ(LoadStr(IDS_RESULT_BASE + 3), "Vypršel komunikační timeout.");
    EXPECT_STREQ(LoadStr(999), "");
    EXPECT_EQ(FileFilter(IDS_FILTER_TXT), "Textové dokumenty (*.txt)|*.txt|Všechny soubory|*.*");
}
