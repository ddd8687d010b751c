// melodyloader [file]: writes a melody file, or the melody image built into
// the program, into the Vantrix's melody memory over a serial port.
#include <cstdio>

#include "melodyloader/MelodyImage.h"
#include "melodyloader/MelodyLoader.h"

int main(int argc, char** argv) {
    return melody::RunMelodyLoader(argc, argv, stdin, stdout, melody::kMelodyImage, melody::kMelodyImageSize);
}
