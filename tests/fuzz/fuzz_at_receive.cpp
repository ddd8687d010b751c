// The AT channel reading an arbitrary answer: it ends at the first final line
// and nowhere else, keeps at most the buffer's worth of the lines before it,
// terminated, and the field parser takes what it kept.
#include <algorithm>
#include <string_view>

#include "comm/AtChannel.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool IsFinal(std::string_view line) { return line.substr(0, 2) == "OK" || line.substr(0, 5) == "ERROR"; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::CScriptIO io(data, size);
    CAtChannel at;
    at.SetIO(&io);
    const int r = at.Receive();
    FUZZ_CHECK(r == 0 || r == AT_ERROR || r == SER_TIMEOUT);
    const std::string_view answer = at.Answer();
    FUZZ_CHECK(answer.size() < CAtChannel::kBufferSize);
    FUZZ_CHECK(answer.data()[answer.size()] == 0);

    const std::string_view read(reinterpret_cast<const char*>(data), io.Consumed());
    const size_t echoEnd = read.find('\n');
    if (r == SER_TIMEOUT) {
        FUZZ_CHECK(io.Exhausted());
    } else {
        // The echo line, then lines up to the first final one, which ends the read.
        FUZZ_CHECK(echoEnd != std::string_view::npos && read.back() == '\n');
        const std::string_view body = read.substr(echoEnd + 1, read.size() - echoEnd - 2);
        const size_t lastStart = body.rfind('\n') == std::string_view::npos ? 0 : body.rfind('\n') + 1;
        const std::string_view last = body.substr(lastStart);
        FUZZ_CHECK(IsFinal(last));
        FUZZ_CHECK((r == 0) == (last.substr(0, 2) == "OK"));
        for (size_t start = 0; start < lastStart;) {
            const size_t end = body.find('\n', start);
            FUZZ_CHECK(!IsFinal(body.substr(start, end - start)));
            start = end + 1;
        }
        // The lines before the final one, as far as the buffer goes.
        FUZZ_CHECK(answer == body.substr(0, std::min(lastStart, CAtChannel::kBufferSize - 1)));
    }

    std::string_view fields[CAtChannel::kMaxFields];
    for (std::string_view prefix : {"+CGDCONT: ", "+CGQREQ: ", ""}) {
        const int n = CAtChannel::ParseFields(answer, prefix, fields);
        FUZZ_CHECK(n == -1 || (n >= 1 && n <= CAtChannel::kMaxFields + 1));
        for (const auto& f : fields)
            if (f.data()) FUZZ_CHECK(f.data() >= answer.data() && f.data() + f.size() <= answer.data() + answer.size());
    }
    return 0;
}
