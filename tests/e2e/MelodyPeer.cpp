#include "tests/e2e/MelodyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "comm/Frame.h"

extern char** environ;

bool CMelodyPeer::Start() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return false;
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) return false;
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) return false;
    // Raw from the start: nothing the peer sends may be echoed or altered
    // before the program under test sets the line up.
    struct termios t;
    if (::tcgetattr(m_slave, &t) != 0) return false;
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CMelodyPeer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_slave >= 0) ::close(m_slave);
    if (m_master >= 0) ::close(m_master);
    m_slave = m_master = -1;
}

void CMelodyPeer::Serve() {
    uint8_t payload[600];
    frame::CFrameReceiver rx(payload, sizeof payload, frame::CFrameReceiver::Unescape::Xor, 2);
    const auto byteTime = std::chrono::nanoseconds(m_baud ? 10'000'000'000ull / m_baud : 0);
    while (!m_stop) {
        struct pollfd p = {m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        uint8_t buf[1024];
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0) continue;
        auto now = Clock::now();
        if (m_bytesIn == 0) m_firstIn = m_lineInFree = now;
        m_bytesIn += uint64_t(n);
        for (ssize_t i = 0; i < n; ++i) {
            // Each byte occupies the line for its time, from when it could start.
            m_lineInFree = std::max(m_lineInFree, now) + byteTime;
            auto status = rx.Feed(buf[i]);
            if (status == frame::CFrameReceiver::kMore) continue;
            if (status == frame::CFrameReceiver::kGood && rx.PayloadLen() <= sizeof payload)
                Answer(payload, rx.PayloadLen(), m_lineInFree, i + 1 < n);
            rx.Reset();
        }
    }
}

void CMelodyPeer::Answer(const uint8_t* payload, size_t n, Clock::time_point arrived, bool moreRead) {
    std::vector<uint8_t> reply;
    if (!m_server.Handle(payload, n, reply)) return;
    if (m_replyDelay.count() > 0) {
        std::this_thread::sleep_for(m_replyDelay);
        struct pollfd p = {m_master, POLLIN, 0};
        if (moreRead || ::poll(&p, 1, 0) > 0) ++m_early;
    }
    int index = m_replies++;
    if (m_corrupt.count(index)) {
        Put(CorruptFrame(reply), arrived);
        if (!m_goodAfterCorrupt) return;
    }
    Put(frame::Encode(reply.data(), reply.size()), arrived);
}

void CMelodyPeer::Put(const std::vector<uint8_t>& line, Clock::time_point notBefore) {
    if (m_baud == 0) {
        size_t done = 0;
        while (done < line.size()) {
            ssize_t w = ::write(m_master, line.data() + done, line.size() - done);
            if (w > 0)
                done += size_t(w);
            else if (errno != EAGAIN && errno != EINTR)
                break;
        }
        m_bytesOut += line.size();
        m_lastOut = Clock::now();
        return;
    }
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000ull / m_baud);
    auto start = std::max({notBefore, m_lineOutFree, Clock::now()});
    for (size_t i = 0; i < line.size();) {
        // The PC has a byte once its last bit is in.
        std::this_thread::sleep_until(start + byteTime * (i + 1));
        size_t due = std::min(line.size(), size_t((Clock::now() - start) / byteTime));
        while (i < due) {
            ssize_t w = ::write(m_master, line.data() + i, due - i);
            if (w > 0)
                i += size_t(w);
            else if (errno != EAGAIN && errno != EINTR)
                return;
        }
    }
    m_lineOutFree = start + byteTime * line.size();
    m_bytesOut += line.size();
    m_lastOut = Clock::now();
}

std::vector<uint8_t> CorruptFrame(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> shown = payload;
    if (shown.size() > 2) shown[2] ^= 0x01;
    std::vector<uint8_t> line = frame::Encode(shown.data(), shown.size());
    // Swap the checksum (the unit before the end byte) for the one of the
    // payload as it was.
    size_t unit = line[line.size() - 3] == frame::kEscape ? 2 : 1;
    line.resize(line.size() - 1 - unit);
    uint8_t ck = frame::Checksum(payload.data(), payload.size());
    if (ck < 0x20) {
        line.push_back(frame::kEscape);
        line.push_back(uint8_t(ck + 0x20));
    } else {
        line.push_back(ck);
    }
    line.push_back(frame::kEnd);
    return line;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input, int timeoutSeconds,
                      bool withStderr) {
    ProgramRun run;
    ::signal(SIGPIPE, SIG_IGN);  // a program that ends early must not take the caller along
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return run;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return run;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    if (withStderr) posix_spawn_file_actions_adddup2(&fa, out[1], STDERR_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    auto start = CMelodyPeer::Clock::now();
    pid_t pid = -1;
    int rc = ::posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        return run;
    }
    // The answers are short: they fit the pipe at once.
    if (::write(in[1], input.data(), input.size()) < 0) {}
    ::close(in[1]);

    auto deadline = start + std::chrono::seconds(timeoutSeconds);
    char buf[4096];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CMelodyPeer::Clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        struct pollfd p = {out[0], POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0) continue;
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        run.output.append(buf, size_t(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.seconds = std::chrono::duration<double>(CMelodyPeer::Clock::now() - start).count();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
