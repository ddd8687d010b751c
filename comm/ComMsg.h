// Progress records that the worker hands to the progress dialog, and the pool
// that recycles them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "comm/PortFault.h"

class IAppUI;

enum ComMsgKind : int32_t {
    CM_BEGIN = 2,    // cancel flag; value1 caption text id; value2 number of steps
    CM_STEP = 3,     // value1 steps to add
    CM_SET_POS = 4,  // value1 new position
    CM_ERROR = 5,    // value1 result code; value2 command code of the last request frame; detail (sent)
    CM_END = 6,
    CM_PIN_REFUSED = 7,  // value1 CConnectDsc*; value2 set by the dialog: 1 new PIN confirmed (sent)
};

struct CComMsg {
    int32_t kind = 0;
    uint8_t cancel = 0;
    intptr_t value1 = 0;
    int32_t value2 = 0;
    int32_t detail = 0;  // CM_ERROR with result 2: the PortFault
    // Set by the user interface once it has handled the record; the worker
    // reuses only records that are done.
    std::atomic<uint8_t> done{1};
};

class CComMsgMng {
public:
    explicit CComMsgMng(IAppUI& ui) : m_ui(ui) {}

    void Post(int32_t kind, uint8_t cancel = 0, intptr_t value1 = 0, int32_t value2 = 0);
    // Delivers synchronously and returns the record's second value afterwards.
    int32_t Send(int32_t kind, intptr_t value1 = 0, int32_t value2 = 0, int32_t detail = 0);

    size_t PoolSize() const { return m_msgs.size(); }

private:
    CComMsg* Take();

    IAppUI& m_ui;
    std::vector<std::unique_ptr<CComMsg>> m_msgs;
};

// What the progress dialog shows for a failed request: the result's text, and
// " EC: " with the command code once a frame has been sent; for a port that did
// not open a second line that tells why (`port`: the name the open was given).
std::string ComErrorText(int result, uint32_t lastCommand, PortFault fault = PF_NONE, const std::string& port = {});
