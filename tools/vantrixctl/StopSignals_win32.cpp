// The monitor's stop signals on Windows: the console's control events,
// turned by a handler into an event that the monitor's thread waits for.
#include <windows.h>

#include "tools/vantrixctl/Monitor.h"

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    SetEvent(g_stop);
    return TRUE;
}

}  // namespace

void BlockStopSignals() {
    if (g_stop) return;
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stop) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

bool WaitForStopSignal() {
    if (!g_stop) {
        Sleep(1000);
        return false;
    }
    return WaitForSingleObject(g_stop, 1000) == WAIT_OBJECT_0;
}
