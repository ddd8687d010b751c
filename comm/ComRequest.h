// Requests that the user interface hands to the communication engine.
#pragma once

#include <cstdint>

enum ComRequestKind : int32_t {
    REQ_QUIT = 0,
    REQ_CANCEL = 1,
    REQ_CONNECT = 2,     // p1: 1 stay online (idle poll), 0 only for the requests that follow
    REQ_DISCONNECT = 3,  // p1: 1 close the main window when the sequence ends
    REQ_READ_CFG = 4,    // p1: CVantrixCfg*
    REQ_WRITE_CFG = 5,   // p1: CVantrixCfg*
    REQ_READ_STATE = 6,
    REQ_SET_OUTPUTS = 7,  // p1: mask, p2: levels
    REQ_SET_TIME = 8,     // p1: SysTime* holding the time to set
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
