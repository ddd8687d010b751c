// Windows-1250 (the Czech ANSI code page of records, files and the wire) to and
// from UTF-8 (the user interface and the console).
#pragma once

#include <string>
#include <string_view>

namespace cp1250 {

// Bytes without a character in Windows-1250 become U+FFFD.
std::string ToUtf8(std::string_view ansi);

// Characters that Windows-1250 lacks become '?'; invalid UTF-8 bytes too.
// The invisible tag characters U+E0000 to U+E007F are dropped, as iconv does.
std::string FromUtf8(std::string_view utf8);

}  // namespace cp1250
