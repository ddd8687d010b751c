// The GPRS access point of the device's GSM module, read and written with AT
// commands; held in memory only.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#pragma pack(push, 1)
struct GprsApRec {
    char apn[32];
    uint8_t dataCompression;
    uint8_t headerCompression;
    uint8_t defaultQos;  // non-zero: the five classes are sent as zeros
    uint8_t precedence;
    uint8_t delay;
    uint8_t reliability;
    uint8_t peak;
    uint8_t mean;
};
#pragma pack(pop)
static_assert(sizeof(GprsApRec) == 40);

inline void SetGprsDefaults(GprsApRec& r) {
    std::memset(&r, 0, sizeof r);
    std::memcpy(r.apn, "APN", 4);
    r.defaultQos = 1;
}

// A character the APN may hold: it goes between double quotes into an AT
// command line, so a quote or a control character would end the quoted text
// or start another command.
constexpr bool IsApnChar(unsigned char c) { return c >= 0x20 && c < 0x7F && c != '"'; }

// The first character an APN may not hold, or npos.
inline size_t BadApnChar(std::string_view apn) {
    for (size_t i = 0; i < apn.size(); ++i)
        if (!IsApnChar(static_cast<unsigned char>(apn[i]))) return i;
    return std::string_view::npos;
}
