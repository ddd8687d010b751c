#include "tools/vantrix-sim/SimModem.h"

#include "app/LocalTime.h"

#include <chrono>
#include <vector>

#include "tools/vantrix-sim/SimDevice.h"
#include "tools/vantrix-sim/SimExchange.h"

namespace {

constexpr size_t kMaxCommandLine = 256;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool IsConnect(const std::string& result) { return Upper(result).rfind("CONNECT", 0) == 0; }

// The rate of "CONNECT 2400" (or "CONNECT 2400/REL"); 0 when it gives none.
uint32_t ConnectRate(const std::string& result) {
    if (!IsConnect(result)) return 0;
    size_t i = result.find_first_not_of(' ', 7);
    uint32_t rate = 0;
    for (; i < result.size() && result[i] >= '0' && result[i] <= '9' && rate < 10'000'000; ++i)
        rate = rate * 10 + uint32_t(result[i] - '0');
    return rate;
}

}  // namespace

CSimModem::CSimModem(CSimDevice& device, SimModemOptions o, CSimExchange* exchange)
    : m_device(device), m_exchange(exchange), m_opt(std::move(o)), m_verbose(!m_opt.numeric) {}

SimModemStats CSimModem::Stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

void CSimModem::UpdateOptions(const SimModemOptions& o) {
    std::lock_guard lock(m_mutex);
    m_opt = o;
}

void CSimModem::Result(const std::string& text, ISimLine& out) {
    std::string s = "\r\n" + text + "\r\n";
    if (!m_verbose) {
        // ATV0: the result code's number and CR; other lines stay text.
        static const std::pair<const char*, const char*> kCodes[] = {
            {"OK", "0"},    {"CONNECT", "1"},     {"RING", "2"}, {"NO CARRIER", "3"},
            {"ERROR", "4"}, {"NO DIALTONE", "6"}, {"BUSY", "7"}, {"NO ANSWER", "8"},
        };
        const std::string up = Upper(text);
        for (const auto& [word, code] : kCodes)
            if (up == word || (std::string(word) == "CONNECT" && up.rfind("CONNECT ", 0) == 0))
                s = std::string(code) + "\r";
    }
    if (m_answering && m_opt.answerMs > 0) {
        if (m_late.empty()) m_lateDue = SteadyMs() + int64_t(m_opt.answerMs);
        m_late += s;
        return;
    }
    out.Send(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

void CSimModem::Receive(const uint8_t* p, size_t n, uint32_t, ISimLine& out) {
    // The modem adapts to any speed of the PC; the device behind it sees the
    // bytes of the call without a speed of its own.
    std::lock_guard lock(m_mutex);
    switch (m_mode) {
    case Mode::Ringing:
        // Any key aborts the dial; the bytes that did it are gone.
        m_mode = Mode::Command;
        m_stats.ringing = false;
        ++m_stats.aborted;
        m_line.clear();
        Result("NO CARRIER", out);
        return;
    case Mode::Data: DataBytes(p, n, out); return;
    default:
        for (size_t i = 0; i < n; ++i) {
            CommandByte(p[i], out);
            // A dial that started within this chunk: the rest aborts it.
            if (m_mode == Mode::Ringing && i + 1 < n) {
                m_mode = Mode::Command;
                m_stats.ringing = false;
                ++m_stats.aborted;
                Result("NO CARRIER", out);
                return;
            }
        }
        return;
    }
}

void CSimModem::CommandByte(uint8_t b, ISimLine& out) {
    if (m_opt.echo) out.Send(&b, 1);
    if (b == '\r') {
        std::string line = std::move(m_line);
        m_line.clear();
        m_answering = true;
        Command(line, out);
        m_answering = false;
    } else if (b == '\n') {
    } else if (b == 8 || b == 0x7F) {
        if (!m_line.empty()) m_line.pop_back();
    } else if (m_line.size() < kMaxCommandLine) {
        m_line += char(b);
    }
}

void CSimModem::Command(const std::string& raw, ISimLine& out) {
    const std::string line = Trim(raw);
    if (line.empty()) return;
    m_stats.commands.push_back(line);
    const std::string up = Upper(line);
    if (up.rfind("AT", 0) != 0) return;  // not a command: a modem ignores it
    const std::string cmd = up.substr(2);
    const bool online = m_mode == Mode::OnlineCommand;

    if (cmd.empty() || cmd == "Z" || cmd == "&F") return Result("OK", out);
    if (cmd == "V0" || cmd == "V1" || cmd == "V") {
        m_verbose = cmd == "V1";
        return Result("OK", out);
    }
    if (cmd == "E0" || cmd == "E1" || cmd == "E") {
        m_opt.echo = cmd == "E1";
        return Result("OK", out);
    }
    if (cmd.size() <= 2 && cmd[0] == 'I') {
        Result(m_opt.ident, out);
        return Result("OK", out);
    }
    if (cmd == "H" || cmd == "H0") {
        if (online) {
            EndCall();
            m_mode = Mode::Command;
        }
        return Result("OK", out);
    }
    if (cmd == "O" || cmd == "O0") {
        if (!online) return Result("NO CARRIER", out);
        m_mode = Mode::Data;
        m_lastDataMs = SteadyMs();
        return Result(m_opt.callResult, out);
    }
    if (cmd[0] == 'D') {
        if (online || cmd.size() == 1) return Result("ERROR", out);
        ++m_stats.calls;
        m_stats.dialled.push_back(Trim(line.substr(3)));
        m_stats.ringing = true;
        m_mode = Mode::Ringing;
        m_ringEnd = SteadyMs() + int64_t(m_opt.ringMs);
        return;
    }
    Result("ERROR", out);
}

void CSimModem::RingEnded(ISimLine& out) {
    m_stats.ringing = false;
    m_mode = Mode::Command;
    std::string result = m_opt.callResult;
    CSimDevice* device = &m_device;
    if (IsConnect(result) && m_exchange) {
        switch (m_exchange->Call(m_stats.dialled.back(), device)) {
        case CSimExchange::Dial::Connected: break;
        case CSimExchange::Dial::Busy: result = "BUSY"; break;
        case CSimExchange::Dial::Unknown: result = "NO CARRIER"; break;
        }
    }
    m_stats.results.push_back(result);
    if (IsConnect(result))
        Connect(*device, out);
    else
        Result(result, out);
}

void CSimModem::Connect(CSimDevice& device, ISimLine& out) {
    m_mode = Mode::Data;
    ++m_stats.connected;
    m_stats.inCall = true;
    m_pluses = 0;
    m_peer = &device;
    m_peer->SetCallActive(true);
    Result(m_opt.callResult, out);
    m_lastDataMs = SteadyMs();
}

void CSimModem::EndCall() {
    if (!m_stats.inCall) return;
    m_stats.inCall = false;
    ++m_stats.hangups;
    m_pluses = 0;
    m_peer->SetCallActive(false);
    if (m_exchange) m_exchange->HangUp(*m_peer);
    m_peer = nullptr;
}

void CSimModem::FlushPluses(ISimLine& out) {
    if (m_pluses == 0) return;
    const uint8_t plus[3] = {'+', '+', '+'};
    m_peer->Receive(plus, size_t(m_pluses), 0, out);
    m_pluses = 0;
}

void CSimModem::DataBytes(const uint8_t* p, size_t n, ISimLine& out) {
    const int64_t now = SteadyMs();
    std::vector<uint8_t> pass;
    pass.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = p[i];
        // '+' after a guard time of silence may begin the escape sequence;
        // it is held back until that is decided.
        const bool quietBefore = m_pluses > 0 || (pass.empty() && now - m_lastDataMs >= int64_t(m_opt.guardMs));
        if (b == '+' && m_pluses < 3 && quietBefore) {
            ++m_pluses;
            continue;
        }
        if (m_pluses > 0) {
            if (!pass.empty()) m_peer->Receive(pass.data(), pass.size(), 0, out);
            pass.clear();
            FlushPluses(out);
        }
        pass.push_back(b);
    }
    if (!pass.empty()) m_peer->Receive(pass.data(), pass.size(), 0, out);
    m_lastDataMs = now;
}

int64_t CSimModem::NextDueMs() const {
    std::lock_guard lock(m_mutex);
    return m_peer ? m_peer->NextDueMs() : -1;
}

uint32_t CSimModem::PaceBaud() const {
    std::lock_guard lock(m_mutex);
    return m_peer ? ConnectRate(m_opt.callResult) : 0;
}

void CSimModem::Idle(ISimLine& out) {
    std::lock_guard lock(m_mutex);
    const int64_t now = SteadyMs();
    // The device's late replies go through the call like its others.
    if (m_peer) m_peer->Idle(out);
    if (!m_late.empty() && now >= m_lateDue) {
        out.Send(reinterpret_cast<const uint8_t*>(m_late.data()), m_late.size());
        m_late.clear();
    }
    if (m_mode == Mode::Ringing && now >= m_ringEnd) {
        RingEnded(out);
    } else if (m_mode == Mode::Data && m_pluses > 0 && now - m_lastDataMs >= int64_t(m_opt.guardMs)) {
        if (m_pluses == 3) {
            // Silence after "+++": back to commands, the call stays up.
            m_pluses = 0;
            ++m_stats.escapes;
            m_mode = Mode::OnlineCommand;
            Result("OK", out);
        } else {
            FlushPluses(out);
        }
    }
}

void CSimModem::LineClosed(ISimLine& out) {
    std::lock_guard lock(m_mutex);
    if (m_mode == Mode::Ringing) {
        ++m_stats.aborted;
        m_stats.ringing = false;
    }
    // A device on the network may be in another modem's call: it hears of
    // the close only in this one's.
    CSimDevice* device = m_exchange ? m_peer : &m_device;
    if (device) device->LineClosed(out);
    // The PC dropping its side is a hang-up.
    EndCall();
    m_mode = Mode::Command;
    m_line.clear();
}
