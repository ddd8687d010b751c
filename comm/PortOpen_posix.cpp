#include "comm/PortOpen_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

int OpenPortAlone(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

void ClosePortAlone(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool SetRawLine(int fd, speed_t speed, tcflag_t cflags) {
    struct termios t;
    if (::tcgetattr(fd, &t) != 0) return false;  // not a terminal
    ::cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD | cflags;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::cfsetspeed(&t, speed) == 0 && ::tcsetattr(fd, TCSANOW, &t) == 0;
}
