// The part of the program directory rule that is the same on every platform:
// the choice between the portable layout and the user's directory. Finding the
// program file and making the user's directories live in ProgDir_posix.cpp and
// ProgDir_win32.cpp.
#include "app/ProgDir.h"

#include <mutex>

#include "app/FileIO.h"

namespace {

std::mutex g_mutex;
std::string g_userDir;  // the user directory GetProgramDir chose, else empty

}  // namespace

std::string GetProgramDir(const std::string& userDir) {
    std::string exeDir = GetExecutableDir();
    bool portable = IsDirectory(exeDir + "/Data") || userDir.empty();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_userDir = portable ? std::string() : userDir;
    return portable ? exeDir : userDir;
}

std::string ChosenUserDir() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_userDir;
}

std::string DataPath(const std::string& progDir, const std::string& name) { return progDir + "/Data/" + name; }
