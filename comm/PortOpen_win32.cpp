#include "comm/PortOpen_win32.h"

#include "app/WinPath_win32.h"

HANDLE OpenPortAlone(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}
