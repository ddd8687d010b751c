// The parts of the file layer that are the same on every platform: reading
// through the C library, and the writes of a save in the POSIX names that the
// Windows C runtime has too. FileIO_posix.cpp and FileIO_win32.cpp open,
// create and rename.
#include "app/FileIO.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

void CInFile::Close() {
    if (m_f) std::fclose(m_f);
    m_f = nullptr;
}

size_t CInFile::Read(void* buf, size_t n) {
    if (!m_f || n == 0) return 0;
    return std::fread(buf, 1, n, m_f);
}

bool CInFile::Failed() const { return m_f && std::ferror(m_f); }

CAtomicFile::CAtomicFile(std::string path, mode_t mode) : m_path(std::move(path)), m_mode(mode) {}

CAtomicFile::~CAtomicFile() {
    if (m_fd < 0) return;
    ::close(m_fd);
    if (!m_inPlace) RemoveFile(m_tmp);
}

bool CAtomicFile::Write(const void* data, size_t n) {
    if (m_fd < 0 || !m_ok) return false;
    return m_ok = WriteAllFd(m_fd, data, n);
}

bool CAtomicFile::Commit() {
    if (m_fd < 0) return false;
    if (!m_inPlace) return PutInPlace();
    // A pipe or a device cannot be synced; the close tells a late failure.
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    return closed && m_ok;
}

bool WriteAllFd(int fd, const void* data, size_t n) {
    auto p = static_cast<const char*>(data);
    while (n > 0) {
        // Windows takes at most INT_MAX bytes in one write.
        const auto w = ::write(fd, p, unsigned(std::min<size_t>(n, INT_MAX)));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t n, mode_t mode) {
    CAtomicFile f(path, mode);
    return f.Create() && f.Write(data, n) && f.Commit();
}
