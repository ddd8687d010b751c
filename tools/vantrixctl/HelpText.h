// What --help and `paths` say of this platform's places: the port names, the
// modems, the program directory, the keys that stop the monitor
// (HelpText_posix.cpp, HelpText_win32.cpp).
#pragma once

#include <string>

struct HelpTexts {
    std::string port;      // --port
    std::string modemDir;  // --modem-dir
    std::string ports;     // the ports command
    std::string monitor;   // the monitor command
    std::string files;     // what the program directory holds and how it is chosen
};
extern const HelpTexts kHelpTexts;

// A path as the platform writes it: on Windows with backslashes only, where
// the programs join the names of their files with '/'.
std::string ShownPath(const std::string& path);
