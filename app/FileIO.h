// The program's own files: read sequentially with exact-length reads, written
// through a temporary file that is renamed over the target only when every
// byte has been written, so a failed or interrupted save leaves the previous
// file whole.
#pragma once

#include <sys/types.h>

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

private:
    std::FILE* m_f = nullptr;
};

class CAtomicFile {
public:
    // The target keeps `mode` (Connection.dat holds PINs: 0600).
    explicit CAtomicFile(std::string path, mode_t mode = 0644);
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Creates the temporary file beside the target.
    bool Create();
    // Writes all n bytes or fails; after a failure every later write fails too.
    bool Write(const void* data, size_t n);
    // Flushes the data to disk and renames the temporary file over the target.
    // Without a successful Commit the target is untouched and the temporary
    // file is removed.
    bool Commit();

private:
    std::string m_path;
    std::string m_tmp;
    mode_t m_mode;
    int m_fd = -1;
    bool m_ok = false;
};

// Writes a whole file in one go through CAtomicFile.
bool WriteFileAtomic(const std::string& path, const void* data, size_t n, mode_t mode = 0644);

bool FileExists(const std::string& path);

// Writes all n bytes to a descriptor, going on after interruptions.
bool WriteAllFd(int fd, const void* data, size_t n);
