// The arguments of a POSIX program are its bytes, UTF-8 in any Czech locale.
#include <fcntl.h>

#include "app/Utf8Args.h"

CUtf8Args::CUtf8Args(int argc, char** argv) : m_args(argv, argv + argc) {
    for (std::string& a : m_args) m_ptrs.push_back(a.data());
    m_ptrs.push_back(nullptr);
}

int OpenForReading(const std::string& path, int flags) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags); }
