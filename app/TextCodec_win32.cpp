// Windows-1250 on Windows: the code page's own table from MultiByteToWideChar,
// with the same replacements as the iconv realisation (TextCodec_posix.cpp).
#include <windows.h>

#include <array>
#include <cstdint>

#include "app/TextCodec.h"

namespace cp1250 {
namespace {

constexpr UINT kCodePage = 1250;
constexpr char32_t kNoChar = 0;
constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kTagFirst = 0xE0000;
constexpr char32_t kTagLast = 0xE007F;

// The characters of the bytes 0x80..0xFF; kNoChar where the code page has
// none. Windows gives some of those bytes the C1 control of the same number,
// which no Windows-1250 character is: they count as undefined, as with iconv.
struct Table {
    std::array<char32_t, 128> upper{};
    Table() {
        for (unsigned b = 0x80; b <= 0xFF; ++b) {
            char c = char(b);
            wchar_t w = 0;
            int n = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, &c, 1, &w, 1);
            upper[b - 0x80] = n == 1 && !(w >= 0x80 && w <= 0x9F) ? char32_t(w) : kNoChar;
        }
    }
};

const Table& Chars() {
    static const Table table;
    return table;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// The character of one whole UTF-8 sequence; kNoChar when it is not valid
// UTF-8 (overlong, a surrogate, beyond U+10FFFF, cut).
char32_t DecodeSequence(std::string_view seq) {
    wchar_t w[2];
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, seq.data(), int(seq.size()), w, 2);
    if (n == 1) return char32_t(w[0]);
    if (n == 2 && w[0] >= 0xD800 && w[0] <= 0xDBFF && w[1] >= 0xDC00 && w[1] <= 0xDFFF)
        return 0x10000 + ((char32_t(w[0]) - 0xD800) << 10) + (char32_t(w[1]) - 0xDC00);
    return kNoChar;
}

}  // namespace

std::string ToUtf8(std::string_view ansi) {
    const Table& t = Chars();
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
            continue;
        }
        char32_t cp = t.upper[b - 0x80];
        AppendUtf8(out, cp == kNoChar ? kReplacement : cp);
    }
    return out;
}

std::string FromUtf8(std::string_view utf8) {
    const Table& t = Chars();
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        size_t n = Utf8SequenceLength(utf8);
        std::string_view seq = utf8.substr(0, n);
        utf8.remove_prefix(n);
        if (n == 1 && static_cast<unsigned char>(seq[0]) < 0x80) {
            out += seq[0];
            continue;
        }
        char32_t cp = DecodeSequence(seq);
        if (cp >= kTagFirst && cp <= kTagLast) continue;
        char byte = '?';
        if (cp != kNoChar)
            for (unsigned i = 0; i < t.upper.size(); ++i)
                if (t.upper[i] == cp) {
                    byte = char(0x80 + i);
                    break;
                }
        out += byte;
    }
    return out;
}

}  // namespace cp1250
