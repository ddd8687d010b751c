#include "comm/PortFault.h"

#include <vector>

#include "app/Strings.h"
#include "comm/PortName.h"

std::string PortFaultLine(PortFault fault, const std::string& name) {
    switch (fault) {
    case PF_DENIED: {
        const std::string group = PortGroup(MapPortName(name));
        if (group.empty()) return LoadStr(IDS_PORT_DENIED);
        // The command itself, so that it can be copied as it stands.
        return std::string(LoadStr(IDS_PORT_DENIED_GROUP)) + "sudo usermod -aG " + group + " $USER";
    }
    case PF_MISSING: {
        const std::vector<std::string> ports = DetectedPorts();
        if (ports.empty()) return LoadStr(IDS_PORT_MISSING_NONE);
        std::string line = LoadStr(IDS_PORT_MISSING);
        for (size_t i = 0; i < ports.size(); ++i) line += (i ? ", " : "") + ports[i];
        return line;
    }
    case PF_HELD: return LoadStr(IDS_PORT_HELD);
    default: return {};
    }
}
