// Where the program lies and where its own files go: beside the program file
// in a copied program folder, in the user's data directory when installed.
#pragma once

#include <string>

// The folder below the user's data directory that holds an installed
// program's files; the desktop program's Qt names give the same folder.
inline constexpr const char* kDataFolder = "VantrixCtrlPnl";

// The directory of the running program file (/proc/self/exe; on Windows
// GetModuleFileNameW, in UTF-8), without a trailing slash.
std::string GetExecutableDir();

// $XDG_DATA_HOME (when it is an absolute path), else ~/.local/share, plus
// kDataFolder: the user's data directory of the console programs. On Windows
// %APPDATA% plus kDataFolder.
std::string UserDataDir();

// The program directory: the executable's when a directory Data stands beside
// it (the portable layout, which the program never creates), else `userDir`.
// A `userDir` chosen here is made on the first write (MakeDirsFor).
std::string GetProgramDir(const std::string& userDir = UserDataDir());

// The user directory that the last GetProgramDir chose; empty when it chose
// the portable layout or has not run. MakeDirsFor makes directories below it only.
std::string ChosenUserDir();

// <progDir>/Data/<name>: the program's own files.
std::string DataPath(const std::string& progDir, const std::string& name);

// Before writing `path`: when it lies in the user directory that
// GetProgramDir chose, makes its missing directories with mode 0700. Nothing
// is made elsewhere, so a missing portable Data stays missing.
void MakeDirsFor(const std::string& path);
