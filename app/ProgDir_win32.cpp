// The program directory rule and the lazy making of the user's data
// directory on Windows: GetModuleFileNameW and %APPDATA%, paths in UTF-8.
#include <windows.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "app/ProgDir.h"
#include "app/WinPath_win32.h"

namespace {

std::mutex g_mutex;
std::string g_userDir;  // the user directory GetProgramDir chose, else empty

bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesW(WidePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSep(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string GetExecutableDir() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return ".";
        // A full buffer may hold a cut name: try again with a bigger one.
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768) return ".";
        path.resize(path.size() * 2);
    }
    auto sep = path.find_last_of(L"\\/");
    if (sep == std::wstring::npos) return ".";
    path.resize(sep);
    std::string out = Utf8Path(path);
    return out.empty() ? "." : out;
}

std::string UserDataDir() {
    const wchar_t* appData = _wgetenv(L"APPDATA");
    std::string base = appData && *appData ? Utf8Path(appData) : GetExecutableDir();
    while (base.size() > 3 && IsSep(base.back())) base.pop_back();
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
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0 ||
        !IsSep(path[root.size()]))
        return;
    size_t end = path.find_last_of("/\\");
    // Each directory from the top down, below the drive or the share (a
    // server is no directory to make); a failure shows as the write's own.
    for (size_t pos = path.find_first_of("/\\", WinRootLength(path)); pos != std::string::npos && pos <= end;
         pos = path.find_first_of("/\\", pos + 1)) {
        std::string dir = path.substr(0, pos);
        if (IsDir(dir)) continue;
        if (!CreateDirectoryW(WidePath(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}
