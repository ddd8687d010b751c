// The GPRS access point of the device's GSM module, read and written with AT
// commands; held in memory only.
#pragma once

#include <cstdint>
#include <cstring>

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
