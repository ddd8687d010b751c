// The program's arguments in UTF-8, as every text inside the programs is.
// Windows hands a narrow main() its arguments in the ANSI code page, which
// cannot hold every Czech letter; its wide command line can.
#pragma once

#include <string>
#include <vector>

class CUtf8Args {
public:
    CUtf8Args(int argc, char** argv);
    CUtf8Args(const CUtf8Args&) = delete;
    CUtf8Args& operator=(const CUtf8Args&) = delete;

    int Argc() const { return int(m_args.size()); }
    // Null-terminated like main()'s, valid as long as this object.
    char** Argv() { return m_ptrs.data(); }

private:
    std::vector<std::string> m_args;
    std::vector<char*> m_ptrs;
};

// Opens a file for reading by its UTF-8 name: open(2)'s descriptor, or -1
// with errno set. Flags beyond O_RDONLY are POSIX ones (O_NONBLOCK).
int OpenForReading(const std::string& path, int flags);
