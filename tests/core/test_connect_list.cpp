// The remote connection list and Connection.dat.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "remote/ConnectDsc.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<unsigned char>;

void Le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

Bytes Entry(const std::string& number, const std::string& pin) {
    Bytes b(25, 0);
    std::memcpy(b.data(), number.data(), std::min<size_t>(number.size(), 16));
    std::memcpy(b.data() + 16, pin.data(), std::min<size_t>(pin.size(), 9));
    return b;
}

Bytes File(int32_t selected, uint32_t claimed, const std::vector<Bytes>& entries, uint32_t version = 1) {
    Bytes b;
    Le32(b, version);
    Le32(b, uint32_t(selected));
    Le32(b, claimed);
    for (const auto& e : entries) b.insert(b.end(), e.begin(), e.end());
    return b;
}

CConnectDsc Dsc(const std::string& number, const std::string& pin) {
    CConnectDsc d;
    d.SetNumber(number);
    d.SetPin(pin);
    return d;
}

struct ConnectList : ::testing::Test {
    TempDir dir;
    std::string path = dir.File("Connection.dat");
    CConnectDscMng mng;
};

}  // namespace

TEST_F(ConnectList, ThreeEntriesRoundTripWithTheSecondSelected) {
    const Bytes file =
        File(1, 3, {Entry("603111222", "1234"), Entry("+420777888999", "87654321"), Entry("123456789012345", "0000")});
    ASSERT_EQ(file.size(), 12u + 75u);
    WriteAll(path, file);
    ASSERT_EQ(mng.Load(path), 1);
    ASSERT_EQ(mng.Count(), 3);
    EXPECT_EQ(mng.selectedIndex, 1);
    ASSERT_NE(mng.SelectedEntry(), nullptr);
    EXPECT_EQ(mng.SelectedEntry()->Number(), "+420777888999");
    EXPECT_EQ(mng.SelectedEntry()->Pin(), "87654321");
    EXPECT_EQ(mng.Get(2)->Number(), "123456789012345");

    std::remove(path.c_str());
    ASSERT_EQ(mng.Save(path), 1);
    EXPECT_EQ(ReadAll(path), file);
#ifndef _WIN32  // a Windows file gets the folder's access rights
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}

TEST_F(ConnectList, BadFilesGiveAnEmptyListWithoutSelection) {
    const std::vector<Bytes> three = {Entry("1", "1111"), Entry("2", "2222"), Entry("3", "3333")};
    std::vector<Bytes> hundredOne(101, Entry("5", "5555"));
    const Bytes cases[] = {
        File(1, 4, three),         // claims four, holds three
        File(0, 3, three, 2),      // foreign version
        File(0, 101, hundredOne),  // more than the list can hold
        Bytes{1, 0, 0, 0, 0, 0},   // short header
    };
    for (const auto& file : cases) {
        WriteAll(path, file);
        mng.Add(Dsc("x", "1234"));
        mng.selectedIndex = 0;
        EXPECT_EQ(mng.Load(path), 0);
        EXPECT_EQ(mng.Count(), 0);
        EXPECT_EQ(mng.selectedIndex, -1);
    }
    EXPECT_EQ(mng.Load(dir.File("missing.dat")), 0);
    EXPECT_EQ(mng.Count(), 0);
}

TEST_F(ConnectList, StoredSelectionThatFitsNoEntryBecomesNone) {
    for (int32_t sel : {3, -2, 1000}) {
        WriteAll(path, File(sel, 2, {Entry("1", "1111"), Entry("2", "2222")}));
        ASSERT_EQ(mng.Load(path), 1);
        EXPECT_EQ(mng.Count(), 2);
        EXPECT_EQ(mng.selectedIndex, -1) << sel;
    }
    // An empty list with no selection is a valid file.
    WriteAll(path, File(-1, 0, {}));
    EXPECT_EQ(mng.Load(path), 1);
}

TEST_F(ConnectList, SelectionThatNoLongerFitsIsNoneAndIsStoredAsNone) {
    WriteAll(path, File(2, 3, {Entry("1", "1111"), Entry("2", "2222"), Entry("3", "3333")}));
    ASSERT_EQ(mng.Load(path), 1);
    mng.Remove(2);
    EXPECT_EQ(mng.selectedIndex, 2);  // Remove leaves it; readers see none
    EXPECT_EQ(mng.SelectedEntry(), nullptr);
    ASSERT_EQ(mng.Save(path), 1);
    const Bytes saved = ReadAll(path);
    ASSERT_EQ(saved.size(), 12u + 50u);
    EXPECT_EQ(saved[4], 0xFF);
    EXPECT_EQ(saved[7], 0xFF);
}

TEST_F(ConnectList, UnterminatedFieldsAreCutWithinThemAndTrailingBytesIgnored) {
    Bytes e(25, 'a');  // no terminator in either field
    Bytes withJunk = Entry("604", "9999");
    withJunk[10] = 'J';  // after the number's terminator
    withJunk[22] = 'K';  // after the PIN's terminator
    WriteAll(path, File(0, 2, {e, withJunk}));
    ASSERT_EQ(mng.Load(path), 1);
    EXPECT_EQ(mng.Get(0)->Number(), std::string(15, 'a'));
    EXPECT_EQ(mng.Get(0)->Pin(), std::string(8, 'a'));
    EXPECT_EQ(mng.Get(1)->Number(), "604");
    EXPECT_EQ(mng.Get(1)->Pin(), "9999");
    EXPECT_EQ(mng.Get(1)->number[10], 0);  // the copy is clean after the text
}

TEST_F(ConnectList, ListHoldsAHundredEntries) {
    for (int i = 0; i < 99; ++i) ASSERT_EQ(mng.Add(Dsc(std::to_string(i), "1234")), i);
    CConnectDsc* first = mng.Get(0);
    EXPECT_EQ(mng.Add(Dsc("last", "1234")), 99);
    EXPECT_EQ(mng.Add(Dsc("more", "1234")), -1);
    EXPECT_EQ(mng.Count(), 100);
    EXPECT_EQ(mng.Get(0), first);  // entries keep their address

    mng.Remove(100);
    mng.Remove(-1);
    EXPECT_EQ(mng.Count(), 100);
    mng.Remove(0);
    EXPECT_EQ(mng.Get(0)->Number(), "1");
    EXPECT_EQ(mng.Get(99), nullptr);

    mng.selectedIndex = 5;
    mng.Clear();
    EXPECT_EQ(mng.Count(), 0);
    EXPECT_EQ(mng.selectedIndex, -1);
}

TEST_F(ConnectList, SaveWaitsForALoadAndFailsQuietlyWithoutTheDirectory) {
    mng.Add(Dsc("1", "1234"));
    EXPECT_EQ(mng.Save(path), 0);  // never loaded: the stored list stays
    EXPECT_FALSE(std::ifstream(path).good());
    mng.Load(path);
    EXPECT_EQ(mng.Save(dir.File("Data/Connection.dat")), 0);
    EXPECT_EQ(mng.Save(path), 1);
    EXPECT_EQ(ReadAll(path), File(-1, 0, {}));
}

// File modes and a file the owner may not read exist on POSIX only.
#ifndef _WIN32
// An unreadable Connection.dat (root-owned after a run with sudo) became an
// empty list at exit; one with 101 entries was replaced by an empty one.
TEST_F(ConnectList, StoreThatCouldNotBeReadIsKeptWhole) {
    std::vector<Bytes> many(101, Entry("603", "1234"));
    const Bytes tooMany = File(0, 101, many);
    WriteAll(path, tooMany);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    WriteAll(path + ".bak", "older", 5);
    EXPECT_EQ(mng.Load(path), 0);
    mng.Add(Dsc("777", "0000"));
    ASSERT_EQ(mng.Save(path), 1);
    EXPECT_EQ(ReadAll(path + ".bak"), tooMany);
    struct stat st;
    ASSERT_EQ(::stat((path + ".bak").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the copy holds the PINs as well
    EXPECT_EQ(ReadAll(path), File(-1, 1, {Entry("777", "0000")}));

    if (::geteuid() == 0) return;  // the superuser reads any file
    const Bytes two = File(1, 2, {Entry("1", "1111"), Entry("2", "2222")});
    WriteAll(path, two);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    CConnectDscMng locked;
    EXPECT_EQ(locked.Load(path), 0);
    EXPECT_TRUE(locked.LoadRan());
    EXPECT_EQ(locked.Save(path), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(ReadAll(path), two);
}
#endif

TEST_F(ConnectList, DescriptorTextsAreCutToTheirFields) {
    CConnectDsc d = Dsc("12345678901234567890", "123456789");
    EXPECT_EQ(d.Number(), "123456789012345");
    EXPECT_EQ(d.Pin(), "12345678");
    CConnectDsc empty;
    EXPECT_EQ(empty.Number(), "");
    EXPECT_EQ(empty.Pin(), "");
}

TEST_F(ConnectList, RandomAndMutatedFilesLoadWithinLimits) {
    std::mt19937 rng(15);
    std::vector<Bytes> entries;
    for (int i = 0; i < 5; ++i) entries.push_back(Entry("60" + std::to_string(i), "1234"));
    const Bytes valid = File(3, 5, entries);
    int loaded = 0;
    for (int round = 0; round < 10000; ++round) {
        Bytes file;
        if (round % 2) {
            file = valid;
            const int flips = 1 + int(rng() % 6);
            for (int f = 0; f < flips; ++f) file[rng() % file.size()] = uint8_t(rng());
            if (rng() % 4 == 0) file.resize(rng() % file.size());
        } else {
            file = File(int32_t(rng() % 8) - 2, rng() % 120, {}, rng() % 4 ? 1 : rng());
            const size_t n = rng() % 3000;
            for (size_t k = 0; k < n; ++k) file.push_back(uint8_t(rng()));
        }
        WriteAll(path, file);
        CConnectDscMng m;
        const int r = m.Load(path);
        ASSERT_LE(m.Count(), CONNECT_MAX);
        ASSERT_TRUE(m.selectedIndex == -1 || m.SelectedEntry() != nullptr);
        if (r == 0) {
            ASSERT_EQ(m.Count(), 0);
        }
        loaded += r;
        for (int i = 0; i < m.Count(); ++i) {
            ASSERT_LE(m.Get(i)->Number().size(), size_t(CONNECT_NUMBER_LEN));
            ASSERT_LE(m.Get(i)->Pin().size(), size_t(CONNECT_PIN_LEN));
        }
    }
    EXPECT_GT(loaded, 1000);
}
