// The communication engine: one worker thread performs every exchange with
// the device, so that the user interface never waits on the line. Requests
// come in sequences of at most three; progress and errors go to the progress
// dialog, results to the main window, all through IAppUI.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "comm/AtChannel.h"
#include "comm/ComMsg.h"
#include "comm/ComRequest.h"
#include "comm/Event.h"
#include "comm/Link.h"
#include "comm/SerCom.h"
#include "remote/ConnectDsc.h"
#include "remote/TAPI.h"

class CVantrix;
class IAppUI;
class CVantrixCfg;
struct SysTime;

// Speeds tried by the local speed search, by index.
inline constexpr uint32_t kSpeedTable[10] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr int kSpeedIndex57600 = 8;

// Result codes of the device operations (text id = result + 199).
enum DevResult : int {
    DR_OK = 0,
    DR_IO = 1,
    DR_PORT = 2,
    DR_TIMEOUT = 3,
    DR_CANCEL = 4,
    DR_CHECKSUM = 5,
    DR_ACK = 6,
    DR_UNSUPPORTED = 7,
    DR_WRONG_REPLY = 8,
    DR_NO_CONNECTION = 9,
    DR_BLOCKED = 10,
    DR_PIN = 11,
    DR_SMS_NOT_SENT = 12,
    DR_AT_ERROR = 13,
    DR_AT_UNDEFINED = 14,
    DR_SILENT = 100,  // the user declined to give a new PIN
};

// Inside the SMS reading loop: the device has no SMS left.
inline constexpr int kNoMoreSms = 99;

class CVantrixCom : public IRequestQueue {
public:
    CVantrixCom(CVantrix& model, IAppUI& ui);
    ~CVantrixCom() override;
    CVantrixCom(const CVantrixCom&) = delete;
    CVantrixCom& operator=(const CVantrixCom&) = delete;

    // 1; 128 worker or transport events; 129 telephony. With `useStores` the
    // connection list is loaded from and saved to Data/Connection.dat.
    int Start(bool useStores = true);
    // Ends the worker (quit request, unbounded wait). Called with no sequence queued.
    void Stop();
    // Writes Data/Connection.dat when the stores are in use; false when that failed.
    bool StoreConnections();

    // 1 queued; 130 while a sequence is still queued.
    int PostRequest(const CComRequest& req) override;

    bool IsOnline() const { return m_online.load(std::memory_order_acquire); }
    // A sequence is queued or running.
    bool IsBusy() const { return m_count.load(std::memory_order_acquire) != 0; }
    // The access mode copied from the profile at the last connect; -1 before.
    int AccessMode() const { return m_accessMode.load(std::memory_order_acquire); }
    int SpeedIndex() const { return m_speedIndex; }
    CSerCom& SerCom() { return m_ser; }
    // The modems and the remote connection list, for the dialogs; their
    // settings (program directory, extra modem directories) before Start.
    CTAPIMng& Tapi() { return m_tapi; }
    CConnectDscMng& Connections() { return m_conns; }

    // A port for this run instead of the profile's, of any length (the
    // profile holds 16 characters); empty: the profile's.
    void SetPortOverride(std::string name) { m_portOverride = std::move(name); }
    // The port a local session opens: the override, else the profile's.
    std::string LocalPort() const;

    // The pauses after an operation (1000 ms) and between SMS state polls
    // (500 ms); tests shorten them.
    void SetPauses(uint32_t settleMs, uint32_t smsPollMs) {
        m_settleMs = settleMs;
        m_smsPollMs = smsPollMs;
    }

private:
    void WorkerMain();
    void RunSequence();
    int Dispatch(const CComRequest& req);
    void IdlePoll();
    void Pause(uint32_t ms);

    // One link transaction; remembers the command code for error reports.
    int Txn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t readMs, uint32_t writeMs,
            uint32_t tries);
    int Txn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t tries = 3);
    int Txn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, const CmdTiming& t) {
        return Txn(req, len, reply, capacity, t.readMs, t.writeMs, t.tries);
    }
    // A reply that does not hold what its command defines: 8, after the line
    // was drained of whatever else is on its way.
    int WrongReply();
    // Whether reply byte 1 (`named`) fits a request of `cmd`. Nothing asks a
    // device to repeat the command there, but one that does so in its first
    // answer of a session is taken at its word for the rest of it: an answer
    // that names another command is then no answer to this request.
    bool NamesCommand(uint8_t named, uint8_t cmd);

    // Device operations.
    int OpenLink();
    int OpenLocal();
    int OpenRemote();
    int Authorise();
    void DropRemote();
    int Identify(const CComRequest& req);
    int Disconnect();
    // One configuration block: 0 when the reply holds `need` bytes and echoes
    // the request's offset and length.
    int BlockTxn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, size_t need, const CmdTiming& t);
    int ReadConfig(CVantrixCfg& doc);
    int WriteConfig(CVantrixCfg& doc);
    int ReadState();
    int SetOutputs(uint8_t mask, uint8_t levels);
    int SetTime(const SysTime& t);
    int ReadSms();
    int ReadOneSms(uint32_t tries, bool progress);
    int SendSms(const int* indices, int count);
    int ReadGprs();
    int WriteGprs();
    void EndAtDialogue();
    // The single reads, also used by the idle poll with one try.
    int ReadGsm(uint32_t tries);
    int ReadIo(uint32_t tries);
    int ReadClock(uint32_t tries);

    // Progress messages.
    void Begin(int captionId, bool cancel, int steps) { m_msgs.Post(CM_BEGIN, cancel, captionId, steps); }
    void Step() { m_msgs.Post(CM_STEP, 0, 1); }
    void SetPos(int pos) { m_msgs.Post(CM_SET_POS, 0, pos); }

    CVantrix& m_model;
    CEvent m_reqEvent{false};
    CEvent m_threadEnd{false};
    std::thread m_thread;
    CComMsgMng m_msgs;
    CComRequest m_queue[3];
    std::atomic<int> m_count{0};
    int m_current = 0;
    CSerCom m_ser;
    uint32_t m_lastCommand = 0;  // of the last request frame sent, for the error report
    size_t m_lastReplyLen = 0;   // payload length of the last reply taken
    std::string m_portOverride;
    CAtChannel m_at;
    CTAPIMng m_tapi;
    CConnectDscMng m_conns;
    std::atomic<int> m_accessMode{-1};
    int m_speedIndex = kSpeedIndex57600;
    std::atomic<bool> m_online{false};
    bool m_linkOpen = false;
    int m_pollPhase = 0;
    // Cleared when a received SMS could not be kept: the idle poll then leaves
    // the inbox alone until the next disconnect or reading.
    bool m_pollSms = true;
    // The SMS (time stamp to text) last acknowledged in this session.
    std::string m_lastAcked;
    // Whether the device of this session repeats the command in reply byte 1.
    enum class Echo { Unknown, Yes, No };
    Echo m_echo = Echo::Unknown;
    bool m_started = false;
    bool m_useStores = true;
    uint32_t m_settleMs = 1000;
    uint32_t m_smsPollMs = 500;
};
