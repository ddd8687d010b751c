#include "melodyloader/MelodyPort.h"

#include <algorithm>

namespace melody {

namespace {
// A reply's bytes follow each other closely: this long without one, the
// line holds no more of it. The bound keeps a chattering line from holding
// the download up.
constexpr auto kDrainQuiet = std::chrono::milliseconds(200);
constexpr auto kDrainMax = std::chrono::milliseconds(5000);
}  // namespace

void CMelodyPort::Drain() {
    if (m_fd < 0) return;
    const auto end = Clock::now() + kDrainMax;
    uint8_t b;
    while (NextByte(b, std::min(Clock::now() + kDrainQuiet, end)) > 0 && Clock::now() < end) {}
    m_rxPos = m_rxLen = 0;
}

}  // namespace melody
