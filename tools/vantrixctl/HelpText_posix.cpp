// The places of a Linux system: tty names, /dev/serial/by-id, the XDG data directory, the signals.
#include "app/ProgDir.h"
#include "tools/vantrixctl/HelpText.h"

const HelpTexts kHelpTexts = {
    "serial port: COM1, ttyUSB0 or a path (default COM1)",
    "DIR with further modem links (link name = modem name, target = its tty), besides /dev/serial/by-id and "
    "Data/Modems of the program directory; repeatable",
    "list the serial ports present as JSON: name for --port, path, description, maker, serial number, "
    "/dev/serial/by-id link and whether you may open it",
    "stay online, print the state and every change as JSON lines until SIGINT",
    "The program directory holds Data/Modems (modem links) and sercom.log (--log). It is the program's own "
    "directory when a directory Data stands beside the program (a copied program folder), else the user's data "
    "directory $XDG_DATA_HOME/" +
        std::string(kDataFolder) + " (~/.local/share/" + kDataFolder +
        " without XDG_DATA_HOME), made with mode 0700 on the first write.",
};

std::string ShownPath(const std::string& path) { return path; }
