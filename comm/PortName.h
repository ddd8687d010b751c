// Port names as the user types them, for the control panel and melodyloader.
#pragma once

#include <string>
#include <vector>

// "COM<n>" -> /dev/ttyS<n-1>; a name starting with '/' is a path; any other
// name -> /dev/<name>. On Windows "COM<n>" -> \\.\COM<n>, others as given.
std::string MapPortName(const std::string& name);

// A serial port of this machine, with what tells one adapter from another.
struct PortInfo {
    std::string name;         // as MapPortName takes it: "ttyUSB0", "COM3"
    std::string path;         // the device
    std::string description;  // the product, where the device names it
    std::string maker;
    std::string serial;
    std::string byId;     // its stable /dev/serial/by-id link, if there is one
    bool mayOpen = true;  // this user has the rights to read and write it
};

// The serial ports this machine has, sorted by name: what the communication
// settings offer, `vantrixctl ports` lists and a user who named a missing
// port is told.
std::vector<PortInfo> DetectedPortInfo();
inline std::vector<std::string> DetectedPorts() {
    std::vector<std::string> names;
    for (const PortInfo& port : DetectedPortInfo()) names.push_back(port.name);
    return names;
}
// POSIX: the same over other directories than /sys/class/tty, /dev and
// /dev/serial/by-id.
std::vector<PortInfo> DetectedPortInfoIn(const std::string& ttyClassDir, const std::string& devDir,
                                         const std::string& byIdDir);
