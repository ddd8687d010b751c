#include "melodyloader/MelodyPort.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "comm/Frame.h"
#include "comm/PortName.h"
#include "comm/PortOpen_posix.h"

namespace melody {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

}  // namespace

CMelodyPort::~CMelodyPort() { Close(); }

bool CMelodyPort::Open(const std::string& name) {
    Close();
    m_openFault = PF_OTHER;  // until the port is open or tells why not
    const int fd = OpenPortAlone(MapPortName(name));
    if (fd < 0) {
        m_openFault = PortFaultOf(errno);
        return false;
    }
    if (!SetRawLine(fd, B57600, 0)) {
        ClosePortAlone(fd);
        return false;
    }
    // DTR and RTS inactive. A pseudo-terminal has no modem lines and refuses.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_openFault = PF_NONE;
    m_rxPos = m_rxLen = 0;
    return true;
}

void CMelodyPort::Close() {
    if (m_fd < 0) return;
    ClosePortAlone(m_fd);
    m_fd = -1;
    m_rxPos = m_rxLen = 0;
}

bool CMelodyPort::Send(const uint8_t* payload, size_t n) {
    if (m_fd < 0 || n > kMaxRequestLen) return false;
    uint8_t line[frame::MaxEncodedSize(kMaxRequestLen)];
    static_assert(sizeof line <= kMaxFrameLen);
    size_t len = frame::Encode(payload, n, line);

    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    size_t done = 0;
    while (done < len) {
        ssize_t w = ::write(m_fd, line + done, len - done);
        if (w > 0) {
            done += size_t(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) return false;
        int left = MsLeft(deadline);
        if (left == 0) return false;
        struct pollfd p = {m_fd, POLLOUT, 0};
        int r = ::poll(&p, 1, left);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0 && (p.revents & (POLLERR | POLLNVAL))) return false;
    }
    return true;
}

int CMelodyPort::NextByte(uint8_t& b, Clock::time_point deadline) {
    if (m_rxPos == m_rxLen) {
        bool ready = false;  // poll said there is something to read
        for (;;) {
            ssize_t r = ::read(m_fd, m_rx, sizeof m_rx);
            if (r > 0) {
                m_rxPos = 0;
                m_rxLen = size_t(r);
                break;
            }
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && errno != EAGAIN) return -1;
            // Readable yet nothing to read: the other end hung up.
            if (r == 0 && ready) return -1;
            int left = MsLeft(deadline);
            if (left == 0) return 0;
            struct pollfd p = {m_fd, POLLIN, 0};
            int pr = ::poll(&p, 1, left);
            if (pr < 0 && errno != EINTR) return -1;
            if (pr > 0 && !(p.revents & POLLIN)) return -1;  // hang-up or error without data
            ready = pr > 0;
        }
    }
    b = m_rx[m_rxPos++];
    return 1;
}

}  // namespace melody
