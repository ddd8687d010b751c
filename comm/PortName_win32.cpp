// Port names on Windows: "COM<n>" becomes the device name \\.\COM<n>, which
// also reaches the ports beyond COM9; any other name is opened as given.
#include <cctype>

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
