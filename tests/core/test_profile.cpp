// Profile.dat: defaults, foreign and short files, and the write.
#include <gtest/gtest.h>

#include <cstring>

#include "app/Profile.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

}  // namespace

TEST(Profile, DefaultsFollowTheScreen) {
    CProfile p(1024, 768);
    EXPECT_EQ(p.wnd.windowWidth, 816);
    EXPECT_EQ(p.wnd.windowHeight, 456);
    EXPECT_EQ(p.wnd.treeWidth, 200);
    EXPECT_EQ(p.wnd.smsColumnWidths[7], 300);
    EXPECT_EQ(p.com.accessMode, 1);
    EXPECT_EQ(p.PortName(), "COM1");
    EXPECT_EQ(p.com.modemIndex, -1);
    EXPECT_EQ(p.com.logTraffic, 0);
}

TEST(Profile, ForeignVersionGivesAllDefaults) {
    TempDir dir;
    CProfile written(1024, 768);
    written.com.accessMode = 2;
    written.SetPortName("ttyUSB0");
    ASSERT_EQ(written.Write(dir.File("Profile.dat")), 1);
    Bytes f = ReadAll(dir.File("Profile.dat"));
    ASSERT_EQ(f.size(), 80u);
    f[0] = 2;
    WriteAll(dir.File("Profile.dat"), f);

    CProfile p(1024, 768);
    p.com.accessMode = 2;
    p.wnd.treeWidth = 5;
    EXPECT_EQ(p.Read(dir.File("Profile.dat")), 96);
    EXPECT_EQ(p.com.accessMode, 1);
    EXPECT_EQ(p.PortName(), "COM1");
    EXPECT_EQ(p.wnd.treeWidth, 200);
    EXPECT_EQ(p.Read(dir.File("missing.dat")), 96);
}

TEST(Profile, ShortFileKeepsDefaultsForWhatItLacks) {
    TempDir dir;
    Bytes f = Le32(3);
    Append(f, Le32(2));  // accessMode
    f.push_back(1);      // logTraffic
    const char port[19] = "/dev/ttyACM0";
    f.insert(f.end(), port, port + 19);
    Append(f, Le32(1));    // modemIndex
    Append(f, Le32(640));  // windowWidth
    Append(f, Le32(480));  // windowHeight
    ASSERT_EQ(f.size(), 40u);
    WriteAll(dir.File("Profile.dat"), f);

    CProfile p(1280, 1024);
    EXPECT_EQ(p.Read(dir.File("Profile.dat")), 1);
    EXPECT_EQ(p.com.accessMode, 2);
    EXPECT_EQ(p.com.logTraffic, 1);
    EXPECT_EQ(p.PortName(), "/dev/ttyACM0");
    EXPECT_EQ(p.com.modemIndex, 1);
    EXPECT_EQ(p.wnd.windowWidth, 640);
    EXPECT_EQ(p.wnd.windowHeight, 480);
    EXPECT_EQ(p.wnd.smsColumnWidths[0], 120);
    EXPECT_EQ(p.wnd.treeWidth, 200);
}

TEST(Profile, WriteIsByteExactAndAnOverlongPortNameIsCut) {
    TempDir dir;
    CProfile p(1024, 768);
    p.com.modemIndex = 3;
    p.wnd.smsColumnWidths[8] = 77;
    ASSERT_EQ(p.Write(dir.File("Profile.dat")), 1);
    Bytes f = ReadAll(dir.File("Profile.dat"));
    Bytes expected = Le32(3);
    Append(expected, Le32(1));
    expected.push_back(0);
    const char port[19] = "COM1";
    expected.insert(expected.end(), port, port + 19);
    Append(expected, Le32(3));
    Append(expected, Le32(816));
    Append(expected, Le32(456));
    for (int i = 0; i < 9; ++i) Append(expected, Le32(i == 8 ? 77 : i % 3 == 0 ? 120 : i % 3 == 1 ? 300 : 130));
    Append(expected, Le32(200));
    EXPECT_EQ(f, expected);

    std::memset(&f[9], 'X', 19);  // a port name without terminator
    WriteAll(dir.File("Profile.dat"), f);
    CProfile q;
    EXPECT_EQ(q.Read(dir.File("Profile.dat")), 1);
    EXPECT_EQ(q.PortName(), std::string(16, 'X'));
}

TEST(Profile, WriteWithoutDataDirectoryFails) {
    TempDir dir;
    CProfile p;
    EXPECT_EQ(p.Write(dir.File("Data/Profile.dat")), 97);
}
