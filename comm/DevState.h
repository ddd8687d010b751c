// The device state the worker reads and the state panes show.
#pragma once

#include <cstdint>

// From the replies to 0x20 (layout) and 0x23 (production label).
struct DevIdentity {
    uint32_t firstValue = 0;  // 0x20 bytes 4-5, kept but not used
    uint32_t layoutId = 0;    // 0x20 bytes 6-7
    uint8_t fwMajor = 0;
    uint8_t fwMinor = 0;
    uint32_t hwMajor = 0;
    uint8_t hwMinor = 0;
    uint32_t serial = 0;
    uint8_t gprs = 0;  // 0 supported, 1 not supported
    char imei[16] = {};
    char name[128] = {};
};

// From the reply to 0x24.
struct GsmStatus {
    int32_t moduleState = 0;
    int32_t simState = 0;
    int32_t netReg = 0;
    int32_t signal = 0;
    int32_t unauthorised = 0;
    float credit1 = 0;
    float credit2 = 0;
    uint32_t bts = 0;
    char operatorName[17] = {};
};

// From the reply to 0x26: bit n is line n+1.
struct IoState {
    uint8_t inputs = 0;
    uint8_t outputs = 0;
};
