// The Hayes data-modem driver behind the telephony line: a call's commands
// and result codes, its hang-up, and the session, line and manager on top.
// The platform gives the modems and their ports (remote/ModemPort.h).
#include "remote/TAPI.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>

#include "app/Bytes.h"
#include "app/LocalTime.h"
#include "app/TextCodec.h"
#include "remote/ModemPort.h"

namespace {

// The highest version our telephony service offers.
constexpr uint32_t kServiceVersion = TAPI_VERSION_2_0;
// Result lines are short; anything longer is noise and is cut.
constexpr size_t kMaxLine = 128;
constexpr size_t kMaxInfoLines = 32;
// How long the modem may take to answer AT.
constexpr int64_t kInitMs = 3000;
// A dial that a key press aborts ends with a result code within this time.
constexpr int64_t kAbortMs = 3000;
// After DTR went low, a modem that follows DTR reports the hang-up within this time.
constexpr int64_t kDtrDropMs = 1500;
// ATH -> OK.
constexpr int64_t kHangupMs = 3000;
// Silence kept beyond the guard time around the escape sequence, so that the
// modem's timer surely sees a full guard time.
constexpr int64_t kGuardMarginMs = 100;
// The LF of a result code follows its CR within this time.
constexpr int kLineFeedMs = 20;
// Several modems with a call take turns at their bytes in slices this long.
constexpr int kTurnMs = 10;

// Collects the bytes of a modem into lines ended by CR or LF.
class LineSplitter {
public:
    // True when `b` ended a non-empty line, which is then in Line().
    bool Feed(uint8_t b) {
        if (b == '\r' || b == '\n') {
            if (m_line.empty()) return false;
            m_done = std::move(m_line);
            m_line.clear();
            return true;
        }
        if (m_line.size() < kMaxLine) m_line += char(b);
        return false;
    }
    const std::string& Line() const { return m_done; }
    void Reset() { m_line.clear(); }

private:
    std::string m_line, m_done;
};

// The modems of the directories, by name; a name found in several
// directories counts once, from the first of them.
std::vector<ModemEntry> ListModems(const std::vector<std::string>& dirs) {
    std::vector<ModemEntry> found;
    for (const std::string& dir : dirs) {
        if (dir.empty()) continue;
        std::vector<ModemEntry> some = ModemsIn(dir);
        found.insert(found.end(), std::make_move_iterator(some.begin()), std::make_move_iterator(some.end()));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const ModemEntry& a, const ModemEntry& b) { return a.name < b.name; });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const ModemEntry& a, const ModemEntry& b) { return a.name == b.name; }),
                found.end());
    return found;
}

using Queue = std::deque<TapiMessage>;

}  // namespace

// ---------------------------------------------------------------- the Hayes call

// One call on a modem: the commands that place it, the result codes that
// tell how it went, and the hang-up. It acts only when the service is asked
// for a message: on the modem's bytes and on its own deadlines.
class CHayesCall {
public:
    CHayesCall(uint32_t handle, uint32_t line, uint32_t device, uint32_t guardMs)
        : m_handle(handle), m_line(line), m_device(device), m_guardMs(guardMs) {}
    CHayesCall(const CHayesCall&) = delete;
    CHayesCall& operator=(const CHayesCall&) = delete;

    // Opens the modem and wakes it up, selecting the result codes in words
    // that the call understands. The call is under way from here: a modem
    // that does not take it ends it as disconnected.
    int Start(const std::string& port, std::string dial) {
        if (int r = m_port.Open(port)) return r;
        if (!m_port.Write("ATV1\r")) return LINEERR_RESOURCEUNAVAIL;
        m_dial = std::move(dial);
        m_phase = Phase::Init;
        m_state = LINECALLSTATE_DIALTONE;
        m_deadline = SteadyMs() + kInitMs;
        return 0;
    }

    uint32_t Handle() const { return m_handle; }
    uint32_t LineHandle() const { return m_line; }
    uint32_t Device() const { return m_device; }
    uint32_t State() const { return m_state; }
    int64_t Deadline() const { return m_deadline; }
    // The modem's bytes are ours to read except during the data phase (they
    // belong to the data channel then) and after the end.
    bool WantsInput() const {
        return m_port.IsOpen() && m_phase != Phase::Data && m_phase != Phase::Ended && m_phase != Phase::Idle;
    }

    void OnTime(int64_t now, Queue& q) {
        if (m_deadline < 0 || now < m_deadline) return;
        m_deadline = -1;
        switch (m_phase) {
        case Phase::Init: FailCall(q); break;
        case Phase::DropDtr:
            // The modem does not follow DTR: hang up with commands.
            m_port.SetDtr(true);
            StartEscape();
            break;
        case Phase::DropGuard:
            if (!m_port.Write("+++")) return FinishDrop(q);
            m_phase = Phase::DropEscape;
            m_deadline = now + 2 * int64_t(m_guardMs) + 500;
            break;
        case Phase::DropEscape:
            // No OK to the escape: try the hang-up all the same.
            SendHangup(q);
            break;
        case Phase::DropAbort:
        case Phase::DropHangup: FinishDrop(q); break;
        default: break;
        }
    }

    // Takes the modem's bytes, waiting up to timeoutMs for the first. One
    // byte at a time: after CONNECT the rest belongs to the data channel.
    void OnInput(int timeoutMs, Queue& q) {
        uint8_t b;
        int r = m_port.ReadByte(b, timeoutMs);
        while (r == 1) {
            if (m_lines.Feed(b)) OnLine(m_lines.Line(), q);
            if (m_phase == Phase::Data && b == '\r') SkipLineFeed();
            if (!WantsInput()) return;
            r = m_port.ReadByte(b, 0);
        }
        if (r < 0) PortLost(q);
    }

    // Begins the hang-up; the reply to `request` comes when it is done.
    int32_t BeginDrop(int32_t request, Queue& q) {
        if (IsDropping()) return LINEERR_INVALCALLSTATE;
        m_dropRequest = request;
        switch (m_phase) {
        case Phase::Dialling:
            // Any character aborts a dial.
            if (!m_port.Write("\r")) {
                FinishDrop(q);
                break;
            }
            m_lines.Reset();
            m_phase = Phase::DropAbort;
            m_deadline = SteadyMs() + kAbortMs;
            break;
        case Phase::Data: {
            m_port.PurgeInput();  // what the device sent last is of no use now
            m_lines.Reset();
            if (m_port.SetDtr(false)) {
                m_phase = Phase::DropDtr;
                m_deadline = SteadyMs() + kDtrDropMs;
            } else {
                StartEscape();
            }
            break;
        }
        default:
            // Nothing up on the modem.
            FinishDrop(q);
            break;
        }
        return request;
    }

    int CommHandle(int& fd) {
        if (m_phase != Phase::Data || !m_port.IsOpen()) return LINEERR_INVALCALLSTATE;
        return m_port.DataChannel(fd);
    }

private:
    enum class Phase { Init, Dialling, Data, Ended, DropAbort, DropDtr, DropGuard, DropEscape, DropHangup, Idle };

    bool IsDropping() const {
        return m_phase == Phase::DropAbort || m_phase == Phase::DropDtr || m_phase == Phase::DropGuard ||
               m_phase == Phase::DropEscape || m_phase == Phase::DropHangup;
    }

    void SetState(uint32_t state, uint32_t detail, Queue& q) {
        m_state = state;
        q.push_back({m_handle, LINE_CALLSTATE, state, detail, 0});
    }

    void Reply(int32_t request, int32_t result, Queue& q) {
        q.push_back({m_handle, LINE_REPLY, uint32_t(request), uint32_t(result), 0});
    }

    // The modem did not take the call: it ends as disconnected.
    void FailCall(Queue& q) {
        m_phase = Phase::Ended;
        m_deadline = -1;
        SetState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL, q);
    }

    void FinishDrop(Queue& q) {
        m_phase = Phase::Idle;
        m_deadline = -1;
        Reply(m_dropRequest, 0, q);
        SetState(LINECALLSTATE_IDLE, 0, q);
    }

    void StartEscape() {
        // The escape sequence needs silence before and after it.
        m_phase = Phase::DropGuard;
        m_deadline = SteadyMs() + int64_t(m_guardMs) + kGuardMarginMs;
    }

    void SendHangup(Queue& q) {
        m_lines.Reset();
        if (!m_port.Write("ATH\r")) return FinishDrop(q);
        m_phase = Phase::DropHangup;
        m_deadline = SteadyMs() + kHangupMs;
    }

    // A result code ends with CR LF. After CONNECT the LF is the modem's
    // last byte: the device speaks only when asked, so nothing of the data
    // channel can come before it.
    void SkipLineFeed() {
        uint8_t lf;
        m_port.ReadByte(lf, kLineFeedMs);
    }

    void PortLost(Queue& q) {
        switch (m_phase) {
        case Phase::Init: FailCall(q); break;
        case Phase::Dialling:
            m_phase = Phase::Ended;
            m_deadline = -1;
            SetState(LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL, q);
            break;
        default:
            if (IsDropping()) FinishDrop(q);
            break;
        }
    }

    void OnLine(const std::string& line, Queue& q) {
        ModemResult r = ParseModemResult(line);
        // A modem that still answers in digits before ATV1 took effect.
        if (m_phase == Phase::Init && r == ModemResult::None) {
            const std::string code = UpperTrimmed(line);
            if (code == "0") r = ModemResult::Ok;
            if (code == "4") r = ModemResult::Error;
        }
        if (r == ModemResult::None) return;  // echo, information, noise
        switch (m_phase) {
        case Phase::Init:
            if (r == ModemResult::Ok) {
                m_lines.Reset();
                if (!m_port.Write("ATD" + m_dial + "\r")) return FailCall(q);
                m_phase = Phase::Dialling;
                // The modem's own wait for the carrier ends the dial.
                m_deadline = -1;
                SetState(LINECALLSTATE_DIALING, 0, q);
            } else if (r != ModemResult::Ring) {
                FailCall(q);
            }
            break;
        case Phase::Dialling: {
            const CallStateChange c = DialOutcome(r);
            if (c.state == 0 || c.state == m_state) break;
            if (c.state == LINECALLSTATE_CONNECTED) m_phase = Phase::Data;
            if (c.state == LINECALLSTATE_DISCONNECTED) m_phase = Phase::Ended;
            SetState(c.state, c.detail, q);
            break;
        }
        case Phase::DropAbort:
            if (r != ModemResult::Ring && r != ModemResult::Ringing) FinishDrop(q);
            break;
        case Phase::DropDtr:
        case Phase::DropHangup:
            if (r == ModemResult::Ok || r == ModemResult::NoCarrier || r == ModemResult::Error) FinishDrop(q);
            break;
        case Phase::DropEscape:
            if (r == ModemResult::Ok)
                SendHangup(q);
            else if (r == ModemResult::NoCarrier)
                FinishDrop(q);  // the far end was quicker
            break;
        default: break;
        }
    }

    const uint32_t m_handle;
    const uint32_t m_line;
    const uint32_t m_device;
    const uint32_t m_guardMs;
    CModemPort m_port;
    std::string m_dial;
    int32_t m_dropRequest = 0;
    Phase m_phase = Phase::Idle;
    uint32_t m_state = LINECALLSTATE_IDLE;
    int64_t m_deadline = -1;
    LineSplitter m_lines;
};

// ---------------------------------------------------------------- the service

class CModemService {
public:
    CModemService(std::vector<ModemEntry> devices, uint32_t guardMs)
        : m_devices(std::move(devices)), m_guardMs(guardMs) {}

    uint32_t DeviceCount() const { return uint32_t(m_devices.size()); }
    const ModemEntry* Device(uint32_t d) const { return d < m_devices.size() ? &m_devices[d] : nullptr; }

    int Negotiate(uint32_t d, uint32_t low, uint32_t high, uint32_t& version) const {
        if (!Device(d)) return LINEERR_BADDEVICEID;
        uint32_t v = std::min(high, kServiceVersion);
        if (v < low) return LINEERR_INCOMPATIBLEAPIVERSION;
        version = v;
        return 0;
    }

    int GetDevCaps(uint32_t d, uint32_t version, TapiDevCaps& caps) const {
        const ModemEntry* dev = Device(d);
        if (!dev) return LINEERR_BADDEVICEID;
        if (version < TAPI_VERSION_1_4 || version > kServiceVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
        caps.lineName = dev->name;
        caps.bearerModes = LINEBEARERMODE_VOICE;
        caps.mediaModes = LINEMEDIAMODE_DATAMODEM;
        caps.lineFeatures = LINEFEATURE_MAKECALL;
        return 0;
    }

    int Open(uint32_t d, uint32_t version, uint32_t mediaModes, uint32_t& hLine) {
        if (!Device(d)) return LINEERR_BADDEVICEID;
        if (version < TAPI_VERSION_1_4 || version > kServiceVersion) return LINEERR_INCOMPATIBLEAPIVERSION;
        if (!(mediaModes & LINEMEDIAMODE_DATAMODEM)) return LINEERR_INVALMEDIAMODE;
        hLine = NewHandle();
        m_lines[hLine] = d;
        return 0;
    }

    int Close(uint32_t hLine) {
        if (!m_lines.erase(hLine)) return LINEERR_INVALLINEHANDLE;
        // A line goes with its calls.
        std::vector<uint32_t> calls;
        for (const auto& [h, c] : m_calls)
            if (c->LineHandle() == hLine) calls.push_back(h);
        for (uint32_t h : calls) Deallocate(h);
        return 0;
    }

    int GetAddressStatus(uint32_t hLine, uint32_t addressId, uint32_t& features) const {
        auto it = m_lines.find(hLine);
        if (it == m_lines.end()) return LINEERR_INVALLINEHANDLE;
        if (addressId != 0) return LINEERR_INVALADDRESSID;
        // One call at a time on a modem.
        features = InUse(it->second) ? 0 : LINEADDRFEATURE_MAKECALL;
        return 0;
    }

    // A positive request id (the reply follows as LINE_REPLY) or an error.
    int32_t MakeCall(uint32_t hLine, uint32_t& hCall, const std::string& number, const TapiCallParams& p) {
        auto it = m_lines.find(hLine);
        if (it == m_lines.end()) return LINEERR_INVALLINEHANDLE;
        if (!(p.mediaMode & LINEMEDIAMODE_DATAMODEM)) return LINEERR_INVALMEDIAMODE;
        if (p.addressMode == LINEADDRESSMODE_ADDRESSID && p.addressId != 0) return LINEERR_INVALADDRESSID;
        std::string dial;
        if (!MakeDialString(number, dial)) return LINEERR_INVALADDRESS;
        const uint32_t d = it->second;
        if (InUse(d)) return LINEERR_CALLUNAVAIL;
        const uint32_t handle = NewHandle();
        auto call = std::make_unique<CHayesCall>(handle, hLine, d, m_guardMs);
        if (int r = call->Start(m_devices[d].port, std::move(dial))) return r;
        // Answered as soon as the call is under way; how it goes the call
        // states tell.
        const int32_t request = NewRequest();
        m_queue.push_back({handle, LINE_REPLY, uint32_t(request), 0, 0});
        m_calls[handle] = std::move(call);
        SetBusy(d, true);
        hCall = handle;
        return request;
    }

    int GetMessage(TapiMessage& msg, uint32_t timeoutMs) {
        const int64_t deadline = SteadyMs() + int64_t(timeoutMs);
        std::vector<CHayesCall*> readers;
        for (;;) {
            if (!m_queue.empty()) {
                msg = m_queue.front();
                m_queue.pop_front();
                return 0;
            }
            int64_t now = SteadyMs();
            for (auto& [h, c] : m_calls) c->OnTime(now, m_queue);
            if (!m_queue.empty()) continue;
            if (now >= deadline) return LINEERR_OPERATIONFAILED;
            int64_t wait = deadline - now;
            readers.clear();
            for (auto& [h, c] : m_calls) {
                if (c->Deadline() >= 0) wait = std::min(wait, std::max<int64_t>(0, c->Deadline() - now));
                if (c->WantsInput()) readers.push_back(c.get());
            }
            wait = std::min<int64_t>(wait, INT32_MAX);
            if (readers.empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(wait));
                continue;
            }
            // One modem is waited for the whole time; several take turns.
            const int slice = readers.size() == 1 ? int(wait) : int(std::min<int64_t>(wait, kTurnMs));
            for (CHayesCall* c : readers) c->OnInput(slice, m_queue);
        }
    }

    int GetCallStatus(uint32_t hCall, uint32_t& state) const {
        auto it = m_calls.find(hCall);
        if (it == m_calls.end()) return LINEERR_INVALCALLHANDLE;
        state = it->second->State();
        return 0;
    }

    int32_t Drop(uint32_t hCall) {
        auto it = m_calls.find(hCall);
        if (it == m_calls.end()) return LINEERR_INVALCALLHANDLE;
        return it->second->BeginDrop(NewRequest(), m_queue);
    }

    int Deallocate(uint32_t hCall) {
        auto it = m_calls.find(hCall);
        if (it == m_calls.end()) return LINEERR_INVALCALLHANDLE;
        SetBusy(it->second->Device(), false);
        m_calls.erase(it);
        // Nothing of a released call is handed out any more.
        std::erase_if(m_queue, [hCall](const TapiMessage& m) { return m.hDevice == hCall; });
        return 0;
    }

    int GetCommFd(uint32_t hCall, int& fd) {
        auto it = m_calls.find(hCall);
        if (it == m_calls.end()) return LINEERR_INVALCALLHANDLE;
        return it->second->CommHandle(fd);
    }

    // Also asked from the user-interface thread (the properties dialog).
    bool InUse(uint32_t d) const {
        std::lock_guard lock(m_busyMutex);
        return m_busy.count(d) != 0;
    }

private:
    uint32_t NewHandle() {
        if (m_nextHandle == 0) m_nextHandle = 1;  // 0 means "none"
        return m_nextHandle++;
    }
    int32_t NewRequest() {
        if (m_nextRequest <= 0) m_nextRequest = 1;
        return m_nextRequest++;
    }
    void SetBusy(uint32_t d, bool busy) {
        std::lock_guard lock(m_busyMutex);
        if (busy)
            m_busy.insert(d);
        else
            m_busy.erase(d);
    }

    const std::vector<ModemEntry> m_devices;
    const uint32_t m_guardMs;
    std::map<uint32_t, uint32_t> m_lines;  // line handle -> device
    std::map<uint32_t, std::unique_ptr<CHayesCall>> m_calls;
    Queue m_queue;
    uint32_t m_nextHandle = 1;
    int32_t m_nextRequest = 1;
    mutable std::mutex m_busyMutex;
    std::set<uint32_t> m_busy;  // devices with a call
};

// ---------------------------------------------------------------- CTAPI

CTAPI::CTAPI() = default;

CTAPI::~CTAPI() { Shutdown(); }

int CTAPI::Init(uint32_t version, const std::vector<std::string>& modemDirs, uint32_t guardMs) {
    Shutdown();
    if (version < TAPI_VERSION_1_4) return LINEERR_INCOMPATIBLEAPIVERSION;
    try {
        m_lineApp = std::make_unique<CModemService>(ListModems(modemDirs), guardMs);
        m_apiVersion = kServiceVersion;
        m_devCount = m_lineApp->DeviceCount();
        m_devVersions.assign(m_devCount, 0);
    } catch (const std::bad_alloc&) {
        Shutdown();
        return LINEERR_NOMEM;
    }
    for (uint32_t d = 0; d < m_devCount; ++d) {
        uint32_t v = 0;
        if (m_lineApp->Negotiate(d, TAPI_VERSION_1_4, m_apiVersion, v) == 0) m_devVersions[d] = v;
    }
    m_initialised = true;
    return 0;
}

void CTAPI::Shutdown() {
    m_lineApp.reset();
    m_devVersions.clear();
    m_apiVersion = 0;
    m_devCount = 0;
    m_initialised = false;
}

uint32_t CTAPI::DeviceVersion(uint32_t device) const {
    return device < m_devVersions.size() ? m_devVersions[device] : 0;
}

int CTAPI::WaitReply(int32_t requestId, uint32_t timeoutMs) {
    if (!m_lineApp) return LINEERR_UNINITIALIZED;
    for (;;) {
        TapiMessage m;
        if (int r = m_lineApp->GetMessage(m, timeoutMs)) return r;
        if (m.messageId == LINE_REPLY && int32_t(m.param1) == requestId) return int32_t(m.param2);
    }
}

// ---------------------------------------------------------------- CTAPILine

int CTAPILine::Open(uint32_t device, uint32_t privileges, uint32_t mediaModes) {
    Close();
    (void)privileges;  // outgoing calls only: no call is ever offered to us
    CTAPI& session = m_mng.Session();
    CModemService* svc = session.Service();
    if (!svc) return LINEERR_UNINITIALIZED;
    uint32_t version = device < session.DeviceCount() ? session.DeviceVersion(device) : 0xFFFFFFFF;
    return svc->Open(device, version, mediaModes, m_hLine);
}

int CTAPILine::MakeCall(const std::string& number, const TapiCallParams& params) {
    CTAPI& session = m_mng.Session();
    CModemService* svc = session.Service();
    if (!svc) return LINEERR_UNINITIALIZED;
    if (m_hCall) Drop();
    const int32_t request = svc->MakeCall(m_hLine, m_hCall, number, params);
    // A request that failed at once has no reply to wait for.
    if (request < 0) return request;
    return session.WaitReply(request, 1000);
}

int CTAPILine::WaitCallState(uint32_t& state, uint32_t timeoutMs) {
    uint32_t detail = 0;
    return WaitCallState(state, detail, timeoutMs);
}

int CTAPILine::WaitCallState(uint32_t& state, uint32_t& detail, uint32_t timeoutMs) {
    if (!m_hCall) return LINEERR_INVALCALLHANDLE;
    CModemService* svc = m_mng.Session().Service();
    if (!svc) return LINEERR_UNINITIALIZED;
    for (;;) {
        TapiMessage m;
        if (int r = svc->GetMessage(m, timeoutMs)) return r;
        if (m.messageId != LINE_CALLSTATE || m.hDevice != m_hCall) continue;
        state = m.param1;
        detail = m.param2;
        return 0;
    }
}

int CTAPILine::GetCommHandle(int& fd) {
    CModemService* svc = m_mng.Session().Service();
    if (!svc) return LINEERR_UNINITIALIZED;
    return svc->GetCommFd(m_hCall, fd);
}

void CTAPILine::Drop() {
    if (!m_hCall) return;
    CTAPI& session = m_mng.Session();
    if (CModemService* svc = session.Service()) {
        uint32_t state = LINECALLSTATE_IDLE;
        if (svc->GetCallStatus(m_hCall, state) == 0 && state != LINECALLSTATE_IDLE) {
            const int32_t request = svc->Drop(m_hCall);
            if (request > 0) session.WaitReply(request, 20000);
        }
        svc->Deallocate(m_hCall);
    }
    m_hCall = 0;
}

void CTAPILine::Close() {
    Drop();
    if (m_hLine) {
        if (CModemService* svc = m_mng.Session().Service()) svc->Close(m_hLine);
    }
    m_hLine = 0;
}

// ---------------------------------------------------------------- CTAPIMng

CTAPIMng::CTAPIMng(std::string progDir) : m_progDir(std::move(progDir)), m_systemDir(SystemModemDir()) {}

CTAPIMng::~CTAPIMng() {
    m_modems.clear();
    m_line.Close();
    m_session.Shutdown();
}

std::vector<std::string> CTAPIMng::ModemDirs() const {
    std::vector<std::string> dirs;
    if (!m_systemDir.empty()) dirs.push_back(m_systemDir);
    if (!m_progDir.empty()) dirs.push_back(m_progDir + "/Data/Modems");
    for (const auto& d : m_extraDirs)
        if (!d.empty()) dirs.push_back(d);
    return dirs;
}

int CTAPIMng::Init() {
    m_line.Close();
    m_modems.clear();
    if (int r = m_session.Init(TAPI_VERSION_2_0, ModemDirs(), m_guardMs)) return r;
    if ((m_session.ApiVersion() >> 16) < 2) return 0;
    CModemService* svc = m_session.Service();
    try {
        for (uint32_t d = 0; d < m_session.DeviceCount(); ++d) {
            TapiDevCaps caps;
            if (svc->GetDevCaps(d, m_session.DeviceVersion(d), caps) != 0) continue;
            if (!(caps.bearerModes & LINEBEARERMODE_VOICE) || !(caps.mediaModes & LINEMEDIAMODE_DATAMODEM) ||
                !(caps.lineFeatures & LINEFEATURE_MAKECALL))
                continue;
            auto m = std::make_unique<CModemInf>();
            // File names are UTF-8; record texts are Windows-1250.
            bytes::SetField(m->name, cp1250::FromUtf8(caps.lineName));
            m->deviceId = d;
            m_modems.push_back(std::move(m));
        }
    } catch (const std::bad_alloc&) {
        m_modems.clear();
        return LINEERR_NOMEM;
    }
    return 0;
}

const CModemInf* CTAPIMng::Modem(int index) const {
    if (index < 0 || index >= ModemCount()) return nullptr;
    return m_modems[size_t(index)].get();
}

int CTAPIMng::MakeCall(const std::string& number, int modemIndex) {
    const CModemInf* modem = Modem(modemIndex);
    if (!modem) return LINEERR_BADDEVICEID;
    if (int r = m_line.Open(modem->deviceId, LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM)) return r;
    uint32_t features = 0;
    if (int r = m_session.Service()->GetAddressStatus(m_line.LineHandle(), 0, features)) return r;
    if (!(features & LINEADDRFEATURE_MAKECALL)) return LINEERR_CALLUNAVAIL;
    TapiCallParams p;
    p.bearerMode = LINEBEARERMODE_VOICE;
    p.mediaMode = LINEMEDIAMODE_DATAMODEM;
    p.callParamFlags = LINECALLPARAMFLAGS_IDLE;
    p.addressMode = LINEADDRESSMODE_ADDRESSID;
    p.addressId = 0;
    return m_line.MakeCall(number, p);
}

int CTAPIMng::GetModemProps(int index, ModemProps& out) const {
    const CModemInf* modem = Modem(index);
    const CModemService* svc = m_session.Service();
    const ModemEntry* dev = modem && svc ? svc->Device(modem->deviceId) : nullptr;
    if (!dev) return LINEERR_BADDEVICEID;
    out = ModemProps{};
    out.name = bytes::FieldStr(modem->name);
    out.path = dev->path;
    ResolveModem(*dev, out.device, out.present);
    return 0;
}

int CTAPIMng::QueryModem(int index, ModemProps& out, uint32_t timeoutMs) {
    if (int r = GetModemProps(index, out)) return r;
    if (m_session.Service()->InUse(Modem(index)->deviceId)) return LINEERR_INUSE;
    const ModemEntry* dev = m_session.Service()->Device(Modem(index)->deviceId);
    CModemPort port;
    if (int r = port.Open(dev->port)) return r;
    int result = LINEERR_OPERATIONFAILED;
    if (port.Write("ATI\r")) {
        LineSplitter lines;
        const int64_t deadline = SteadyMs() + int64_t(timeoutMs);
        for (;;) {
            uint8_t b;
            const int64_t left = deadline - SteadyMs();
            if (left <= 0 || port.ReadByte(b, int(std::min<int64_t>(left, INT32_MAX))) != 1) break;
            if (!lines.Feed(b)) continue;
            const std::string& line = lines.Line();
            ModemResult r = ParseModemResult(line);
            if (r == ModemResult::Ok || r == ModemResult::Error) {
                if (r == ModemResult::Ok) result = 0;
                break;
            }
            if (UpperTrimmed(line) != "ATI" && out.info.size() < kMaxInfoLines) {
                // Modem text for a dialog: printable characters only.
                std::string text;
                for (char c : line)
                    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) text += c;
                out.info.push_back(std::move(text));
            }
        }
    }
    port.Close();
    if (result != 0) out.info.clear();
    return result;
}
