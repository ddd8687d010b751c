// The clocks on Windows: windows.h would clash with the names GetLocalTime
// and GetTickCount that the shared header keeps, so the one call needed is
// declared here.
#include <chrono>

#include "app/LocalTime.h"

// Windows' own local time: the C runtime's would follow a TZ variable in its
// own format, and a Unix-style TZ=Europe/Prague there reads as UTC.
extern "C" __declspec(dllimport) void __stdcall GetLocalTime(SysTime* st);

SysTime GetLocalTime() {
    static_assert(sizeof(SysTime) == 16, "SysTime has the layout of SYSTEMTIME");
    SysTime st;
    ::GetLocalTime(&st);
    return st;
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t GetTickCount() { return uint32_t(SteadyMs()); }
