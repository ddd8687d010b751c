// The descriptor of standard output on POSIX.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool TakeClosedStdout() {
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1 || errno != EBADF) return false;
    // Read-only, so that a write fails as it would on the closed output.
    const int fd = open("/dev/null", O_RDONLY);
    if (fd >= 0 && fd != STDOUT_FILENO) {
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    return true;
}

bool CloseStdoutDescriptor() { return close(STDOUT_FILENO) == 0; }
