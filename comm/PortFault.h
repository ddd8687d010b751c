// Why a serial port did not open: the open tells it as a code, and whoever
// shows the failure (the panel, vantrixctl, melodyloader) turns it into the line under text 201.
#pragma once

#include <cstdint>
#include <string>

enum PortFault : int32_t {
    PF_NONE = 0,
    PF_DENIED = 1,   // no rights to the device node
    PF_MISSING = 2,  // no such device
    PF_HELD = 3,     // another program has the port
    PF_OTHER = 4,    // anything else, refused settings too: nothing to add
};

// The fault an open that failed with this system error means: errno, on
// Windows GetLastError().
PortFault PortFaultOf(int error);

// The line that tells the user why the port `name` (as MapPortName takes it)
// did not open; empty when there is nothing to tell.
std::string PortFaultLine(PortFault fault, const std::string& name);

// The group whose members may read and write the device node at `path`; empty
// when there is none to suggest (its group has no rights, it is root's, no such
// node, Windows).
std::string PortGroup(const std::string& path);
