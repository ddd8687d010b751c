#include "comm/PortName.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>

std::string MapPortName(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    if (name.size() > 3 && std::toupper(static_cast<unsigned char>(name[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(name[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(name[2])) == 'M') {
        unsigned n = 0;
        bool digits = true;
        for (size_t i = 3; i < name.size() && digits; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(name[i])) || n > 100000)
                digits = false;
            else
                n = n * 10 + unsigned(name[i] - '0');
        }
        if (digits && n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + name;
}

std::vector<std::string> DetectedPortsIn(const std::string& ttyClassDir, const std::string& devDir) {
    std::vector<std::string> ports;
    DIR* dir = ::opendir(ttyClassDir.c_str());
    if (!dir) return ports;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        const std::string entry = ttyClassDir + "/" + name;
        // Consoles, ptmx and the virtual terminals have no device behind them.
        if (::access((entry + "/device").c_str(), F_OK) != 0) continue;
        // The serial core keeps a place for every UART its driver may have
        // (ttyS0..ttyS31); type 0 is a place without one.
        std::ifstream type(entry + "/type");
        int uart = -1;
        if (type >> uart && uart == 0) continue;
        // A name that leads nowhere is no use to offer.
        if (::access((devDir + "/" + name).c_str(), F_OK) != 0) continue;
        ports.push_back(name);
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end());
    return ports;
}

std::vector<std::string> DetectedPorts() { return DetectedPortsIn("/sys/class/tty", "/dev"); }
