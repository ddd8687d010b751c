// The parts of melodyloader's serial line that build on NextByte() alone and
// so are the same on every platform: framing a reply and draining the line.
#include "melodyloader/MelodyPort.h"

#include <algorithm>

#include "comm/Frame.h"

namespace melody {

namespace {
// A reply's bytes follow each other closely: this long without one, the
// line holds no more of it. The bound keeps a chattering line from holding
// the download up.
constexpr auto kDrainQuiet = std::chrono::milliseconds(200);
constexpr auto kDrainMax = std::chrono::milliseconds(5000);
// A reply that never ends is not waited for without end: after this many
// bytes without a whole frame the read counts as a bad frame.
constexpr size_t kMaxBytesPerFrame = 65536;
}  // namespace

IMelodyLink::Rx CMelodyPort::Receive(uint8_t* buf, size_t capacity, size_t& len) {
    len = 0;
    if (m_fd < 0) return kIoError;
    frame::CFrameReceiver rx(buf, capacity, frame::CFrameReceiver::Unescape::Xor, 2);
    // The time-out bounds the whole read: stray bytes now and then do not
    // keep it going.
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_readTimeoutMs);
    for (size_t count = 0; count < kMaxBytesPerFrame; ++count) {
        uint8_t b;
        int r = NextByte(b, deadline);
        if (r == 0) return kTimeout;
        if (r < 0) return kIoError;
        switch (rx.Feed(b)) {
        case frame::CFrameReceiver::kMore: break;
        case frame::CFrameReceiver::kGood: len = rx.PayloadLen(); return kFrame;
        case frame::CFrameReceiver::kBadChecksum: return kBadFrame;
        }
    }
    return kBadFrame;
}

void CMelodyPort::Drain() {
    if (m_fd < 0) return;
    const auto end = Clock::now() + kDrainMax;
    uint8_t b;
    while (NextByte(b, std::min(Clock::now() + kDrainQuiet, end)) > 0 && Clock::now() < end) {}
    m_rxPos = m_rxLen = 0;
}

}  // namespace melody
