// melodyloader [file]: writes a melody file, or the melody image built into
// the program, into the Vantrix's melody memory over a serial port.
#include <cstdio>
#include <cstring>

#include "app/ConsoleOut.h"
#include "app/Utf8Args.h"
#include "app/Version.h"
#include "melodyloader/MelodyImage.h"
#include "melodyloader/MelodyLoader.h"
#include "melodyloader/Usage.h"

namespace {

constexpr const char* kUsageLine = "Usage: melodyloader [FILE]\n";
constexpr const char* kUsageOptions =
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
        ConsolePrintf(stdout, "%s%s%s", kUsageLine, kUsageAbout, kUsageOptions);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        ConsolePrintf(stdout, "melodyloader %s\n", VANTRIX_VERSION);
        return 0;
    }
    return melody::RunMelodyLoader(argc, argv, stdin, stdout, melody::kMelodyImage, melody::kMelodyImageSize);
}
