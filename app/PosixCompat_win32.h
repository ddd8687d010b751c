// The few POSIX names that the platform-free sources use and mingw-w64 lacks,
// given to every source of the Windows build on the command line.
#pragma once

#ifdef __cplusplus
#include <cstddef>
#include <cstdint>
#else
#include <stddef.h>
#include <stdint.h>
#endif

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <sys/types.h>

// Windows does not hand descriptors to child processes unless asked to.
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

// Reads at an offset. Not atomic as on POSIX: the file position moves, which
// the single reader of each such file does not mind.
static inline long long pread(int fd, void* buf, size_t n, long long offset) {
    if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
    return _read(fd, buf, (unsigned)(n > 0x7FFFFFFF ? 0x7FFFFFFF : n));
}

// Flushes a file to the disk.
static inline int fsync(int fd) { return _commit(fd); }

// Opening a file never waits for a peer here, so there is no non-blocking
// mode to switch off again: the flag is nothing and its change succeeds.
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef F_GETFL
#define F_GETFL 3
#define F_SETFL 4
#endif
static inline int fcntl(int fd, int cmd, ...) {
    (void)fd;
    (void)cmd;
    return 0;
}
