// The checks are the same for every command, the descriptor's details are the
// platform's (StdOut_posix.cpp, StdOut_win32.cpp).
#include "tools/vantrixctl/StdOut.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/ConsoleOut.h"

// True when the descriptor of standard output was closed; it is then taken
// by one that cannot be written.
bool TakeClosedStdout();
bool CloseStdoutDescriptor();

namespace {

bool g_closedAtStart = false;

}  // namespace

void GuardStdout() { g_closedAtStart = TakeClosedStdout(); }

bool PutStdout(std::string_view text) {
    errno = 0;
    if (StdoutWriter().Write(text) && std::fflush(stdout) == 0) return true;
    if (errno == 0) errno = EIO;
    return false;
}

int OutputFailed(const char* what, int err, const char* more) {
    // The descriptor that stands in for a closed output says "Bad file
    // descriptor", which would send the user looking for a bug.
    const char* why = g_closedAtStart ? "standard output is closed" : std::strerror(err);
    ConsolePrintf(stderr, "%s: the output cannot be written (%s)%s\n", what, why, more);
    return kExitIoErr;
}

int PrintStdout(const char* what, std::string_view text) { return PutStdout(text) ? 0 : OutputFailed(what, errno); }

bool CloseStdout() {
    // Every write to a closed output has failed and said so already.
    if (g_closedAtStart) return true;
    errno = 0;
    const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    // The FILE stays open for the stream destructors that flush it after main.
    const bool closed = CloseStdoutDescriptor();
    if (written && closed) return true;
    if (errno == 0) errno = EIO;
    return false;
}
