// The program's own files on Windows: wide-character paths, binary mode, and
// the save through a temporary file that MoveFileExW puts over the target.
// The modes of the header have no meaning here: a file gets the folder's
// access rights.
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
    if (ok)
        ok = MoveFileExW(tmp.c_str(), WidePath(m_target).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) _wunlink(tmp.c_str());
    return ok;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& path) {
    const DWORD a = GetFileAttributesW(WidePath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::string& path) { return _wunlink(WidePath(path).c_str()) == 0 || errno == ENOENT; }
