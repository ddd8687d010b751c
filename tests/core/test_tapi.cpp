// The modem line: result codes, call states, dial strings, the modem list,
// and calls against a scripted modem on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "remote/TAPI.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A modem played by the test on the master side of a pseudo-terminal. Each
// command line (ended by CR) goes to the script, whose answer is sent back;
// "+++" without a CR goes to the script as it is.
class ModemPeer {
public:
    using Script = std::function<std::string(const std::string&)>;
    void SetScript(Script fn) {
        std::lock_guard lock(m_mutex);
        m_script = std::move(fn);
    }

    ModemPeer() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        char name[128];
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
            ::ptsname_r(m_master, name, sizeof name) != 0)
            return;
        m_slave = name;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ModemPeer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        CloseMaster();
    }
    const std::string& Slave() const { return m_slave; }
    void Send(const std::string& s) {
        std::lock_guard lock(m_mutex);
        if (m_master >= 0) (void)!::write(m_master, s.data(), s.size());
    }
    // Everything the PC sent so far.
    std::string Received() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    void CloseMaster() {
        std::lock_guard lock(m_mutex);
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

private:
    void Serve() {
        std::string line;
        while (!m_stop) {
            int fd;
            {
                std::lock_guard lock(m_mutex);
                fd = m_master;
            }
            if (fd < 0) return;
            struct pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) {
                // The PC's side closed: look again later.
                if (p.revents & POLLHUP) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            char buf[256];
            ssize_t n;
            {
                // Under the lock: the test may close the master meanwhile,
                // and its number may then belong to another descriptor.
                std::lock_guard lock(m_mutex);
                if (m_master != fd) continue;
                n = ::read(fd, buf, sizeof buf);
            }
            if (n <= 0) continue;
            std::string answer;
            Script script;
            {
                std::lock_guard lock(m_mutex);
                m_received.append(buf, size_t(n));
                script = m_script;
            }
            for (ssize_t i = 0; i < n; ++i) {
                line += buf[i];
                if (buf[i] == '\r') {
                    line.pop_back();
                    if (script) answer += script(line);
                    line.clear();
                } else if (line.size() >= 3 && line.compare(line.size() - 3, 3, "+++") == 0) {
                    if (script) answer += script("+++");
                    line.clear();
                }
            }
            if (!answer.empty()) Send(answer);
        }
    }

    int m_master = -1;
    std::string m_slave;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::string m_received;
    Script m_script;
};

const std::string kOk = "\r\nOK\r\n";

// A manager whose only modem is the peer (as <dir>/Data/Modems/Peer).
class TapiCallTest : public ::testing::Test {
protected:
    TempDir dir;
    ModemPeer peer;
    CTAPIMng mng;

    void SetUp() override {
        ASSERT_FALSE(peer.Slave().empty());
        ASSERT_EQ(::mkdir(dir.File("Data").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(dir.File("Data/Modems").c_str(), 0755), 0);
        ASSERT_EQ(::symlink(peer.Slave().c_str(), dir.File("Data/Modems/Peer").c_str()), 0);
        mng.SetProgramDir(dir.Path());
        mng.SetSystemDir("");
        mng.SetGuardTime(50);
        ASSERT_EQ(mng.Init(), 0);
        ASSERT_EQ(mng.ModemCount(), 1);
    }

    // The next state of the call within `ms`, 0 when none came.
    uint32_t NextState(uint32_t ms = 2000, uint32_t* detail = nullptr) {
        uint32_t state = 0, d = 0;
        int r = mng.Line().WaitCallState(state, d, ms);
        if (detail) *detail = d;
        return r == 0 ? state : 0;
    }
};

}  // namespace

TEST(TapiParse, ResultCodes) {
    struct Case {
        const char* line;
        ModemResult result;
    } cases[] = {
        {"OK", ModemResult::Ok},
        {"  ok ", ModemResult::Ok},
        {"CONNECT", ModemResult::Connect},
        {"CONNECT 9600", ModemResult::Connect},
        {"connect 9600/V42", ModemResult::Connect},
        {"CONNECT/ARQ", ModemResult::Connect},
        {"CONNECTION", ModemResult::None},
        {"RING", ModemResult::Ring},
        {"RINGING", ModemResult::Ringing},
        {"NO CARRIER", ModemResult::NoCarrier},
        {"ERROR", ModemResult::Error},
        {"NO DIALTONE", ModemResult::NoDialtone},
        {"NO DIAL TONE", ModemResult::NoDialtone},
        {"BUSY", ModemResult::Busy},
        {"NO ANSWER", ModemResult::NoAnswer},
        // Echo, information text and noise are no result codes.
        {"ATD603123456", ModemResult::None},
        {"AT", ModemResult::None},
        {"+CREG: 1", ModemResult::None},
        {"OKAY", ModemResult::None},
        {"NO", ModemResult::None},
        {"", ModemResult::None},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseModemResult(c.line), c.result) << '"' << c.line << '"';
}

TEST(TapiParse, DialOutcomesBecomeCallStates) {
    struct Case {
        ModemResult result;
        uint32_t state, detail;
    } cases[] = {
        {ModemResult::Connect, LINECALLSTATE_CONNECTED, 0},
        {ModemResult::Ringing, LINECALLSTATE_RINGBACK, 0},
        {ModemResult::Busy, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_BUSY},
        {ModemResult::NoAnswer, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NOANSWER},
        {ModemResult::NoCarrier, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNREACHABLE},
        {ModemResult::NoDialtone, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NODIALTONE},
        {ModemResult::Error, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_UNAVAIL},
        // These change nothing while a call is dialled.
        {ModemResult::Ok, 0, 0},
        {ModemResult::Ring, 0, 0},
        {ModemResult::None, 0, 0},
    };
    for (const auto& c : cases) {
        CallStateChange s = DialOutcome(c.result);
        EXPECT_EQ(s.state, c.state) << int(c.result);
        EXPECT_EQ(s.detail, c.detail) << int(c.result);
    }
    // The engine's call loop waits on every state but these two, so a
    // failed dial must never end in any other state.
    for (auto r : {ModemResult::Busy, ModemResult::NoAnswer, ModemResult::NoCarrier, ModemResult::NoDialtone,
                   ModemResult::Error})
        EXPECT_EQ(DialOutcome(r).state, LINECALLSTATE_DISCONNECTED);
}

TEST(TapiParse, DialStrings) {
    std::string out;
    EXPECT_TRUE(MakeDialString("+420 (603) 123-456", out));
    EXPECT_EQ(out, "+420603123456");
    EXPECT_TRUE(MakeDialString("0w123,,*31#p9t", out));
    EXPECT_EQ(out, "0W123,,*31#P9T");
    EXPECT_TRUE(MakeDialString("603.123/456", out));
    EXPECT_EQ(out, "603123456");
    // Anything that could end the dial command and start another is refused.
    for (const char* bad : {"", " - ", "123;", "123\rATZ", "123\n", "12x4", "603123456;ATH", "12\x9a"}) {
        EXPECT_FALSE(MakeDialString(bad, out)) << bad;
        EXPECT_TRUE(out.empty());
    }
    EXPECT_TRUE(MakeDialString(std::string(60, '1'), out));
    EXPECT_FALSE(MakeDialString(std::string(61, '1'), out));
}

TEST(TapiModemList, LinksSortedCutAndListedOnce) {
    TempDir dir;
    ASSERT_EQ(::mkdir(dir.File("Data").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("Data/Modems").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir.File("extra").c_str(), 0755), 0);
    const std::string longName(40, 'L');
    ASSERT_EQ(::symlink("/dev/null", dir.File("Data/Modems/b-modem").c_str()), 0);
    ASSERT_EQ(::symlink("/nonexistent/ttyUSB7", dir.File("Data/Modems/a-gone").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", dir.File("Data/Modems/" + longName).c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", dir.File("Data/Modems/.hidden").c_str()), 0);
    WriteAll(dir.File("Data/Modems/notes.txt"), "x", 1);
    ASSERT_EQ(::mkdir(dir.File("Data/Modems/subdir").c_str(), 0755), 0);
    // The same name in a later directory does not list the modem twice.
    ASSERT_EQ(::symlink("/dev/zero", dir.File("extra/b-modem").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.File("extra/c-modem").c_str()), 0);

    CTAPIMng mng(dir.Path());
    mng.SetSystemDir(dir.File("no-such-dir"));
    mng.AddModemDir(dir.File("extra"));
    ASSERT_EQ(mng.Init(), 0);
    ASSERT_EQ(mng.ModemCount(), 4);
    EXPECT_STREQ(mng.Modem(0)->name, std::string(31, 'L').c_str());
    EXPECT_STREQ(mng.Modem(1)->name, "a-gone");
    EXPECT_STREQ(mng.Modem(2)->name, "b-modem");
    EXPECT_STREQ(mng.Modem(3)->name, "c-modem");
    for (int i = 0; i < 4; ++i) EXPECT_EQ(mng.Modem(i)->deviceId, uint32_t(i));
    EXPECT_EQ(mng.Modem(-1), nullptr);
    EXPECT_EQ(mng.Modem(4), nullptr);

    ModemProps p;
    ASSERT_EQ(mng.GetModemProps(2, p), 0);
    EXPECT_EQ(p.path, dir.File("Data/Modems/b-modem"));  // the first directory's link
    EXPECT_EQ(p.device, "/dev/null");
    EXPECT_TRUE(p.present);
    // A dangling link stays in the list so that later indices keep their modem.
    ASSERT_EQ(mng.GetModemProps(1, p), 0);
    EXPECT_FALSE(p.present);
    EXPECT_EQ(p.device, "/nonexistent/ttyUSB7");
    EXPECT_EQ(mng.QueryModem(1, p, 100), LINEERR_NODEVICE);
    EXPECT_EQ(mng.MakeCall("123", 1), LINEERR_NODEVICE);
    // Not a terminal.
    EXPECT_EQ(mng.MakeCall("123", 2), LINEERR_NODEVICE);
    EXPECT_EQ(mng.GetModemProps(4, p), LINEERR_BADDEVICEID);
    EXPECT_EQ(mng.MakeCall("123", -1), LINEERR_BADDEVICEID);
    EXPECT_EQ(mng.MakeCall("123", 4), LINEERR_BADDEVICEID);
}

TEST(TapiModemList, NoModemAtAllIsNoFailure) {
    CTAPIMng mng("/nonexistent-program-dir");
    mng.SetSystemDir("");
    EXPECT_EQ(mng.Init(), 0);
    EXPECT_EQ(mng.ModemCount(), 0);
    EXPECT_TRUE(mng.Session().IsInitialised());
    EXPECT_EQ(mng.Session().ApiVersion(), TAPI_VERSION_2_0);
    uint32_t state;
    int fd;
    EXPECT_EQ(mng.Line().WaitCallState(state, 10), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(mng.Line().GetCommHandle(fd), LINEERR_INVALCALLHANDLE);
    mng.Line().Drop();  // nothing to drop
}

TEST_F(TapiCallTest, ConnectedCallGivesTheDataChannelAndHangsUpWithTheEscape) {
    peer.SetScript([](const std::string& line) -> std::string {
        // An echoing modem with unsolicited lines in between.
        std::string echo = line + "\r";
        if (line == "ATV1") return echo + "\r\n+CREG: 1\r\n" + kOk;
        if (line.rfind("ATD", 0) == 0) return echo;
        if (line == "+++") return kOk;
        if (line == "ATH") return echo + kOk;
        return echo + "\r\nERROR\r\n";
    });
    ASSERT_EQ(mng.MakeCall("603 123 456", 0), 0);
    EXPECT_NE(mng.Line().CallHandle(), 0u);
    EXPECT_EQ(NextState(), LINECALLSTATE_DIALING);
    int fd = -1;
    EXPECT_EQ(mng.Line().GetCommHandle(fd), LINEERR_INVALCALLSTATE);  // not connected yet
    // Nothing more while the far end rings.
    EXPECT_EQ(NextState(100), 0u);
    peer.Send("\r\nRING\r\n\r\nCONNECT 9600/V42\r\n");
    EXPECT_EQ(NextState(), LINECALLSTATE_CONNECTED);
    EXPECT_NE(peer.Received().find("ATV1\rATD603123456\r"), std::string::npos);

    // The modem is busy with our call.
    ModemProps props;
    EXPECT_EQ(mng.QueryModem(0, props, 100), LINEERR_INUSE);

    ASSERT_EQ(mng.Line().GetCommHandle(fd), 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd,
                      "\x05"
                      "data",
                      5),
              5);
    peer.Send("reply");
    char buf[8] = {};
    size_t got = 0;
    for (int i = 0; i < 100 && got < 5; ++i) {
        struct pollfd p = {fd, POLLIN, 0};
        ::poll(&p, 1, 20);
        ssize_t n = ::read(fd, buf + got, 5 - got);
        if (n > 0) got += size_t(n);
    }
    EXPECT_EQ(std::string(buf, got), "reply");  // the bytes after CONNECT belong to the data channel

    auto t0 = Clock::now();
    mng.Line().Drop();
    long ms = MsSince(t0);
    EXPECT_GE(ms, 100);  // silence of the guard time (50 ms) and its margin before "+++"
    EXPECT_LT(ms, 2000);
    EXPECT_EQ(mng.Line().CallHandle(), 0u);
    std::string rx = peer.Received();
    EXPECT_NE(rx.find("\x05"
                      "data+++ATH\r"),
              std::string::npos)
        << rx;
    ::close(fd);
    EXPECT_EQ(mng.QueryModem(0, props, 100), LINEERR_OPERATIONFAILED);  // free again; the peer answers ERROR
}

TEST_F(TapiCallTest, FailedDialsEndDisconnectedWithTheirReason) {
    struct Case {
        const char* text;
        uint32_t detail;
    } cases[] = {{"BUSY", LINEDISCONNECTMODE_BUSY},
                 {"NO ANSWER", LINEDISCONNECTMODE_NOANSWER},
                 {"NO CARRIER", LINEDISCONNECTMODE_UNREACHABLE},
                 {"NO DIALTONE", LINEDISCONNECTMODE_NODIALTONE}};
    for (const auto& c : cases) {
        const std::string outcome = c.text;
        peer.SetScript([outcome](const std::string& line) -> std::string {
            if (line == "ATV1") return kOk;
            if (line.rfind("ATD", 0) == 0) return "\r\n" + outcome + "\r\n";
            return "";
        });
        ASSERT_EQ(mng.MakeCall("112", 0), 0) << c.text;
        EXPECT_EQ(NextState(), LINECALLSTATE_DIALING);
        uint32_t detail = 0;
        EXPECT_EQ(NextState(2000, &detail), LINECALLSTATE_DISCONNECTED) << c.text;
        EXPECT_EQ(detail, c.detail) << c.text;
        int fd;
        EXPECT_NE(mng.Line().GetCommHandle(fd), 0);
        auto t0 = Clock::now();
        mng.Line().Drop();  // nothing to hang up on the modem
        EXPECT_LT(MsSince(t0), 300);
    }
    EXPECT_EQ(peer.Received().find("ATH"), std::string::npos);
}

// The request is answered once the call is under way; a modem that refuses
// the wake-up or never answers it ends the call as disconnected, so that the
// caller's own wait for the call state decides, not a short reply wait.
TEST_F(TapiCallTest, ModemThatRefusesOrIsSilentEndsTheCall) {
    peer.SetScript([](const std::string&) { return std::string("\r\nERROR\r\n"); });
    auto t0 = Clock::now();
    EXPECT_EQ(mng.MakeCall("112", 0), 0);
    uint32_t detail = 0;
    EXPECT_EQ(NextState(2000, &detail), LINECALLSTATE_DISCONNECTED);
    EXPECT_EQ(detail, LINEDISCONNECTMODE_UNAVAIL);
    EXPECT_LT(MsSince(t0), 500);
    EXPECT_EQ(peer.Received().find("ATD"), std::string::npos);
    mng.Line().Drop();

    peer.SetScript([](const std::string&) { return std::string(); });
    t0 = Clock::now();
    EXPECT_EQ(mng.MakeCall("112", 0), 0);
    EXPECT_EQ(NextState(5000, &detail), LINECALLSTATE_DISCONNECTED);  // the modem's 3 s ran out
    long ms = MsSince(t0);
    EXPECT_GE(ms, 2900);
    EXPECT_LT(ms, 4500);
    EXPECT_EQ(peer.Received().find("ATD"), std::string::npos);
    // The call is kept until it is released, and it is released cleanly.
    EXPECT_NE(mng.Line().CallHandle(), 0u);
    mng.Line().Drop();
    EXPECT_EQ(mng.Line().CallHandle(), 0u);

    // A modem that answers after 1.5 s, and one that still answers in digits,
    // both dial.
    for (bool numeric : {false, true}) {
        peer.SetScript([numeric](const std::string& line) -> std::string {
            if (line == "ATV1") {
                std::this_thread::sleep_for(std::chrono::milliseconds(numeric ? 0 : 1500));
                return numeric ? "0\r" : kOk;
            }
            if (line.rfind("ATD", 0) == 0) return "\r\nCONNECT 9600\r\n";
            return line == "+++" || line == "ATH" ? kOk : std::string();
        });
        ASSERT_EQ(mng.MakeCall("112", 0), 0) << numeric;
        EXPECT_EQ(NextState(), LINECALLSTATE_DIALING) << numeric;
        EXPECT_EQ(NextState(), LINECALLSTATE_CONNECTED) << numeric;
        mng.Line().Drop();
    }

    // A number that is no dial string never reaches the modem.
    std::string before = peer.Received();
    EXPECT_EQ(mng.MakeCall("112;ATZ", 0), LINEERR_INVALADDRESS);
    EXPECT_EQ(mng.Line().CallHandle(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.Received(), before);
}

TEST_F(TapiCallTest, KeyAbortsARingingCall) {
    peer.SetScript([](const std::string& line) -> std::string {
        if (line == "ATV1") return kOk;
        if (line.empty()) return "\r\nNO CARRIER\r\n";  // the abort key
        return "";
    });
    ASSERT_EQ(mng.MakeCall("112", 0), 0);
    EXPECT_EQ(NextState(), LINECALLSTATE_DIALING);
    EXPECT_EQ(NextState(100), 0u);
    auto t0 = Clock::now();
    mng.Line().Drop();
    EXPECT_LT(MsSince(t0), 500);  // the modem's NO CARRIER ended it, not a time-out
    EXPECT_NE(peer.Received().find("ATD112\r\r"), std::string::npos);
}

TEST_F(TapiCallTest, ModemGoneWhileDialling) {
    peer.SetScript([](const std::string& line) { return line == "ATV1" ? kOk : std::string(); });
    ASSERT_EQ(mng.MakeCall("112", 0), 0);
    EXPECT_EQ(NextState(), LINECALLSTATE_DIALING);
    peer.CloseMaster();
    uint32_t detail = 0;
    EXPECT_EQ(NextState(2000, &detail), LINECALLSTATE_DISCONNECTED);
    EXPECT_EQ(detail, LINEDISCONNECTMODE_UNAVAIL);
    mng.Line().Drop();
    EXPECT_EQ(mng.Line().CallHandle(), 0u);
}

TEST_F(TapiCallTest, PropertiesAskTheModem) {
    peer.SetScript([](const std::string& line) -> std::string {
        if (line == "ATI") return "ATI\r\r\nAcme 56k\x01\r\nRev 2\r\n" + kOk;
        return "\r\nERROR\r\n";
    });
    ModemProps p;
    ASSERT_EQ(mng.QueryModem(0, p), 0);
    EXPECT_EQ(p.name, "Peer");
    EXPECT_EQ(p.device, peer.Slave());
    EXPECT_TRUE(p.present);
    ASSERT_EQ(p.info.size(), 2u);
    EXPECT_EQ(p.info[0], "Acme 56k");  // control characters left out
    EXPECT_EQ(p.info[1], "Rev 2");

    peer.SetScript([](const std::string&) { return std::string(); });
    auto t0 = Clock::now();
    EXPECT_EQ(mng.QueryModem(0, p, 200), LINEERR_OPERATIONFAILED);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_TRUE(p.info.empty());
}

// Another user's program with the modem open exclusively (TIOCEXCL, which
// does not stop root): the modem is in use, not silent.
TEST_F(TapiCallTest, ModemOpenedExclusivelyByAnotherProgramIsInUse) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(peer.Slave().c_str(), 0666), 0);
    const int holder = ::open(peer.Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr gid_t kNobody = 65534;
        ModemProps p;
        const bool asNobody = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(asNobody ? (mng.QueryModem(0, p, 200) == LINEERR_INUSE ? 0 : 1) : 2);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::close(holder);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not reported as in use, 2: could not become nobody";
}
