#include "tools/vantrix-sim/SimDevice.h"

#include "app/LocalTime.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "app/Bytes.h"
#include "app/TextCodec.h"
#include "comm/Link.h"
#include "config/CfgImage.h"
#include "tools/vantrix-sim/Hex.h"

using nlohmann::json;

namespace {

constexpr uint32_t kLinkSpeed = 57600;
// A frame or AT line interrupted for this long is abandoned.
constexpr int64_t kGapResetMs = 1000;
// Longer than any request; a frame that runs on is dropped.
constexpr size_t kMaxFrameBytes = 4096;
constexpr size_t kMaxAtLine = 512;
// The acknowledge for malformed requests and unknown commands.
constexpr uint8_t kAckBad = 2;
constexpr size_t kMaxSmsText = 160;
// How long after a reply its duplicate follows.
constexpr int64_t kDupAfterMs = 30;

// "2.05" -> 2, 5.
bool ParseVersion(const std::string& s, uint32_t& major, uint32_t& minor) {
    unsigned a = 0, b = 0;
    char tail;
    if (std::sscanf(s.c_str(), "%u.%u%c", &a, &b, &tail) != 2 || b > 255) return false;
    major = a;
    minor = b;
    return true;
}

std::string Version(uint32_t major, uint32_t minor) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%02u", major, minor);
    return buf;
}

std::string SmsTime(const uint8_t* t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", 2000 + t[2], t[1], t[0], t[3], t[4], t[5]);
    return buf;
}

void ParseSmsTime(const std::string& s, uint8_t* t) {
    int y, mo, d, h, mi, se;
    char tail;
    if (std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6 || y < 2000 || y > 2255 ||
        mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59)
        throw std::invalid_argument("SMS time must be YYYY-MM-DD HH:MM:SS: " + s);
    t[0] = uint8_t(d);
    t[1] = uint8_t(mo);
    t[2] = uint8_t(y - 2000);
    t[3] = uint8_t(h);
    t[4] = uint8_t(mi);
    t[5] = uint8_t(se);
}

template <typename T> void Take(const json& j, const char* key, T& dst) {
    if (j.contains(key)) dst = j.at(key).get<T>();
}

uint8_t Byte(const json& j, const char* key, uint8_t current) {
    if (!j.contains(key)) return current;
    int v = j.at(key).get<int>();
    if (v < 0 || v > 255) throw std::invalid_argument(std::string(key) + " must be 0..255");
    return uint8_t(v);
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Splits AT arguments at commas outside double quotes.
std::vector<std::string> SplitArgs(const std::string& s) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            out.emplace_back();
        else
            out.back() += c;
    }
    if (quoted) throw std::invalid_argument("open quote");
    return out;
}

bool IsQuoted(const std::string& f) { return f.size() >= 2 && f.front() == '"' && f.back() == '"'; }

// An optional decimal byte: empty is 0.
uint8_t ArgByte(const std::string& f) {
    if (f.empty()) return 0;
    if (f.size() > 3 || !std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw std::invalid_argument("not a number");
    int v = std::stoi(f);
    if (v > 255) throw std::invalid_argument("out of range");
    return uint8_t(v);
}

std::vector<uint8_t> Reply(uint8_t cmd, uint8_t ack, size_t size = kReplyAck) {
    std::vector<uint8_t> r(std::max(size, kReplyAck), 0);
    r[0] = 0xC0;
    r[1] = cmd;
    r[2] = 0x01;
    r[3] = ack;
    return r;
}

}  // namespace

CSimDevice::CSimDevice(SimOptions opt) : m_opt(std::move(opt)), m_rng(m_opt.seed), m_rx(m_frameBuf, sizeof m_frameBuf) {
    Model& m = m_model;
    m.layout = m_opt.layout;
    m.image = DefaultImage(m.layout);
    m.firstValue = m_opt.firstValue;
    uint32_t major = 2, minor = 5;
    if (ParseVersion(m_opt.firmware, major, minor)) m.fwMajor = uint8_t(major), m.fwMinor = uint8_t(minor);
    major = 1, minor = 0;
    if (ParseVersion(m_opt.hardware, major, minor)) m.hwMajor = major, m.hwMinor = uint8_t(minor);
    m.serial = m_opt.serial;
    m.gprs = m_opt.gprs;
    m.imei = cp1250::FromUtf8(m_opt.imei);
    m.name = cp1250::FromUtf8(m_opt.name);
    m.operatorName = cp1250::FromUtf8(m_opt.operatorName);
    m.moduleState = uint8_t(m_opt.moduleState);
    m.simState = uint8_t(m_opt.simState);
    m.netReg = uint8_t(m_opt.netReg);
    m.signal = uint8_t(m_opt.signal);
    m.unauthorised = uint8_t(m_opt.unauthorised);
    m.credit1 = m_opt.credit1;
    m.credit2 = m_opt.credit2;
    m.bts = m_opt.bts;
    m.inputs = m_opt.inputs;
    m.apn = cp1250::FromUtf8(m_opt.apn);
}

CSimDevice::~CSimDevice() = default;

std::vector<uint8_t> CSimDevice::DefaultImage(int layout) {
    if (layout != LAYOUT_DEVICE1 && layout != LAYOUT_DEVICE2) return {};
    const LayoutDesc* desc = FindLayout(layout);
    CfgImage img;
    SetDefaults(img);
    std::vector<uint8_t> buf(desc->size);
    desc->exportImage(img, buf.data());
    return buf;
}

uint32_t CSimDevice::ListenSpeed() const { return m_linkOpen ? kLinkSpeed : m_opt.speed; }

void CSimDevice::ResetParser() {
    m_mode = Mode::Idle;
    m_rx.Reset();
    m_frameBytes = 0;
    m_atLine.clear();
    m_atOverflow = false;
}

void CSimDevice::LineClosed(ISimLine&) {
    ResetParser();
    m_delayed.clear();
    m_held.clear();
    m_busyUntilMs = 0;
}

void CSimDevice::Release() { m_release = true; }

int64_t CSimDevice::NextDueMs() const {
    if (m_release) return 0;
    int64_t due = -1;
    for (const auto& d : m_delayed)
        if (due < 0 || d.dueMs < due) due = d.dueMs;
    return due;
}

void CSimDevice::Idle(ISimLine& out) {
    const int64_t now = SteadyMs();
    if (m_release) {
        m_release = false;
        for (const auto& reply : m_held) SendReply(reply, out);
        m_held.clear();
    }
    for (auto it = m_delayed.begin(); it != m_delayed.end();) {
        if (it->dueMs > now) {
            ++it;
            continue;
        }
        SendReply(it->payload, out);
        it = m_delayed.erase(it);
    }
}

void CSimDevice::Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) {
    if (baud != 0) m_stats.lastBaud = baud;
    // A UART at another speed sees only noise.
    if (baud != 0 && baud != ListenSpeed()) {
        m_stats.bytesIgnored += n;
        return;
    }
    m_stats.bytesIn += n;
    int64_t now = SteadyMs();
    if (m_mode != Mode::Idle && now - m_lastByteMs > kGapResetMs) ResetParser();
    m_lastByteMs = now;
    for (size_t i = 0; i < n; ++i) Feed(p[i], out);
}

void CSimDevice::Feed(uint8_t b, ISimLine& out) {
    switch (m_mode) {
    case Mode::Idle:
        if (b == frame::kStart) {
            m_mode = Mode::Frame;
            m_rx.Reset();
            m_rx.Feed(b);
            m_frameBytes = 1;
        } else if ((b == 'A' || b == 'a') && (m_linkOpen || m_callActive)) {
            m_mode = Mode::At;
            m_atLine.assign(1, char(b));
            m_atOverflow = false;
        }
        return;
    case Mode::Frame: {
        auto status = m_rx.Feed(b);
        if (status == frame::CFrameReceiver::kMore) {
            if (++m_frameBytes > kMaxFrameBytes) {
                ++m_stats.badFrames;
                ResetParser();
            }
            return;
        }
        m_mode = Mode::Idle;
        if (status == frame::CFrameReceiver::kBadChecksum || m_rx.PayloadLen() > sizeof m_frameBuf) {
            ++m_stats.badFrames;
            return;
        }
        HandleFrame(m_frameBuf, m_rx.PayloadLen(), out);
        return;
    }
    case Mode::At:
        if (b == '\r') {
            m_mode = Mode::Idle;
            HandleAt(out);
        } else if (b == frame::kStart) {
            // A frame cuts an unfinished command line short.
            m_mode = Mode::Idle;
            Feed(b, out);
        } else if (b == '\n') {
        } else if (m_atLine.size() < kMaxAtLine) {
            m_atLine += char(b);
        } else {
            m_atOverflow = true;
        }
        return;
    }
}

void CSimDevice::HandleFrame(const uint8_t* p, size_t n, ISimLine& out) {
    if (n < kHeaderLen || p[0] != 0x80) {
        ++m_stats.badFrames;
        return;
    }
    uint8_t cmd = p[kCmdByte];
    bool melody = p[2] == 0x00 && p[3] == 0x00;  // the melody downloader's header
    ++m_stats.totalFrames;
    ++m_received;
    if (m_stats.commands.size() < 100000) m_stats.commands.push_back(cmd);
    if (melody) {
        ++m_stats.melodyFrames;
    } else {
        ++m_stats.frames[cmd];
        m_stats.lastRequest[cmd].assign(p, p + n);
    }
    if (m_opt.stopAfter >= 0 && ++m_frameCount > m_opt.stopAfter) return;

    if (melody) {
#ifdef VANTRIX_SIM_MELODY
        std::vector<uint8_t> reply;
        if (m_melody.Handle(p, n, reply)) SendReply(reply, out);
#endif
        return;
    }
    if (m_opt.silent.count(cmd) || m_model.silent) return;
    auto refused = m_opt.refuse.find(cmd);
    std::vector<uint8_t> reply;
    if (refused != m_opt.refuse.end()) {
        reply = Reply(cmd, refused->second);
    } else {
        reply = Answer(p, n);
        auto extra = m_opt.replyExtra.find(cmd);
        if (extra != m_opt.replyExtra.end()) reply.resize(reply.size() + extra->second, 0x5A);
        auto delay = m_opt.delayMs.find(cmd);
        if (delay != m_opt.delayMs.end()) {
            // Held in the device, not in the server, so that the tests can look
            // at the device while the reply is still on its way.
            m_delayed.push_back({SteadyMs() + int64_t(delay->second), WithHead(std::move(reply))});
            return;
        }
    }
    Deliver(WithHead(std::move(reply)), p, n, out);
}

uint32_t CSimDevice::PastTimeoutMs(const uint8_t* p, size_t n) {
    const uint8_t cmd = p[kCmdByte];
    CmdTiming t = TimingFor(cmd);
    if (cmd == CMD_WRITE_CFG && n >= kCfgDataByte) t = CfgWriteTiming(bytes::GetBE16(p + kCfgLengthByte));
    if (cmd == CMD_LINK_CTL && n > kHeaderLen && p[kHeaderLen] == 0) t = kLinkCloseTiming;
    return t.readMs + 300;
}

void CSimDevice::Deliver(std::vector<uint8_t> reply, const uint8_t* p, size_t n, ISimLine& out) {
    std::optional<FrameFaultAt> fault;
    auto planned = m_opt.frameFaults.find(m_received);
    if (planned != m_opt.frameFaults.end()) {
        fault = planned->second;
    } else {
        auto chance = [this](double rate) {
            return rate > 0 && std::uniform_real_distribution<double>(0, 1)(m_rng) < rate;
        };
        if (chance(m_opt.lateRate))
            fault = FrameFaultAt{FrameFault::Late, 0};
        else if (chance(m_opt.dupRate))
            fault = FrameFaultAt{FrameFault::Dup, 0};
        else if (chance(m_opt.shortRate))
            fault = FrameFaultAt{FrameFault::Short, 0};
    }
    // The device answers one request after the other: an answer comes
    // replyMs after the later of its request and the answer before it.
    const int64_t now = SteadyMs();
    const int64_t start = std::max(now, m_busyUntilMs);
    int64_t due = m_opt.replyMs ? start + int64_t(m_opt.replyMs) : (m_busyUntilMs > now ? m_busyUntilMs : 0);
    if (fault) {
        switch (fault->kind) {
        case FrameFault::Drop: ++m_stats.dropped; return;
        case FrameFault::Late:
            ++m_stats.late;
            due = start + int64_t(m_opt.replyMs) + (fault->lateMs ? fault->lateMs : PastTimeoutMs(p, n));
            break;
        case FrameFault::Short:
            ++m_stats.shortened;
            if (reply.size() > kReplyAck) reply.resize(kReplyAck);
            break;
        case FrameFault::Dup:
            // The copy comes a moment later, when the PC may already wait
            // for the answer to its next request.
            ++m_stats.duplicated;
            m_delayed.push_back({(due ? due : now) + kDupAfterMs, reply});
            break;
        case FrameFault::Hold:
            ++m_stats.held;
            m_held.push_back(std::move(reply));
            if (m_onHold) m_onHold(m_received, p[kCmdByte]);
            return;
        }
    }
    if (!due) {
        SendReply(reply, out);
        return;
    }
    m_busyUntilMs = due;
    m_delayed.push_back({due, std::move(reply)});
}

std::vector<uint8_t> CSimDevice::WithHead(std::vector<uint8_t> reply) const {
    // The PC takes a reply whatever its first three bytes are.
    if (m_opt.replyHead.size() == 3 && reply.size() >= 3)
        std::copy(m_opt.replyHead.begin(), m_opt.replyHead.end(), reply.begin());
    return reply;
}

void CSimDevice::SendReply(const std::vector<uint8_t>& payload, ISimLine& out) {
    if (m_opt.dropRate > 0 && std::uniform_real_distribution<double>(0, 1)(m_rng) < m_opt.dropRate) {
        ++m_stats.dropped;
        return;
    }
    std::vector<uint8_t> line = frame::Encode(payload.data(), payload.size());
    if (m_opt.corruptRate > 0 && std::uniform_real_distribution<double>(0, 1)(m_rng) < m_opt.corruptRate) {
        // Change the first payload byte on the line and keep the checksum.
        // Bytes on the line are 0x20 or more, so the changed one stays a
        // plain byte and the frame keeps its shape.
        size_t i = line[1] == frame::kEscape ? 2 : 1;
        line[i] = line[i] == 0xFF ? 0xFE : uint8_t(line[i] + 1);
        ++m_stats.corrupted;
    } else {
        ++m_stats.replies;
    }
    out.Send(line.data(), line.size());
}

std::vector<uint8_t> CSimDevice::Answer(const uint8_t* p, size_t n) {
    Model& m = m_model;
    uint8_t cmd = p[kCmdByte];
    const uint8_t* data = p + kHeaderLen;
    size_t dataLen = n - kHeaderLen;

    switch (cmd) {
    case CMD_IDENTITY: {
        auto r = Reply(cmd, 0, kReplyIdentity);
        bytes::PutBE16(&r[4], m.firstValue);
        bytes::PutBE16(&r[6], uint16_t(m.layout));
        return r;
    }
    case CMD_PIN: {
        std::string pin(reinterpret_cast<const char*>(data),
                        bytes::FieldLen(reinterpret_cast<const char*>(data), std::min(dataLen, kPinField)));
        // A device's own PIN and tries, from its state, come before the options'.
        const int tries = m.pinTries.value_or(m_opt.pinTries);
        const bool blocked = tries > 0 && m.pinWrong >= tries;
        if (blocked) return Reply(cmd, 6);
        if (dataLen > 0 && pin == m.pin.value_or(cp1250::FromUtf8(m_opt.pin))) {
            m.pinWrong = 0;
            m_pinAccepted = true;
            return Reply(cmd, 0);
        }
        ++m.pinWrong;
        m_pinAccepted = false;
        return Reply(cmd, tries > 0 && m.pinWrong >= tries ? 6 : 3);
    }
    case CMD_END_SESSION: m_pinAccepted = false; return Reply(cmd, 0);
    case CMD_LABEL: {
        auto r = Reply(cmd, 0, kReplyLabel);
        r[4] = m.fwMajor;
        r[5] = m.fwMinor;
        bytes::PutBE32(&r[16], m.hwMajor);
        r[20] = m.hwMinor;
        bytes::PutBE32(&r[21], m.serial);
        r[25] = m.gprs ? 0 : 1;
        bytes::SetField(reinterpret_cast<char*>(&r[26]), 16, m.imei);
        bytes::SetField(reinterpret_cast<char*>(&r[42]), 128, m.name);
        return r;
    }
    case CMD_GSM: {
        auto r = Reply(cmd, 0, kReplyGsm);
        r[5] = m.moduleState;
        r[6] = m.simState;
        r[7] = m.netReg;
        r[8] = m.signal;
        r[9] = m.unauthorised;
        bytes::PutBE32(&r[10], std::bit_cast<uint32_t>(m.credit1));
        bytes::PutBE32(&r[14], std::bit_cast<uint32_t>(m.credit2));
        bytes::PutBE16(&r[18], m.bts);
        bytes::SetField(reinterpret_cast<char*>(&r[20]), 17, m.operatorName);
        return r;
    }
    case CMD_SET_OUTPUTS:
        if (dataLen < 1) return Reply(cmd, kAckBad);
        m.outputs = data[0];
        return Reply(cmd, 0);
    case CMD_READ_IO: {
        auto r = Reply(cmd, 0, kReplyIo);
        r[4] = m.inputs;
        r[5] = m.outputs;
        return r;
    }
    case CMD_WRITE_CFG:
    case CMD_READ_CFG: {
        if (n < kCfgDataByte) return Reply(cmd, kAckBad);
        uint32_t offset = bytes::GetBE16(p + kCfgOffsetByte);
        uint32_t len = bytes::GetBE16(p + kCfgLengthByte);
        bool fits = len >= 1 && len <= kMaxCfgBlock && offset + len <= m.image.size();
        if (cmd == CMD_WRITE_CFG) {
            if (!fits || n != kCfgDataByte + len) return Reply(cmd, kAckBad);
            std::memcpy(&m.image[offset], p + kCfgDataByte, len);
            auto r = Reply(cmd, 0, kReplyWriteCfg);
            std::memcpy(&r[kCfgOffsetByte], p + kCfgOffsetByte, 4);
            return r;
        }
        if (!fits) return Reply(cmd, kAckBad);
        auto r = Reply(cmd, 0, kCfgDataByte + len);
        std::memcpy(&r[kCfgOffsetByte], p + kCfgOffsetByte, 4);
        std::memcpy(&r[kCfgDataByte], &m.image[offset], len);
        return r;
    }
    case CMD_READ_SMS: {
        if (m.smsQueue.empty()) return Reply(cmd, 1);
        const Sms& s = m.smsQueue.front();
        auto r = Reply(cmd, 0, 11);
        std::memcpy(&r[4], s.time, 6);
        r.insert(r.end(), s.number.begin(), s.number.end());
        r.push_back(0);
        r.insert(r.end(), s.text.begin(), s.text.end());
        r.push_back(0);
        return r;
    }
    case CMD_ACK_SMS:
        if (m.smsQueue.empty()) return Reply(cmd, 1);
        m.smsQueue.pop_front();
        return Reply(cmd, 0);
    case CMD_SUBMIT_SMS: {
        const char* text = reinterpret_cast<const char*>(data);
        size_t numLen = bytes::FieldLen(text, dataLen);
        if (numLen == 0 || numLen >= dataLen) return Reply(cmd, 1);
        size_t textLen = bytes::FieldLen(text + numLen + 1, dataLen - numLen - 1);
        if (numLen + 1 + textLen >= dataLen || textLen > kMaxSmsText) return Reply(cmd, 1);
        m.sent.push_back({std::string(text, numLen), std::string(text + numLen + 1, textLen), m_opt.smsFail});
        m_smsSubmitted = true;
        m_smsPollsLeft = m_opt.smsPolls;
        m_smsLastFailed = m_opt.smsFail;
        return Reply(cmd, 0);
    }
    case CMD_SMS_STATE: {
        auto r = Reply(cmd, 0, kReplySmsState);
        if (!m_smsSubmitted) {
            r[4] = 0;
        } else if (m_smsPollsLeft > 0) {
            --m_smsPollsLeft;
            r[4] = 1;
        } else {
            r[4] = m_smsLastFailed ? 0 : 2;
        }
        return r;
    }
    case CMD_READ_CLOCK: {
        time_t t = std::time(nullptr) + time_t(m.clockOffset);
        struct tm tm;
        localtime_r(&t, &tm);
        auto r = Reply(cmd, 0, kReplyClock);
        r[4] = uint8_t(tm.tm_mday);
        r[5] = uint8_t(tm.tm_mon + 1);
        r[6] = uint8_t(tm.tm_year + 1900 - 2000);
        r[7] = uint8_t(tm.tm_hour);
        r[8] = uint8_t(tm.tm_min);
        r[9] = uint8_t(tm.tm_sec);
        return r;
    }
    case CMD_SET_CLOCK: {
        if (dataLen < 6) return Reply(cmd, kAckBad);
        if (data[0] < 1 || data[0] > 31 || data[1] < 1 || data[1] > 12 || data[3] > 23 || data[4] > 59 || data[5] > 59)
            return Reply(cmd, kAckBad);
        struct tm tm = {};
        tm.tm_mday = data[0];
        tm.tm_mon = data[1] - 1;
        tm.tm_year = data[2] + 100;
        tm.tm_hour = data[3];
        tm.tm_min = data[4];
        tm.tm_sec = data[5];
        tm.tm_isdst = -1;
        time_t t = mktime(&tm);
        if (t == time_t(-1)) return Reply(cmd, kAckBad);
        m.clockOffset = int64_t(t) - int64_t(std::time(nullptr));
        return Reply(cmd, 0);
    }
    case CMD_LINK_CTL:
        if (dataLen < 1 || data[0] > 1) return Reply(cmd, kAckBad);
        // The reply still goes out at the old speed; the next request comes
        // at the new one.
        m_linkOpen = data[0] == 1;
        return Reply(cmd, 0);
    default: return Reply(cmd, kAckBad);
    }
}

void CSimDevice::HandleAt(ISimLine& out) {
    std::string line = m_atLine;
    m_atLine.clear();
    m_stats.atCommands.push_back(line);
    if (m_model.silent) return;
    std::string text = m_opt.echoAt ? line + "\r" : std::string();
    if (m_haveNextAt) {
        text += m_nextAtAnswer;
        m_haveNextAt = false;
        m_nextAtAnswer.clear();
    } else {
        text += "\r\n" + (m_atOverflow ? std::string("ERROR") : AtAnswer(line)) + "\r\n";
    }
    m_atOverflow = false;
    out.Send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string CSimDevice::AtAnswer(const std::string& line) {
    Model& m = m_model;
    std::string upper = Upper(line);
    char buf[160];
    if (upper == "AT" || upper == "ATZ") return "OK";
    if (upper == "AT+CGDCONT?") {
        std::snprintf(buf, sizeof buf, ",%d,%d", m.dataComp, m.headComp);
        return "+CGDCONT: 1,\"IP\",\"" + m.apn + "\",\"0.0.0.0\"" + buf + "\r\n\r\nOK";
    }
    if (upper == "AT+CGQREQ?") {
        std::snprintf(buf, sizeof buf, "+CGQREQ: 1,%d,%d,%d,%d,%d", m.qos[0], m.qos[1], m.qos[2], m.qos[3], m.qos[4]);
        return std::string(buf) + "\r\n\r\nOK";
    }
    try {
        static const std::string kCgdcont = "AT+CGDCONT=", kCgqreq = "AT+CGQREQ=";
        if (upper.rfind(kCgdcont, 0) == 0) {
            auto f = SplitArgs(line.substr(kCgdcont.size()));
            if (f.size() < 3 || f.size() > 6 || f[0] != "1" || Upper(f[1]) != "\"IP\"" || !IsQuoted(f[2]) ||
                (f.size() > 3 && !f[3].empty() && !IsQuoted(f[3])))
                return "ERROR";
            uint8_t d = f.size() > 4 ? ArgByte(f[4]) : 0;
            uint8_t h = f.size() > 5 ? ArgByte(f[5]) : 0;
            m.apn = f[2].substr(1, f[2].size() - 2);
            m.dataComp = d;
            m.headComp = h;
            return "OK";
        }
        if (upper.rfind(kCgqreq, 0) == 0) {
            auto f = SplitArgs(line.substr(kCgqreq.size()));
            if (f.size() > 6 || f[0] != "1") return "ERROR";
            uint8_t q[5] = {};
            for (size_t i = 1; i < f.size(); ++i) q[i - 1] = ArgByte(f[i]);
            std::memcpy(m.qos, q, sizeof q);
            return "OK";
        }
    } catch (const std::exception&) {
        return "ERROR";
    }
    return "ERROR";
}

json CSimDevice::State() const {
    const Model& m = m_model;
    json j;
    j["layout"] = m.layout;
    j["image"] = simhex::ToHex(m.image);
    j["identity"] = {
        {"firstValue", m.firstValue},
        {"firmware", Version(m.fwMajor, m.fwMinor)},
        {"hardware", Version(m.hwMajor, m.hwMinor)},
        {"serial", m.serial},
        {"gprs", m.gprs},
        {"imei", cp1250::ToUtf8(m.imei)},
        {"name", cp1250::ToUtf8(m.name)},
    };
    j["gsm"] = {
        {"operator", cp1250::ToUtf8(m.operatorName)},
        {"module", m.moduleState},
        {"sim", m.simState},
        {"net", m.netReg},
        {"signal", m.signal},
        {"unauthorised", m.unauthorised},
        {"credit1", m.credit1},
        {"credit2", m.credit2},
        {"bts", m.bts},
    };
    j["inputs"] = m.inputs;
    j["outputs"] = m.outputs;
    j["clockOffset"] = m.clockOffset;
    j["smsQueue"] = json::array();
    for (const Sms& s : m.smsQueue)
        j["smsQueue"].push_back(
            {{"time", SmsTime(s.time)}, {"number", cp1250::ToUtf8(s.number)}, {"text", cp1250::ToUtf8(s.text)}});
    j["sent"] = json::array();
    for (const SentSms& s : m.sent)
        j["sent"].push_back(
            {{"number", cp1250::ToUtf8(s.number)}, {"text", cp1250::ToUtf8(s.text)}, {"failed", s.failed}});
    j["gprs"] = {
        {"apn", cp1250::ToUtf8(m.apn)},
        {"dataComp", m.dataComp},
        {"headComp", m.headComp},
        {"qos", {m.qos[0], m.qos[1], m.qos[2], m.qos[3], m.qos[4]}},
    };
    j["pinWrong"] = m.pinWrong;
    // Written only when set, so that a state saved once does not fix the
    // options' PIN for the runs after it.
    if (m.pin) j["pin"] = cp1250::ToUtf8(*m.pin);
    if (m.pinTries) j["pinTries"] = *m.pinTries;
    if (m.silent) j["silent"] = true;
#ifdef VANTRIX_SIM_MELODY
    j["melody"] = m_melody.State();
#endif
    return j;
}

void CSimDevice::ApplyState(const json& j, Model& m) {
    if (!j.is_object()) throw std::invalid_argument("the state is not a JSON object");
    if (j.contains("layout")) {
        int layout = j.at("layout").get<int>();
        if (layout < 0 || layout > 0xFFFF) throw std::invalid_argument("layout must be 0..65535");
        if (layout != m.layout && !j.contains("image")) m.image = DefaultImage(layout);
        m.layout = layout;
    }
    if (j.contains("image")) {
        if (!simhex::FromHex(j.at("image").get<std::string>(), m.image))
            throw std::invalid_argument("image is not hex text");
        const LayoutDesc* desc = FindLayout(m.layout);
        if ((m.layout == LAYOUT_DEVICE1 || m.layout == LAYOUT_DEVICE2) && m.image.size() != desc->size)
            throw std::invalid_argument("image size " + std::to_string(m.image.size()) + " does not fit layout " +
                                        std::to_string(m.layout));
    }
    if (j.contains("identity")) {
        const json& id = j.at("identity");
        Take(id, "firstValue", m.firstValue);
        uint32_t major, minor;
        if (id.contains("firmware")) {
            if (!ParseVersion(id.at("firmware").get<std::string>(), major, minor) || major > 255)
                throw std::invalid_argument("firmware must look like 2.05");
            m.fwMajor = uint8_t(major), m.fwMinor = uint8_t(minor);
        }
        if (id.contains("hardware")) {
            if (!ParseVersion(id.at("hardware").get<std::string>(), major, minor))
                throw std::invalid_argument("hardware must look like 1.00");
            m.hwMajor = major, m.hwMinor = uint8_t(minor);
        }
        Take(id, "serial", m.serial);
        Take(id, "gprs", m.gprs);
        if (id.contains("imei")) m.imei = cp1250::FromUtf8(id.at("imei").get<std::string>());
        if (id.contains("name")) m.name = cp1250::FromUtf8(id.at("name").get<std::string>());
    }
    if (j.contains("gsm")) {
        const json& g = j.at("gsm");
        if (g.contains("operator")) m.operatorName = cp1250::FromUtf8(g.at("operator").get<std::string>());
        m.moduleState = Byte(g, "module", m.moduleState);
        m.simState = Byte(g, "sim", m.simState);
        m.netReg = Byte(g, "net", m.netReg);
        m.signal = Byte(g, "signal", m.signal);
        m.unauthorised = Byte(g, "unauthorised", m.unauthorised);
        Take(g, "credit1", m.credit1);
        Take(g, "credit2", m.credit2);
        Take(g, "bts", m.bts);
    }
    m.inputs = Byte(j, "inputs", m.inputs);
    m.outputs = Byte(j, "outputs", m.outputs);
    Take(j, "clockOffset", m.clockOffset);
    if (j.contains("smsQueue")) {
        m.smsQueue.clear();
        for (const json& s : j.at("smsQueue")) {
            Sms sms;
            ParseSmsTime(s.at("time").get<std::string>(), sms.time);
            sms.number = cp1250::FromUtf8(s.at("number").get<std::string>());
            sms.text = cp1250::FromUtf8(s.at("text").get<std::string>());
            // The record holds zero-terminated texts.
            if (sms.number.find('\0') != std::string::npos || sms.text.find('\0') != std::string::npos)
                throw std::invalid_argument("SMS texts cannot hold a zero byte");
            m.smsQueue.push_back(std::move(sms));
        }
    }
    if (j.contains("sent")) {
        m.sent.clear();
        for (const json& s : j.at("sent"))
            m.sent.push_back({cp1250::FromUtf8(s.at("number").get<std::string>()),
                              cp1250::FromUtf8(s.at("text").get<std::string>()), s.value("failed", false)});
    }
    if (j.contains("gprs")) {
        const json& g = j.at("gprs");
        if (g.contains("apn")) m.apn = cp1250::FromUtf8(g.at("apn").get<std::string>());
        m.dataComp = Byte(g, "dataComp", m.dataComp);
        m.headComp = Byte(g, "headComp", m.headComp);
        if (g.contains("qos")) {
            const json& q = g.at("qos");
            if (!q.is_array() || q.size() != 5) throw std::invalid_argument("qos must hold five numbers");
            for (size_t i = 0; i < 5; ++i) {
                int v = q[i].get<int>();
                if (v < 0 || v > 255) throw std::invalid_argument("qos values must be 0..255");
                m.qos[i] = uint8_t(v);
            }
        }
    }
    Take(j, "pinWrong", m.pinWrong);
    if (j.contains("pin")) {
        const std::string pin = cp1250::FromUtf8(j.at("pin").get<std::string>());
        if (pin.empty() || pin.size() > kPinField || pin.find('\0') != std::string::npos)
            throw std::invalid_argument("pin must be 1.." + std::to_string(kPinField) + " characters");
        m.pin = pin;
    }
    if (j.contains("pinTries")) {
        const int tries = j.at("pinTries").get<int>();
        if (tries < 0) throw std::invalid_argument("pinTries must be 0 or more");
        m.pinTries = tries;
    }
    Take(j, "silent", m.silent);
}

bool CSimDevice::SetState(const json& j, std::string* error) {
    Model m = m_model;
    try {
        ApplyState(j, m);
    } catch (const std::exception& e) {
        if (error) *error = e.what();
        return false;
    }
#ifdef VANTRIX_SIM_MELODY
    if (j.contains("melody")) m_melody.SetState(j.at("melody"));
#endif
    m_model = std::move(m);
    return true;
}
