#include "comm/PortName.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
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

namespace {

std::string Attribute(const std::string& dir, const char* name) {
    std::ifstream in(dir + "/" + name);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
    return value;
}

std::string RealPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out = real;
    std::free(real);
    return out;
}

// The names a USB adapter gives itself sit on its USB device, a few levels
// above the tty's own device (the interface, the usb-serial port).
void UsbNames(const std::string& ttyEntry, PortInfo& port) {
    std::string dir = RealPath(ttyEntry + "/device");
    for (int up = 0; up < 4 && dir.size() > 1; ++up) {
        if (::access((dir + "/idVendor").c_str(), F_OK) == 0) {
            port.description = Attribute(dir, "product");
            port.maker = Attribute(dir, "manufacturer");
            port.serial = Attribute(dir, "serial");
            return;
        }
        dir.erase(dir.rfind('/'));
    }
}

}  // namespace

std::vector<PortInfo> DetectedPortInfoIn(const std::string& ttyClassDir, const std::string& devDir,
                                         const std::string& byIdDir) {
    std::vector<PortInfo> ports;
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
        PortInfo port;
        port.name = name;
        port.path = devDir + "/" + name;
        if (::access(port.path.c_str(), F_OK) != 0) continue;
        port.mayOpen = ::access(port.path.c_str(), R_OK | W_OK) == 0;
        UsbNames(entry, port);
        ports.push_back(port);
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(), [](const PortInfo& a, const PortInfo& b) { return a.name < b.name; });
    if (DIR* links = ::opendir(byIdDir.c_str())) {
        while (const dirent* e = ::readdir(links)) {
            if (e->d_name[0] == '.') continue;
            const std::string link = byIdDir + "/" + e->d_name;
            const std::string target = RealPath(link);
            for (PortInfo& port : ports)
                if (!target.empty() && target == RealPath(port.path) && (port.byId.empty() || link < port.byId))
                    port.byId = link;
        }
        ::closedir(links);
    }
    return ports;
}

std::vector<PortInfo> DetectedPortInfo() { return DetectedPortInfoIn("/sys/class/tty", "/dev", "/dev/serial/by-id"); }
