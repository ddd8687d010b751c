#include "app/ProgDir.h"

#include <unistd.h>

#include <climits>

std::string GetProgramDir() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, size_t(n));
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string DataPath(const std::string& progDir, const std::string& name) { return progDir + "/Data/" + name; }
