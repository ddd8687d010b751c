// What melodyloader's --help says of the program, in the port names of the
// platform (Usage_posix.cpp, Usage_win32.cpp).
#pragma once

// The paragraph between the usage line and the options.
extern const char* const kUsageAbout;
