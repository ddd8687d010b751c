// The program's own files on Windows: wide-character paths, binary mode, and
// the save through a temporary file that ReplaceFileW puts over the target,
// so that the file keeps its attributes and access rights. The modes of the
// header have no meaning here: a new file gets the folder's access rights.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "app/FileIO.h"
#include "app/WinPath_win32.h"

namespace {

// Tries, 100 ms apart, to open the temporary file while another save holds it.
constexpr int kTempTries = 100;

// The attributes a user gives a file that a save keeps. Read-only is not
// among them: such a file is not saved over at all.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Puts the temporary file `tmp` in the place of `target`, whose attributes
// were `old` (INVALID_FILE_ATTRIBUTES: there was none). ReplaceFileW keeps
// the old file's access rights, attributes and creation time, where
// MoveFileExW gives it the temporary file's.
bool Replace(const std::wstring& tmp, const std::wstring& target, DWORD old) {
    if (old != INVALID_FILE_ATTRIBUTES) {
        if (ReplaceFileW(target.c_str(), tmp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            // Wine's ReplaceFileW drops the attributes; the file has changed
            // since its last backup in any case.
            const DWORD now = GetFileAttributesW(target.c_str());
            const DWORD want = (now & ~kKeptAttributes) | (old & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE;
            if (now != INVALID_FILE_ATTRIBUTES && now != want) SetFileAttributesW(target.c_str(), want);
            return true;
        }
        // The target gone since, or removed by ReplaceFileW, which then could
        // not give the temporary file its name: that is still to be done.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) return false;
    }
    return MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

bool CInFile::Open(const std::string& path) {
    Close();
    m_f = _wfopen(WidePath(path).c_str(), L"rb");
    m_openErrno = m_f ? 0 : errno;
    return m_f != nullptr;
}

mode_t CInFile::Mode() const {
    struct _stat st;
    return m_f && _fstat(_fileno(m_f), &st) == 0 ? mode_t(st.st_mode & 0777) : 0;
}

// Windows programs meet no symbolic links among their own files: the path is
// the file.
std::string FollowLinks(const std::string& path) { return path; }

bool CAtomicFile::Create() {
    m_target = FollowLinks(m_path);
    // NUL, CON, a COM port or a pipe is written through itself: a rename
    // cannot go over it.
    const std::wstring target = WidePath(m_target);
    HANDLE h = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const bool disk = GetFileType(h) == FILE_TYPE_DISK;
        CloseHandle(h);
        if (!disk) {
            m_inPlace = true;
            m_fd = _wopen(target.c_str(), _O_WRONLY | _O_BINARY);
            return m_ok = m_fd >= 0;
        }
    }
    // Read-only: the user's word that the file stays as it is.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        errno = attributes & FILE_ATTRIBUTE_DIRECTORY ? EISDIR : EACCES;
        return false;
    }
    // One temporary name per target, opened for this save alone: a killed
    // save leaves one copy, which the next save takes over, and a save under
    // way elsewhere is waited for.
    m_tmp = m_target + ".part";
    for (int i = 0; i < kTempTries && m_fd < 0; ++i) {
        m_fd = _wsopen(WidePath(m_tmp).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYRW,
                       _S_IREAD | _S_IWRITE);
        if (m_fd < 0 && errno != EACCES) break;
        if (m_fd < 0) Sleep(100);
    }
    m_ok = m_fd >= 0;
    return m_ok;
}

bool CAtomicFile::PutInPlace() {
    bool ok = m_ok && _commit(m_fd) == 0;
    ok = (_close(m_fd) == 0) && ok;
    m_fd = -1;
    const std::wstring tmp = WidePath(m_tmp);
    const std::wstring target = WidePath(m_target);
    const DWORD old = GetFileAttributesW(target.c_str());
    if (ok) ok = Replace(tmp, target, old);
    // Where the old file is gone and the new one did not take its place, the
    // temporary file is all that holds the data: it stays.
    if (!ok && (old == INVALID_FILE_ATTRIBUTES || GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES))
        _wunlink(tmp.c_str());
    return ok;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesW(WidePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

int OpenForAppend(const std::string& path) { return _wopen(WidePath(path).c_str(), _O_WRONLY | _O_APPEND | _O_BINARY); }

bool RemoveFile(const std::string& path) { return _wunlink(WidePath(path).c_str()) == 0 || errno == ENOENT; }
