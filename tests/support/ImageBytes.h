// A configuration image as the bytes it lies in memory, for comparisons.
#pragma once

#include <cstdint>
#include <vector>

#include "config/CfgImage.h"

inline std::vector<uint8_t> ImageBytes(const CfgImage& img) {
    auto p = reinterpret_cast<const uint8_t*>(&img);
    return {p, p + sizeof img};
}
