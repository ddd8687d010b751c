// The modems on Linux: the entries of /dev/serial/by-id and of the modem
// link directories, and a modem's tty.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/LocalTime.h"
#include "comm/PortOpen_posix.h"
#include "remote/ModemPort.h"
#include "remote/TAPI.h"

namespace {

// The speed between the PC and the modem; the modem adapts to it.
constexpr speed_t kDteSpeed = B57600;
// A command line of a few bytes goes out within this time.
constexpr int kWriteMs = 1000;

}  // namespace

const char* SystemModemDir() { return "/dev/serial/by-id"; }

std::vector<ModemEntry> ModemsIn(const std::string& dir) {
    std::vector<ModemEntry> found;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return found;
    while (struct dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        std::string path = dir + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) continue;
        // A link is listed also when it leads nowhere now: the list's index
        // is the profile's modem number, which must not shift when a modem
        // is unplugged.
        if (!S_ISLNK(st.st_mode) && !S_ISCHR(st.st_mode)) continue;
        found.push_back({std::move(name), path, path});
    }
    ::closedir(d);
    return found;
}

void ResolveModem(const ModemEntry& entry, std::string& device, bool& present) {
    char buf[PATH_MAX];
    device.clear();
    present = false;
    if (::realpath(entry.path.c_str(), buf)) {
        device = buf;
        present = true;
    } else {
        ssize_t n = ::readlink(entry.path.c_str(), buf, sizeof buf - 1);
        if (n > 0) device.assign(buf, size_t(n));
    }
}

// DTR goes down when the last descriptor closes (HUPCL).
int CModemPort::Open(const std::string& port) {
    Close();
    const int fd = OpenPortAlone(port);
    if (fd < 0) {
        if (errno == EWOULDBLOCK || errno == EBUSY) return LINEERR_INUSE;
        return errno == ENOENT || errno == ENXIO || errno == ENODEV ? LINEERR_NODEVICE : LINEERR_RESOURCEUNAVAIL;
    }
    if (!::isatty(fd)) {
        ClosePortAlone(fd);
        return LINEERR_NODEVICE;
    }
    if (!SetRawLine(fd, kDteSpeed, HUPCL | CRTSCTS)) {
        ClosePortAlone(fd);
        return LINEERR_RESOURCEUNAVAIL;
    }
    // A pseudo-terminal has no modem lines and rejects this.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    return 0;
}

void CModemPort::Close() {
    if (m_fd < 0) return;
    ClosePortAlone(m_fd);
    m_fd = -1;
}

bool CModemPort::Write(std::string_view s) {
    if (m_fd < 0) return false;
    const int64_t deadline = SteadyMs() + kWriteMs;
    size_t done = 0;
    while (done < s.size()) {
        ssize_t w = ::write(m_fd, s.data() + done, s.size() - done);
        if (w > 0) {
            done += size_t(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        int64_t left = deadline - SteadyMs();
        if (left <= 0) return false;
        struct pollfd p = {m_fd, POLLOUT, 0};
        if (::poll(&p, 1, int(left)) < 0 && errno != EINTR) return false;
    }
    return true;
}

int CModemPort::ReadByte(uint8_t& b, int timeoutMs) {
    if (m_fd < 0) return -1;
    const int64_t deadline = SteadyMs() + timeoutMs;
    for (;;) {
        struct pollfd p = {m_fd, POLLIN, 0};
        const int64_t left = std::max<int64_t>(0, deadline - SteadyMs());
        const int n = ::poll(&p, 1, int(std::min<int64_t>(left, INT_MAX)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) return 0;
        if (p.revents & POLLIN) {
            const ssize_t r = ::read(m_fd, &b, 1);
            if (r == 1) return 1;
            if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        }
        // Ready without a byte, or hung up: the modem is gone.
        return -1;
    }
}

bool CModemPort::SetDtr(bool on) {
    int dtr = TIOCM_DTR;
    return m_fd >= 0 && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &dtr) == 0;
}

void CModemPort::PurgeInput() {
    if (m_fd >= 0) ::tcflush(m_fd, TCIFLUSH);
}

int CModemPort::DataChannel(int& fd) {
    fd = m_fd >= 0 ? ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0) : -1;
    return fd >= 0 ? 0 : LINEERR_RESOURCEUNAVAIL;
}
