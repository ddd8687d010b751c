#include "comm/PortName.h"

#include <cctype>

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
