// melodyloader as a process: its console dialogue on stdin and stdout, the
// device on a pseudo-terminal (CMelodyPeer, or the vantrix-sim program).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "comm/PortName.h"
#include "melodyloader/MelodyImage.h"
#include "tests/e2e/MelodyPeer.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kLoader = MELODYLOADER;
const std::string kBanner =
    "Music Downloader, version 1.01\n\nSelect serial port connecting to device [Enter = COM1] : ";

Bytes Pattern(size_t n) {
    Bytes b(n);
    uint32_t x = 7;
    for (auto& v : b) v = uint8_t((x = x * 1103515245 + 12345) >> 16);
    return b;
}

Bytes BuiltIn() { return Bytes(melody::kMelodyImage, melody::kMelodyImage + melody::kMelodyImageSize); }

std::string Internal(const std::string& port) { return kBanner + "Download internal data via " + port + "...\n"; }
std::string OfFile(const std::string& file, const std::string& port) {
    return kBanner + "Download " + file + " file via " + port + "...\n";
}
std::string Ending(int stars, bool completed) {
    return std::string(size_t(stars), '*') + "\n" + (completed ? "Download is completed\n" : "") + "\nPress Enter...";
}

ProgramRun Load(CMelodyPeer& peer, const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv = {kLoader};
    argv.insert(argv.end(), args.begin(), args.end());
    ProgramRun run = RunProgram(argv, peer.SlavePath() + "\n\n");
    peer.Stop();
    return run;
}

// The line for a port that does not exist: the ports this machine has, as the
// communication settings of the panel offer them.
std::string MissingLine() {
    const std::vector<std::string> ports = DetectedPorts();
    if (ports.empty()) return "Port v počítači není a žádný sériový port nebyl nalezen.\n";
    std::string line = "Port v počítači není. Nalezené porty: ";
    for (size_t i = 0; i < ports.size(); ++i) line += (i ? ", " : "") + ports[i];
    return line + "\n";
}

std::vector<uint16_t> Addresses(CMelodyServer& s) {
    std::vector<uint16_t> out;
    for (const auto& w : s.Writes()) out.push_back(w.address);
    return out;
}

}  // namespace

TEST(MelodyLoader, BuiltInImageGoesOutIn35Blocks) {
    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    ProgramRun run = Load(peer);
    EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(35, true));
    EXPECT_EQ(run.status, 0);

    CMelodyServer& s = peer.Server();
    EXPECT_EQ(s.Checks(), 1);
    ASSERT_EQ(s.Writes().size(), 35u);
    for (size_t i = 0; i < 35; ++i) {
        EXPECT_EQ(s.Writes()[i].address, 0xD000 + 128 * i) << i;
        EXPECT_EQ(s.Writes()[i].count, i < 34 ? 128 : 52) << i;
    }
    EXPECT_EQ(s.Writes().back().address, 0xE100);
    EXPECT_EQ(s.Memory(), BuiltIn());
}

TEST(MelodyLoader, FileGoesOutTheSameWayAndReadOnlyIsEnough) {
    TempDir dir;
    std::string file = dir.File("tune.mel");
    Bytes data = Pattern(1000);
    WriteAll(file, data);
    ::chmod(file.c_str(), 0444);

    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    ProgramRun run = Load(peer, {file, "ignored"});
    EXPECT_EQ(run.output, OfFile(file, peer.SlavePath()) + Ending(8, true));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(peer.Server().Writes().size(), 8u);
    EXPECT_EQ(peer.Server().Writes().back().count, 1000 - 7 * 128);
    EXPECT_EQ(peer.Server().Memory(), data);
}

TEST(MelodyLoader, FileSizeBoundaries) {
    TempDir dir;
    {
        WriteAll(dir.File("empty.mel"), Bytes());
        CMelodyPeer peer;
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer, {dir.File("empty.mel")});
        EXPECT_EQ(run.output, OfFile(dir.File("empty.mel"), peer.SlavePath()) + Ending(0, true));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(peer.Server().Checks(), 1);
        EXPECT_TRUE(peer.Server().Writes().empty());
    }
    {
        Bytes full = Pattern(12288);
        WriteAll(dir.File("full.mel"), full);
        CMelodyPeer peer;
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer, {dir.File("full.mel")});
        EXPECT_EQ(run.output, OfFile(dir.File("full.mel"), peer.SlavePath()) + Ending(96, true));
        EXPECT_EQ(peer.Server().Writes().back().address, 0xFF80);
        EXPECT_EQ(peer.Server().Memory(), full);
    }
    {
        WriteAll(dir.File("big.mel"), Pattern(12289));
        CMelodyPeer peer;
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer, {dir.File("big.mel")});
        EXPECT_EQ(run.output, OfFile(dir.File("big.mel"), peer.SlavePath()) + "File is too large\n");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(peer.BytesIn(), 0u) << "refused before anything is sent";
    }
}

TEST(MelodyLoader, MissingFileEndsAtOnceWithoutThePrompt) {
    TempDir dir;
    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    ProgramRun run = Load(peer, {dir.File("missing.mel")});
    EXPECT_EQ(run.output, OfFile(dir.File("missing.mel"), peer.SlavePath()) + "File can not be open\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(peer.BytesIn(), 0u);
}

// A FIFO (no writer) given as the melody file: open() would wait for a writer
// before the file's type was looked at, and the program hung there.
TEST(MelodyLoader, FifoIsNoMelodyFileAndDoesNotHang) {
    TempDir dir;
    const std::string fifo = dir.File("melody.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    std::vector<std::string> argv = {kLoader, fifo};
    ProgramRun run = RunProgram(argv, peer.SlavePath() + "\n\n", 10);
    peer.Stop();
    EXPECT_EQ(run.output, OfFile(fifo, peer.SlavePath()) + "File can not be open\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_LT(run.seconds, 5);
    EXPECT_EQ(peer.BytesIn(), 0u);
}

// A port another melodyloader holds: no download (as root too), and the
// user is told why.
TEST(MelodyLoader, HeldPortIsNotShared) {
    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    const int held = ::open(peer.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    ProgramRun run = Load(peer);
    ::close(held);
    EXPECT_EQ(run.output, Internal(peer.SlavePath()) + "Port právě používá jiný program.\n" + Ending(0, false));
    EXPECT_EQ(peer.BytesIn(), 0u);
}

TEST(MelodyLoader, RefusedBlocksRunOutOfTries) {
    {
        CMelodyPeer peer;  // the first block three times
        peer.Server().RefuseWrites(3);
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(0, false));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(Addresses(peer.Server()), (std::vector<uint16_t>{0xD000, 0xD000, 0xD000}));
    }
    {
        CMelodyPeer peer;  // a later block twice
        peer.Server().RefuseWrites(2, 1);
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(1, false));
        EXPECT_EQ(Addresses(peer.Server()), (std::vector<uint16_t>{0xD000, 0xD080, 0xD080}));
    }
    {
        CMelodyPeer peer;  // one try fewer and it goes through
        peer.Server().RefuseWrites(2);
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(35, true));
        EXPECT_EQ(peer.Server().Writes().size(), 37u);
        EXPECT_EQ(peer.Server().Memory(), BuiltIn());
    }
}

TEST(MelodyLoader, BadChecksumFailsTheAttempt) {
    {
        CMelodyPeer peer;  // reply 0 answers the check
        peer.CorruptReplies({1, 2, 3});
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(0, false));
        EXPECT_EQ(peer.Server().Writes().size(), 3u);
    }
    {
        // A good frame right behind the bad one is not taken as the answer to
        // that attempt, nor to the next: the block is sent again, and every
        // block waits for its own answer.
        CMelodyPeer peer;
        peer.CorruptReplies({1}, true);
        peer.DelayReplies(std::chrono::milliseconds(30));
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(35, true));
        EXPECT_EQ(peer.EarlyRequests(), 0);
        std::vector<uint16_t> a = Addresses(peer.Server());
        ASSERT_GE(a.size(), 3u);
        EXPECT_EQ(a[0], 0xD000);
        EXPECT_EQ(a[1], 0xD000);
        EXPECT_EQ(a[2], 0xD080);
        EXPECT_EQ(peer.Server().Memory(), BuiltIn());
    }
}

// No device: the empty line and the prompt as always; only a port that did
// not open adds a line that tells why.
TEST(MelodyLoader, NoDeviceGivesTheEmptyLineAndThePrompt) {
    {
        TempDir dir;  // a port that does not exist
        std::string port = dir.File("no-such-port");
        ProgramRun run = RunProgram({kLoader}, port + "\n\n");
        EXPECT_EQ(run.output, Internal(port) + MissingLine() + Ending(0, false));
        EXPECT_EQ(run.status, 1);
    }
    {
        CMelodyPeer peer;  // a device that refuses every check
        peer.Server().RefuseChecks(true);
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(0, false));
        EXPECT_EQ(peer.Server().Checks(), 5);
        EXPECT_TRUE(peer.Server().Writes().empty());
    }
    {
        CMelodyPeer peer;  // a device that never answers: 5 x 2 s
        peer.Server().SilenceChecks(true);
        ASSERT_TRUE(peer.Start());
        ProgramRun run = Load(peer);
        EXPECT_EQ(run.output, Internal(peer.SlavePath()) + Ending(0, false));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(peer.Server().Checks(), 5);
        EXPECT_GE(run.seconds, 9.5);
        EXPECT_LT(run.seconds, 20);
    }
}

TEST(MelodyLoader, EmptyLineMeansCom1) {
    struct stat st;
    if (::stat("/dev/ttyS0", &st) != 0) {
        ProgramRun run = RunProgram({kLoader}, "\n\n");
        EXPECT_EQ(run.output, Internal("COM1") + MissingLine() + Ending(0, false));
        return;
    }
    // COM1 is a real port here. The test never talks to it: in a mount
    // namespace of the loader's own the peer's line stands in for /dev/ttyS0.
    if (::stat("/usr/bin/unshare", &st) != 0) GTEST_SKIP() << "no unshare to stand in for /dev/ttyS0";
    CMelodyPeer peer;
    ASSERT_TRUE(peer.Start());
    std::string script =
        "mount --make-rprivate / && mount --bind '" + peer.SlavePath() + "' /dev/ttyS0 && exec '" + kLoader + "'";
    ProgramRun run = RunProgram({"/usr/bin/unshare", "-m", "/bin/sh", "-c", script}, "\n\n");
    peer.Stop();
    if (run.output.empty()) GTEST_SKIP() << "no mount namespace (needs root) to stand in for /dev/ttyS0";
    EXPECT_EQ(run.output, Internal("COM1") + Ending(35, true));
    EXPECT_EQ(peer.Server().Memory(), BuiltIn());
}

#ifdef VANTRIX_SIM_PROGRAM
// Against the simulator program: its first line is the slave path, its saved
// state holds the melody memory.
TEST(MelodyLoader, BuiltInImageIntoTheSimulator) {
    TempDir dir;
    std::string state = dir.File("state.json");
    int in[2], out[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&fa, out[1], STDOUT_FILENO);
    std::string sim = VANTRIX_SIM_PROGRAM, opt = "--state";
    char* argv[] = {sim.data(), opt.data(), state.data(), nullptr};
    pid_t pid;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &fa, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    ::close(in[0]);
    ::close(out[1]);

    std::string first;
    char c;
    struct pollfd p = {out[0], POLLIN, 0};
    while (first.size() < 256 && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') first += c;
    ASSERT_EQ(first.rfind("/dev/", 0), 0u) << first;

    ProgramRun run = RunProgram({kLoader}, first + "\n\n");
    EXPECT_EQ(run.output, Internal(first) + Ending(35, true));

    ::close(in[1]);  // the simulator saves its state and ends
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    std::ifstream f(state);
    nlohmann::json j = nlohmann::json::parse(f, nullptr, false);
    ASSERT_TRUE(j.is_object() && j.contains("melody")) << "no melody memory in the saved state";
    std::string hex = j["melody"].value("memory", "");
    std::string expected;
    char h[3];
    for (uint8_t b : BuiltIn()) {
        std::snprintf(h, sizeof h, "%02x", b);
        expected += h;
    }
    EXPECT_EQ(hex, expected);
}
#endif
