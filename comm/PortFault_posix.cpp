#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "comm/PortFault.h"

PortFault PortFaultOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return PF_DENIED;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return PF_MISSING;
    // EBUSY: opened exclusively (TIOCEXCL); EWOULDBLOCK: our lock on the port.
    case EBUSY:
    case EWOULDBLOCK: return PF_HELD;
    default: return PF_OTHER;
    }
}

std::string PortGroup(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return {};
    // Joining a group that may not read and write the port would not help,
    // and nobody should be told to join root's.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0) return {};
    std::vector<char> buf(4096);
    struct group gr;
    struct group* found = nullptr;
    while (::getgrgid_r(st.st_gid, &gr, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (1u << 20))
        buf.resize(buf.size() * 2);
    // usermod takes the number as well when the group has no name.
    return found ? std::string(found->gr_name) : std::to_string(st.st_gid);
}
