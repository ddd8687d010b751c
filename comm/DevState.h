// The device state the worker reads and the state panes show.
#pragma once

#include <cstddef>
#include <cstdint>

struct SysTime;

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

// Reply sizes the PC keeps for the state commands.
inline constexpr size_t kIdentityReplyLen = 8;  // 0x20
inline constexpr size_t kLabelReplyLen = 170;   // 0x23
inline constexpr size_t kGsmReplyLen = 37;      // 0x24
inline constexpr size_t kIoReplyLen = 7;        // 0x26
inline constexpr size_t kClockReplyLen = 10;    // 0x30

// The replies turned into the records: big-endian fields converted, texts cut
// at the end of their field when they fill it. `out` keeps the fields a reply
// does not carry.
void ParseIdentity(const uint8_t (&id)[kIdentityReplyLen], const uint8_t (&label)[kLabelReplyLen], DevIdentity& out);
void ParseGsm(const uint8_t (&reply)[kGsmReplyLen], GsmStatus& out);
void ParseIo(const uint8_t (&reply)[kIoReplyLen], IoState& out);
// Day, month, year, hour, minute and second; day of week and milliseconds stay.
void ParseClock(const uint8_t (&reply)[kClockReplyLen], SysTime& out);

// What counts as a change worth an event: the production label part of the
// identity; every GSM field (credits as numbers, the operator as text); both
// I/O bytes; the six clock fields.
bool SameLabel(const DevIdentity& a, const DevIdentity& b);
bool SameGsm(const GsmStatus& a, const GsmStatus& b);
bool SameIo(const IoState& a, const IoState& b);
bool SameClock(const SysTime& a, const SysTime& b);
