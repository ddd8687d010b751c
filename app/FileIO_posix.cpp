// The program's own files on POSIX: the save through a locked temporary file
// that keeps the target's mode, owner and group and is renamed over it.
#include "app/FileIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

bool CInFile::Open(const std::string& path) {
    Close();
    m_f = std::fopen(path.c_str(), "rb");
    m_openErrno = m_f ? 0 : errno;
    return m_f != nullptr;
}

mode_t CInFile::Mode() const {
    struct stat st;
    return m_f && ::fstat(::fileno(m_f), &st) == 0 ? st.st_mode & 07777 : 0;
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

namespace {

// How long a save waits for another one of the same target to end.
constexpr auto kSaveWait = std::chrono::seconds(10);

bool SameFile(int fd, const std::string& path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::lstat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Creates `tmp` for a save, locked for this save alone. A temporary file that
// nobody holds locked is left by a save that was killed: it goes, so that no
// more than one copy (maybe with the PINs) is ever left beside a target. The
// lock is checked against the name afterwards, since another save may have
// renamed or removed the file in between. -1 and errno on failure.
int CreateLockedTemp(const std::string& tmp, mode_t mode) {
    const auto end = std::chrono::steady_clock::now() + kSaveWait;
    while (std::chrono::steady_clock::now() < end) {
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        const bool created = fd >= 0;
        if (!created) {
            if (errno != EEXIST) return -1;
            fd = ::open(tmp.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) {
                if (errno == ENOENT) continue;
                return -1;
            }
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            // A save under way: wait for it to end.
            ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        if (!SameFile(fd, tmp)) {
            ::close(fd);
            continue;
        }
        if (created) return fd;
        ::unlink(tmp.c_str());
        ::close(fd);
    }
    errno = EBUSY;
    return -1;
}

// After a rename the directory holds the new name only once it is on disk too.
bool SyncDirOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    // Some file systems cannot sync a directory; they say so with EINVAL.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

}  // namespace

bool CAtomicFile::Create() {
    struct stat old;
    if (::stat(m_path.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
        if (S_ISDIR(old.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // Opened by its own name: the kernel follows /dev/stdout to a pipe
        // where a path cannot.
        m_inPlace = true;
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        return m_ok = m_fd >= 0;
    }
    m_target = FollowLinks(m_path);
    const bool exists = ::stat(m_target.c_str(), &old) == 0;
    m_tmp = m_target + ".part";
    // Never more rights than the final file from the first moment: a file
    // that exists gives its mode (the umask may take bits off; they are put
    // back below), a new one `m_mode` less the umask.
    const mode_t first = exists ? old.st_mode & 0777 : m_exact ? m_mode & 0700 : m_mode;
    m_fd = CreateLockedTemp(m_tmp, first);
    if (m_fd < 0) return false;
    bool ok = true;
    if (exists) {
        // Owner and group only where the process may give them, the group on
        // its own where the owner cannot be kept; the mode after them, since a
        // change of owner clears the set-id bits.
        if (::fchown(m_fd, old.st_uid, old.st_gid) != 0) (void)!::fchown(m_fd, uid_t(-1), old.st_gid);
        ok = ::fchmod(m_fd, old.st_mode & 07777) == 0;
    } else if (m_exact) {
        ok = ::fchmod(m_fd, m_mode & 07777) == 0;
    }
    if (!ok) {
        ::close(m_fd);
        ::unlink(m_tmp.c_str());
        m_fd = -1;
        return false;
    }
    m_ok = true;
    return true;
}

bool CAtomicFile::PutInPlace() {
    bool ok = m_ok && ::fsync(m_fd) == 0;
    // Renamed while still open and locked: no other save takes the name in between.
    if (ok) ok = ::rename(m_tmp.c_str(), m_target.c_str()) == 0;
    if (!ok) ::unlink(m_tmp.c_str());
    ok = ::close(m_fd) == 0 && ok;
    m_fd = -1;
    return ok && SyncDirOf(m_target);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenForAppend(const std::string& path) { return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC); }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }
