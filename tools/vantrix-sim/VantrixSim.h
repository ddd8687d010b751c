// The device stand-in on a pseudo-terminal: the PC opens the slave side like
// a serial port; a thread of our own serves the master side.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tools/vantrix-sim/SimDevice.h"
#include "tools/vantrix-sim/SimStage.h"

class CVantrixSim {
public:
    using Options = SimOptions;

    // Simulators that share devices (modems of one network) share `lock`.
    explicit CVantrixSim(Options o, std::mutex* lock = nullptr);
    ~CVantrixSim();
    CVantrixSim(const CVantrixSim&) = delete;
    CVantrixSim& operator=(const CVantrixSim&) = delete;

    // Opens a pseudo-terminal and serves it on a thread of its own.
    bool Start();
    void Stop();
    std::string SlavePath() const { return m_slavePath; }

    // Everything below is thread-safe.
    nlohmann::json State() const;
    // Takes the keys present in `j`; false (and no change) when one is invalid.
    bool SetState(const nlohmann::json& j, std::string* error = nullptr);
    // Loads Options::statePath; a missing file is a fresh device.
    bool Load(std::string* error = nullptr);
    // Saves to Options::statePath (through a temporary file).
    bool Save(std::string* error = nullptr) const;
    bool SaveTo(const std::string& path, std::string* error = nullptr) const;

    void SetNextAtAnswer(std::string raw);
    SimStats Stats() const;
    void ResetStats();
    uint32_t ListenSpeed() const;
    bool LinkOpen() const;
    // Sends the replies held back by FrameFault::Hold.
    void Release();
    // Hears of every reply held back; set before Start. Called on the
    // server thread under the lock: it must not call back into the simulator.
    void SetHoldListener(std::function<void(long frame, uint8_t cmd)> fn);
    // Changes options while running (faults, PIN, echo, ...).
    void UpdateOptions(const std::function<void(Options&)>& change);

    // A stage in front of the device (a modem, say); before Start. The
    // front reaches the device through Device() while it is called by the
    // server, which holds the lock then.
    void SetFront(ISimStage* front) { m_front = front; }
    CSimDevice& Device() { return m_device; }
    // Runs fn on the device under the lock.
    void WithDevice(const std::function<void(CSimDevice&)>& fn);

private:
    class Line : public ISimLine {
    public:
        explicit Line(CVantrixSim& sim) : m_sim(sim) {}
        void Send(const uint8_t* p, size_t n) override;

    private:
        CVantrixSim& m_sim;
    };

    void Serve();
    void ReadFromPc();
    void WriteDue();
    void LineClosed();
    // The byte rate of the line as paced: the PC's, or the front's when slower.
    void TakePaceBaud();

    mutable std::mutex m_ownMutex;
    std::mutex& m_mutex;
    CSimDevice m_device;
    ISimStage* m_front = nullptr;
    Line m_line{*this};

    int m_master = -1;
    int m_wake = -1;
    std::string m_slavePath;
    std::thread m_thread;
    bool m_running = false;

    // Server thread only.
    bool m_hup = false;
    uint32_t m_baud = 0;           // the PC's speed at the latest bytes
    uint32_t m_paceBaud = 0;       // the rate replies are paced at (TakePaceBaud)
    int64_t m_rxFreeUs = 0;        // when the PC's bytes so far would have crossed the line
    int64_t m_txNextUs = 0;        // when the line is free for the next reply byte
    std::deque<uint8_t> m_out;     // towards the PC
    std::deque<int64_t> m_outDue;  // per byte: not before this time (0 when not paced)
};
