// melodyloader [file]: writes a melody file, or the melody image built into
// the program, into the Vantrix's melody memory over a serial port.
#include <cstdio>
#include <cstring>

#include "app/ConsoleOut.h"
#include "app/Utf8Args.h"
#include "app/Version.h"
#include "melodyloader/MelodyImage.h"
#include "melodyloader/MelodyLoader.h"

namespace {

constexpr const char* kUsage =
    "Usage: melodyloader [FILE]\n"
    "Write the melody file FILE, or without it the built-in image of eleven tunes, into the melody memory of a\n"
    "Vantrix gateway from address 0xD000. The program asks for the serial port (Enter = COM1; COM1 is\n"
    "/dev/ttyS0, ttyUSB0 or a path also work), prints one '*' per block written, and waits for Enter at the\n"
    "end. It exits with 0 when the download is completed, otherwise with 1 and the reason on its output.\n"
    "\n"
    "Options:\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n";

}  // namespace

int main(int narrowc, char** narrowv) {
    CUtf8Args args(narrowc, narrowv);
    const int argc = args.Argc();
    char** argv = args.Argv();
    // Only as the sole argument, so that any other name stays a melody file.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        ConsoleWrite(stdout, kUsage);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        ConsolePrintf(stdout, "melodyloader %s\n", VANTRIX_VERSION);
        return 0;
    }
    return melody::RunMelodyLoader(argc, argv, stdin, stdout, melody::kMelodyImage, melody::kMelodyImageSize);
}
