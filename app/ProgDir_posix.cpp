// The program directory rule and the lazy making of the user's data
// directory on POSIX. The Windows build has ProgDir_win32.cpp instead.
#include "app/ProgDir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_mutex;
std::string g_userDir;  // the user directory GetProgramDir chose, else empty

bool IsDir(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

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

std::string GetProgramDir(const std::string& userDir) {
    std::string exeDir = GetExecutableDir();
    bool portable = IsDir(exeDir + "/Data") || userDir.empty();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_userDir = portable ? std::string() : userDir;
    return portable ? exeDir : userDir;
}

void MakeDirsFor(const std::string& path) {
    std::string root;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        root = g_userDir;
    }
    if (root.empty() || path.compare(0, root.size() + 1, root + "/") != 0) return;
    auto end = path.rfind('/');
    // Each directory from the top down; a failure shows as the write's own.
    for (size_t pos = path.find('/', 1); pos != std::string::npos && pos <= end; pos = path.find('/', pos + 1)) {
        if (::mkdir(path.substr(0, pos).c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}
