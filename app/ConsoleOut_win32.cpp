// Standard streams on Windows: a console shows the bytes of WriteFile in its output code page, so text for it goes
// through WriteConsoleW; redirected to a file or a pipe, the stream keeps the UTF-8 bytes.
#include <windows.h>
// After windows.h, which it builds on.
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "app/ConsoleOut.h"
#include "app/WinPath_win32.h"

// Windows 10's consoles know it; older ones refuse the mode.
#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

namespace {

// Older consoles refuse a single write beyond 64 KB.
constexpr size_t kChunk = 8192;

class CWinConsole : public IConsole {
public:
    CWinConsole(HANDLE handle, DWORD mode) : m_handle(handle), m_mode(mode) {}
    CWinConsole(const CWinConsole&) = delete;
    CWinConsole& operator=(const CWinConsole&) = delete;
    // The console outlives the program, in the shell that started it: it gets its mode back.
    ~CWinConsole() override {
        if (m_changed) SetConsoleMode(m_handle, m_mode);
    }

    bool Write(std::string_view utf8) override {
        const std::wstring text = WideText(utf8);
        for (size_t at = 0; at < text.size();) {
            size_t n = std::min(kChunk, text.size() - at);
            // A surrogate pair stays together.
            if (at + n < text.size() && IS_HIGH_SURROGATE(text[at + n - 1])) --n;
            DWORD written = 0;
            if (!WriteConsoleW(m_handle, text.data() + at, DWORD(n), &written, nullptr) || written == 0) {
                errno = EIO;
                return false;
            }
            at += written;
        }
        return true;
    }

    bool EnableEscapes() override {
        if (!SetConsoleMode(m_handle, m_mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) return false;
        m_changed = true;
        return true;
    }

private:
    HANDLE m_handle;
    DWORD m_mode;
    bool m_changed = false;
};

HANDLE ConsoleHandle(std::FILE* stream, DWORD& mode) {
    const int fd = _fileno(stream);
    const HANDLE handle = fd >= 0 ? HANDLE(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : INVALID_HANDLE_VALUE;
}

}  // namespace

std::unique_ptr<IConsole> ConsoleOf(std::FILE* stream) {
    DWORD mode = 0;
    const HANDLE handle = ConsoleHandle(stream, mode);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<CWinConsole>(handle, mode);
}

// Not _isatty, which also says yes for NUL.
bool IsTerminal(std::FILE* stream) {
    DWORD mode = 0;
    return ConsoleHandle(stream, mode) != INVALID_HANDLE_VALUE;
}
