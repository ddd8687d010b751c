// The monitor's stop signals on Windows: the console's control events,
// turned by a handler into an event that the monitor's thread waits for.
#include "tools/vantrixctl/StopSignals_win32.h"

#include "tools/vantrixctl/StopSignals.h"

namespace {

HANDLE g_stop = nullptr;  // a stop signal came
HANDLE g_done = nullptr;  // the monitor has disconnected

}  // namespace

BOOL WINAPI OnConsoleEvent(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
    SetEvent(g_stop);
    // The process ends when this returns; the monitor is meanwhile still
    // disconnecting on its own threads.
    if (type == CTRL_CLOSE_EVENT) WaitForSingleObject(g_done, kCloseWaitMs);
    return TRUE;
}

void BlockStopSignals() {
    if (!g_stop) {
        g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (g_stop && g_done) SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    }
    ResetEvent(g_stop);
    ResetEvent(g_done);
}

bool WaitForStopSignal() {
    if (!g_stop) {
        Sleep(1000);
        return false;
    }
    return WaitForSingleObject(g_stop, 1000) == WAIT_OBJECT_0;
}

void StopSignalsDone() {
    if (g_done) SetEvent(g_done);
}
