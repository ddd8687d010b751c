// Where the running program file lies, on Windows: GetModuleFileNameW, turned
// into UTF-8 like every other path of the program.
#include <windows.h>

#include <string>

#include "app/ProgDir.h"
#include "app/WinPath_win32.h"

std::string GetProgramDir() {
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
