#include "comm/ComMsg.h"

#include <cstdio>

#include "app/AppUI.h"
#include "app/Strings.h"

CComMsg* CComMsgMng::Take() {
    for (auto& m : m_msgs)
        if (m->done.load(std::memory_order_acquire)) return m.get();
    m_msgs.push_back(std::make_unique<CComMsg>());
    return m_msgs.back().get();
}

void CComMsgMng::Post(int32_t kind, uint8_t cancel, intptr_t value1, int32_t value2) {
    CComMsg* m = Take();
    m->kind = kind;
    m->cancel = cancel;
    m->value1 = value1;
    m->value2 = value2;
    m->detail = 0;
    m->done.store(0, std::memory_order_release);
    m_ui.DeliverComMsg(m, false);
}

int32_t CComMsgMng::Send(int32_t kind, intptr_t value1, int32_t value2, int32_t detail) {
    CComMsg* m = Take();
    m->kind = kind;
    m->cancel = 0;
    m->value1 = value1;
    m->value2 = value2;
    m->detail = detail;
    m->done.store(0, std::memory_order_release);
    m_ui.DeliverComMsg(m, true);
    return m->value2;
}

std::string ComErrorText(int result, uint32_t lastCommand, PortFault fault, const std::string& port) {
    std::string text = LoadStr(IDS_RESULT_BASE + result);
    if (lastCommand != 0) {
        char ec[16];
        std::snprintf(ec, sizeof ec, " EC: %04X", lastCommand);
        text += ec;
    }
    const std::string why = PortFaultLine(fault, port);
    if (!why.empty()) text += "\n" + why;
    return text;
}
