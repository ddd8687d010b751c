// Link frames and the link transaction over a scripted in-memory transport.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "comm/Frame.h"
#include "comm/Link.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Each write of a request releases the next scripted answer into the receive
// queue; an empty queue times out. A scripted write result fails writes.
class ScriptIO : public IByteIO {
public:
    std::deque<Bytes> answers;
    std::deque<int> writeResults;  // taken one per write; empty: success
    std::deque<int> readFailures;  // taken when the queue is empty; empty: time-out
    std::vector<Bytes> writes;
    int purges = 0;
    bool cancelPending = false;

    int Read(void* buf, uint32_t n, uint32_t) override {
        if (rx.size() < n) {
            rx.clear();
            if (readFailures.empty()) return SER_TIMEOUT;
            int r = readFailures.front();
            readFailures.pop_front();
            return r;
        }
        for (uint32_t i = 0; i < n; ++i) {
            static_cast<uint8_t*>(buf)[i] = rx.front();
            rx.pop_front();
        }
        return SER_OK;
    }
    int Write(const void* buf, uint32_t n, uint32_t) override {
        int r = SER_OK;
        if (!writeResults.empty()) {
            r = writeResults.front();
            writeResults.pop_front();
        }
        if (r != SER_OK) return r;
        auto p = static_cast<const uint8_t*>(buf);
        writes.emplace_back(p, p + n);
        if (!answers.empty()) {
            rx.insert(rx.end(), answers.front().begin(), answers.front().end());
            answers.pop_front();
        }
        return SER_OK;
    }
    void PurgeRx() override {
        ++purges;
        rx.clear();
    }
    bool IsCancelPending() override {
        bool c = cancelPending;
        cancelPending = false;
        return c;
    }

    std::deque<uint8_t> rx;
};

Bytes Frame(const Bytes& payload) { return frame::Encode(payload.data(), payload.size()); }

Bytes Request(uint8_t cmd, const Bytes& data = {}) {
    Bytes req(4);
    FillHeader(req.data());
    req[1] = cmd;
    req.insert(req.end(), data.begin(), data.end());
    return req;
}

Bytes Sent(const Bytes& req) {
    ScriptIO io;
    EXPECT_EQ(LinkSend(io, req.data(), req.size(), 6000, 3), LINK_OK);
    EXPECT_EQ(io.writes.size(), 1u);
    EXPECT_EQ(io.purges, 1);
    return io.writes.empty() ? Bytes{} : io.writes[0];
}

}  // namespace

TEST(LinkFrame, RequestsOnTheLine) {
    EXPECT_EQ(Sent(Request(CMD_IDENTITY)), (Bytes{0x05, 0x80, 0x20, 0x09, 0x21, 0xFF, 0x60, 0x0A}));
    EXPECT_EQ(Sent(Request(CMD_LINK_CTL, {0x01})), (Bytes{0x05, 0x80, 0x86, 0x09, 0x21, 0xFF, 0x09, 0x21, 0xF9, 0x0A}));
    // Read of the configuration block at offset 0 with length 300.
    EXPECT_EQ(Sent(Request(CMD_READ_CFG, {0, 0, 0, 0, 0x01, 0x2C})),
              (Bytes{0x05, 0x80, 0x28, 0x09, 0x21, 0xFF, 0x09, 0x20, 0x09, 0x20, 0x09, 0x20, 0x09, 0x20, 0x09, 0x21,
                     0x2C, 0x2B, 0x0A}));
}

TEST(LinkFrame, EveryControlValueIsEscapedAndComesBack) {
    for (int v = 0; v < 256; ++v) {
        Bytes payload{0x80, uint8_t(v)};
        Bytes line = Frame(payload);
        // Nothing below 0x20 inside the frame but the escape byte.
        for (size_t i = 1; i + 1 < line.size(); ++i)
            if (line[i] < 0x20) {
                EXPECT_EQ(line[i], 0x09) << v;
            }
        if (v < 0x20) {
            EXPECT_EQ(line[2], 0x09);
            EXPECT_EQ(line[3], v + 0x20);
        }
        uint8_t sum = uint8_t(-(0x80 + v));
        if (sum < 0x20) {  // the checksum follows the same rule
            EXPECT_EQ(line[line.size() - 3], 0x09);
            EXPECT_EQ(line[line.size() - 2], sum + 0x20);
        }
        ScriptIO io;
        io.rx.assign(line.begin(), line.end());
        uint8_t got[2] = {};
        ASSERT_EQ(LinkReceive(io, got, 2, 100), LINK_OK) << v;
        EXPECT_EQ(got[1], v);
    }
}

TEST(LinkFrame, ReceiverSkipsNoiseAndKeepsInnerStartBytes) {
    Bytes payload{0xC0, 0x20, 0x05, 0x00, 0x41};
    Bytes line = Frame(payload);
    // A raw 0x05 inside the frame is payload too.
    Bytes raw{0x33, 0x0A, 0x09, 0xFF};
    raw.push_back(0x05);
    raw.push_back(0xC0);
    raw.push_back(0x05);  // payload byte 0x05, sent unescaped by a careless peer
    raw.push_back(0x40);  // checksum: 0xC0 + 0x05 + 0x40 = 0x105
    raw.push_back(0xFB);  // ... + 0xFB = 0x200
    raw.push_back(0x0A);
    ScriptIO io;
    io.rx.assign(raw.begin(), raw.end());
    io.rx.insert(io.rx.begin() + 4, line.begin(), line.end());  // noise, a good frame, then the odd one
    uint8_t buf[8] = {};
    EXPECT_EQ(LinkReceive(io, buf, sizeof buf, 100), LINK_OK);
    EXPECT_EQ(Bytes(buf, buf + 5), payload);
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(LinkReceive(io, buf, sizeof buf, 100), LINK_OK);
    EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{0xC0, 0x05, 0x40, 0xEE}));
}

// A byte lost inside a run of escaped zeros can leave a frame whose sum
// still holds: 09 20 09 20 that lost a 0x20 is 09 09 20, one zero if the
// second escape only marked again. No sender writes anything but 0x20..0x3F
// after an escape, so such a frame is bad (5, retried) on the device link.
TEST(LinkFrame, EscapeFollowedByAByteNoSenderWritesIsABadFrame) {
    const uint8_t sum = uint8_t(-(0xC0 + 0x41));
    const Bytes bad[] = {
        {0x05, 0xC0, 0x09, 0x09, 0x20, 0x41, sum, 0x0A},            // the escape escaped
        {0x05, 0xC0, 0x09, 0x40, 0x41, uint8_t(sum - 0x20), 0x0A},  // 0x40 - 0x20 = 0x20
        {0x05, 0xC0, 0x09, 0x05, 0x41, uint8_t(sum + 0x1B), 0x0A},
        {0x05, 0xC0, 0x41, sum, 0x09, 0x0A},  // the escape before the end
    };
    ScriptIO io;
    uint8_t buf[8] = {};
    for (const Bytes& raw : bad) {
        io.rx.assign(raw.begin(), raw.end());
        EXPECT_EQ(LinkReceive(io, buf, sizeof buf, 100), LINK_CHECKSUM) << raw.size();
    }
    // The melody downloader's receiver keeps its own rule: every escape byte
    // marks the next one, 09 09 21 is the one byte 0x01.
    uint8_t got[4] = {};
    frame::CFrameReceiver rx(got, sizeof got, frame::CFrameReceiver::Unescape::Xor);
    auto last = frame::CFrameReceiver::kMore;
    for (uint8_t b : Bytes{0x05, 0xC0, 0x09, 0x09, 0x21, 0x3F, 0x0A}) last = rx.Feed(b);
    EXPECT_EQ(last, frame::CFrameReceiver::kGood);
    EXPECT_EQ(Bytes(got, got + 2), (Bytes{0xC0, 0x01}));
}

TEST(LinkFrame, BytesPastTheCapacityAreCheckedButNotKept) {
    Bytes payload(40);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(i * 7);
    ScriptIO io;
    Bytes line = Frame(payload);
    io.rx.assign(line.begin(), line.end());
    uint8_t buf[16];
    std::memset(buf, 0xAA, sizeof buf);
    EXPECT_EQ(LinkReceive(io, buf, 10, 100), LINK_OK);
    EXPECT_EQ(Bytes(buf, buf + 10), Bytes(payload.begin(), payload.begin() + 10));
    for (size_t i = 10; i < sizeof buf; ++i) EXPECT_EQ(buf[i], 0xAA);
    EXPECT_TRUE(io.rx.empty());  // read to the end of the frame

    // The checksum still covers the bytes that were not kept.
    line[line.size() - 5] ^= 0x01;
    io.rx.assign(line.begin(), line.end());
    EXPECT_EQ(LinkReceive(io, buf, 10, 100), LINK_CHECKSUM);
}

TEST(LinkTransact, RetriesChecksumAndTimeoutButNotRefusalOrCancel) {
    Bytes req = Request(CMD_IDENTITY);
    Bytes good = Frame({0xC0, 0x20, 0x01, 0x00, 0x00, 0x01, 0x00, 0x02});
    Bytes bad = good;
    bad[1] = 0xC1;
    uint8_t reply[8];

    {  // Wrong checksum, then silence, then the good reply.
        ScriptIO io;
        io.answers = {bad, {}, good};
        FillHeader(reply);
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_OK);
        EXPECT_EQ(io.writes.size(), 3u);
        EXPECT_EQ(reply[7], 0x02);
    }
    {  // Bad every time: the last failure after three tries.
        ScriptIO io;
        io.answers = {bad, bad, bad, good};
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_CHECKSUM);
        EXPECT_EQ(io.writes.size(), 3u);
        io.answers.clear();
        io.writes.clear();
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply, 100, 100, 2), LINK_TIMEOUT);
        EXPECT_EQ(io.writes.size(), 2u);
    }
    {  // A refusal is final.
        ScriptIO io;
        io.answers = {Frame({0xC0, 0x21, 0x01, 0x06}), good};
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_ACK);
        EXPECT_EQ(io.writes.size(), 1u);
        EXPECT_EQ(reply[3], 0x06);
    }
    {  // A cancel while waiting for the reply is final too.
        ScriptIO io;
        io.readFailures = {SER_CANCEL};
        io.answers = {{}, good};
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_CANCEL);
        EXPECT_EQ(io.writes.size(), 1u);
    }
    {  // A line failure while reading is retried like a time-out.
        ScriptIO io;
        io.readFailures = {SER_FAIL};
        io.answers = {{}, good};
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_OK);
    }
}

TEST(LinkTransact, ShortAndEmptyReplies) {
    Bytes req = Request(CMD_GSM);
    uint8_t reply[37];
    {  // Three payload bytes: byte 3 keeps the 0xFF of the header fill.
        ScriptIO io;
        io.answers = {Frame({0xC0, 0x24, 0x01})};
        std::memset(reply, 0x5A, sizeof reply);
        FillHeader(reply);
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_ACK);
        EXPECT_EQ(Bytes(reply, reply + 5), (Bytes{0xC0, 0x24, 0x01, 0xFF, 0x5A}));
    }
    {  // 0x0A right after 0x05: no checksum at all.
        ScriptIO io;
        io.answers = {{0x05, 0x0A}, {0x05, 0x0A}, {0x05, 0x0A}};
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_CHECKSUM);
        EXPECT_EQ(io.writes.size(), 3u);
    }
    {  // A frame of the checksum alone (0x00) is a valid empty payload and
        // leaves the pre-filled header, which refuses.
        ScriptIO io;
        io.answers = {{0x05, 0x09, 0x20, 0x0A}};
        FillHeader(reply);
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply), LINK_ACK);
    }
}

TEST(LinkSend, WriteTriesAndTheirEnd) {
    Bytes req = Request(CMD_SET_OUTPUTS, {0x09});
    {
        ScriptIO io;
        io.writeResults = {SER_TIMEOUT, SER_FAIL, SER_OK};
        EXPECT_EQ(LinkSend(io, req.data(), req.size(), 100, 3), LINK_OK);
        EXPECT_EQ(io.purges, 3);
    }
    {
        ScriptIO io;
        io.writeResults = {SER_TIMEOUT, SER_FAIL, SER_TIMEOUT, SER_OK};
        EXPECT_EQ(LinkSend(io, req.data(), req.size(), 100, 3), LINK_TIMEOUT);
        EXPECT_EQ(io.writeResults.size(), 1u);
    }
    {
        ScriptIO io;
        io.writeResults = {SER_CANCEL, SER_OK};
        EXPECT_EQ(LinkSend(io, req.data(), req.size(), 100, 3), LINK_CANCEL);
        EXPECT_EQ(io.writeResults.size(), 1u);
        // A failed send ends the transaction without reading.
        io.writeResults = {SER_FAIL};
        uint8_t reply[4];
        EXPECT_EQ(LinkTransact(io, req.data(), req.size(), reply, sizeof reply, 100, 100, 1), LINK_IO);
    }
}

TEST(LinkTiming, TheTable) {
    auto eq = [](CmdTiming t, uint32_t r, uint32_t w, uint32_t n) {
        return t.readMs == r && t.writeMs == w && t.tries == n;
    };
    EXPECT_TRUE(eq(TimingFor(CMD_IDENTITY), 3000, 6000, 3));
    EXPECT_TRUE(eq(TimingFor(CMD_PIN), 5000, 5000, 1));
    EXPECT_TRUE(eq(TimingFor(CMD_END_SESSION), 2500, 2500, 1));
    EXPECT_TRUE(eq(TimingFor(CMD_ACK_SMS), 3000, 6000, 1));
    EXPECT_TRUE(eq(TimingFor(CMD_LINK_CTL), 1000, 1000, 1));
    EXPECT_TRUE(eq(kLinkCloseTiming, 2500, 2500, 1));
    EXPECT_TRUE(eq(CfgWriteTiming(300), 6000, 6000, 3));
    EXPECT_TRUE(eq(CfgWriteTiming(50), 1000, 6000, 3));
    EXPECT_TRUE(eq(PollTiming(CMD_GSM), 3000, 6000, 1));
    EXPECT_TRUE(eq(TimingFor(0x99), 3000, 6000, 3));
}

// Random streams into the receiver: every result is one of the transport's or
// a checksum error, and nothing is written outside the caller's buffer.
TEST(LinkReceive, RandomStreams) {
    std::mt19937 rng(12345);
    constexpr size_t kGuard = 16;
    for (int round = 0; round < 100000; ++round) {
        ScriptIO io;
        size_t len = rng() % 64;
        for (size_t i = 0; i < len; ++i) {
            uint32_t r = rng();
            // Lean towards the bytes that steer the receiver.
            static const uint8_t special[] = {0x05, 0x09, 0x0A, 0x00, 0xFF};
            io.rx.push_back(r % 4 == 0 ? special[(r >> 8) % 5] : uint8_t(r >> 16));
        }
        static const int ends[] = {SER_TIMEOUT, SER_FAIL, SER_CANCEL, SER_OPEN};
        io.readFailures = {ends[rng() % 4]};
        size_t capacity = rng() % 12;
        uint8_t buf[kGuard + 12 + kGuard];
        std::memset(buf, 0xA5, sizeof buf);
        int r = LinkReceive(io, buf + kGuard, capacity, 10);
        ASSERT_TRUE(r == LINK_OK || r == LINK_IO || r == LINK_TIMEOUT || r == LINK_CANCEL || r == LINK_CHECKSUM) << r;
        for (size_t i = 0; i < kGuard; ++i) ASSERT_EQ(buf[i], 0xA5);
        for (size_t i = kGuard + capacity; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0xA5);
    }
}

// A line that never ends a frame gives up instead of reading forever.
TEST(LinkReceive, EndlessFrameGivesUp) {
    class Endless : public IByteIO {
    public:
        int Read(void* buf, uint32_t, uint32_t) override {
            *static_cast<uint8_t*>(buf) = first ? 0x05 : 0x41;
            first = false;
            return SER_OK;
        }
        int Write(const void*, uint32_t, uint32_t) override { return SER_OK; }
        void PurgeRx() override {}
        bool IsCancelPending() override { return false; }
        bool first = true;
    } io;
    uint8_t buf[4];
    EXPECT_EQ(LinkReceive(io, buf, sizeof buf, 10), LINK_CHECKSUM);
}

TEST(LinkFrame, OneReceiverTakesFrameAfterFrame) {
    const uint8_t a[] = {0xC0, 0x20, 0x01, 0x00, 0x11};
    const uint8_t b[] = {0xC0, 0x24, 0x01, 0x00};
    uint8_t buf[8] = {};
    frame::CFrameReceiver rx(buf, sizeof buf);
    for (const auto& payload : {std::vector<uint8_t>(a, a + 5), std::vector<uint8_t>(b, b + 4)}) {
        frame::CFrameReceiver::Status st = frame::CFrameReceiver::kMore;
        for (uint8_t byte : frame::Encode(payload.data(), payload.size())) st = rx.Feed(byte);
        ASSERT_EQ(st, frame::CFrameReceiver::kGood);
        EXPECT_EQ(rx.PayloadLen(), payload.size());
        EXPECT_EQ(std::memcmp(buf, payload.data(), payload.size()), 0);
    }
}
