// The telephony line on Windows: a session without modems. The Hayes driver
// of TAPI_posix.cpp works on terminal devices, so on Windows remote access is
// not offered (RemoteAccessAvailable) and every call is refused.
#include "remote/TAPI.h"

// A session here has nothing to serve; the type only completes CTAPI.
class CModemService {};

bool RemoteAccessAvailable() { return false; }

CTAPI::CTAPI() = default;

CTAPI::~CTAPI() { Shutdown(); }

int CTAPI::Init(uint32_t version, const std::vector<std::string>&, uint32_t) {
    Shutdown();
    if (version < TAPI_VERSION_1_4) return LINEERR_INCOMPATIBLEAPIVERSION;
    m_apiVersion = TAPI_VERSION_2_0;
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

uint32_t CTAPI::DeviceVersion(uint32_t) const { return 0; }

int CTAPI::WaitReply(int32_t, uint32_t) { return m_initialised ? LINEERR_OPERATIONFAILED : LINEERR_UNINITIALIZED; }

int CTAPILine::Open(uint32_t, uint32_t, uint32_t) {
    Close();
    return LINEERR_BADDEVICEID;
}

int CTAPILine::MakeCall(const std::string&, const TapiCallParams&) { return LINEERR_INVALLINEHANDLE; }

int CTAPILine::WaitCallState(uint32_t& state, uint32_t timeoutMs) {
    uint32_t detail = 0;
    return WaitCallState(state, detail, timeoutMs);
}

int CTAPILine::WaitCallState(uint32_t&, uint32_t&, uint32_t) { return LINEERR_INVALCALLHANDLE; }

int CTAPILine::GetCommHandle(int&) { return LINEERR_INVALCALLSTATE; }

void CTAPILine::Drop() { m_hCall = 0; }

void CTAPILine::Close() {
    Drop();
    m_hLine = 0;
}

CTAPIMng::CTAPIMng(std::string progDir) : m_progDir(std::move(progDir)) {}

CTAPIMng::~CTAPIMng() {
    m_line.Close();
    m_session.Shutdown();
}

std::vector<std::string> CTAPIMng::ModemDirs() const { return {}; }

int CTAPIMng::Init() {
    m_line.Close();
    m_modems.clear();
    return m_session.Init(TAPI_VERSION_2_0, ModemDirs(), m_guardMs);
}

const CModemInf* CTAPIMng::Modem(int index) const {
    if (index < 0 || index >= ModemCount()) return nullptr;
    return m_modems[size_t(index)].get();
}

int CTAPIMng::MakeCall(const std::string&, int) { return LINEERR_BADDEVICEID; }

int CTAPIMng::GetModemProps(int, ModemProps&) const { return LINEERR_BADDEVICEID; }

int CTAPIMng::QueryModem(int, ModemProps&, uint32_t) { return LINEERR_BADDEVICEID; }
