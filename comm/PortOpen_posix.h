// How every program here opens a serial port on Linux: the device's port, the
// modem's, melodyloader's.
#pragma once

#include <termios.h>

#include <string>

// The port at `path`, for this program alone: non-blocking, exclusive
// (TIOCEXCL) and under the lock every program here takes, since TIOCEXCL
// does not stop root. -1 with errno telling why when it is not to be had.
int OpenPortAlone(const std::string& path);

// Gives up the exclusive open, so that the port can be opened again at once,
// and closes.
void ClosePortAlone(int fd);

// 8N1, raw, no software flow control, reads that return at once: the line of
// every port here. The speed and `cflags` (CRTSCTS, HUPCL) are each port's own.
bool SetRawLine(int fd, speed_t speed, tcflag_t cflags);
