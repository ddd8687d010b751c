// The clocks on Windows, through the C runtime: windows.h would clash with the
// names GetLocalTime and GetTickCount that the shared header keeps.
#include <sys/timeb.h>

#include <chrono>
#include <ctime>

#include "app/LocalTime.h"

SysTime GetLocalTime() {
    struct __timeb64 now;
    _ftime64_s(&now);
    struct tm tm;
    SysTime st;
    if (_localtime64_s(&tm, &now.time) != 0) return st;
    st.wYear = uint16_t(tm.tm_year + 1900);
    st.wMonth = uint16_t(tm.tm_mon + 1);
    st.wDayOfWeek = uint16_t(tm.tm_wday);
    st.wDay = uint16_t(tm.tm_mday);
    st.wHour = uint16_t(tm.tm_hour);
    st.wMinute = uint16_t(tm.tm_min);
    st.wSecond = uint16_t(tm.tm_sec);
    st.wMilliseconds = uint16_t(now.millitm);
    return st;
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t GetTickCount() { return uint32_t(SteadyMs()); }
