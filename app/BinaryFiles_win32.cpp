// Files in binary mode unless a call asks otherwise, as on POSIX: the C
// runtime's default text mode would put a CR before every LF of a file.
#include <fcntl.h>

// Read by the C runtime's start-up code; the console keeps its text mode.
extern "C" {
int _fmode = _O_BINARY;
}
