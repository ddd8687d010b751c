// Link frames at the byte level: 0x05, the escaped payload, the escaped
// checksum, 0x0A. Independent of any transport, so that the console melody
// downloader can link it alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace frame {

inline constexpr uint8_t kStart = 0x05;
inline constexpr uint8_t kEscape = 0x09;
inline constexpr uint8_t kEnd = 0x0A;

// Every payload byte and the checksum may take two bytes.
constexpr size_t MaxEncodedSize(size_t payloadLen) { return 2 * payloadLen + 4; }

// The two's complement of the 8-bit sum of the payload.
uint8_t Checksum(const uint8_t* payload, size_t n);

// Encodes into `out`, which holds at least MaxEncodedSize(n) bytes; returns the
// number of bytes written.
size_t Encode(const uint8_t* payload, size_t n, uint8_t* out);
std::vector<uint8_t> Encode(const uint8_t* payload, size_t n);

// Takes the bytes of one reply frame one at a time and keeps its payload in a
// caller's buffer. Bytes before the start byte are skipped; a second start
// byte inside a frame is payload. Bytes beyond the capacity are summed but
// not kept.
class CFrameReceiver {
public:
    enum class Unescape {
        Subtract,  // the escaped byte minus 0x20 (the control panel's device link)
        Xor,       // the escaped byte XOR 0x20 (the melody downloader)
    };
    enum Status { kMore, kGood, kBadChecksum };

    // minBytes: the fewest bytes (payload and checksum) a good frame holds.
    CFrameReceiver(uint8_t* buf, size_t capacity, Unescape unescape = Unescape::Subtract, size_t minBytes = 1);

    void Reset();
    Status Feed(uint8_t byte);

    bool Started() const { return m_started; }
    // Payload bytes of the frame, kept or not.
    size_t PayloadLen() const { return m_count > 0 ? m_count - 1 : 0; }

private:
    uint8_t* m_buf;
    size_t m_capacity;
    Unescape m_unescape;
    size_t m_minBytes;
    bool m_started = false;
    bool m_escaped = false;
    bool m_badEscape = false;  // an escaped byte no sender writes: the frame is bad
    bool m_havePending = false;
    uint8_t m_pending = 0;  // the latest byte: the checksum if the frame ends now
    uint8_t m_sum = 0;
    size_t m_count = 0;  // bytes of the frame so far, checksum included
};

}  // namespace frame
