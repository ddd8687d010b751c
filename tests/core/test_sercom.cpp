// The serial transport on a real pseudo-terminal: the test holds the master
// side and plays the device.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <thread>

#include "comm/Link.h"
#include "comm/SerCom.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

class Pty {
public:
    Pty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
        char name[128];
        if (::ptsname_r(m_master, name, sizeof name) == 0) m_slave = name;
    }
    ~Pty() { CloseMaster(); }
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    int Master() const { return m_master; }
    const std::string& Slave() const { return m_slave; }
    void Send(const std::string& s) { ASSERT_EQ(::write(m_master, s.data(), s.size()), ssize_t(s.size())); }
    std::string Receive(size_t n) {
        std::string s(n, '\0');
        size_t got = 0;
        while (got < n) {
            ssize_t r = ::read(m_master, s.data() + got, n - got);
            if (r <= 0) break;
            got += size_t(r);
        }
        s.resize(got);
        return s;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

struct Opened {
    Pty pty;
    CSerCom com;
    Opened(uint32_t baud = 57600) {
        EXPECT_TRUE(com.Create());
        EXPECT_EQ(com.Open(pty.Slave(), baud), SER_OK);
    }
};

}  // namespace

TEST(SerCom, PortNames) {
    EXPECT_EQ(MapPortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(MapPortName("com12"), "/dev/ttyS11");
    EXPECT_EQ(MapPortName("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(MapPortName("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(MapPortName("COM0"), "/dev/COM0");
    EXPECT_EQ(MapPortName("COMX"), "/dev/COMX");
    EXPECT_EQ(MapPortName("COM"), "/dev/COM");
    EXPECT_EQ(MapPortName("COM1a"), "/dev/COM1a");
}

TEST(SerCom, OpenAppliesTheLineSettings) {
    Opened o(9600);
    struct termios t;
    ASSERT_EQ(::tcgetattr(o.pty.Master(), &t), 0);  // the master sees the slave's settings
    EXPECT_EQ(cfgetospeed(&t), speed_t(B9600));
    EXPECT_EQ(BaudFromConstant(uint32_t(cfgetospeed(&t))), 9600u);
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & (PARENB | CSTOPB));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    // Reopening at another speed replaces the handle.
    EXPECT_EQ(o.com.Open(o.pty.Slave(), 57600), SER_OK);
    ASSERT_EQ(::tcgetattr(o.pty.Master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B57600));

    CSerCom other;
    EXPECT_EQ(other.Open("/nonexistent/port", 57600), SER_OPEN);
    EXPECT_FALSE(other.IsOpen());
    EXPECT_EQ(other.OpenFault(), PF_MISSING);
    o.com.Close();                                          // free for another program
    EXPECT_EQ(other.Open(o.pty.Slave(), 12345), SER_OPEN);  // no such speed
    EXPECT_EQ(other.OpenFault(), PF_OTHER);                 // nothing the user could be told
    EXPECT_EQ(other.Open(o.pty.Slave(), 9600), SER_OK);
    EXPECT_EQ(other.OpenFault(), PF_NONE);
    other.Close();
    uint8_t b;
    EXPECT_EQ(other.Read(&b, 1, 10), SER_FAIL);  // closed
}

// A port another program holds is refused, also to a process running as root
// (which TIOCEXCL does not stop): two programs on one line read each other's
// replies.
TEST(SerCom, HeldPortIsRefusedEvenToRoot) {
    Opened o(57600);
    CSerCom second;
    EXPECT_EQ(second.Open(o.pty.Slave(), 57600), SER_OPEN);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.OpenFault(), PF_HELD);
    // Reopening by the holder is no second program.
    EXPECT_EQ(o.com.Open(o.pty.Slave(), 9600), SER_OK);
    EXPECT_EQ(second.Open(o.pty.Slave(), 57600), SER_OPEN);
    o.com.Close();
    EXPECT_EQ(second.Open(o.pty.Slave(), 57600), SER_OK);
    EXPECT_EQ(o.com.Open(o.pty.Slave(), 57600), SER_OPEN);
}

// The ports offered and named to the user: a console, a virtual terminal or
// an empty UART place (the serial core has 32 ttyS of them) offered as a port
// is one the user picks in vain.
TEST(SerCom, DetectedPortsAreTheTtysWithADeviceAndANode) {
    TempDir sys, dev;
    auto tty = [&](const std::string& name, bool device, const char* type, bool node) {
        ASSERT_EQ(::mkdir(sys.File(name).c_str(), 0755), 0);
        if (device) {
            ASSERT_EQ(::mkdir(sys.File(name + "/device").c_str(), 0755), 0);
        }
        if (type) WriteAll(sys.File(name + "/type"), type, std::strlen(type));
        if (node) WriteAll(dev.File(name), "", 0);
    };
    tty("console", false, nullptr, true);
    tty("tty1", false, nullptr, true);
    tty("ttyS0", true, "4\n", true);
    tty("ttyS1", true, "0\n", true);  // no UART behind this place
    tty("ttyS10", true, "4\n", true);
    tty("ttyUSB0", true, nullptr, true);   // no type: not a serial-core port
    tty("ttyACM0", true, nullptr, false);  // unplugged while udev had not removed it
    // The adapter names itself on its USB device, above the tty's device.
    TempDir usb;
    ASSERT_EQ(::mkdir(usb.File("1-1").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(usb.File("1-1/1-1:1.0").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(usb.File("1-1/1-1:1.0/ttyUSB0").c_str(), 0755), 0);
    for (const char* f : {"idVendor\n0403", "product\nFT232R USB UART\n", "manufacturer\nFTDI", "serial\nA50285BI\n"}) {
        const std::string s = f;
        WriteAll(usb.File("1-1/" + s.substr(0, s.find('\n'))), s.data() + s.find('\n') + 1,
                 s.size() - s.find('\n') - 1);
    }
    ASSERT_EQ(::rmdir(sys.File("ttyUSB0/device").c_str()), 0);
    ASSERT_EQ(::symlink(usb.File("1-1/1-1:1.0/ttyUSB0").c_str(), sys.File("ttyUSB0/device").c_str()), 0);
    ASSERT_EQ(::mkdir(dev.File("by-id").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("../ttyUSB0", dev.File("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").c_str()), 0);

    std::vector<PortInfo> ports = DetectedPortInfoIn(sys.Path(), dev.Path(), dev.File("by-id"));
    std::vector<std::string> names;
    for (const PortInfo& p : ports) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"ttyS0", "ttyS10", "ttyUSB0"}));
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].description, "");
    EXPECT_EQ(ports[0].byId, "");
    EXPECT_EQ(ports[2].path, dev.File("ttyUSB0"));
    EXPECT_EQ(ports[2].description, "FT232R USB UART");
    EXPECT_EQ(ports[2].maker, "FTDI");
    EXPECT_EQ(ports[2].serial, "A50285BI");
    EXPECT_EQ(ports[2].byId, dev.File("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
    EXPECT_TRUE(DetectedPortInfoIn(sys.File("none"), dev.Path(), dev.File("by-id")).empty());
}

TEST(SerCom, ExactCountsArriveInPieces) {
    Opened o;
    std::thread peer([&] {
        o.pty.Send("ab");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        o.pty.Send("cde");
    });
    char buf[5];
    EXPECT_EQ(o.com.Read(buf, 5, 2000), SER_OK);
    peer.join();
    EXPECT_EQ(std::string(buf, 5), "abcde");
    EXPECT_EQ(o.com.Write("xyz", 3, 1000), SER_OK);
    EXPECT_EQ(o.pty.Receive(3), "xyz");

    // Purge drops what waits.
    o.pty.Send("old");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    o.com.PurgeRx();
    o.pty.Send("n");
    EXPECT_EQ(o.com.Read(buf, 1, 1000), SER_OK);
    EXPECT_EQ(buf[0], 'n');
}

TEST(SerCom, SilentPeerTimesOut) {
    Opened o;
    uint8_t b[2];
    auto t0 = Clock::now();
    EXPECT_EQ(o.com.Read(b, 1, 150), SER_TIMEOUT);
    long ms = MsSince(t0);
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 1000);
    // The limit is for the whole transfer, not per byte.
    o.pty.Send("a");
    t0 = Clock::now();
    EXPECT_EQ(o.com.Read(b, 2, 150), SER_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1000);
}

TEST(SerCom, PeerGoneIsAFailureNotATimeout) {
    Opened o;
    o.pty.CloseMaster();
    uint8_t b;
    auto t0 = Clock::now();
    EXPECT_EQ(o.com.Read(&b, 1, 3000), SER_FAIL);
    EXPECT_LT(MsSince(t0), 1000);
}

TEST(SerCom, CancelEndsAWaitingReadAtOnce) {
    Opened o;
    std::thread ui([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        o.com.Cancel();
    });
    uint8_t b;
    auto t0 = Clock::now();
    EXPECT_EQ(o.com.Read(&b, 1, 5000), SER_CANCEL);
    EXPECT_LT(MsSince(t0), 1000);
    ui.join();
    EXPECT_FALSE(o.com.IsCancelPending());  // consumed by the wait

    // A link transaction stops at once too, without further tries.
    uint8_t req[4], reply[8];
    FillHeader(req);
    req[1] = CMD_IDENTITY;
    std::thread ui2([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        o.com.Cancel();
    });
    t0 = Clock::now();
    EXPECT_EQ(LinkTransact(o.com, req, 4, reply, sizeof reply, 3000, 3000, 3), LINK_CANCEL);
    EXPECT_LT(MsSince(t0), 1000);
    ui2.join();
}

TEST(SerCom, CancelWhileNothingWaitsIsTakenByTheNextWait) {
    Opened o;
    uint8_t b;
    o.com.Cancel();
    o.com.Cancel();  // auto-reset: two presses before a wait are one cancel
    auto t0 = Clock::now();
    EXPECT_EQ(o.com.Read(&b, 1, 2000), SER_CANCEL);
    EXPECT_LT(MsSince(t0), 500);
    EXPECT_EQ(o.com.Read(&b, 1, 50), SER_TIMEOUT);

    // Taken by the test for a pending cancel instead.
    o.com.Cancel();
    EXPECT_TRUE(o.com.IsCancelPending());
    EXPECT_FALSE(o.com.IsCancelPending());

    // A transfer that completes without waiting leaves it pending.
    o.com.Cancel();
    EXPECT_EQ(o.com.Write("w", 1, 1000), SER_OK);
    EXPECT_TRUE(o.com.IsCancelPending());
}

TEST(SerCom, DataAndCancelTogetherSucceedAndKeepTheCancel) {
    Opened o;
    o.pty.Send("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    o.com.Cancel();
    char buf[3];
    EXPECT_EQ(o.com.Read(buf, 3, 1000), SER_OK);
    EXPECT_TRUE(o.com.IsCancelPending());

    // Data that does not complete the transfer: the cancel ends it.
    o.pty.Send("a");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    o.com.Cancel();
    auto t0 = Clock::now();
    EXPECT_EQ(o.com.Read(buf, 3, 2000), SER_CANCEL);
    EXPECT_LT(MsSince(t0), 500);
}

TEST(SerCom, AttachedChannelNeedsNoSettings) {
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    CSerCom com;
    ASSERT_TRUE(com.Create());
    com.Attach(sv[0]);
    EXPECT_TRUE(com.IsOpen());
    EXPECT_EQ(com.Fd(), sv[0]);
    ASSERT_EQ(::write(sv[1], "stale", 5), 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    com.PurgeRx();  // no terminal: read away
    ASSERT_EQ(::write(sv[1], "ok", 2), 2);
    char buf[2];
    EXPECT_EQ(com.Read(buf, 2, 1000), SER_OK);
    EXPECT_EQ(std::string(buf, 2), "ok");
    EXPECT_EQ(com.Write("hi", 2, 1000), SER_OK);
    EXPECT_EQ(::read(sv[1], buf, 2), 2);
    com.Close();  // closes the attached channel too
    EXPECT_FALSE(com.IsOpen());
    EXPECT_EQ(::read(sv[1], buf, 1), 0);
    ::close(sv[1]);
}

TEST(SerCom, TrafficLog) {
    TempDir dir;
    Opened o;
    std::string path = dir.File("sercom.log");
    o.com.OpenLog(path);
    ASSERT_TRUE(o.com.LogEnabled());

    // One exchange as the link does it: the request in one write, the reply
    // byte by byte.
    uint8_t req[4];
    FillHeader(req);
    req[1] = CMD_END_SESSION;
    std::thread dev([&] {
        o.pty.Receive(8);
        o.pty.Send(std::string("\x05\xC0\x22\x09\x21\x09\x20\x1D\x0A", 9));
    });
    uint8_t reply[4];
    EXPECT_EQ(LinkTransact(o.com, req, 4, reply, 4, 1000, 1000, 1), LINK_OK);
    dev.join();
    uint8_t b;
    EXPECT_EQ(o.com.Read(&b, 1, 20), SER_TIMEOUT);  // not logged
    EXPECT_EQ(o.com.Write("\x7F", 1, 1000), SER_OK);
    o.pty.Receive(1);

    auto bytes = ReadAll(path);
    std::string log(bytes.begin(), bytes.end());
    std::regex expected(
        "\nW \\([0-9A-F]{8}\\): 05 80 22 09 21 FF 5E 0A "
        "\nR \\([0-9A-F]{8}\\): 05 C0 22 09 21 09 20 1D 0A "
        "\nW \\([0-9A-F]{8}\\): 7F ");
    EXPECT_TRUE(std::regex_match(log, expected)) << log;

    // Each open starts a new file; an uncreatable one leaves logging off.
    o.com.OpenLog(path);
    EXPECT_EQ(ReadAll(path).size(), 0u);
    o.com.OpenLog(dir.File("missing/sercom.log"));
    EXPECT_FALSE(o.com.LogEnabled());
    EXPECT_EQ(o.com.Write("x", 1, 1000), SER_OK);
    o.com.CloseLog();
    EXPECT_FALSE(o.com.LogEnabled());
}
