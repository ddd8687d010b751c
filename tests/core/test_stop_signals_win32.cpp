// Closing the console window ends the process as soon as the handler of
// CTRL_CLOSE_EVENT returns: a handler that returned at once cut the monitor
// off before its disconnect, leaving the device online.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tools/vantrixctl/StopSignals.h"
#include "tools/vantrixctl/StopSignals_win32.h"

TEST(StopSignals, ClosingTheConsoleWaitsForTheMonitorsDisconnect) {
    BlockStopSignals();
    std::atomic<bool> returned{false};
    BOOL handled = FALSE;
    std::thread closing([&] {
        handled = OnConsoleEvent(CTRL_CLOSE_EVENT);
        returned = true;
    });
    EXPECT_TRUE(WaitForStopSignal());
    // The monitor's disconnect is under way.
    Sleep(500);
    EXPECT_FALSE(returned.load());
    const DWORD done = GetTickCount();
    StopSignalsDone();
    closing.join();
    EXPECT_TRUE(handled);
    EXPECT_LT(GetTickCount() - done, 1000u);
}
