// Windows-1250 (the Czech ANSI code page of records, files and the wire) to and
// from UTF-8 (the user interface and the console).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cp1250 {

// Bytes without a character in Windows-1250 become U+FFFD.
std::string ToUtf8(std::string_view ansi);

// Characters that Windows-1250 lacks become '?'; invalid UTF-8 bytes too.
// The invisible tag characters U+E0000 to U+E007F are dropped, as iconv does.
std::string FromUtf8(std::string_view utf8);

// The length of the UTF-8 sequence that `s` starts with, as far as it is
// well-formed: what one replacement character stands for. `s` is not empty.
inline size_t Utf8SequenceLength(std::string_view s) {
    unsigned char c = static_cast<unsigned char>(s[0]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    size_t i = 1;
    while (i < n && i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return i;
}

}  // namespace cp1250
