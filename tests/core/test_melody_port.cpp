// melodyloader's serial port on a real pseudo-terminal: line settings, frames
// in both directions, the wait for the next byte, hang-up and line noise.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "comm/Frame.h"
#include "melodyloader/MelodyPort.h"

using namespace melody;

namespace {

using Bytes = std::vector<uint8_t>;

struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
            ::ptsname_r(master, name, sizeof name) == 0)
            slave = name;
    }
    ~Pty() { Close(); }
    void Close() {
        if (master >= 0) ::close(master);
        master = -1;
    }
    void Put(const Bytes& b) const { ASSERT_EQ(::write(master, b.data(), b.size()), ssize_t(b.size())); }
    Bytes Take(size_t n) const {
        Bytes b(n);
        size_t got = 0;
        while (got < n) {
            ssize_t r = ::read(master, b.data() + got, n - got);
            if (r <= 0) break;
            got += size_t(r);
        }
        b.resize(got);
        return b;
    }
};

struct Received {
    IMelodyLink::Rx rx;
    Bytes payload;  // the kept bytes
    size_t len;
};

Received Receive(CMelodyPort& port) {
    uint8_t buf[kReplyCapacity];
    size_t len = 99;
    IMelodyLink::Rx rx = port.Receive(buf, sizeof buf, len);
    return {rx, Bytes(buf, buf + std::min(len, sizeof buf)), len};
}

}  // namespace

TEST(MelodyPort, OpensTerminalsOnlyWithTheLineSettings) {
    CMelodyPort port;
    EXPECT_FALSE(port.Open("/dev/null"));
    EXPECT_FALSE(port.Open("/dev/vantrix-no-such-port"));
    EXPECT_FALSE(port.IsOpen());

    Pty pty;
    ASSERT_FALSE(pty.slave.empty());
    ASSERT_TRUE(port.Open(pty.slave));
    int fd = ::open(pty.slave.c_str(), O_RDWR | O_NOCTTY);  // root may open an exclusive line
    ASSERT_GE(fd, 0);
    struct termios t;
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B57600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(MelodyPort, FramesBothWays) {
    Pty pty;
    CMelodyPort port;
    ASSERT_TRUE(port.Open(pty.slave));
    port.SetReadTimeout(500);

    const uint8_t check[] = {0x80, 0x04, 0x00, 0x00};
    ASSERT_TRUE(port.Send(check, sizeof check));
    EXPECT_EQ(pty.Take(10), (Bytes{0x05, 0x80, 0x09, 0x24, 0x09, 0x20, 0x09, 0x20, 0x7C, 0x0A}));

    // Noise before the start byte is skipped; 09 2A is 0x0A inside the frame.
    pty.Put({0x41, 0x0A, 0x05, 0xC0, 0x09, 0x21, 0x09, 0x2A, 0x09, 0x20, 0x35, 0x0A});
    Received r = Receive(port);
    EXPECT_EQ(r.rx, IMelodyLink::kFrame);
    EXPECT_EQ(r.payload, (Bytes{0xC0, 0x01, 0x0A, 0x00}));

    pty.Put({0x05, 0xC0, 0x09, 0x21, 0x09, 0x20, 0x09, 0x20, 0x3E, 0x0A});  // checksum off by one
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kBadFrame);
    pty.Put({0x05, 0x40, 0x0A});  // a checksum and no payload
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kBadFrame);

    // A long reply is read to its end; its first 256 bytes are kept.
    Bytes longReply(300, 0x55);
    longReply[0] = 0xC0;
    longReply[1] = 0x01;
    longReply[2] = longReply[3] = 0x66;
    pty.Put(frame::Encode(longReply.data(), longReply.size()));
    r = Receive(port);
    EXPECT_EQ(r.rx, IMelodyLink::kFrame);
    EXPECT_EQ(r.len, 300u);
    EXPECT_EQ(r.payload, Bytes(longReply.begin(), longReply.begin() + 256));
}

TEST(MelodyPort, WaitsForEachByteOnlyTheReadTimeout) {
    Pty pty;
    CMelodyPort port;
    ASSERT_TRUE(port.Open(pty.slave));
    port.SetReadTimeout(150);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kTimeout);
    auto waited = std::chrono::steady_clock::now() - t0;
    EXPECT_GE(waited, std::chrono::milliseconds(140));
    EXPECT_LT(waited, std::chrono::milliseconds(1500));

    pty.Put({0x05, 0xC0, 0x09});  // a frame that stops half way
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kTimeout);
}

// The read time-out bounds one whole read: a line with a stray byte now and
// then must not hold the check (which had the wait start again with every byte).
TEST(MelodyPort, StrayBytesDoNotStretchTheReadTimeout) {
    Pty pty;
    CMelodyPort port;
    ASSERT_TRUE(port.Open(pty.slave));
    port.SetReadTimeout(400);
    std::thread noise([&] {
        for (int i = 0; i < 12; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            uint8_t b = 0x33;
            (void)!::write(pty.master, &b, 1);
        }
    });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kTimeout);
    auto waited = std::chrono::steady_clock::now() - t0;
    noise.join();
    EXPECT_GE(waited, std::chrono::milliseconds(390));
    EXPECT_LT(waited, std::chrono::milliseconds(1200));
}

// Another program on the port, also one running as root: not opened.
TEST(MelodyPort, HeldPortIsNotOpened) {
    Pty pty;
    CMelodyPort first, second;
    ASSERT_TRUE(first.Open(pty.slave));
    EXPECT_FALSE(second.Open(pty.slave));
    first.Close();
    EXPECT_TRUE(second.Open(pty.slave));
}

TEST(MelodyPort, HangUpIsAFailureNotAWait) {
    Pty pty;
    CMelodyPort port;
    ASSERT_TRUE(port.Open(pty.slave));
    port.SetReadTimeout(5000);
    pty.Close();
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Receive(port).rx, IMelodyLink::kIoError);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    const uint8_t check[] = {0x80, 0x04, 0x00, 0x00};
    EXPECT_FALSE(port.Send(check, sizeof check));
}

TEST(MelodyPort, LineNoiseGivesOnlyResults) {
    Pty pty;
    CMelodyPort port;
    ASSERT_TRUE(port.Open(pty.slave));
    port.SetReadTimeout(10);
    std::mt19937 rng(5);
    int frames = 0, bad = 0;
    for (int round = 0; round < 40; ++round) {
        Bytes noise(1000);
        for (auto& b : noise) {
            // Start and end bytes often enough to make frames of every kind.
            uint32_t v = rng() % 300;
            b = v < 20 ? 0x05 : v < 40 ? 0x0A : v < 55 ? 0x09 : uint8_t(v);
        }
        pty.Put(noise);
        for (;;) {
            Received r = Receive(port);
            if (r.rx == IMelodyLink::kTimeout) break;
            ASSERT_TRUE(r.rx == IMelodyLink::kFrame || r.rx == IMelodyLink::kBadFrame);
            if (r.rx == IMelodyLink::kFrame) {
                ++frames;
                EXPECT_GE(r.len, 1u);
            } else {
                ++bad;
            }
        }
    }
    EXPECT_GT(bad, 0);
    EXPECT_GT(frames + bad, 100);
}
