// Where the running program file lies, on POSIX: the link /proc/self/exe.
// The Windows build has ProgDir_win32.cpp instead.
#include <unistd.h>

#include <climits>

#include "app/ProgDir.h"

std::string GetProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, size_t(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
