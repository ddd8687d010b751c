#include "comm/SerCom.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "app/FileIO.h"
#include "app/LocalTime.h"
#include "comm/PortOpen_posix.h"

namespace {

struct BaudRow {
    uint32_t baud;
    speed_t speed;
};

constexpr BaudRow kBauds[] = {
    {300, B300},   {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

}  // namespace

uint32_t BaudConstant(uint32_t baud) {
    for (const auto& row : kBauds)
        if (row.baud == baud) return uint32_t(row.speed);
    return 0;
}

uint32_t BaudFromConstant(uint32_t speed) {
    for (const auto& row : kBauds)
        if (uint32_t(row.speed) == speed) return row.baud;
    return 0;
}

CSerCom::CSerCom() = default;

CSerCom::~CSerCom() {
    Close();
    CloseLog();
    int fd = m_cancelFd.exchange(-1);
    if (fd >= 0) ::close(fd);
}

bool CSerCom::Create() {
    if (m_cancelFd.load() >= 0) return true;
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (fd < 0) return false;
    m_cancelFd.store(fd);
    return true;
}

int CSerCom::Open(const std::string& name, uint32_t baud) {
    Close();
    m_openFault = PF_OTHER;  // until the port is open or tells why not
    const int fd = OpenPortAlone(MapPortName(name));
    if (fd < 0) {
        m_openFault = PortFaultOf(errno);
        return SER_OPEN;
    }
    // Held from here on, also when the settings fail, until the next open or close.
    m_fd = fd;
    m_ownsSettings = true;

    speed_t speed = speed_t(BaudConstant(baud));
    if (speed == 0 || !SetRawLine(fd, speed, CRTSCTS)) return SER_OPEN;
    // DTR stays low. A pseudo-terminal has no modem lines and rejects this.
    int dtr = TIOCM_DTR;
    ::ioctl(fd, TIOCMBIC, &dtr);
    m_openFault = PF_NONE;
    return SER_OK;
}

void CSerCom::Attach(int fd) {
    Close();
    if (fd < 0) return;
    // Transfers never block in read()/write(): the waits are in poll().
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    m_fd = fd;
    m_ownsSettings = false;
}

void CSerCom::Close() {
    if (m_fd < 0) return;
    // An attached descriptor is a copy of the modem's, which keeps the port.
    if (m_ownsSettings)
        ClosePortAlone(m_fd);
    else
        ::close(m_fd);
    m_fd = -1;
    m_ownsSettings = false;
}

int CSerCom::Read(void* buf, uint32_t n, uint32_t timeoutMs) {
    return Transfer(Dir::Read, static_cast<uint8_t*>(buf), n, timeoutMs);
}

int CSerCom::Write(const void* buf, uint32_t n, uint32_t timeoutMs) {
    // The buffer is only read on this path.
    return Transfer(Dir::Write, static_cast<uint8_t*>(const_cast<void*>(buf)), n, timeoutMs);
}

int CSerCom::Transfer(Dir dir, uint8_t* buf, uint32_t n, uint32_t timeoutMs) {
    if (m_fd < 0) return SER_FAIL;
    if (n == 0) return SER_OK;
    const bool reading = dir == Dir::Read;
    const int64_t deadline = SteadyMs() + timeoutMs;
    // Aborting a transfer drops what is still queued in its direction.
    auto abort = [&](int result) {
        if (result == SER_CANCEL || !reading) ::tcflush(m_fd, reading ? TCIFLUSH : TCOFLUSH);
        return result;
    };
    uint32_t done = 0;
    // Moves what can be moved without waiting. False on a line error or
    // hang-up; `ended` is set when the channel reported its end (a raw
    // terminal also reads 0 bytes when nothing waits, so that alone means
    // nothing until poll() said the port was ready).
    bool ended = false;
    auto move = [&] {
        while (done < n) {
            ssize_t r = reading ? ::read(m_fd, buf + done, n - done) : ::write(m_fd, buf + done, n - done);
            if (r > 0)
                done += uint32_t(r);
            else if (r < 0 && errno == EINTR)
                continue;
            else if (r == 0)
                return ended = true;
            else
                return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        return true;
    };
    while (true) {
        if (!move()) return abort(SER_FAIL);
        if (done == n) {
            Log(dir, buf, n);
            return SER_OK;
        }
        int64_t remaining = deadline - SteadyMs();
        if (remaining <= 0) return abort(SER_TIMEOUT);
        struct pollfd fds[2] = {
            {m_fd, short(reading ? POLLIN : POLLOUT), 0},
            {m_cancelFd.load(), POLLIN, 0},
        };
        nfds_t count = fds[1].fd >= 0 ? 2 : 1;
        int p = ::poll(fds, count, int(remaining > 0x7FFFFFFF ? 0x7FFFFFFF : remaining));
        if (p < 0) {
            if (errno == EINTR) continue;
            return abort(SER_FAIL);
        }
        if (p == 0) return abort(SER_TIMEOUT);
        bool cancelReady = count == 2 && (fds[1].revents & POLLIN);
        short portEvents = fds[0].revents;
        if (portEvents & (reading ? POLLIN : POLLOUT)) {
            // The transfer's own event wins: when the bytes complete it, it
            // succeeds and a cancel that came at the same time stays pending.
            uint32_t before = done;
            ended = false;
            if (!move()) return abort(SER_FAIL);
            if (done == n) {
                Log(dir, buf, n);
                return SER_OK;
            }
            if (ended && done == before) return abort(SER_FAIL);  // ready but nothing: the end
        } else if (portEvents & (POLLERR | POLLHUP | POLLNVAL)) {
            return abort(SER_FAIL);
        }
        if (cancelReady && TakeCancel()) return abort(SER_CANCEL);
    }
}

void CSerCom::PurgeRx() {
    if (m_fd < 0) return;
    if (::tcflush(m_fd, TCIFLUSH) == 0) return;
    // A data channel that is no terminal: read away what is waiting.
    uint8_t scratch[256];
    while (true) {
        ssize_t r = ::read(m_fd, scratch, sizeof scratch);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
    }
}

void CSerCom::Cancel() {
    int fd = m_cancelFd.load();
    if (fd < 0) return;
    uint64_t one = 1;
    ssize_t w;
    do w = ::write(fd, &one, sizeof one);
    while (w < 0 && errno == EINTR);
}

bool CSerCom::TakeCancel() {
    int fd = m_cancelFd.load();
    if (fd < 0) return false;
    uint64_t value = 0;
    ssize_t r;
    do r = ::read(fd, &value, sizeof value);
    while (r < 0 && errno == EINTR);
    return r == ssize_t(sizeof value) && value != 0;
}

bool CSerCom::IsCancelPending() { return TakeCancel(); }

void CSerCom::OpenLog(const std::string& path) {
    CloseLog();
    // A stream, not a document: it grows with the traffic, so it is written
    // in place and replaced at each connection. Private: it records the PIN frame.
    m_logFd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
    // A log an older version left readable is made private before the first byte.
    if (m_logFd >= 0 && ::fchmod(m_logFd, kPrivateFileMode) != 0) {
        ::close(m_logFd);
        m_logFd = -1;
    }
    m_writeHeaderDue = m_readHeaderDue = m_logFd >= 0;
}

void CSerCom::CloseLog() {
    if (m_logFd >= 0) ::close(m_logFd);
    m_logFd = -1;
    m_writeHeaderDue = m_readHeaderDue = false;
}
