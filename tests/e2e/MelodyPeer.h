// The device side of a melody download for tests and the benchmark: a
// pseudo-terminal whose master end is served by CMelodyServer on a thread of
// its own, with faults at the frame level and an optional line pace. Also a
// small runner for programs driven through stdin and stdout.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/vantrix-sim/MelodyServer.h"

class CMelodyPeer {
public:
    using Clock = std::chrono::steady_clock;

    // baud > 0: replies wait until the request could have crossed the line
    // (10 bits a byte) and go out at the line's byte rate.
    explicit CMelodyPeer(uint32_t baud = 0) : m_baud(baud) {}
    ~CMelodyPeer() { Stop(); }
    CMelodyPeer(const CMelodyPeer&) = delete;
    CMelodyPeer& operator=(const CMelodyPeer&) = delete;

    bool Start();
    void Stop();
    const std::string& SlavePath() const { return m_slavePath; }

    // Set up before Start, look at after Stop.
    CMelodyServer& Server() { return m_server; }
    // Replies (counted from 0, every reply sent) that go out with a wrong
    // checksum; with `thenGood` a correct copy follows each of them at once.
    void CorruptReplies(std::set<int> replies, bool thenGood = false) {
        m_corrupt = std::move(replies);
        m_goodAfterCorrupt = thenGood;
    }

    // Every reply waits this long; a request that arrives meanwhile came
    // before its predecessor was answered, so the program took something
    // else for that answer: counted in EarlyRequests().
    void DelayReplies(std::chrono::milliseconds delay) { m_replyDelay = delay; }
    int EarlyRequests() const { return m_early; }

    uint64_t BytesIn() const { return m_bytesIn; }
    uint64_t BytesOut() const { return m_bytesOut; }
    int Replies() const { return m_replies; }
    // First request byte seen and last reply byte written.
    Clock::time_point FirstIn() const { return m_firstIn; }
    Clock::time_point LastOut() const { return m_lastOut; }

private:
    void Serve();
    void Answer(const uint8_t* payload, size_t n, Clock::time_point arrived, bool moreRead);
    void Put(const std::vector<uint8_t>& line, Clock::time_point notBefore);

    uint32_t m_baud;
    int m_master = -1;
    int m_slave = -1;  // held open so the master never sees a hang-up between runs
    std::string m_slavePath;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    CMelodyServer m_server;
    std::set<int> m_corrupt;
    bool m_goodAfterCorrupt = false;
    std::chrono::milliseconds m_replyDelay{0};
    int m_early = 0;

    uint64_t m_bytesIn = 0;
    uint64_t m_bytesOut = 0;
    int m_replies = 0;
    Clock::time_point m_firstIn{};
    Clock::time_point m_lastOut{};
    Clock::time_point m_lineInFree{};   // PC -> device line busy until
    Clock::time_point m_lineOutFree{};  // device -> PC line busy until
};

// Wire bytes of a frame for `payload` whose checksum is wrong; the payload's
// byte 2 (never examined) differs, so only the checksum betrays it.
std::vector<uint8_t> CorruptFrame(const std::vector<uint8_t>& payload);

struct ProgramRun {
    int status = -1;     // exit status, or -1 when it did not exit normally
    std::string output;  // all of stdout (and stderr)
    double seconds = 0;
};

// Runs `argv` with `input` on its stdin and collects its stdout (and stderr,
// when asked); a program still running after `timeoutSeconds` is killed.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input, int timeoutSeconds = 60,
                      bool withStderr = false);
