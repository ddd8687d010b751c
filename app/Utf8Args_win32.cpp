// The wide command line, split as the C runtime splits it, in UTF-8.
#include <windows.h>
// After windows.h, which it builds on.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include "app/Utf8Args.h"
#include "app/WinPath_win32.h"

CUtf8Args::CUtf8Args(int argc, char** argv) {
    int n = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n)) {
        for (int i = 0; i < n; ++i) m_args.push_back(Utf8Path(wide[i]));
        LocalFree(wide);
    } else {
        m_args.assign(argv, argv + argc);
    }
    for (std::string& a : m_args) m_ptrs.push_back(a.data());
    m_ptrs.push_back(nullptr);
}

// Opening never waits for a peer on Windows: O_NONBLOCK has nothing to do.
int OpenForReading(const std::string& path, int) { return _wopen(WidePath(path).c_str(), _O_RDONLY | _O_BINARY); }
