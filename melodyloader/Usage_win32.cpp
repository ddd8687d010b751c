// Port names of Windows.
#include "melodyloader/Usage.h"

const char* const kUsageAbout =
    "Write the melody file FILE, or without it the built-in image of eleven tunes, into the melody memory of a\n"
    "Vantrix gateway from address 0xD000. The program asks for the serial port (Enter = COM1; COM1 to\n"
    "COM255), prints one '*' per block written, and waits for Enter at the end. It exits with 0 when the\n"
    "download is completed, otherwise with 1 and the reason on its output.\n";
