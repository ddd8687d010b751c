// Port names of a Linux system.
#include "melodyloader/Usage.h"

const char* const kUsageAbout =
    "Write the melody file FILE, or without it the built-in image of eleven tunes, into the melody memory of a\n"
    "Vantrix gateway from address 0xD000. The program asks for the serial port (Enter = COM1; COM1 is\n"
    "/dev/ttyS0, ttyUSB0 or a path also work), prints one '*' per block written, and waits for Enter at the\n"
    "end. It exits with 0 when the download is completed, otherwise with 1 and the reason on its output.\n";
