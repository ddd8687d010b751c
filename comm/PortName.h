// Port names as the user types them, for the control panel and melodyloader.
#pragma once

#include <string>

// "COM<n>" -> /dev/ttyS<n-1>; a name starting with '/' is a path; any other
// name -> /dev/<name>. On Windows "COM<n>" -> \\.\COM<n>, others as given.
std::string MapPortName(const std::string& name);
