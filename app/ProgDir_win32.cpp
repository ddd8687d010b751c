// Where the program file lies, the user's data directory and its lazy
// making on Windows: GetModuleFileNameW and %APPDATA%, paths in UTF-8.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/FileIO.h"
#include "app/ProgDir.h"
#include "app/WinPath_win32.h"

namespace {

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

void MakeDirsFor(const std::string& path) {
    const std::string root = ChosenUserDir();
    if (root.empty() || path.size() <= root.size() || path.compare(0, root.size(), root) != 0 ||
        !IsSep(path[root.size()]))
        return;
    size_t end = path.find_last_of("/\\");
    // Each directory from the top down, below the drive or the share (a
    // server is no directory to make); a failure shows as the write's own.
    for (size_t pos = path.find_first_of("/\\", WinRootLength(path)); pos != std::string::npos && pos <= end;
         pos = path.find_first_of("/\\", pos + 1)) {
        std::string dir = path.substr(0, pos);
        if (IsDirectory(dir)) continue;
        if (!CreateDirectoryW(WidePath(dir).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}
