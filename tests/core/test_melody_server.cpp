// The simulator's melody server: which payloads it takes, its replies, the
// memory it keeps, its fault hooks and its saved state.
#include <gtest/gtest.h>

#include "melodyloader/MelodyProtocol.h"
#include "tools/vantrix-sim/MelodyServer.h"

using namespace melody;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes WriteRequest(uint16_t address, const Bytes& plain) {
    Bytes req(kWriteHeaderLen + plain.size());
    BuildWriteRequest(address, plain.data(), plain.size(), req.data());
    return req;
}

Bytes Ask(CMelodyServer& s, const Bytes& payload, bool* answered = nullptr) {
    Bytes reply;
    bool ok = s.Handle(payload.data(), payload.size(), reply);
    if (answered) *answered = ok;
    return reply;
}

}  // namespace

TEST(MelodyServer, TakesOnlyMelodyRequests) {
    CMelodyServer s;
    for (const Bytes& p : {Bytes{0x80, 0x04, 0x01, 0xFF}, Bytes{0x81, 0x04, 0x00, 0x00}, Bytes{0x80, 0x07, 0x00, 0x00},
                           Bytes{0x80, 0x04, 0x00}, Bytes{}}) {
        bool answered = true;
        EXPECT_TRUE(Ask(s, p, &answered).empty());
        EXPECT_FALSE(answered) << ::testing::PrintToString(p);
    }
    EXPECT_EQ(s.Checks(), 0);
    EXPECT_EQ(Ask(s, {0x80, 0x04, 0x00, 0x00}), (Bytes{0xC0, 0x04, 0x00, 0x00}));
    EXPECT_EQ(s.Checks(), 1);
}

TEST(MelodyServer, StoresWritesDescrambledFromTheBaseAddress) {
    CMelodyServer s;
    Bytes a(128), b(20);
    for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(i * 7);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(0xA0 + i);

    EXPECT_EQ(Ask(s, WriteRequest(0xD000, a)), (Bytes{0xC0, 0x01, 0x00, 0x00}));
    EXPECT_EQ(s.Memory(), a);
    // A block past the end leaves a gap of erased memory.
    EXPECT_EQ(Ask(s, WriteRequest(0xD100, b)), (Bytes{0xC0, 0x01, 0x00, 0x00}));
    ASSERT_EQ(s.Memory().size(), 0x100u + 20);
    EXPECT_EQ(s.Memory()[0x80], 0xFF);
    EXPECT_EQ(s.Memory()[0xFF], 0xFF);
    EXPECT_EQ(Bytes(s.Memory().begin() + 0x100, s.Memory().end()), b);
    // The last byte of the address range can be written.
    EXPECT_EQ(Ask(s, WriteRequest(0xFFFF, {0x42})), (Bytes{0xC0, 0x01, 0x00, 0x00}));
    EXPECT_EQ(s.Memory().size(), kMaxImageSize);
    EXPECT_EQ(s.Memory().back(), 0x42);
    ASSERT_EQ(s.Writes().size(), 3u);
    EXPECT_EQ(s.Writes()[1].address, 0xD100);
    EXPECT_EQ(s.Writes()[1].count, 20);
}

TEST(MelodyServer, RefusesMalformedWrites) {
    CMelodyServer s;
    Bytes block(16, 0x11);
    Bytes longer = WriteRequest(0xD000, block);
    longer.push_back(0);
    Bytes zero = {0x80, 0x01, 0x00, 0x00, 0x00, 0xD0, 0x00};
    Bytes tooMany = WriteRequest(0xD000, Bytes(129));
    struct Case {
        Bytes payload;
        uint8_t ack;
    } cases[] = {
        {{0x80, 0x01, 0x00, 0x00, 0x00, 0xD0}, CMelodyServer::kAckBadLength},  // no count
        {zero, CMelodyServer::kAckBadLength},
        {tooMany, CMelodyServer::kAckBadLength},
        {longer, CMelodyServer::kAckBadLength},
        {WriteRequest(0xCFFF, block), CMelodyServer::kAckBadAddress},
        {WriteRequest(0xFFF1, block), CMelodyServer::kAckBadAddress},  // would pass 0xFFFF
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Ask(s, c.payload), (Bytes{0xC0, 0x01, 0x00, c.ack})) << ::testing::PrintToString(c.payload);
    }
    EXPECT_TRUE(s.Memory().empty());
}

TEST(MelodyServer, FaultWindows) {
    CMelodyServer s;
    Bytes block(8, 0x33);
    s.RefuseWrites(2, 1, 0x09);
    s.SilenceWrites(1, 3);
    bool answered = false;
    EXPECT_EQ(Ask(s, WriteRequest(0xD000, block))[3], 0x00);
    EXPECT_EQ(Ask(s, WriteRequest(0xD008, block))[3], 0x09);
    EXPECT_EQ(Ask(s, WriteRequest(0xD008, block))[3], 0x09);
    EXPECT_TRUE(Ask(s, WriteRequest(0xD008, block), &answered).empty());
    EXPECT_FALSE(answered);
    EXPECT_EQ(Ask(s, WriteRequest(0xD008, block))[3], 0x00);
    EXPECT_EQ(s.Memory().size(), 16u);
    ASSERT_EQ(s.Writes().size(), 5u);
    EXPECT_EQ(s.Writes()[3].ack, CMelodyServer::kNoAnswer);
    EXPECT_EQ(s.Writes()[3].address, 0xD008);

    s.RefuseChecks(true, 0x06);
    EXPECT_EQ(Ask(s, {0x80, 0x04, 0x00, 0x00}), (Bytes{0xC0, 0x04, 0x00, 0x06}));
    s.SilenceChecks(true);
    EXPECT_TRUE(Ask(s, {0x80, 0x04, 0x00, 0x00}, &answered).empty());
    EXPECT_FALSE(answered);
    EXPECT_EQ(s.Checks(), 2);
}

TEST(MelodyServer, StateRoundTripAndBadStateIgnored) {
    CMelodyServer s;
    Ask(s, WriteRequest(0xD000, {0x00, 0x7F, 0xFF, 0x10}));
    nlohmann::json state = s.State();
    EXPECT_EQ(state, (nlohmann::json{{"memory", "007fff10"}}));

    CMelodyServer t;
    t.SetState(state);
    EXPECT_EQ(t.Memory(), s.Memory());
    t.SetState(nlohmann::json{{"memory", "ABcd"}});
    EXPECT_EQ(t.Memory(), (Bytes{0xAB, 0xCD}));

    for (const nlohmann::json& bad :
         {nlohmann::json{{"memory", "abc"}}, nlohmann::json{{"memory", "zz"}}, nlohmann::json{{"memory", 5}},
          nlohmann::json{{"memory", std::string(2 * kMaxImageSize + 2, '0')}}, nlohmann::json(42),
          nlohmann::json::array()}) {
        t.SetState(bad);
        EXPECT_EQ(t.Memory(), (Bytes{0xAB, 0xCD})) << bad.dump().substr(0, 40);
    }
}
