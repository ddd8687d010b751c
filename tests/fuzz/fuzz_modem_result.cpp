// The modem's result lines and the dial string on arbitrary text: a result
// code is known whatever its case and the blanks around it, the call state it
// gives is consistent, and a dial string never carries anything but dial
// characters.
#include <cstring>
#include <string>
#include <string_view>

#include "remote/TAPI.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const ModemResult r = ParseModemResult(line);

    std::string flipped = line;
    for (char& c : flipped) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    FUZZ_CHECK(ParseModemResult(flipped) == r);
    FUZZ_CHECK(ParseModemResult(" \t" + line + "\t ") == r);

    const CallStateChange c = DialOutcome(r);
    switch (r) {
    case ModemResult::Connect: FUZZ_CHECK(c.state == LINECALLSTATE_CONNECTED); break;
    case ModemResult::Ringing: FUZZ_CHECK(c.state == LINECALLSTATE_RINGBACK); break;
    case ModemResult::None:
    case ModemResult::Ok:
    case ModemResult::Ring: FUZZ_CHECK(c.state == 0 && c.detail == 0); break;
    default: FUZZ_CHECK(c.state == LINECALLSTATE_DISCONNECTED && c.detail != 0); break;
    }

    std::string dial = "stale";
    const bool ok = MakeDialString(line, dial);
    if (!ok) {
        FUZZ_CHECK(dial.empty() || dial.size() > 60);
        return 0;
    }
    FUZZ_CHECK(!dial.empty() && dial.size() <= 60);
    for (char ch : dial) FUZZ_CHECK(std::strchr("0123456789+*#,!@WPTABCD", ch) != nullptr && ch != 0);
    return 0;
}
