// The built-in melody image. Its bytes are generated at build time by
// melodygen from melodyloader/melodies.txt.
#pragma once

#include <cstddef>
#include <cstdint>

namespace melody {

extern const uint8_t kMelodyImage[];
extern const size_t kMelodyImageSize;

}  // namespace melody
