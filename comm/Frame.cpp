#include "comm/Frame.h"

namespace frame {

uint8_t Checksum(const uint8_t* payload, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum = uint8_t(sum + payload[i]);
    return uint8_t(-sum);
}

namespace {

size_t PutEscaped(uint8_t b, uint8_t* out) {
    if (b < 0x20) {
        out[0] = kEscape;
        out[1] = uint8_t(b + 0x20);
        return 2;
    }
    out[0] = b;
    return 1;
}

}  // namespace

size_t Encode(const uint8_t* payload, size_t n, uint8_t* out) {
    size_t len = 0;
    out[len++] = kStart;
    for (size_t i = 0; i < n; ++i) len += PutEscaped(payload[i], out + len);
    len += PutEscaped(Checksum(payload, n), out + len);
    out[len++] = kEnd;
    return len;
}

std::vector<uint8_t> Encode(const uint8_t* payload, size_t n) {
    std::vector<uint8_t> out(MaxEncodedSize(n));
    out.resize(Encode(payload, n, out.data()));
    return out;
}

CFrameReceiver::CFrameReceiver(uint8_t* buf, size_t capacity, Unescape unescape, size_t minBytes)
    : m_buf(buf), m_capacity(capacity), m_unescape(unescape), m_minBytes(minBytes) {}

void CFrameReceiver::Reset() {
    m_started = m_escaped = m_havePending = m_badEscape = false;
    m_pending = m_sum = 0;
    m_count = 0;
}

CFrameReceiver::Status CFrameReceiver::Feed(uint8_t byte) {
    if (!m_started) {
        if (byte == kStart) {
            Reset();  // each frame starts from nothing
            m_started = true;
        }
        return kMore;
    }
    if (byte == kEnd) {
        // The byte before the end is the checksum; an empty frame has none.
        bool good =
            m_havePending && !m_escaped && !m_badEscape && m_count >= m_minBytes && uint8_t(m_sum + m_pending) == 0;
        m_started = false;
        return good ? kGood : kBadChecksum;
    }
    // A sender that escapes as it should writes only 0x20..0x3F after the
    // escape byte. On the device link anything else is a byte lost or changed
    // on the line, which the sum alone may not show (09 20 09 20 that lost
    // one 0x20 reads as one zero with a matching sum): the frame is bad. The
    // melody downloader's receiver keeps its rule that every escape byte
    // marks the next one.
    const bool strict = m_unescape == Unescape::Subtract;
    if (byte == kEscape) {
        if (m_escaped && strict) m_badEscape = true;
        m_escaped = true;
        return kMore;
    }
    if (m_escaped) {
        if (strict && (byte < 0x20 || byte > 0x3F)) m_badEscape = true;
        byte = m_unescape == Unescape::Subtract ? uint8_t(byte - 0x20) : uint8_t(byte ^ 0x20);
        m_escaped = false;
    }
    // One byte of delay: the previous byte is payload now that another follows.
    if (m_havePending) {
        m_sum = uint8_t(m_sum + m_pending);
        size_t index = m_count - 1;
        if (index < m_capacity) m_buf[index] = m_pending;
    }
    m_pending = byte;
    m_havePending = true;
    ++m_count;
    return kMore;
}

}  // namespace frame
