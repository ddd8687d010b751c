// The field parser of AT answers on arbitrary text and prefixes: fields lie
// within the first line behind the prefix, hold no separators, and the slots
// beyond the count returned stay absent.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <string_view>

#include "comm/AtChannel.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string prefix = in.ConsumeRandomLengthString(16);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const std::string_view answer(text);

    std::string_view fields[CAtChannel::kMaxFields];
    for (auto& f : fields) f = "stale";
    const int n = CAtChannel::ParseFields(answer, prefix, fields);
    if (answer.substr(0, prefix.size()) != prefix) {
        FUZZ_CHECK(n == -1);
        return 0;
    }
    FUZZ_CHECK(n >= 1 && n <= CAtChannel::kMaxFields + 1);

    // The line behind the prefix ends at its first control character.
    size_t lineEnd = prefix.size();
    while (lineEnd < answer.size() && static_cast<unsigned char>(answer[lineEnd]) >= 0x20) ++lineEnd;
    const char* lineBegin = answer.data() + prefix.size();
    for (int i = 0; i < CAtChannel::kMaxFields; ++i) {
        const std::string_view f = fields[i];
        if (i >= n) {
            FUZZ_CHECK(f.data() == nullptr && f.empty());
            continue;
        }
        if (!f.data()) {
            FUZZ_CHECK(f.empty());
            continue;
        }
        FUZZ_CHECK(f.data() >= lineBegin && f.data() + f.size() <= answer.data() + lineEnd);
        FUZZ_CHECK(f.find(',') == std::string_view::npos);
        // A quoted field ends at its closing quote, an unquoted one at a blank.
        const bool unquoted = !f.empty() && f.find(' ') == std::string_view::npos && f.front() != '"';
        const bool quoted = f.data() > lineBegin && f.data()[-1] == '"' && f.find('"') == std::string_view::npos;
        FUZZ_CHECK(quoted || unquoted);
    }
    // As many commas as slots reached, less one, lie on the line (quoted ones included).
    size_t commas = 0;
    for (size_t i = prefix.size(); i < lineEnd; ++i) commas += answer[i] == ',';
    FUZZ_CHECK(size_t(n) - 1 == std::min(commas, size_t(CAtChannel::kMaxFields)));
    return 0;
}
