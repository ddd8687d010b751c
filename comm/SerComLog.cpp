// The traffic log of the serial transport, the same on every platform: one
// line per direction of traffic, opened by a header with the tick count.
#include <cstdio>

#include "app/FileIO.h"
#include "app/LocalTime.h"
#include "comm/SerCom.h"

void CSerCom::Log(Dir dir, const uint8_t* buf, uint32_t n) {
    if (m_logFd < 0) return;
    std::string text;
    text.reserve(size_t(n) * 3 + 16);
    char part[24];
    bool& headerDue = dir == Dir::Read ? m_readHeaderDue : m_writeHeaderDue;
    if (headerDue) {
        headerDue = false;
        std::snprintf(part, sizeof part, "\n%c (%08X): ", dir == Dir::Read ? 'R' : 'W', GetTickCount());
        text += part;
    }
    for (uint32_t i = 0; i < n; ++i) {
        std::snprintf(part, sizeof part, "%02X ", buf[i]);
        text += part;
    }
    (dir == Dir::Read ? m_writeHeaderDue : m_readHeaderDue) = true;
    WriteAllFd(m_logFd, text.data(), text.size());
}
