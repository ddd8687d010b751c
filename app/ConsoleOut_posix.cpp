// Standard streams on POSIX: a terminal takes UTF-8 bytes and escape sequences as they are.
#include <unistd.h>

#include "app/ConsoleOut.h"

std::unique_ptr<IConsole> ConsoleOf(std::FILE*) { return nullptr; }

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }
