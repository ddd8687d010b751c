// A Hayes data modem in front of the simulated device: the PC's side of a
// remote connection. In command mode it answers AT commands; ATD rings for a
// while and then connects to the device (or reports busy, no carrier, ...);
// during the call it passes the bytes through until the PC hangs up with the
// escape sequence and ATH, or closes the line.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tools/vantrix-sim/SimStage.h"

class CSimDevice;
class CSimExchange;

struct SimModemOptions {
    uint32_t ringMs = 300;                              // a dial rings this long before its outcome
    std::string callResult = "CONNECT 9600";            // the outcome: "CONNECT ...", BUSY, NO CARRIER, NO ANSWER, ...
    uint32_t guardMs = 1000;                            // escape guard time (S12)
    bool echo = true;                                   // echo of the command line (ATE1)
    std::string ident = "Vantrix-sim Hayes modem 1.0";  // the answer to ATI
    uint32_t answerMs = 0;                              // a command's answer comes this much later
    bool numeric = false;                               // result codes as digits until ATV1 (ATV0)
};

// What the tests can look at.
struct SimModemStats {
    int calls = 0;                      // ATD commands taken
    std::vector<std::string> dialled;   // their numbers
    std::vector<std::string> results;   // the result code each dial ended with (not the aborted ones)
    int connected = 0;                  // calls that reached the device
    int aborted = 0;                    // dials ended by a key or by the line closing
    int hangups = 0;                    // connected calls that ended (ATH or the line closing)
    int escapes = 0;                    // escape sequences recognised
    std::vector<std::string> commands;  // command lines, as received
    bool inCall = false;                // a connected call is up
    bool ringing = false;
};

class CSimModem : public ISimStage {
public:
    // Without an exchange every call reaches `device`; with one, the device
    // of the number dialled (and `device` hears of the PC closing the line
    // only while it is in the call).
    CSimModem(CSimDevice& device, SimModemOptions o = {}, CSimExchange* exchange = nullptr);

    void Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) override;
    void LineClosed(ISimLine& out) override;
    void Idle(ISimLine& out) override;
    int64_t NextDueMs() const override;
    // The CONNECT rate while a call is up.
    uint32_t PaceBaud() const override;

    // Thread-safe.
    SimModemStats Stats() const;
    void UpdateOptions(const SimModemOptions& o);

private:
    enum class Mode { Command, Ringing, Data, OnlineCommand };

    void CommandByte(uint8_t b, ISimLine& out);
    void Command(const std::string& raw, ISimLine& out);
    void DataBytes(const uint8_t* p, size_t n, ISimLine& out);
    void Result(const std::string& text, ISimLine& out);
    void RingEnded(ISimLine& out);
    void Connect(CSimDevice& device, ISimLine& out);
    void EndCall();
    void FlushPluses(ISimLine& out);

    CSimDevice& m_device;
    CSimExchange* m_exchange;
    CSimDevice* m_peer = nullptr;  // the device in the call
    mutable std::mutex m_mutex;
    SimModemOptions m_opt;
    SimModemStats m_stats;

    Mode m_mode = Mode::Command;
    std::string m_line;
    int64_t m_ringEnd = 0;
    // Escape detection in the data phase.
    int64_t m_lastDataMs = 0;  // the latest byte from the PC
    int m_pluses = 0;          // '+' held back as a possible escape
    bool m_verbose = true;     // result codes in words (ATV1)
    bool m_answering = false;  // within a command: its result codes wait answerMs
    std::string m_late;        // result codes held back until m_lateDue
    int64_t m_lateDue = 0;
};
