// The remote branch of connect and disconnect: a modem call to the device's
// SIM and the log-in with the PIN.
#include <cstring>

#include "app/Bytes.h"
#include "app/Profile.h"
#include "app/Vantrix.h"
#include "comm/VantrixCom.h"

namespace {

// The call's progress is looked at in slices, so that a cancel ends the wait.
constexpr uint32_t kCallStateSliceMs = 500;

// Acknowledges of 0x21.
constexpr uint8_t kAckPinWrong = 3;
constexpr uint8_t kAckPinMissing = 4;
constexpr uint8_t kAckBlocked = 6;

}  // namespace

int CVantrixCom::OpenRemote() {
    // An index that fits no entry (none chosen, or a list or modem that
    // changed since it was stored) is no connection.
    const CConnectDsc* dsc = m_conns.SelectedEntry();
    const int modem = m_model.Profile().com.modemIndex;
    if (!dsc || !m_tapi.Modem(modem)) return DR_NO_CONNECTION;
    if (m_tapi.MakeCall(dsc->Number(), modem) != 0) return DR_NO_CONNECTION;

    CTAPILine& line = m_tapi.Line();
    for (;;) {
        uint32_t state = 0;
        const int r = line.WaitCallState(state, kCallStateSliceMs);
        if (r == LINEERR_OPERATIONFAILED) {
            if (m_ser.IsCancelPending()) return DR_CANCEL;
            continue;
        }
        if (r != 0) return DR_NO_CONNECTION;
        if (state == LINECALLSTATE_CONNECTED) break;
        if (state == LINECALLSTATE_DISCONNECTED) return DR_NO_CONNECTION;
    }
    Step();
    int fd = -1;
    // A connected call without a data channel is no connection either.
    if (line.GetCommHandle(fd) != 0) return DR_NO_CONNECTION;
    m_ser.Attach(fd);
    return 0;
}

int CVantrixCom::Authorise() {
    CConnectDsc* dsc = m_conns.SelectedEntry();
    if (!dsc) return DR_NO_CONNECTION;
    // Pre-filled like every reply: a reply too short to reach the acknowledge
    // byte leaves 0xFF there and is no acceptance.
    uint8_t reply[kReplyAck];
    FillHeader(reply);
    for (;;) {
        // The PIN as the entry holds it now: the user may just have changed it.
        uint8_t req[kPinRequestLen];
        FillHeader(req);
        req[kCmdByte] = CMD_PIN;
        bytes::SetField(reinterpret_cast<char*>(req + kHeaderLen), kPinField, dsc->Pin());
        const int r = Txn(req, sizeof req, reply, sizeof reply, TimingFor(CMD_PIN));
        if (r != DR_ACK) return r;
        // Every refusal is judged the same way, also that of a corrected PIN:
        // a device that blocks after it is reported as blocked.
        const uint8_t ack = reply[kAckByte];
        if (ack == kAckBlocked) return DR_BLOCKED;
        if (ack != kAckPinWrong && ack != kAckPinMissing) return r;
        if (m_msgs.Send(CM_PIN_REFUSED, reinterpret_cast<intptr_t>(dsc)) != 1) return DR_SILENT;
    }
}

void CVantrixCom::DropRemote() { m_tapi.Line().Drop(); }
