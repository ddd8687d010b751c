// The text side of the Hayes modem dialogue: result codes, the call state
// they give a dial, and the dial string; the same on every platform.
#include "remote/TAPI.h"

namespace {

// A dial string longer than this does not fit a modem's command buffer.
constexpr size_t kMaxDialString = 60;

char Up(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

}  // namespace

std::string UpperTrimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    std::string out;
    out.reserve(e - b);
    for (size_t i = b; i < e; ++i) out += Up(s[i]);
    return out;
}

// ---------------------------------------------------------------- result codes

ModemResult ParseModemResult(std::string_view line) {
    const std::string s = UpperTrimmed(line);
    if (s == "OK") return ModemResult::Ok;
    if (s.rfind("CONNECT", 0) == 0 && (s.size() == 7 || s[7] == ' ' || s[7] == '/')) return ModemResult::Connect;
    if (s == "RING") return ModemResult::Ring;
    if (s == "RINGING") return ModemResult::Ringing;
    if (s == "NO CARRIER") return ModemResult::NoCarrier;
    if (s == "ERROR") return ModemResult::Error;
    if (s == "NO DIALTONE" || s == "NO DIAL TONE") return ModemResult::NoDialtone;
    if (s == "BUSY") return ModemResult::Busy;
    if (s == "NO ANSWER") return ModemResult::NoAnswer;
    return ModemResult::None;
}

CallStateChange DialOutcome(ModemResult r) {
    switch (r) {
    case ModemResult::Connect: return {LINECALLSTATE_CONNECTED, 0};
    case ModemResult::Ringing: return {LINECALLSTATE_RINGBACK, 0};
    case ModemResult::Busy: return {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY};
    case ModemResult::NoAnswer: return {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER};
    case ModemResult::NoCarrier: return {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE};
    case ModemResult::NoDialtone: return {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE};
    case ModemResult::Error: return {LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL};
    default: return {};
    }
}

namespace {

// A character of a dial string as the modem takes it, 0 for one that is
// dropped, -1 for one that is refused.
int DialChar(char c) {
    if ((c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#' || c == ',' || c == '!' || c == '@') return c;
    char u = Up(c);
    if (u == 'W' || u == 'P' || u == 'T' || (u >= 'A' && u <= 'D')) return u;
    if (c == ' ' || c == '-' || c == '.' || c == '/' || c == '(' || c == ')') return 0;
    return -1;
}

}  // namespace

bool MakeDialString(std::string_view number, std::string& out) {
    out.clear();
    for (char c : number) {
        int d = DialChar(c);
        if (d < 0) {
            out.clear();
            return false;
        }
        if (d > 0) out += char(d);
    }
    return !out.empty() && out.size() <= kMaxDialString;
}

size_t BadDialChar(std::string_view number) {
    for (size_t i = 0; i < number.size(); ++i)
        if (DialChar(number[i]) < 0) return i;
    return std::string_view::npos;
}
