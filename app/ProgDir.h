// Where the program lies and where its own files go.
#pragma once

#include <string>

// The directory of the running program file (/proc/self/exe; on Windows
// GetModuleFileNameW, in UTF-8), without a trailing slash.
std::string GetProgramDir();

// <progDir>/Data/<name>: the program's own files. The Data directory is never
// created by the program; without it these files are simply not written.
std::string DataPath(const std::string& progDir, const std::string& name);
