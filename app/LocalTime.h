// The clocks the program uses: the PC's local calendar time in the shape of a
// Windows SYSTEMTIME, and a millisecond tick count that wraps at 32 bits.
#pragma once

#include <cstdint>

struct SysTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

SysTime GetLocalTime();
uint32_t GetTickCount();
// Milliseconds of the steady clock, for deadlines.
int64_t SteadyMs();
