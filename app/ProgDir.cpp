// The part of the program directory rule that is the same on every platform;
// the rest lives in ProgDir_posix.cpp and ProgDir_win32.cpp.
#include "app/ProgDir.h"

std::string DataPath(const std::string& progDir, const std::string& name) { return progDir + "/Data/" + name; }
