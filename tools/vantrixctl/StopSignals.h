// The signals that stop the monitor: SIGINT and SIGTERM on POSIX, the console's control events on Windows
// (StopSignals_posix.cpp, StopSignals_win32.cpp).
#pragma once

// SIGINT and SIGTERM are taken by the monitor's own thread; this must run
// before any other thread starts.
void BlockStopSignals();
// Waits up to a second for SIGINT or SIGTERM (on Windows Ctrl+C, Ctrl+Break
// or the console closing); true when one came.
bool WaitForStopSignal();
// The monitor has ended, its disconnect done. Windows ends the process once the
// handler of the console's closing returns, so that handler waits for this.
void StopSignalsDone();
