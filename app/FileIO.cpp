#include "app/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

bool CInFile::Open(const std::string& path) {
    Close();
    m_f = std::fopen(path.c_str(), "rb");
    m_openErrno = m_f ? 0 : errno;
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

std::string FollowLinks(const std::string& path) {
    std::string p = path;
    // The kernel's own limit on links in a row; a longer chain is a loop.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        std::vector<char> buf(size_t(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || size_t(n) >= buf.size()) return p;
        std::string link(buf.data(), size_t(n));
        if (link[0] != '/') {
            const size_t slash = p.rfind('/');
            link = slash == std::string::npos ? link : p.substr(0, slash + 1) + link;
        }
        p = std::move(link);
    }
    return p;
}

bool CAtomicFile::Create() {
    m_target = FollowLinks(m_path);
    struct stat old;
    const bool exists = ::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    // Created with open() rather than mkstemp() so that the umask applies to a new file.
    std::random_device rd;
    for (int tries = 0; tries < 100 && m_fd < 0; ++tries) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x", unsigned(rd()));
        m_tmp = m_target + suffix;
        m_fd = ::open(m_tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, m_mode);
        if (m_fd < 0 && errno != EEXIST) return false;
    }
    if (m_fd < 0) return false;
    if (exists) {
        // Owner and group only where the process may give them; the mode
        // after them, since a change of owner clears the set-id bits.
        (void)!::fchown(m_fd, old.st_uid, old.st_gid);
        if (::fchmod(m_fd, old.st_mode & 07777) != 0) {
            ::close(m_fd);
            ::unlink(m_tmp.c_str());
            m_fd = -1;
            return false;
        }
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
    if (ok) ok = ::rename(m_tmp.c_str(), m_target.c_str()) == 0;
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

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }
