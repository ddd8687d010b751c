// The descriptor of standard output in the Windows C runtime.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

bool TakeClosedStdout() {
    struct _stat st;
    if (_fstat(1, &st) == 0) return false;
    // Read-only, so that a write fails as it would on the closed output.
    const int fd = _open("NUL", _O_RDONLY);
    if (fd >= 0 && fd != 1) {
        _dup2(fd, 1);
        _close(fd);
    }
    return true;
}

bool CloseStdoutDescriptor() { return _close(1) == 0; }
