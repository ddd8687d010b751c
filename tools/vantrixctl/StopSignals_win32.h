// The handler of the console's control events, for the tests: no test can close a console window.
#pragma once

#include <windows.h>

// How long the closing console waits for the monitor's disconnect: Windows
// ends the process after five seconds in any case.
inline constexpr DWORD kCloseWaitMs = 4500;

BOOL WINAPI OnConsoleEvent(DWORD type);
