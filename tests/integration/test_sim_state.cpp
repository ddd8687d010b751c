// The simulator's saved state, in the library and through the program.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "app/TextCodec.h"
#include "config/CfgImage.h"
#include "tests/integration/SimClient.h"
#include "tests/support/TempDir.h"

extern char** environ;

TEST_F(SimTest, StateRoundTrip) {
    TempDir dir;
    CVantrixSim::Options o;
    o.layout = 1;
    Boot(o);
    // Change what the commands can change.
    Bytes block = CfgBlock(600, 4);
    block.insert(block.end(), {1, 2, 3, 4});
    Bytes echo;
    ASSERT_EQ(Cmd(CMD_WRITE_CFG, block, echo, kReplyWriteCfg), LINK_OK);
    ASSERT_EQ(Cmd(CMD_SET_OUTPUTS, {0x81}), LINK_OK);
    ASSERT_EQ(Cmd(CMD_SET_CLOCK, {1, 2, 30, 3, 4, 5}), LINK_OK);
    ASSERT_EQ(Cmd(CMD_SUBMIT_SMS, {'5', 0, 0xE8, 'a', 0}), LINK_OK);  // "ča" in Windows-1250
    ASSERT_EQ(Cmd(CMD_PIN, Bytes(kPinField, 0)), LINK_ACK);
    ASSERT_EQ(OpenLink(), LINK_OK);
    ASSERT_NE(At("AT+CGDCONT=1,\"IP\",\"apn.cz\",,0,1\r").find("OK"), std::string::npos);
    nlohmann::json queue = {{{"time", "2025-01-02 03:04:05"}, {"number", "+420"}, {"text", "Příliš"}}};
    ASSERT_TRUE(sim->SetState({{"smsQueue", queue}, {"gsm", {{"signal", 7}, {"operator", "Vodafone"}}}}));

    nlohmann::json saved = sim->State();
    EXPECT_EQ(saved["sent"][0]["text"], "ča");
    EXPECT_EQ(saved["layout"], 1);
    EXPECT_EQ(saved["image"].get<std::string>().size(), 2u * kDevice1Size);
    EXPECT_EQ(saved["image"].get<std::string>().substr(1200, 8), "01020304");
    std::string path = dir.File("state.json");
    ASSERT_TRUE(sim->SaveTo(path));

    CVantrixSim::Options fresh;
    fresh.statePath = path;
    CVantrixSim other(fresh);
    std::string error;
    ASSERT_TRUE(other.Load(&error)) << error;
    EXPECT_EQ(other.State(), saved);
    ASSERT_TRUE(other.Save());
    CVantrixSim third(fresh);
    ASSERT_TRUE(third.Load());
    EXPECT_EQ(third.State(), saved);

    // A missing file is a fresh device; a broken one is an error.
    CVantrixSim::Options missing;
    missing.statePath = dir.File("none.json");
    EXPECT_TRUE(CVantrixSim(missing).Load());
    WriteAll(path, "{\"layout\": ", 11);
    EXPECT_FALSE(other.Load(&error));
    EXPECT_NE(error.find("JSON"), std::string::npos);
}

TEST_F(SimTest, InvalidStateChangesNothing) {
    Boot();
    nlohmann::json before = sim->State();
    std::string error;
    EXPECT_FALSE(sim->SetState({{"outputs", 3}, {"image", "0011"}}, &error));
    EXPECT_NE(error.find("layout"), std::string::npos);
    EXPECT_FALSE(sim->SetState({{"image", "zz"}}));
    EXPECT_FALSE(sim->SetState({{"inputs", 256}}));
    EXPECT_FALSE(sim->SetState({{"gprs", {{"qos", {1, 2}}}}}));
    EXPECT_FALSE(sim->SetState({{"layout", "two"}}));
    EXPECT_FALSE(sim->SetState(nlohmann::json::array()));
    EXPECT_EQ(sim->State(), before);
}

TEST_F(SimTest, LayoutFromState) {
    Boot();
    ASSERT_TRUE(sim->SetState({{"layout", 1}}));
    Bytes r;
    ASSERT_EQ(Cmd(CMD_IDENTITY, {}, r, kReplyIdentity), LINK_OK);
    EXPECT_EQ(r[7], 1);
    ASSERT_EQ(Cmd(CMD_READ_CFG, CfgBlock(1800, 50), r, kCfgDataByte + 50), LINK_OK);
    // An unknown layout has no image: every block is refused.
    ASSERT_TRUE(sim->SetState({{"layout", 7}}));
    ASSERT_EQ(Cmd(CMD_IDENTITY, {}, r, kReplyIdentity), LINK_OK);
    EXPECT_EQ(r[7], 7);
    EXPECT_EQ(Cmd(CMD_READ_CFG, CfgBlock(0, 10), r, kCfgDataByte + 10), LINK_ACK);
}

namespace {

// The simulator program with its standard input and output on pipes.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
        args.insert(args.begin(), VANTRIX_SIM_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, VANTRIX_SIM_EXE, &fa, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        CloseStdin();
        if (m_out >= 0) ::close(m_out);
    }
    std::string FirstLine() {
        std::string line;
        char c;
        while (::read(m_out, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    void CloseStdin() {
        if (m_in >= 0) ::close(m_in);
        m_in = -1;
    }
    void Signal(int sig) { ::kill(m_pid, sig); }
    // The exit status, or -1 when it did not end within two seconds.
    int Wait() {
        for (int i = 0; i < 200 && m_pid > 0; ++i) {
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
    int m_in = -1, m_out = -1;
};

int Identity(const std::string& port, uint32_t baud, Bytes& reply) {
    CSerCom com;
    if (!com.Create() || com.Open(port, baud) != SER_OK) return -1;
    uint8_t req[4];
    FillHeader(req);
    req[1] = CMD_IDENTITY;
    reply.assign(kReplyIdentity, 0);
    return LinkTransact(com, req, 4, reply.data(), reply.size(), kQuick);
}

}  // namespace

TEST(SimProgram, ServesUntilStdinClosesAndKeepsItsState) {
    TempDir dir;
    std::string link = dir.File("vantrix"), state = dir.File("state.json");
    {
        SimProcess p({"--layout", "1", "--speed", "19200", "--link", link, "--state", state, "--inputs", "0x21"});
        std::string slave = p.FirstLine();
        EXPECT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(slave, target);
        Bytes r;
        ASSERT_EQ(Identity(link, 19200, r), LINK_OK);
        EXPECT_EQ(r[7], 1);
        p.CloseStdin();
        EXPECT_EQ(p.Wait(), 0);
    }
    EXPECT_LT(::access(link.c_str(), F_OK), 0);  // the link goes with the program
    auto bytes = ReadAll(state);
    auto saved = nlohmann::json::parse(std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(saved["layout"], 1);
    EXPECT_EQ(saved["inputs"], 0x21);

    // The state wins over the options at the next start; SIGTERM saves it.
    saved["outputs"] = 0x44;
    std::string text = saved.dump();
    WriteAll(state, text.data(), text.size());
    SimProcess p({"--layout", "2", "--state", state});
    std::string slave = p.FirstLine();
    Bytes r;
    ASSERT_EQ(Identity(slave, 57600, r), LINK_OK);
    EXPECT_EQ(r[7], 1);
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    bytes = ReadAll(state);
    EXPECT_EQ(nlohmann::json::parse(std::string(bytes.begin(), bytes.end()))["outputs"], 0x44);
}

TEST(SimProgram, BadOptionsAndBadState) {
    TempDir dir;
    {
        SimProcess p({"--speed", "1234"});
        EXPECT_EQ(p.Wait(), 64);
    }
    {
        SimProcess p({"--refuse", "0x21"});
        EXPECT_EQ(p.Wait(), 64);
    }
    std::string state = dir.File("state.json");
    WriteAll(state, "[1,2", 4);
    SimProcess p({"--state", state});
    EXPECT_EQ(p.Wait(), 65);
    EXPECT_EQ(ReadAll(state).size(), 4u);  // not overwritten
}
