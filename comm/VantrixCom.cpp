#include "comm/VantrixCom.h"

#include <chrono>

#include "app/AppUI.h"
#include "app/ProgDir.h"
#include "app/Vantrix.h"
#include "comm/Link.h"

CVantrixCom::CVantrixCom(CVantrix& model, IAppUI& ui) : m_model(model), m_msgs(ui) { m_at.SetIO(&m_ser); }

CVantrixCom::~CVantrixCom() { Stop(); }

int CVantrixCom::Start(bool useStores) {
    if (m_started) return 1;
    m_useStores = useStores;
    if (!m_ser.Create()) return RES_START_FAILED;
    // Before the worker exists, so that a failure leaves no thread behind.
    m_tapi.SetProgramDir(m_model.ProgDir());
    if (m_tapi.Init() != 0) return RES_TELEPHONY_FAILED;
    try {
        m_thread = std::thread(&CVantrixCom::WorkerMain, this);
    } catch (...) {
        return RES_START_FAILED;
    }
    m_started = true;
    if (m_useStores) m_conns.Load(DataPath(m_model.ProgDir(), "Connection.dat"));
    return 1;
}

void CVantrixCom::Stop() {
    if (!m_started) return;
    m_started = false;
    StoreConnections();
    // The worker ends only between sequences; callers stop the engine with
    // none queued, but wait for a running one rather than lose it.
    while (PostRequest({REQ_QUIT, 0, 0}) == RES_BUSY) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    m_threadEnd.Wait();
    if (m_thread.joinable()) m_thread.join();
    m_ser.Close();
    m_ser.CloseLog();
}

bool CVantrixCom::StoreConnections() {
    if (!m_useStores) return true;
    const std::string path = DataPath(m_model.ProgDir(), "Connection.dat");
    MakeDirsFor(path);
    return m_conns.Save(path) == 1;
}

int CVantrixCom::PostRequest(const CComRequest& req) {
    if (req.kind == REQ_CANCEL) {
        m_ser.Cancel();
        return RES_QUEUED;
    }
    if (m_count.load(std::memory_order_acquire) != 0) return RES_BUSY;
    if (req.kind == REQ_QUIT || req.kind == REQ_CONNECT || IsOnline()) {
        m_queue[0] = req;
        m_current = 0;
        m_count.store(1, std::memory_order_release);
    } else {
        m_queue[0] = {REQ_CONNECT, 0, 0};
        m_queue[1] = req;
        m_queue[2] = {REQ_DISCONNECT, 0, 0};
        m_current = 0;
        m_count.store(3, std::memory_order_release);
    }
    m_reqEvent.Set();
    return RES_QUEUED;
}

void CVantrixCom::Pause(uint32_t ms) {
    if (ms) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CVantrixCom::WorkerMain() {
    for (;;) {
        if (!m_reqEvent.Wait(IsOnline() ? 1000 : kInfinite)) {
            if (IsOnline()) IdlePoll();
            continue;
        }
        if (m_count.load(std::memory_order_acquire) == 0) continue;
        if (m_queue[m_current].kind == REQ_QUIT) {
            m_count.store(0, std::memory_order_release);
            break;
        }
        RunSequence();
    }
    m_threadEnd.Set();
}

void CVantrixCom::RunSequence() {
    IAppUI& ui = m_model.UI();
    ui.Notify(AE_BATCH_START, 0);
    CComRequest req = m_queue[m_current];
    for (;;) {
        int result = Dispatch(req);
        if (result != 0) {
            if (result != DR_SILENT)
                m_msgs.Send(CM_ERROR, result, int32_t(m_lastCommand), result == DR_PORT ? m_ser.OpenFault() : PF_NONE);
            bool retryable = result != DR_PORT && result != DR_CANCEL && result != DR_BLOCKED && result != DR_SILENT;
            if (retryable && ui.MessageBox(LoadStr(IDS_QUERY_RETRY), MbButtons::YesNo, MbIcon::Question) == IDYES)
                continue;
            if (req.kind == REQ_CONNECT) {
                // Nothing stays half-open: the rest of the sequence gives way to a disconnect.
                m_queue[0] = {REQ_DISCONNECT, 0, 0};
                m_current = 0;
                m_count.store(1, std::memory_order_release);
                req = m_queue[0];
                continue;
            }
        }
        if (m_current + 1 >= m_count.load(std::memory_order_acquire)) {
            bool closeAfter = req.kind == REQ_DISCONNECT && req.p1 == 1;
            m_current = 0;
            m_count.store(0, std::memory_order_release);
            m_msgs.Post(CM_END);
            if (closeAfter) ui.PostClose();
            return;
        }
        req = m_queue[++m_current];
    }
}

int CVantrixCom::Dispatch(const CComRequest& req) {
    switch (req.kind) {
    case REQ_CANCEL: return 0;
    case REQ_CONNECT:
        if (!m_linkOpen) {
            int r = OpenLink();
            if (r != 0) return r;
        }
        return Identify(req);
    case REQ_DISCONNECT: {
        int r = Disconnect();
        m_pollPhase = 0;
        m_pollSms = true;
        m_lastAcked.clear();
        return r;
    }
    case REQ_READ_CFG: return ReadConfig(*reinterpret_cast<CVantrixCfg*>(req.p1));
    case REQ_WRITE_CFG: return WriteConfig(*reinterpret_cast<CVantrixCfg*>(req.p1));
    case REQ_READ_STATE: return ReadState();
    case REQ_SET_OUTPUTS: return SetOutputs(uint8_t(req.p1), uint8_t(req.p2));
    case REQ_SET_TIME: return SetTime(RequestedTime(req));
    case REQ_READ_SMS: return ReadSms();
    case REQ_SEND_SMS: return SendSms(reinterpret_cast<const int*>(req.p1), int(req.p2));
    case REQ_READ_GPRS: return ReadGprs();
    case REQ_WRITE_GPRS: return WriteGprs();
    default: return 0;  // no such request is posted
    }
}

void CVantrixCom::IdlePoll() {
    ReadIo(1);
    switch (m_pollPhase) {
    case 0:
        ReadGsm(1);
        m_pollPhase = 1;
        break;
    case 1:
        ReadClock(1);
        m_pollPhase = 2;
        break;
    default:
        if (AccessMode() == 1 && m_pollSms) ReadOneSms(1, false);
        m_pollPhase = 0;
        break;
    }
}

int CVantrixCom::Txn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t readMs, uint32_t writeMs,
                     uint32_t tries) {
    // Only a frame that went out names the command in an error report.
    const uint8_t cmd = req[kCmdByte];
    LinkTrace trace;
    int r = LinkTransact(m_ser, req, len, reply, capacity, readMs, writeMs, tries, &trace);
    if (trace.sent) m_lastCommand = cmd;
    m_lastReplyLen = trace.replyLen;
    if ((r == 0 || r == DR_ACK) && trace.replyLen > kCmdByte && !NamesCommand(reply[kCmdByte], cmd)) {
        // The answer of an earlier request, come late or twice: the line is
        // drained, and a request that changes nothing when repeated is asked
        // once more. What that brings is the device's own answer.
        LinkDrain(m_ser);
        if (!SafeToRepeat(cmd)) return DR_WRONG_REPLY;
        r = LinkTransact(m_ser, req, len, reply, capacity, readMs, writeMs, tries, &trace);
        m_lastReplyLen = trace.replyLen;
        if ((r == 0 || r == DR_ACK) && trace.replyLen > kCmdByte && reply[kCmdByte] != cmd) m_echo = Echo::No;
    }
    if (r == 0 && trace.replyLen < ReplyNeed(cmd)) return WrongReply();
    // After a failure, or when another copy of the request went out, an
    // answer may still be on its way; the next request must not take it.
    // "No SMS waiting" is the normal end of every SMS reading and costs nothing.
    const bool noSms = r == DR_ACK && req[1] == CMD_READ_SMS && reply[kAckByte] == kAckNoSms;
    if (trace.sent && ((r != 0 && !noSms) || trace.sends > 1)) {
        if (LinkDrain(m_ser) == DR_CANCEL && r == 0) r = DR_CANCEL;
    }
    return r;
}

bool CVantrixCom::NamesCommand(uint8_t named, uint8_t cmd) {
    if (m_echo == Echo::Unknown) m_echo = named == cmd ? Echo::Yes : Echo::No;
    return m_echo == Echo::No || named == cmd;
}

int CVantrixCom::WrongReply() {
    LinkDrain(m_ser);
    return DR_WRONG_REPLY;
}

int CVantrixCom::Txn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t tries) {
    return Txn(req, len, reply, capacity, 3000, 6000, tries);
}
