// The telephony line for remote access: a session with the telephony service,
// one line with its call, and the manager that the engine owns with the list
// of modems that can place data calls.
//
// The service is our own Hayes data-modem driver. Its devices are the
// system's serial devices and the entries of <program dir>/Data/Modems
// (remote/ModemPort.h says what they are on each platform). A call opens the
// modem's port, sends AT and ATD<number> and turns the modem's result codes
// into call-state messages; the call's data channel is a descriptor of that
// port. Nothing runs
// in the background: the service does its work while a caller waits for a
// message, so every wait is bounded by the caller's time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------- constants

inline constexpr uint32_t TAPI_VERSION_1_4 = 0x00010004;
inline constexpr uint32_t TAPI_VERSION_2_0 = 0x00020000;

// Error codes (negative as int32_t).
inline constexpr int32_t LINEERR_BADDEVICEID = int32_t(0x80000002);
inline constexpr int32_t LINEERR_CALLUNAVAIL = int32_t(0x80000005);
inline constexpr int32_t LINEERR_INCOMPATIBLEAPIVERSION = int32_t(0x8000000C);
inline constexpr int32_t LINEERR_INUSE = int32_t(0x8000000F);
inline constexpr int32_t LINEERR_INVALADDRESS = int32_t(0x80000010);
inline constexpr int32_t LINEERR_INVALADDRESSID = int32_t(0x80000011);
inline constexpr int32_t LINEERR_INVALCALLHANDLE = int32_t(0x80000018);
inline constexpr int32_t LINEERR_INVALCALLPARAMS = int32_t(0x80000019);
inline constexpr int32_t LINEERR_INVALCALLSTATE = int32_t(0x8000001C);
inline constexpr int32_t LINEERR_INVALLINEHANDLE = int32_t(0x8000002B);
inline constexpr int32_t LINEERR_INVALMEDIAMODE = int32_t(0x8000002F);
inline constexpr int32_t LINEERR_NODEVICE = int32_t(0x80000042);
inline constexpr int32_t LINEERR_NOMEM = int32_t(0x80000044);
// Also what a message wait reports when nothing arrived within its time-out.
inline constexpr int32_t LINEERR_OPERATIONFAILED = int32_t(0x80000048);
inline constexpr int32_t LINEERR_RESOURCEUNAVAIL = int32_t(0x8000004B);
inline constexpr int32_t LINEERR_STRUCTURETOOSMALL = int32_t(0x8000004D);
inline constexpr int32_t LINEERR_UNINITIALIZED = int32_t(0x80000050);

// Messages.
inline constexpr uint32_t LINE_CALLSTATE = 2;
inline constexpr uint32_t LINE_REPLY = 12;

// Call states.
inline constexpr uint32_t LINECALLSTATE_IDLE = 0x00000001;
inline constexpr uint32_t LINECALLSTATE_DIALTONE = 0x00000008;
inline constexpr uint32_t LINECALLSTATE_DIALING = 0x00000010;
inline constexpr uint32_t LINECALLSTATE_RINGBACK = 0x00000020;
inline constexpr uint32_t LINECALLSTATE_CONNECTED = 0x00000100;
inline constexpr uint32_t LINECALLSTATE_DISCONNECTED = 0x00004000;

// Why a call was disconnected (second parameter of LINE_CALLSTATE disconnected).
inline constexpr uint32_t LINEDISCONNECTMODE_NORMAL = 0x00000001;
inline constexpr uint32_t LINEDISCONNECTMODE_BUSY = 0x00000020;
inline constexpr uint32_t LINEDISCONNECTMODE_NOANSWER = 0x00000040;
inline constexpr uint32_t LINEDISCONNECTMODE_UNREACHABLE = 0x00000100;
inline constexpr uint32_t LINEDISCONNECTMODE_UNAVAIL = 0x00000800;
inline constexpr uint32_t LINEDISCONNECTMODE_NODIALTONE = 0x00001000;

// Capabilities, privileges and call parameters.
inline constexpr uint32_t LINEBEARERMODE_VOICE = 0x00000001;
inline constexpr uint32_t LINEMEDIAMODE_DATAMODEM = 0x00000010;
inline constexpr uint32_t LINEFEATURE_MAKECALL = 0x00000008;
inline constexpr uint32_t LINEADDRFEATURE_MAKECALL = 0x00000002;
inline constexpr uint32_t LINECALLPRIVILEGE_NONE = 0x00000001;
inline constexpr uint32_t LINECALLPARAMFLAGS_IDLE = 0x00000010;
inline constexpr uint32_t LINEADDRESSMODE_ADDRESSID = 0x00000001;

// One message of the service: the handle it concerns (call or line), its kind
// and up to three parameters. LINE_REPLY: request id, result. LINE_CALLSTATE:
// new state, detail (the disconnect mode for a disconnected call).
struct TapiMessage {
    uint32_t hDevice = 0;
    uint32_t messageId = 0;
    uint32_t param1 = 0, param2 = 0, param3 = 0;
};

// What a line device can do.
struct TapiDevCaps {
    std::string lineName;
    uint32_t bearerModes = 0;
    uint32_t mediaModes = 0;
    uint32_t lineFeatures = 0;
};

// The parameters of an outgoing call.
struct TapiCallParams {
    uint32_t bearerMode = 0;
    uint32_t mediaMode = 0;
    uint32_t callParamFlags = 0;
    uint32_t addressMode = 0;
    uint32_t addressId = 0;
};

// ---------------------------------------------------------------- Hayes result codes

enum class ModemResult {
    None,  // not a result code: echo, information text, noise
    Ok,
    Connect,
    Ring,
    Ringing,
    NoCarrier,
    Error,
    NoDialtone,
    Busy,
    NoAnswer,
};

// A line that the modem sent (without its CR/LF) as a result code.
// Case-insensitive, surrounding blanks ignored; "CONNECT" may carry a speed
// and protocol ("CONNECT 9600/V42").
ModemResult ParseModemResult(std::string_view line);

// A modem line upper-cased, without the blanks around it.
std::string UpperTrimmed(std::string_view s);

// The call state a result code gives a call that is being dialled; state 0
// when it changes nothing. Failures give LINECALLSTATE_DISCONNECTED with the
// disconnect mode as detail.
struct CallStateChange {
    uint32_t state = 0;
    uint32_t detail = 0;
};
CallStateChange DialOutcome(ModemResult r);

// The dial string for a telephone number: digits, + * # , and the dial
// modifiers W P T ! @ and A-D; blanks, '-', '.', '/' and parentheses are
// dropped. False for an empty number or any other character (a CR or a ';'
// would smuggle further commands to the modem).
bool MakeDialString(std::string_view number, std::string& out);
// The position of the first character that MakeDialString refuses, or npos.
size_t BadDialChar(std::string_view number);

// ---------------------------------------------------------------- session, line, manager

class CModemService;  // the telephony service (TAPI_posix.cpp)

class CTAPIMng;

class CTAPI {
public:
    CTAPI();
    ~CTAPI();
    CTAPI(const CTAPI&) = delete;
    CTAPI& operator=(const CTAPI&) = delete;

    // Opens a session over the modems in `modemDirs`, asking for at most
    // `version`. 0 or an error; an empty modem list is no error.
    int Init(uint32_t version, const std::vector<std::string>& modemDirs, uint32_t guardMs = 1000);
    void Shutdown();
    // Waits for the LINE_REPLY of `requestId` and returns its result; other
    // messages are discarded. The time-out applies to each message wait;
    // LINEERR_OPERATIONFAILED when nothing arrived within it.
    int WaitReply(int32_t requestId, uint32_t timeoutMs);

    bool IsInitialised() const { return m_initialised; }
    uint32_t ApiVersion() const { return m_apiVersion; }
    uint32_t DeviceCount() const { return m_devCount; }
    // The version negotiated for a device; 0 when negotiation failed.
    uint32_t DeviceVersion(uint32_t device) const;
    // The line application handle; nullptr without a session.
    CModemService* Service() const { return m_lineApp.get(); }

private:
    uint32_t m_apiVersion = 0;
    uint32_t m_devCount = 0;
    std::vector<uint32_t> m_devVersions;
    bool m_initialised = false;
    std::unique_ptr<CModemService> m_lineApp;
};

class CTAPILine {
public:
    explicit CTAPILine(CTAPIMng& mng) : m_mng(mng) {}
    ~CTAPILine() { Close(); }
    CTAPILine(const CTAPILine&) = delete;
    CTAPILine& operator=(const CTAPILine&) = delete;

    // Closes what was open (dropping a call), then opens the line of `device`.
    int Open(uint32_t device, uint32_t privileges, uint32_t mediaModes);
    // Places a call and waits up to 1000 ms for the service's reply to the
    // request. The call handle is kept also when the reply is a failure, so
    // that Drop releases the call.
    int MakeCall(const std::string& number, const TapiCallParams& params);
    // 0 and the next state of the call; LINEERR_OPERATIONFAILED when no state
    // arrived within the time-out; LINEERR_INVALCALLHANDLE without a call.
    int WaitCallState(uint32_t& state, uint32_t timeoutMs);
    // The same with the state's detail (the disconnect mode).
    int WaitCallState(uint32_t& state, uint32_t& detail, uint32_t timeoutMs);
    // A descriptor of the call's data channel, for the caller to close.
    int GetCommHandle(int& fd);
    // Hangs the call up (when it is not idle) and releases it.
    void Drop();
    void Close();

    uint32_t LineHandle() const { return m_hLine; }
    uint32_t CallHandle() const { return m_hCall; }

private:
    CTAPIMng& m_mng;
    uint32_t m_hLine = 0;
    uint32_t m_hCall = 0;
};

// One modem of the list.
struct CModemInf {
    char name[32] = {};     // the line name (Windows-1250), at most 31 characters
    uint32_t deviceId = 0;  // the line device number
};

// What the properties dialog of a modem shows.
struct ModemProps {
    std::string name;               // as listed (Windows-1250)
    std::string path;               // what is opened: the link or device entry
    std::string device;             // where it leads; empty when that cannot be told
    bool present = false;           // the device exists
    std::vector<std::string> info;  // the modem's answer to ATI, line by line (Windows-1250)
};

class CTAPIMng {
public:
    explicit CTAPIMng(std::string progDir = {});
    ~CTAPIMng();
    CTAPIMng(const CTAPIMng&) = delete;
    CTAPIMng& operator=(const CTAPIMng&) = delete;

    // Before Init: the program directory (its Data/Modems names modems), the
    // system's directory of serial devices (SystemModemDir(); empty: none),
    // further directories of modems, and the escape guard time
    // the modems keep (1000 ms).
    void SetProgramDir(std::string dir) { m_progDir = std::move(dir); }
    void SetSystemDir(std::string dir) { m_systemDir = std::move(dir); }
    void AddModemDir(std::string dir) { m_extraDirs.push_back(std::move(dir)); }
    void SetGuardTime(uint32_t ms) { m_guardMs = ms; }
    // The directories searched, in order of precedence.
    std::vector<std::string> ModemDirs() const;

    // Opens the session and builds the modem list (sorted by name). 0, or an
    // error that stops the program; no modem at all is no error.
    int Init();
    int ModemCount() const { return int(m_modems.size()); }
    // nullptr outside the list.
    const CModemInf* Modem(int index) const;
    // Opens the modem's line and places a call to `number`: 0 when the call
    // is under way, else an error.
    int MakeCall(const std::string& number, int modemIndex);
    CTAPILine& Line() { return m_line; }
    CTAPI& Session() { return m_session; }

    // Name, path and device of a modem, without touching it.
    int GetModemProps(int index, ModemProps& out) const;
    // The same and the modem's answer to ATI. LINEERR_INUSE while a call of
    // ours uses the modem, LINEERR_NODEVICE when it cannot be opened,
    // LINEERR_OPERATIONFAILED when it does not answer OK in time.
    int QueryModem(int index, ModemProps& out, uint32_t timeoutMs = 2000);

private:
    std::string m_progDir;
    std::string m_systemDir;
    std::vector<std::string> m_extraDirs;
    uint32_t m_guardMs = 1000;
    std::vector<std::unique_ptr<CModemInf>> m_modems;
    CTAPI m_session;
    CTAPILine m_line{*this};
};
