// Port names as the user types them, for the control panel and melodyloader.
#pragma once

#include <string>
#include <vector>

// "COM<n>" -> /dev/ttyS<n-1>; a name starting with '/' is a path; any other
// name -> /dev/<name>. On Windows "COM<n>" -> \\.\COM<n>, others as given.
std::string MapPortName(const std::string& name);

// The serial ports this machine has, sorted, by the names MapPortName takes
// ("ttyUSB0"; on Windows "COM3"): what the communication settings offer and
// what a user who named a missing port is told.
std::vector<std::string> DetectedPorts();
// POSIX: the same over other directories than /sys/class/tty and /dev.
std::vector<std::string> DetectedPortsIn(const std::string& ttyClassDir, const std::string& devDir);
