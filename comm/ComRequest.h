// Requests that the user interface hands to the communication engine.
#pragma once

#include <cstdint>

#include "app/LocalTime.h"

enum ComRequestKind : int32_t {
    REQ_QUIT = 0,
    REQ_CANCEL = 1,
    REQ_CONNECT = 2,     // p1: 1 stay online (idle poll), 0 only for the requests that follow
    REQ_DISCONNECT = 3,  // p1: 1 close the main window when the sequence ends
    REQ_READ_CFG = 4,    // p1: CVantrixCfg*
    REQ_WRITE_CFG = 5,   // p1: CVantrixCfg*
    REQ_READ_STATE = 6,
    REQ_SET_OUTPUTS = 7,  // p1: mask, p2: levels
    REQ_SET_TIME = 8,     // the time to set packed into p1 and p2: SetTimeRequest
    REQ_READ_SMS = 9,
    REQ_SEND_SMS = 10,  // p1: const int* ascending indices into the to-send list, p2: their number
    REQ_READ_GPRS = 11,
    REQ_WRITE_GPRS = 12,
};

// Parameters are pointer-wide: some requests carry the address of the object
// they work on.
struct CComRequest {
    int32_t kind = REQ_QUIT;
    intptr_t p1 = 0;
    intptr_t p2 = 0;
};

// The set-time request carries its own copy of the wanted time, so that the
// clock reads of the idle poll cannot change it before it is sent.
// p1: year << 16 | month << 8 | day, p2: hour << 16 | minute << 8 | second.
inline CComRequest SetTimeRequest(const SysTime& t) {
    return {REQ_SET_TIME, intptr_t(uint32_t(t.wYear) << 16 | uint32_t(t.wMonth & 0xFF) << 8 | (t.wDay & 0xFF)),
            intptr_t(uint32_t(t.wHour & 0xFF) << 16 | uint32_t(t.wMinute & 0xFF) << 8 | (t.wSecond & 0xFF))};
}

inline SysTime RequestedTime(const CComRequest& req) {
    SysTime t{};
    const auto date = uint32_t(req.p1), time = uint32_t(req.p2);
    t.wYear = uint16_t(date >> 16);
    t.wMonth = uint16_t(date >> 8 & 0xFF);
    t.wDay = uint16_t(date & 0xFF);
    t.wHour = uint16_t(time >> 16 & 0xFF);
    t.wMinute = uint16_t(time >> 8 & 0xFF);
    t.wSecond = uint16_t(time & 0xFF);
    return t;
}

// Result codes of the engine itself.
enum EngineResult : int {
    RES_QUEUED = 1,
    RES_START_FAILED = 128,
    RES_TELEPHONY_FAILED = 129,
    RES_BUSY = 130,
};

// The queue as its callers see it: 1 queued, 130 while a sequence is queued.
class IRequestQueue {
public:
    virtual ~IRequestQueue() = default;
    virtual int PostRequest(const CComRequest& req) = 0;
};
