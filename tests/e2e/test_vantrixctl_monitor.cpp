// vantrixctl monitor as a process against the in-process simulator, whose
// state the test changes while the monitor runs: each change must reach the
// output as a line, SIGINT must end it cleanly, a silent device must end it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tools/vantrix-sim/VantrixSim.h"

namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

// vantrixctl monitor with its standard output on a pipe.
class MonitorProcess {
public:
    explicit MonitorProcess(const std::string& port) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        std::string args[] = {VANTRIXCTL, "--port", port, "monitor"};
        char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), nullptr};
        if (posix_spawn(&m_pid, VANTRIXCTL, &fa, nullptr, argv, environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(out[1]);
        m_out = out[0];
    }
    ~MonitorProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait(5);
        }
        if (m_out >= 0) ::close(m_out);
    }
    bool Started() const { return m_pid > 0; }

    // The next line as JSON, or null when none came within `seconds`.
    json NextLine(int seconds) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            size_t nl = m_buf.find('\n');
            if (nl != std::string::npos) {
                std::string line = m_buf.substr(0, nl);
                m_buf.erase(0, nl + 1);
                return json::parse(line, nullptr, false);
            }
            int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
            pollfd p{m_out, POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, left) <= 0) return nullptr;
            char chunk[512];
            ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0) return nullptr;
            m_buf.append(chunk, size_t(n));
        }
    }
    // The next line of this event, skipping the others (the clock's).
    json NextEvent(const std::string& event, int seconds) {
        const auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            json line = NextLine(seconds);
            if (line.is_null() || line.value("event", "") == event) return line;
        }
        return nullptr;
    }

    void Signal(int sig) { ::kill(m_pid, sig); }
    // The exit status, or -1 when it did not end within `seconds`.
    int Wait(int seconds) {
        for (int i = 0; i < seconds * 100 && m_pid > 0; ++i) {
            int status;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buf;
};

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        sim = std::make_unique<CVantrixSim>(CVantrixSim::Options{});
        ASSERT_TRUE(sim->Start());
        proc = std::make_unique<MonitorProcess>(sim->SlavePath());
        ASSERT_TRUE(proc->Started());
        start = proc->NextLine(30);
        ASSERT_EQ(start.value("event", ""), "start") << start;
    }

    std::unique_ptr<CVantrixSim> sim;
    std::unique_ptr<MonitorProcess> proc;
    json start;
};

}  // namespace

TEST_F(Monitor, PrintsEveryChangeOfSignalInputsAndInboxAndEndsCleanlyOnSigint) {
    EXPECT_EQ(start["signal"], 20);
    EXPECT_EQ(start["operator"], "T-Mobile CZ");

    ASSERT_TRUE(sim->SetState({{"gsm", {{"signal", 7}}}}));
    json line = proc->NextEvent("gsm", 20);
    EXPECT_EQ(line["signal"], 7) << line;

    ASSERT_TRUE(sim->SetState({{"inputs", 5}}));
    line = proc->NextEvent("io", 20);
    EXPECT_EQ(line["inputs"], 5) << line;

    ASSERT_TRUE(sim->SetState(
        {{"smsQueue", {{{"time", "2008-04-03 09:05:07"}, {"number", "+420603123456"}, {"text", "Přijď v 5"}}}}}));
    line = proc->NextEvent("sms", 20);
    EXPECT_EQ(line["number"], "+420603123456") << line;
    EXPECT_EQ(line["text"], "Přijď v 5");
    EXPECT_EQ(line["time"], "2008-04-03T09:05:07");
    // Taken off the device once it is out.
    for (int i = 0; i < 50 && !sim->State()["smsQueue"].empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(sim->State()["smsQueue"].empty());

    proc->Signal(SIGINT);
    EXPECT_EQ(proc->Wait(20), 0);
    EXPECT_FALSE(sim->LinkOpen()) << "no orderly disconnect";
}

TEST_F(Monitor, SigtermEndsItTooAndASilentDeviceEndsItWithTheResultCode) {
    // SIGTERM: the same orderly end.
    proc->Signal(SIGTERM);
    EXPECT_EQ(proc->Wait(20), 0);
    EXPECT_FALSE(sim->LinkOpen());

    proc = std::make_unique<MonitorProcess>(sim->SlavePath());
    ASSERT_EQ(proc->NextLine(30).value("event", ""), "start");
    sim->UpdateOptions([](CVantrixSim::Options& o) { o.stopAfter = 0; });
    const int status = proc->Wait(60);
    EXPECT_NE(status, -1) << "still running on a silent line";
    EXPECT_NE(status, 0);
    EXPECT_LT(status, 128) << "ended by a signal";
}
