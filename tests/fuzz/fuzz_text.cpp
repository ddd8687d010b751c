// Texts between Windows-1250 (records, files, the line) and UTF-8 (screen and
// console) on arbitrary bytes: the UTF-8 side is always valid UTF-8, the
// Windows-1250 side never longer than its source, and a text survives the
// way there and back except for the bytes Windows-1250 has no character for.
#include <string>
#include <string_view>

#include "app/TextCodec.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing above U+10FFFF. `shown` counts the characters
// other than the invisible tag characters U+E0000 to U+E007F.
bool ValidUtf8(std::string_view s, size_t* shown = nullptr) {
    if (shown) *shown = 0;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80)
            n = 1, cp = c;
        else if ((c >> 5) == 0x6)
            n = 2, cp = c & 0x1F;
        else if ((c >> 4) == 0xE)
            n = 3, cp = c & 0x0F;
        else if ((c >> 3) == 0x1E)
            n = 4, cp = c & 0x07;
        else
            return false;
        if (i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (shown && (cp >> 7) != (0xE0000 >> 7)) ++*shown;
        i += n;
    }
    return true;
}

// The bytes without a character in Windows-1250.
bool Unmapped(unsigned char c) { return c == 0x81 || c == 0x83 || c == 0x88 || c == 0x90 || c == 0x98; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // As Windows-1250: valid UTF-8 of at most three bytes a character, and
    // back again the same bytes, '?' where there was no character.
    const std::string utf8 = cp1250::ToUtf8(bytes);
    FUZZ_CHECK(ValidUtf8(utf8));
    FUZZ_CHECK(utf8.size() >= size && utf8.size() <= 3 * size);
    std::string expected(bytes);
    for (char& c : expected)
        if (Unmapped(static_cast<unsigned char>(c))) c = '?';
    FUZZ_CHECK(cp1250::FromUtf8(utf8) == expected);

    // As UTF-8 (valid or not): one byte at most for each input byte; valid
    // UTF-8 gives one byte for each character but the tag characters; what
    // comes out converts to valid UTF-8 and back unchanged.
    const std::string ansi = cp1250::FromUtf8(bytes);
    FUZZ_CHECK(ansi.size() <= size);
    size_t shown = 0;
    if (ValidUtf8(bytes, &shown)) FUZZ_CHECK(ansi.size() == shown);
    const std::string again = cp1250::ToUtf8(ansi);
    FUZZ_CHECK(ValidUtf8(again));
    FUZZ_CHECK(cp1250::FromUtf8(again) == ansi);
    return 0;
}
