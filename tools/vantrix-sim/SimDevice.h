// The Vantrix as the PC sees it over the wire: link frames with their
// commands, the GSM module's AT dialogue while the link is open, melody
// requests, and faults for tests. Not thread-safe: CVantrixSim serialises
// every call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "comm/Frame.h"
#include "tools/vantrix-sim/SimStage.h"

// The build defines VANTRIX_SIM_MELODY when it links the melody server.
#ifdef VANTRIX_SIM_MELODY
#include "tools/vantrix-sim/MelodyServer.h"
#endif

// What becomes of the reply to one request frame, for tests that put a
// fault at every step of an operation.
enum class FrameFault {
    Drop,   // not sent
    Late,   // sent lateMs later (0: just past the PC's time-out for it); the
            // replies after it wait behind it, as a busy device's do
    Short,  // cut to the header and the acknowledge byte
    Dup,    // sent twice, the copy 30 ms after it
    Hold,   // kept back until Release(); the hold listener hears of it
};
struct FrameFaultAt {
    FrameFault kind = FrameFault::Drop;
    uint32_t lateMs = 0;
};

struct SimOptions {
    int layout = 2;          // layout id reported at 0x20 (1 and 2 have an image)
    uint32_t speed = 57600;  // line speed while no link is open
    bool pace = false;       // replies take the time the line would take
    std::string pin = "1234";
    int pinTries = 3;  // wrong PINs until access is blocked; 0: never
    uint8_t inputs = 0;
    int smsPolls = 2;        // 0x2C answers "in progress" this many times
    bool smsFail = false;    // ... and then "failed" instead of "sent"
    double dropRate = 0;     // share of reply frames not sent
    double corruptRate = 0;  // share of reply frames sent with a bad checksum
    double lateRate = 0;     // share of replies sent just past the PC's time-out (FrameFault::Late)
    double dupRate = 0;      // share of replies sent twice
    double shortRate = 0;    // share of replies cut to four bytes
    // Faults by the number of the request frame (from 1, every good request
    // frame of the run counted, the faulted ones too).
    std::map<long, FrameFaultAt> frameFaults;
    std::map<uint8_t, size_t> replyExtra;  // command -> bytes a device appends to its replies
    uint32_t replyMs = 0;                  // every request takes the device this long, one after the other
    uint32_t seed = 1;
    std::set<uint8_t> silent;             // commands that get no answer
    std::map<uint8_t, uint8_t> refuse;    // command -> acknowledge code
    std::map<uint8_t, uint32_t> delayMs;  // command -> its reply is sent this late (the answer of the moment it came)
    long stopAfter = -1;                  // answer this many frames, then nothing; -1: no limit
    bool echoAt = true;                   // the GSM module echoes AT command lines
    std::vector<uint8_t> replyHead;       // reply bytes 0 to 2 when set; else C0, the command, 01
    std::string statePath;

    // Identity (0x20, 0x23); texts UTF-8.
    uint16_t firstValue = 1;
    std::string firmware = "2.05";
    std::string hardware = "1.00";
    uint32_t serial = 4711;
    bool gprs = true;
    std::string imei = "356938035643809";
    std::string name = "Vantrix";

    // GSM status (0x24).
    std::string operatorName = "T-Mobile CZ";
    int moduleState = 1;
    int simState = 2;
    int netReg = 1;
    int signal = 20;
    int unauthorised = 0;
    float credit1 = 250.5f;
    float credit2 = 0.0f;
    uint16_t bts = 0x1A2B;

    // GPRS context and QoS of the GSM module.
    std::string apn = "internet";
};

// What the tests can look at.
struct SimStats {
    std::map<uint8_t, int> frames;                          // good request frames per command
    std::map<uint8_t, std::vector<uint8_t>> lastRequest;    // payload of the latest one per command
    long totalFrames = 0;                                   // good request frames of any kind
    std::vector<uint8_t> commands;                          // their command codes in order (the first 100000)
    int late = 0, duplicated = 0, shortened = 0, held = 0;  // faults applied
    uint64_t bytesIn = 0;                                   // bytes taken at the listening speed
    uint64_t bytesIgnored = 0;                              // bytes that came at another speed
    int badFrames = 0;                                      // checksum errors, foreign or oversized frames
    int replies = 0;                                        // reply frames sent whole
    int dropped = 0;
    int corrupted = 0;
    int melodyFrames = 0;
    std::vector<std::string> atCommands;  // AT command lines, as received
    uint32_t lastBaud = 0;                // the PC's line speed at the latest bytes
};

class CSimDevice : public ISimStage {
public:
    explicit CSimDevice(SimOptions opt);
    ~CSimDevice() override;

    void Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) override;
    void LineClosed(ISimLine&) override;
    void Idle(ISimLine& out) override;
    int64_t NextDueMs() const override;

    // The speed the device listens at: 57600 while a local link is open,
    // else the configured speed.
    uint32_t ListenSpeed() const;
    bool LinkOpen() const { return m_linkOpen; }
    // A data call is up (set by a modem front): AT text is accepted as
    // during a local link.
    void SetCallActive(bool active) { m_callActive = active; }
    bool PinAccepted() const { return m_pinAccepted; }

    // The state as saved: image, layout, SMS queues, clock, I/O, GPRS, ...
    nlohmann::json State() const;
    // Takes the keys that are present; nothing changes when one is invalid.
    bool SetState(const nlohmann::json& j, std::string* error = nullptr);

    // The next AT command line gets this text after its echo instead of the
    // module's answer.
    void SetNextAtAnswer(std::string raw) {
        m_nextAtAnswer = std::move(raw);
        m_haveNextAt = true;
    }

#ifdef VANTRIX_SIM_MELODY
    // Melody requests (80 xx 00 00) go here.
    CMelodyServer& Melody() { return m_melody; }
#endif

    // Called, on the server thread under the lock, when a reply is held
    // back (FrameFault::Hold): the frame's number and command.
    void SetHoldListener(std::function<void(long frame, uint8_t cmd)> fn) { m_onHold = std::move(fn); }
    // Sends the replies held back, at the next turn.
    void Release();
    // Request frames received so far (the numbers of FrameFault).
    long Received() const { return m_received; }

    SimOptions& Options() { return m_opt; }
    const SimOptions& Options() const { return m_opt; }
    const SimStats& Stats() const { return m_stats; }
    void ResetStats() { m_stats = SimStats{}; }

private:
    struct Sms {
        uint8_t time[6];           // day, month, year - 2000, hour, minute, second
        std::string number, text;  // Windows-1250
    };
    struct SentSms {
        std::string number, text;  // Windows-1250
        bool failed;
    };
    // Everything that is saved.
    struct Model {
        int layout = 2;
        std::vector<uint8_t> image;  // in the device layout
        uint16_t firstValue = 1;
        uint8_t fwMajor = 2, fwMinor = 5;
        uint32_t hwMajor = 1;
        uint8_t hwMinor = 0;
        uint32_t serial = 0;
        bool gprs = true;
        std::string imei, name;    // Windows-1250
        std::string operatorName;  // Windows-1250
        uint8_t moduleState = 0, simState = 0, netReg = 0, signal = 0, unauthorised = 0;
        float credit1 = 0, credit2 = 0;
        uint16_t bts = 0;
        uint8_t inputs = 0, outputs = 0;
        int64_t clockOffset = 0;  // seconds ahead of the PC clock
        std::deque<Sms> smsQueue;
        std::vector<SentSms> sent;
        std::string apn;  // Windows-1250
        uint8_t dataComp = 0, headComp = 0;
        uint8_t qos[5] = {};
        int pinWrong = 0;
        // Set by the state only: else the options' PIN and tries hold.
        std::optional<std::string> pin;  // Windows-1250
        std::optional<int> pinTries;
        bool silent = false;  // nothing is answered, neither frames nor AT lines
    };
    enum class Mode { Idle, Frame, At };

    void ResetParser();
    void Feed(uint8_t b, ISimLine& out);
    void HandleFrame(const uint8_t* p, size_t n, ISimLine& out);
    std::vector<uint8_t> Answer(const uint8_t* p, size_t n);
    void SendReply(const std::vector<uint8_t>& payload, ISimLine& out);
    // The reply to request frame `number` with the faults that fall on it.
    void Deliver(std::vector<uint8_t> reply, const uint8_t* p, size_t n, ISimLine& out);
    // How late FrameFault::Late makes the reply to this request by default.
    static uint32_t PastTimeoutMs(const uint8_t* p, size_t n);
    // The reply with the head bytes of the options, when they are set.
    std::vector<uint8_t> WithHead(std::vector<uint8_t> reply) const;
    void HandleAt(ISimLine& out);
    std::string AtAnswer(const std::string& line);

    static std::vector<uint8_t> DefaultImage(int layout);
    static void ApplyState(const nlohmann::json& j, Model& m);

    SimOptions m_opt;
    Model m_model;
    SimStats m_stats;
    std::mt19937 m_rng;

    // Runtime, not saved.
    bool m_linkOpen = false;
    bool m_callActive = false;
    bool m_pinAccepted = false;
    long m_frameCount = 0;  // for stopAfter; not reset with the stats
    int m_smsPollsLeft = 0;
    bool m_smsSubmitted = false;
    bool m_smsLastFailed = false;
    std::string m_nextAtAnswer;
    bool m_haveNextAt = false;
    struct Delayed {
        int64_t dueMs;
        std::vector<uint8_t> payload;
    };
    std::deque<Delayed> m_delayed;             // replies held back by delayMs and late faults
    int64_t m_busyUntilMs = 0;                 // a late reply keeps the ones after it back till then
    std::vector<std::vector<uint8_t>> m_held;  // FrameFault::Hold
    bool m_release = false;
    long m_received = 0;  // request frames, for the frame faults; not reset with the stats
    std::function<void(long, uint8_t)> m_onHold;

    Mode m_mode = Mode::Idle;
    uint8_t m_frameBuf[512];
    frame::CFrameReceiver m_rx;
    size_t m_frameBytes = 0;
    std::string m_atLine;
    bool m_atOverflow = false;
    int64_t m_lastByteMs = 0;

#ifdef VANTRIX_SIM_MELODY
    CMelodyServer m_melody;
#endif
};
