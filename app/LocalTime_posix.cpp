#include "app/LocalTime.h"

#include <sys/time.h>

#include <chrono>
#include <ctime>

SysTime GetLocalTime() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    time_t t = tv.tv_sec;
    struct tm tm;
    localtime_r(&t, &tm);
    SysTime st;
    st.wYear = uint16_t(tm.tm_year + 1900);
    st.wMonth = uint16_t(tm.tm_mon + 1);
    st.wDayOfWeek = uint16_t(tm.tm_wday);
    st.wDay = uint16_t(tm.tm_mday);
    st.wHour = uint16_t(tm.tm_hour);
    st.wMinute = uint16_t(tm.tm_min);
    st.wSecond = uint16_t(tm.tm_sec);
    st.wMilliseconds = uint16_t(tv.tv_usec / 1000);
    return st;
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t GetTickCount() { return uint32_t(SteadyMs()); }
