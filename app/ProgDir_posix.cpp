// Where the program file lies, the user's data directory and its lazy
// making on POSIX; the choice between them is in ProgDir.cpp.
#include "app/ProgDir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

std::string HomeDir() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "/";
}

}  // namespace

std::string GetExecutableDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, size_t(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string UserDataDir() {
    // A relative XDG_DATA_HOME is invalid and ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base = xdg && xdg[0] == '/' ? std::string(xdg) : HomeDir() + "/.local/share";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/" + kDataFolder;
}

void MakeDirsFor(const std::string& path) {
    const std::string root = ChosenUserDir();
    if (root.empty() || path.compare(0, root.size() + 1, root + "/") != 0) return;
    auto end = path.rfind('/');
    // Each directory from the top down; a failure shows as the write's own.
    for (size_t pos = path.find('/', 1); pos != std::string::npos && pos <= end; pos = path.find('/', pos + 1)) {
        if (::mkdir(path.substr(0, pos).c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}
