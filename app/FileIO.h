// The program's own files: read sequentially with exact-length reads, written
// through a temporary file that is renamed over the target only when every
// byte has been written, so a failed or interrupted save leaves the previous
// file whole. A target that is no regular file (a FIFO, a device, a pipe) is
// written through itself instead: renaming over it would replace it.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>

class CInFile {
public:
    CInFile() = default;
    explicit CInFile(const std::string& path) { Open(path); }
    ~CInFile() { Close(); }
    CInFile(const CInFile&) = delete;
    CInFile& operator=(const CInFile&) = delete;

    bool Open(const std::string& path);
    bool IsOpen() const { return m_f != nullptr; }
    void Close();

    // Reads up to n bytes; returns how many arrived (fewer at the end of the file).
    size_t Read(void* buf, size_t n);
    // True only when all n bytes arrived.
    bool ReadExact(void* buf, size_t n) { return Read(buf, n) == n; }
    // True when the last read failed for another reason than the end of the file.
    bool Failed() const;
    // True when the last Open failed because there is no such file.
    bool NotFound() const { return m_openErrno == ENOENT; }
    // The permission bits of the open file; 0 when they cannot be told.
    mode_t Mode() const;

private:
    std::FILE* m_f = nullptr;
    int m_openErrno = 0;
};

// What the load of a store file (SMS.dat, Connection.dat) found, so that its
// saves destroy nothing the user had.
class CStoreGuard {
public:
    enum State { NOT_LOADED, MISSING, WHOLE, PARTIAL, UNREADABLE };

    // After the load: `complete` when every record was taken. A file that
    // could not be opened (other than a missing one) or read is unreadable.
    void Loaded(const CInFile& f, bool complete);
    bool LoadRan() const { return m_state != NOT_LOADED; }
    State Get() const { return m_state; }

    // Before each write of the store: false when it must not be written
    // (no load ran, or the file could not be read); a partly loaded file is
    // first copied to `<path>.bak` with its own mode (`bakMode` when that
    // cannot be told), once, and false when that copy failed.
    bool MayWrite(const std::string& path, mode_t bakMode);

private:
    State m_state = NOT_LOADED;
};

// Mode of a new file before the umask; the files that hold PINs are private.
inline constexpr mode_t kNewFileMode = 0666;
inline constexpr mode_t kPrivateFileMode = 0600;

class CAtomicFile {
public:
    // A file that exists keeps its mode, owner and group (the group also
    // where the owner cannot be kept); a new one gets `mode` less the umask.
    // The temporary copy never has more rights than the final file. A
    // symbolic link stays: its target is written.
    explicit CAtomicFile(std::string path, mode_t mode = kNewFileMode);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // A new file gets exactly `mode`, whatever the umask (a copy that must
    // have the mode of its original).
    void SetExactMode(mode_t mode) { m_exact = true, m_mode = mode; }

    // Creates the temporary file beside the target (the link's target):
    // `<target>.part`. One that a killed save left is removed first; a save
    // of the same target under way in another process is waited for.
    bool Create();
    // Writes all n bytes or fails; after a failure every later write fails too.
    bool Write(const void* data, size_t n);
    // Flushes the data to disk and renames the temporary file over the
    // target, then flushes the directory, so that a power cut leaves the old
    // file or the new one. Without a successful Commit the target is
    // untouched and the temporary file is removed.
    bool Commit();

private:
    // The platform's part of Commit for a regular file: syncs the temporary
    // file, puts it in the target's place and closes it; removes it on failure.
    bool PutInPlace();

    std::string m_path;
    std::string m_target;  // m_path with its symbolic links followed
    std::string m_tmp;
    mode_t m_mode;
    bool m_exact = false;
    bool m_inPlace = false;  // the target is no regular file: written through itself
    int m_fd = -1;
    bool m_ok = false;
};

// Writes a whole file in one go through CAtomicFile.
bool WriteFileAtomic(const std::string& path, const void* data, size_t n, mode_t mode = kNewFileMode);

// The file a path names once its symbolic links are followed (the path
// itself when it is no link); the target need not exist.
std::string FollowLinks(const std::string& path);

bool FileExists(const std::string& path);
// True when the path names a directory (also through a symbolic link).
bool IsDirectory(const std::string& path);

// Removes a file; true when it is gone, also when there was none.
bool RemoveFile(const std::string& path);

// Opens a file that exists for writing at its end, by its UTF-8 name: a
// descriptor, or -1 with errno (ENOENT: there is no such file).
int OpenForAppend(const std::string& path);

// Writes all n bytes to a descriptor, going on after interruptions.
bool WriteAllFd(int fd, const void* data, size_t n);
