// melodyloader: scrambling, request and reply layouts, the device check and
// the block download with its tries, the port name, the file source and the
// built-in image.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <numeric>
#include <set>

#include "melodyloader/MelodyImage.h"
#include "melodyloader/MelodyLoader.h"
#include "tests/support/TempDir.h"
#include "tools/vantrix-sim/MelodyServer.h"

using namespace melody;

namespace {

using Bytes = std::vector<uint8_t>;

// A line whose replies are scripted, or made by a melody server.
class FakeLink : public IMelodyLink {
public:
    struct Answer {
        Rx rx;
        Bytes payload;
    };

    std::vector<Bytes> sent;
    std::deque<Answer> answers;    // taken by Receive; none left: a time-out
    std::deque<bool> sendResults;  // none left: the write succeeds
    std::vector<uint32_t> timeouts;
    CMelodyServer* server = nullptr;  // answers every request sent
    int receives = 0;

    bool Send(const uint8_t* p, size_t n) override {
        sent.emplace_back(p, p + n);
        bool ok = true;
        if (!sendResults.empty()) {
            ok = sendResults.front();
            sendResults.pop_front();
        }
        Bytes reply;
        if (ok && server && server->Handle(p, n, reply)) answers.push_back({kFrame, reply});
        return ok;
    }

    Rx Receive(uint8_t* buf, size_t capacity, size_t& len) override {
        ++receives;
        len = 0;
        if (answers.empty()) return kTimeout;
        Answer a = answers.front();
        answers.pop_front();
        std::copy_n(a.payload.begin(), std::min(capacity, a.payload.size()), buf);
        len = a.payload.size();
        return a.rx;
    }

    void SetReadTimeout(uint32_t ms) override { timeouts.push_back(ms); }
    void Drain() override {}  // the scripted answers are what the line brings after it

    std::vector<uint16_t> WriteAddresses() const {
        std::vector<uint16_t> out;
        for (const Bytes& r : sent)
            if (r.size() >= 7 && r[1] == MELCMD_WRITE) out.push_back(uint16_t(r[4] | r[5] << 8));
        return out;
    }
};

Bytes Pattern(size_t n, uint8_t seed = 1) {
    Bytes b(n);
    uint32_t x = seed;
    for (auto& v : b) v = uint8_t((x = x * 1103515245 + 12345) >> 16);
    return b;
}

const Bytes kCheckOk = {0xC0, 0x04, 0x00, 0x00};

}  // namespace

TEST(MelodyProtocol, ScramblingIsItsOwnInverseAndSparesTheLowestAddresses) {
    Bytes plain = Pattern(0x300);
    Bytes data = plain;
    Scramble(data.data(), data.size(), 0x00C0);  // crosses 0x00FF -> 0x0100
    for (size_t i = 0; i < 0x40; ++i) EXPECT_EQ(data[i], plain[i]) << i;
    EXPECT_EQ(data[0x40], uint8_t(plain[0x40] ^ 0x5A ^ 0xA7));  // address 0x0100
    Scramble(data.data(), data.size(), 0x00C0);
    EXPECT_EQ(data, plain);

    // The key follows the address, not the position in the block.
    EXPECT_EQ(ScrambleKey(0xD000), 0x5A ^ 0xA7);
    EXPECT_EQ(ScrambleKey(0xD0FF), 0x6C ^ 0xC9);  // 0xFF % 16 = 15, 0xFF % 7 = 3
    EXPECT_EQ(ScrambleKey(0xE133), 0x87 ^ 0x5E);  // 3, 0x33 % 7 = 2
    EXPECT_EQ(ScrambleKey(0x1D000), ScrambleKey(0xD000));
}

TEST(MelodyProtocol, RequestLayouts) {
    uint8_t check[kCheckRequestLen];
    ASSERT_EQ(BuildCheckRequest(check), 4u);
    EXPECT_EQ(Bytes(check, check + 4), (Bytes{0x80, 0x04, 0x00, 0x00}));

    Bytes plain = Pattern(52);
    const Bytes copy = plain;
    uint8_t req[kMaxRequestLen];
    ASSERT_EQ(BuildWriteRequest(0xE100, plain.data(), plain.size(), req), 59u);
    EXPECT_EQ(Bytes(req, req + 7), (Bytes{0x80, 0x01, 0x00, 0x00, 0x00, 0xE1, 52}));  // address low byte first
    for (size_t i = 0; i < 52; ++i) EXPECT_EQ(req[7 + i], uint8_t(plain[i] ^ ScrambleKey(0xE100 + i))) << i;
    EXPECT_EQ(plain, copy) << "the source stays plain";

    ASSERT_EQ(BuildWriteRequest(0xD080, plain.data(), 1, req), 8u);
    EXPECT_EQ(req[4], 0x80);
    EXPECT_EQ(req[5], 0xD0);
    EXPECT_EQ(req[6], 1);
}

TEST(MelodyProtocol, ReplyAcceptance) {
    struct Case {
        Bytes reply;
        uint8_t cmd;
        Reply expected;
    } cases[] = {
        {{0xC0, 0x01, 0x00, 0x00}, MELCMD_WRITE, Reply::Accepted},
        {{0xC0, 0x01, 0x7F, 0x00}, MELCMD_WRITE, Reply::Accepted},        // byte 2 is not examined
        {{0xC0, 0x01, 0x00, 0x00, 0x55}, MELCMD_WRITE, Reply::Accepted},  // longer is fine
        {{0xC0, 0x01, 0x00, 0x01}, MELCMD_WRITE, Reply::Refused},
        {{0xC0, 0x01, 0x00}, MELCMD_WRITE, Reply::Refused},  // no acknowledge byte
        {{0xC0, 0x04, 0x00, 0x00}, MELCMD_WRITE, Reply::Foreign},
        {{0xC1, 0x01, 0x00, 0x00}, MELCMD_WRITE, Reply::Foreign},
        {{0xC0}, MELCMD_WRITE, Reply::Foreign},
        {{}, MELCMD_CHECK, Reply::Foreign},
        {{0xC0, 0x04}, MELCMD_CHECK, Reply::Refused},
        {{0xC0, 0x04, 0x00, 0x00}, MELCMD_CHECK, Reply::Accepted},
        {{0xC0, 0x04, 0x00, 0x06}, MELCMD_CHECK, Reply::Refused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyReply(c.reply.data(), c.reply.size(), c.cmd), c.expected)
            << ::testing::PrintToString(c.reply) << " cmd " << int(c.cmd);
    }
}

TEST(MelodyCheck, AnswersEndAttemptsAsTheyShould) {
    const Bytes foreign = {0xC0, 0x01, 0x00, 0x00};
    {
        FakeLink link;  // present at once
        link.answers = {{IMelodyLink::kFrame, kCheckOk}};
        EXPECT_TRUE(CheckDevice(link));
        ASSERT_EQ(link.sent.size(), 1u);
        EXPECT_EQ(link.sent[0], (Bytes{0x80, 0x04, 0x00, 0x00}));
        EXPECT_EQ(link.timeouts, std::vector<uint32_t>{kDownloadReadTimeoutMs});
    }
    {
        FakeLink link;  // two foreign frames are read past within one attempt
        link.answers = {
            {IMelodyLink::kFrame, foreign}, {IMelodyLink::kFrame, foreign}, {IMelodyLink::kFrame, kCheckOk}};
        EXPECT_TRUE(CheckDevice(link));
        EXPECT_EQ(link.sent.size(), 1u);
    }
    {
        FakeLink link;  // a third foreign frame ends the attempt
        link.answers = {{IMelodyLink::kFrame, foreign},
                        {IMelodyLink::kFrame, foreign},
                        {IMelodyLink::kFrame, foreign},
                        {IMelodyLink::kFrame, kCheckOk}};
        EXPECT_TRUE(CheckDevice(link));
        EXPECT_EQ(link.sent.size(), 2u);
    }
    {
        FakeLink link;  // a refusal, a short reply, a bad frame and a time-out each fail one attempt
        link.answers = {{IMelodyLink::kFrame, {0xC0, 0x04, 0x00, 0x01}},
                        {IMelodyLink::kFrame, {0xC0, 0x04}},
                        {IMelodyLink::kBadFrame, {}},
                        {IMelodyLink::kTimeout, {}},
                        {IMelodyLink::kFrame, kCheckOk}};
        EXPECT_TRUE(CheckDevice(link));
        EXPECT_EQ(link.sent.size(), 5u);
    }
}

TEST(MelodyCheck, GivesUpAfterFiveAttemptsAndStillSetsTheDownloadTimeout) {
    FakeLink silent;
    EXPECT_FALSE(CheckDevice(silent));
    EXPECT_EQ(silent.sent.size(), 5u);
    EXPECT_EQ(silent.receives, 5);
    EXPECT_EQ(silent.timeouts, std::vector<uint32_t>{kDownloadReadTimeoutMs});

    FakeLink unwritable;  // a frame not written whole is not waited for
    unwritable.sendResults = {false, false, false, false, false};
    unwritable.answers = {{IMelodyLink::kFrame, kCheckOk}};
    EXPECT_FALSE(CheckDevice(unwritable));
    EXPECT_EQ(unwritable.sent.size(), 5u);
    EXPECT_EQ(unwritable.receives, 0);
}

TEST(MelodyDownload, SendsConsecutiveBlocksThatTheDeviceStoresPlain) {
    CMelodyServer server;
    FakeLink link;
    link.server = &server;
    Bytes image = Pattern(300);
    CMemorySource src(image.data(), image.size());
    int stars = 0;
    EXPECT_TRUE(Download(link, src, [&] { ++stars; }));
    EXPECT_EQ(stars, 3);
    EXPECT_EQ(link.WriteAddresses(), (std::vector<uint16_t>{0xD000, 0xD080, 0xD100}));
    ASSERT_EQ(server.Writes().size(), 3u);
    EXPECT_EQ(server.Writes()[2].count, 44);
    EXPECT_EQ(server.Memory(), image);

    FakeLink idle;  // an empty image succeeds without a word on the line
    CMemorySource empty(nullptr, 0);
    EXPECT_TRUE(Download(idle, empty, [&] { ++stars; }));
    EXPECT_TRUE(idle.sent.empty());
    EXPECT_EQ(stars, 3);
}

TEST(MelodyDownload, FirstBlockHasThreeTriesEveryLaterOneTwo) {
    Bytes image = Pattern(300);
    struct Case {
        int refuse, skip;
        bool completes;
        std::vector<uint16_t> addresses;
        int stars;
    } cases[] = {
        {2, 0, true, {0xD000, 0xD000, 0xD000, 0xD080, 0xD100}, 3}, {3, 0, false, {0xD000, 0xD000, 0xD000}, 0},
        {1, 1, true, {0xD000, 0xD080, 0xD080, 0xD100}, 3},         {2, 1, false, {0xD000, 0xD080, 0xD080}, 1},
        {2, 2, false, {0xD000, 0xD080, 0xD100, 0xD100}, 2},
    };
    for (const Case& c : cases) {
        CMelodyServer server;
        server.RefuseWrites(c.refuse, c.skip);
        FakeLink link;
        link.server = &server;
        CMemorySource src(image.data(), image.size());
        int stars = 0;
        EXPECT_EQ(Download(link, src, [&] { ++stars; }), c.completes) << c.refuse << "/" << c.skip;
        EXPECT_EQ(link.WriteAddresses(), c.addresses) << c.refuse << "/" << c.skip;
        EXPECT_EQ(stars, c.stars);
    }
}

TEST(MelodyDownload, BadFramesTimeOutsAndLostWritesFailAnAttempt) {
    Bytes image = Pattern(10);
    const Bytes ack = {0xC0, 0x01, 0x00, 0x00};
    FakeLink link;
    link.answers = {{IMelodyLink::kBadFrame, {}}, {IMelodyLink::kTimeout, {}}, {IMelodyLink::kFrame, ack}};
    CMemorySource src(image.data(), image.size());
    EXPECT_TRUE(Download(link, src, [] {}));
    EXPECT_EQ(link.sent.size(), 3u);

    FakeLink unwritable;
    unwritable.sendResults = {false, false, false};
    unwritable.answers = {{IMelodyLink::kFrame, ack}};
    EXPECT_FALSE(Download(unwritable, src, [] {}));
    EXPECT_EQ(unwritable.receives, 0);

    FakeLink foreign;  // an answer to something else is not an acknowledgement
    foreign.answers = {
        {IMelodyLink::kFrame, kCheckOk}, {IMelodyLink::kFrame, kCheckOk}, {IMelodyLink::kFrame, kCheckOk}};
    EXPECT_FALSE(Download(foreign, src, [] {}));
    EXPECT_EQ(foreign.sent.size(), 3u);
}

TEST(MelodyDownload, EveryTryReadsTheBlockAgainAndAReadErrorStops) {
    // A source that records its reads and fails at a chosen offset.
    class CountingSource : public IMelodySource {
    public:
        Bytes data = Pattern(200);
        std::vector<size_t> reads;
        size_t failAt = SIZE_MAX;
        long Read(size_t offset, uint8_t* buf, size_t n) override {
            reads.push_back(offset);
            if (offset == failAt) return -1;
            return CMemorySource(data.data(), data.size()).Read(offset, buf, n);
        }
    };
    CMelodyServer server;
    server.RefuseWrites(1, 1);
    FakeLink link;
    link.server = &server;
    CountingSource src;
    EXPECT_TRUE(Download(link, src, [] {}));
    EXPECT_EQ(src.reads, (std::vector<size_t>{0, 128, 128, 200}));
    EXPECT_EQ(server.Memory(), src.data);

    FakeLink broken;
    broken.server = &server;
    CountingSource failing;
    failing.failAt = 128;
    EXPECT_FALSE(Download(broken, failing, [] {}));
    EXPECT_EQ(broken.WriteAddresses(), std::vector<uint16_t>{0xD000});
}

TEST(MelodyDownload, NeverPassesTheEndOfTheAddressRange) {
    for (size_t size : {kMaxImageSize, kMaxImageSize + 1}) {
        CMelodyServer server;
        FakeLink link;
        link.server = &server;
        Bytes image = Pattern(size);
        CMemorySource src(image.data(), image.size());
        int stars = 0;
        EXPECT_EQ(Download(link, src, [&] { ++stars; }), size == kMaxImageSize);
        EXPECT_EQ(stars, 96);
        EXPECT_EQ(link.WriteAddresses().back(), 0xFF80);
        EXPECT_EQ(link.sent.size(), 96u);
    }
}

TEST(MelodyConsole, PortNameLine) {
    auto read = [](const std::string& input, std::string* next = nullptr) {
        std::FILE* f = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), f);
        std::rewind(f);
        std::string name = ReadPortName(f);
        if (next) *next = ReadPortName(f);
        std::fclose(f);
        return name;
    };
    EXPECT_EQ(read("\n"), "COM1");
    EXPECT_EQ(read(""), "COM1");
    EXPECT_EQ(read("COM2\n"), "COM2");
    EXPECT_EQ(read("ttyUSB0\r\n"), "ttyUSB0");
    EXPECT_EQ(read(" com3 \n"), " com3 ") << "used as typed";

    std::string next;
    EXPECT_EQ(read(std::string(300, 'A') + "\nCOM4\n", &next), std::string(255, 'A'));
    EXPECT_EQ(next, "COM4") << "the rest of a long line is not the next answer";
    EXPECT_EQ(read(std::string(255, 'B') + "\nCOM5\n", &next), std::string(255, 'B'));
    EXPECT_EQ(next, "COM5");
}

TEST(MelodyFile, OpensRegularFilesUpToTheMemorySize) {
    TempDir dir;
    CFileSource f;
    EXPECT_EQ(f.Open(dir.File("missing.mel")), CFileSource::kCannotOpen);
    EXPECT_EQ(f.Open(dir.Path()), CFileSource::kCannotOpen);

    WriteAll(dir.File("big.mel"), Bytes(kMaxImageSize + 1));
    EXPECT_EQ(f.Open(dir.File("big.mel")), CFileSource::kTooLarge);

    Bytes data = Pattern(kMaxImageSize);
    WriteAll(dir.File("full.mel"), data);
    ::chmod(dir.File("full.mel").c_str(), 0444);  // read only is enough
    ASSERT_EQ(f.Open(dir.File("full.mel")), CFileSource::kOpened);
    uint8_t buf[128];
    EXPECT_EQ(f.Read(kMaxImageSize - 100, buf, 128), 100);
    EXPECT_TRUE(std::equal(buf, buf + 100, data.end() - 100));
    EXPECT_EQ(f.Read(kMaxImageSize, buf, 128), 0);
}

// The built-in image, read back from its bytes: layout, slot table and the
// rules every melody keeps.
TEST(MelodyImage, LayoutSlotsAndRules) {
    const uint8_t* img = kMelodyImage;
    ASSERT_EQ(kMelodyImageSize, 4404u);
    auto be16 = [&](size_t at) { return unsigned(img[at] << 8 | img[at + 1]); };
    EXPECT_EQ(be16(0), 1u);
    ASSERT_EQ(be16(2), 11u);
    const unsigned slots[11][2] = {{68, 52},    {276, 40},  {436, 192},  {1204, 208}, {2036, 38}, {2188, 78},
                                   {2500, 104}, {2916, 34}, {3052, 122}, {3540, 84},  {3876, 132}};
    for (size_t s = 0; s < 16; ++s) {
        if (s >= 11) {
            EXPECT_EQ(be16(4 + 4 * s) | be16(6 + 4 * s), 0u) << "slot " << s;
            continue;
        }
        ASSERT_EQ(be16(4 + 4 * s), slots[s][0]) << "slot " << s;
        ASSERT_EQ(be16(6 + 4 * s), slots[s][1]) << "slot " << s;
    }
    EXPECT_EQ(slots[10][0] + 4 * slots[10][1], 4404u);

    int overlapping = 0;
    for (const auto& slot : slots) {
        std::set<unsigned> sounding;
        bool overlap = false;
        for (unsigned e = 0; e < slot[1]; ++e) {
            size_t at = slot[0] + 4 * e;
            unsigned delay = be16(at), note = img[at + 2], level = img[at + 3];
            EXPECT_LE(delay, 384u);
            EXPECT_GE(note, 55u);
            EXPECT_LE(note, 80u);
            if (level == 0) {
                EXPECT_EQ(sounding.erase(note), 1u) << "ends a note that does not sound, at " << at;
            } else {
                EXPECT_TRUE(sounding.insert(note).second) << "starts a sounding note, at " << at;
                EXPECT_LE(sounding.size(), 2u) << at;
                overlap |= sounding.size() == 2;
            }
        }
        EXPECT_TRUE(sounding.empty()) << "melody at " << slot[0] << " ends with notes sounding";
        overlapping += overlap;
    }
    EXPECT_EQ(overlapping, 3);
}
