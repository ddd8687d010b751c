#include "app/ProgDir.h"

std::string DataPath(const std::string& progDir, const std::string& name) { return progDir + "/Data/" + name; }
