// Standard output that tells when what was printed did not arrive: a full
// disk, a reader gone away, an output closed at the start. Every command prints through it.
#pragma once

#include <string>
#include <string_view>

// The status of a command whose output cannot be written (EX_IOERR).
inline constexpr int kExitIoErr = 74;

// First thing in main: notes a standard output that was closed at the start
// and keeps its descriptor taken, so that no file or port opened later
// becomes the output.
void GuardStdout();

// Writes `text` and flushes it; false, with errno kept, when either fails.
bool PutStdout(std::string_view text);

// "what: the output cannot be written (why)more" on stderr; kExitIoErr.
int OutputFailed(const char* what, int err, const char* more = "");

// PutStdout, then 0, or the message of OutputFailed and kExitIoErr.
int PrintStdout(const char* what, std::string_view text);

// At exit: the last flush and the close of the descriptor, which is where a
// file system may report a write it could not complete. False with errno.
bool CloseStdout();
