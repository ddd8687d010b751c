// Port names on Windows: "COM<n>" becomes the device name \\.\COM<n>, which
// also reaches the ports beyond COM9; any other name is opened as given.
#include <windows.h>

#include <cctype>
#include <iterator>

#include "comm/PortName.h"

std::string MapPortName(const std::string& name) {
    if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M') {
        bool digits = true;
        for (size_t i = 3; i < name.size(); ++i)
            if (!std::isdigit(static_cast<unsigned char>(name[i]))) digits = false;
        if (digits) return "\\\\.\\" + name;
    }
    return name;
}

std::vector<PortInfo> DetectedPortInfo() {
    // The COM names the system has a device for, in their numeric order.
    std::vector<PortInfo> ports;
    wchar_t target[1024];
    for (int n = 1; n <= 255; ++n) {
        const std::wstring name = L"COM" + std::to_wstring(n);
        if (QueryDosDeviceW(name.c_str(), target, DWORD(std::size(target))) != 0) {
            PortInfo port;
            port.name = "COM" + std::to_string(n);
            port.path = MapPortName(port.name);
            ports.push_back(port);
        }
    }
    return ports;
}
