#include <windows.h>

#include "comm/PortFault.h"

PortFault PortFaultOf(int error) {
    switch (DWORD(error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return PF_MISSING;
    // A COM port opened by another program is refused with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return PF_HELD;
    default: return PF_OTHER;
    }
}

// The rights to a COM port are not a group's on Windows.
std::string PortGroup(const std::string&) { return {}; }
