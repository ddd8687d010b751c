// How every program here opens a serial port on Windows: the device's port,
// the modem's, melodyloader's.
#pragma once

#include <windows.h>

#include <string>

// The port at `path` (a name as MapPortName gives it), not shared and for
// overlapped I/O. INVALID_HANDLE_VALUE with GetLastError() telling why when
// it is not to be had.
HANDLE OpenPortAlone(const std::string& path);
