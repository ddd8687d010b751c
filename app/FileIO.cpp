#include "app/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

bool CInFile::Open(const std::string& path) {
    Close();
    m_f = std::fopen(path.c_str(), "rb");
    return m_f != nullptr;
}

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
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(m_tmp.c_str());
    }
}

bool CAtomicFile::Create() {
    m_tmp = m_path + ".XXXXXX";
    std::vector<char> name(m_tmp.begin(), m_tmp.end());
    name.push_back('\0');
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) return false;
    m_tmp.assign(name.data());
    if (::fchmod(m_fd, m_mode) != 0) {
        ::close(m_fd);
        ::unlink(m_tmp.c_str());
        m_fd = -1;
        return false;
    }
    m_ok = true;
    return true;
}

bool WriteAllFd(int fd, const void* data, size_t n) {
    auto p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

bool CAtomicFile::Write(const void* data, size_t n) {
    if (m_fd < 0 || !m_ok) return false;
    return m_ok = WriteAllFd(m_fd, data, n);
}

bool CAtomicFile::Commit() {
    if (m_fd < 0) return false;
    bool ok = m_ok && ::fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok) ok = ::rename(m_tmp.c_str(), m_path.c_str()) == 0;
    if (!ok) ::unlink(m_tmp.c_str());
    return ok;
}

bool WriteFileAtomic(const std::string& path, const void* data, size_t n, mode_t mode) {
    CAtomicFile f(path, mode);
    return f.Create() && f.Write(data, n) && f.Commit();
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}
