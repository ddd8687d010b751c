// The places of Windows: COM ports, %APPDATA%, the console's keys.
#include <algorithm>

#include "app/ProgDir.h"
#include "tools/vantrixctl/HelpText.h"

const HelpTexts kHelpTexts = {
    "serial port: COM1 to COM255 (default COM1)",
    "DIR with further modems (a file named as the modem, its port such as COM6 on the first line), besides the COM "
    "ports and Data\\Modems of the program directory; repeatable",
    "list the COM ports present as JSON: name for --port and its device name",
    "stay online, print the state and every change as JSON lines until Ctrl+C or the console window closes",
    "The program directory holds Data\\Modems (modem files) and sercom.log (--log). It is the program's own folder "
    "when a folder Data stands beside vantrixctl.exe (a copied program folder), else %APPDATA%\\" +
        std::string(kDataFolder) + ", made on the first write.",
};

std::string ShownPath(const std::string& path) {
    std::string shown = path;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}
