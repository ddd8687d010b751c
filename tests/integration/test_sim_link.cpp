// The simulator answering each command over a real pseudo-terminal.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/Bytes.h"
#include "app/TextCodec.h"
#include "config/CfgImage.h"
#include "tests/integration/SimClient.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

Bytes DefaultExport(int layout) {
    CfgImage img;
    SetDefaults(img);
    const LayoutDesc* d = FindLayout(layout);
    Bytes buf(d->size);
    d->exportImage(img, buf.data());
    return buf;
}

}  // namespace

TEST_F(SimTest, ListensAtItsSpeedAndAt57600WhileTheLinkIsOpen) {
    CVantrixSim::Options o;
    o.speed = 9600;
    Boot(o);  // the PC opens at 9600
    Reopen(57600);
    EXPECT_EQ(OpenLink(), LINK_TIMEOUT);
    EXPECT_GT(sim->Stats().bytesIgnored, 0u);
    EXPECT_EQ(sim->Stats().totalFrames, 0);

    Reopen(9600);
    EXPECT_EQ(OpenLink(), LINK_OK);
    EXPECT_TRUE(sim->LinkOpen());
    EXPECT_EQ(sim->ListenSpeed(), 57600u);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_TIMEOUT);  // still at 9600
    Reopen(57600);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);

    EXPECT_EQ(Cmd(CMD_LINK_CTL, {0}), LINK_OK);
    EXPECT_FALSE(sim->LinkOpen());
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_TIMEOUT);
    Reopen(9600);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_EQ(sim->Stats().lastBaud, 9600u);
    EXPECT_EQ(Cmd(CMD_LINK_CTL, {2}), LINK_ACK);  // neither open nor close
}

TEST_F(SimTest, IdentityLabelAndGsmStatus) {
    CVantrixSim::Options o;
    o.layout = 1;
    o.firstValue = 0x1234;
    o.firmware = "2.05";
    o.hardware = "3.10";
    o.serial = 4711;
    o.gprs = false;
    o.name = "Vantrix Žďár";
    o.operatorName = "0123456789ABCDEFGH";  // longer than the field
    o.credit1 = 12.5f;
    o.credit2 = -3.25f;
    o.bts = 0xBEEF;
    o.signal = 99;
    Boot(o);

    Bytes r;
    ASSERT_EQ(Cmd(CMD_IDENTITY, {}, r, kReplyIdentity), LINK_OK);
    EXPECT_EQ(Bytes(r.begin() + 3, r.end()), (Bytes{0x00, 0x12, 0x34, 0x00, 0x01}));

    ASSERT_EQ(Cmd(CMD_LABEL, {}, r, kReplyLabel), LINK_OK);
    EXPECT_EQ(r[4], 2);
    EXPECT_EQ(r[5], 5);
    EXPECT_EQ(bytes::GetBE32(&r[16]), 3u);
    EXPECT_EQ(r[20], 10);
    EXPECT_EQ(bytes::GetBE32(&r[21]), 4711u);
    EXPECT_EQ(r[25], 1);  // no GPRS
    EXPECT_EQ(bytes::FieldStr(reinterpret_cast<char*>(&r[26]), 16), "356938035643809");
    EXPECT_EQ(bytes::FieldStr(reinterpret_cast<char*>(&r[42]), 128), cp1250::FromUtf8("Vantrix Žďár"));

    ASSERT_EQ(Cmd(CMD_GSM, {}, r, kReplyGsm), LINK_OK);
    EXPECT_EQ(Bytes(r.begin() + 5, r.begin() + 10), (Bytes{1, 2, 1, 99, 0}));
    EXPECT_EQ(Bytes(r.begin() + 10, r.begin() + 14), (Bytes{0x41, 0x48, 0x00, 0x00}));
    EXPECT_EQ(bytes::GetBEFloat(&r[14]), -3.25f);
    EXPECT_EQ(bytes::GetBE16(&r[18]), 0xBEEF);
    // Sixteen characters and the terminator at byte 36.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&r[20]), 16), "0123456789ABCDEF");
    EXPECT_EQ(r[36], 0);
}

TEST_F(SimTest, InputsAndOutputs) {
    CVantrixSim::Options o;
    o.inputs = 0xA5;
    Boot(o);
    Bytes r;
    ASSERT_EQ(Cmd(CMD_READ_IO, {}, r, kReplyIo), LINK_OK);
    EXPECT_EQ(r[4], 0xA5);
    EXPECT_EQ(r[5], 0x00);
    EXPECT_EQ(Cmd(CMD_SET_OUTPUTS, {0x09}), LINK_OK);
    ASSERT_EQ(Cmd(CMD_READ_IO, {}, r, kReplyIo), LINK_OK);
    EXPECT_EQ(r[5], 0x09);
    EXPECT_EQ(Cmd(CMD_SET_OUTPUTS, {}), LINK_ACK);  // no level byte
    EXPECT_EQ(sim->State()["outputs"], 0x09);
}

TEST_F(SimTest, ConfigurationBlocksOfBothLayouts) {
    for (int layout : {1, 2}) {
        SCOPED_TRACE(layout);
        CVantrixSim::Options o;
        o.layout = layout;
        Boot(o);
        Bytes expected = DefaultExport(layout);
        Bytes image, r;
        int blocks = 0;
        for (size_t off = 0; off < expected.size(); off += kMaxCfgBlock, ++blocks) {
            uint16_t len = uint16_t(std::min<size_t>(kMaxCfgBlock, expected.size() - off));
            ASSERT_EQ(Cmd(CMD_READ_CFG, CfgBlock(uint16_t(off), len), r, kCfgDataByte + len), LINK_OK);
            EXPECT_EQ(bytes::GetBE16(&r[6]), off);
            EXPECT_EQ(bytes::GetBE16(&r[8]), len);
            image.insert(image.end(), r.begin() + kCfgDataByte, r.end());
        }
        EXPECT_EQ(blocks, layout == 1 ? 7 : 6);
        EXPECT_EQ(image, expected);

        // Write the last, short block and read it back.
        uint16_t lastOff = uint16_t((blocks - 1) * kMaxCfgBlock);
        uint16_t lastLen = uint16_t(expected.size() - lastOff);
        EXPECT_EQ(lastLen, layout == 1 ? 50 : 208);
        Bytes data = CfgBlock(lastOff, lastLen);
        for (uint16_t i = 0; i < lastLen; ++i) data.push_back(uint8_t(i ^ 0x5A));
        ASSERT_EQ(Cmd(CMD_WRITE_CFG, data, r, kReplyWriteCfg), LINK_OK);
        EXPECT_EQ(Bytes(r.begin() + 6, r.end()), Bytes(data.begin() + 2, data.begin() + 6));
        ASSERT_EQ(Cmd(CMD_READ_CFG, CfgBlock(lastOff, lastLen), r, kCfgDataByte + lastLen), LINK_OK);
        EXPECT_EQ(Bytes(r.begin() + kCfgDataByte, r.end()), Bytes(data.begin() + 6, data.end()));

        // Past the end, too long, empty, or a length that the data does not match.
        EXPECT_EQ(Cmd(CMD_READ_CFG, CfgBlock(lastOff, uint16_t(lastLen + 1)), r, 400), LINK_ACK);
        EXPECT_EQ(Cmd(CMD_READ_CFG, CfgBlock(0, 301), r, 400), LINK_ACK);
        EXPECT_EQ(Cmd(CMD_READ_CFG, CfgBlock(0, 0), r, 400), LINK_ACK);
        Bytes shortData = CfgBlock(0, 10);
        shortData.resize(shortData.size() + 9);
        EXPECT_EQ(Cmd(CMD_WRITE_CFG, shortData, r, kReplyWriteCfg), LINK_ACK);
        com.Close();
        sim->Stop();
    }
}

TEST_F(SimTest, ReceivedSmsQueue) {
    Boot();
    Bytes r;
    EXPECT_EQ(Cmd(CMD_READ_SMS, {}, r, kReplySms), LINK_ACK);
    EXPECT_EQ(r[3], 1);  // none waiting
    EXPECT_EQ(Cmd(CMD_ACK_SMS), LINK_ACK);

    nlohmann::json queue = nlohmann::json::array();
    queue.push_back({{"time", "2024-03-05 07:08:09"}, {"number", "+420602123456"}, {"text", "Žluťoučký kůň"}});
    queue.push_back({{"time", "2031-12-31 23:59:58"}, {"number", "1234"}, {"text", ""}});
    ASSERT_TRUE(sim->SetState({{"smsQueue", queue}}));

    ASSERT_EQ(Cmd(CMD_READ_SMS, {}, r, kReplySms), LINK_OK);
    EXPECT_EQ(Bytes(r.begin() + 4, r.begin() + 11), (Bytes{5, 3, 24, 7, 8, 9, 0}));
    std::string wire(reinterpret_cast<char*>(&r[11]), r.size() - 11);
    std::string expected = std::string("+420602123456") + '\0' + cp1250::FromUtf8("Žluťoučký kůň") + '\0';
    EXPECT_EQ(wire.substr(0, expected.size()), expected);
    // Reading again without the acknowledge gives the same SMS.
    ASSERT_EQ(Cmd(CMD_READ_SMS, {}, r, kReplySms), LINK_OK);
    EXPECT_EQ(r[11], '+');

    EXPECT_EQ(Cmd(CMD_ACK_SMS), LINK_OK);
    ASSERT_EQ(Cmd(CMD_READ_SMS, {}, r, kReplySms), LINK_OK);
    EXPECT_EQ(Bytes(r.begin() + 4, r.begin() + 10), (Bytes{31, 12, 31, 23, 59, 58}));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&r[11]), 6), std::string("1234\0\0", 6));
    EXPECT_EQ(Cmd(CMD_ACK_SMS), LINK_OK);
    EXPECT_EQ(Cmd(CMD_READ_SMS, {}, r, kReplySms), LINK_ACK);
    EXPECT_TRUE(sim->State()["smsQueue"].empty());

    // A bad time is refused as a whole.
    std::string error;
    EXPECT_FALSE(
        sim->SetState({{"smsQueue", {{{"time", "2024-13-01 00:00:00"}, {"number", "1"}, {"text", "x"}}}}}, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SimTest, SmsSubmissionAndItsState) {
    auto submit = [&](const std::string& number, const std::string& text) {
        Bytes d(number.begin(), number.end());
        d.push_back(0);
        d.insert(d.end(), text.begin(), text.end());
        d.push_back(0);
        return Cmd(CMD_SUBMIT_SMS, d);
    };
    auto state = [&] {
        Bytes r;
        EXPECT_EQ(Cmd(CMD_SMS_STATE, {}, r, kReplySmsState), LINK_OK);
        return int(r[4]);
    };
    CVantrixSim::Options o;
    o.smsPolls = 2;
    Boot(o);
    EXPECT_EQ(state(), 0);  // nothing submitted
    EXPECT_EQ(submit("+420777000111", cp1250::FromUtf8("Ahoj, jak se máš?")), LINK_OK);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(state(), 2);
    EXPECT_EQ(state(), 2);

    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.smsFail = true, opt.smsPolls = 0; });
    EXPECT_EQ(submit("112", "x"), LINK_OK);
    EXPECT_EQ(state(), 0);

    // Refused: no number, a text of 161 characters, no terminator.
    EXPECT_EQ(submit("", "x"), LINK_ACK);
    EXPECT_EQ(submit("1", std::string(161, 'a')), LINK_ACK);
    EXPECT_EQ(submit("1", std::string(160, 'a')), LINK_OK);
    EXPECT_EQ(Cmd(CMD_SUBMIT_SMS, {'1', 0, 'a'}), LINK_ACK);

    auto sent = sim->State()["sent"];
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0]["number"], "+420777000111");
    EXPECT_EQ(sent[0]["text"], "Ahoj, jak se máš?");
    EXPECT_EQ(sent[0]["failed"], false);
    EXPECT_EQ(sent[1]["failed"], true);
}

TEST_F(SimTest, PinTries) {
    auto pin = [&](const std::string& p) {
        Bytes field(kPinField, 0);
        std::memcpy(field.data(), p.data(), std::min(p.size(), kPinField - 1));
        Bytes r;
        int res = Cmd(CMD_PIN, field, r, kReplyAck);
        return res == LINK_OK ? 0 : int(r[3]);
    };
    CVantrixSim::Options o;
    o.pin = "4321";
    o.pinTries = 3;
    Boot(o);
    EXPECT_EQ(pin("1111"), 3);
    EXPECT_EQ(pin("4321"), 0);  // a right PIN starts the count again
    EXPECT_EQ(pin("1111"), 3);
    EXPECT_EQ(pin("2222"), 3);
    EXPECT_EQ(pin("3333"), 6);  // the third wrong one blocks
    EXPECT_EQ(pin("4321"), 6);
    EXPECT_EQ(sim->State()["pinWrong"], 3);
}

TEST_F(SimTest, Clock) {
    Boot();
    Bytes r;
    EXPECT_EQ(Cmd(CMD_SET_CLOCK, {24, 12, 31, 18, 30, 0}), LINK_OK);
    ASSERT_EQ(Cmd(CMD_READ_CLOCK, {}, r, kReplyClock), LINK_OK);
    EXPECT_EQ(Bytes(r.begin() + 4, r.begin() + 9), (Bytes{24, 12, 31, 18, 30}));
    EXPECT_LE(r[9], 1);
    EXPECT_EQ(Cmd(CMD_SET_CLOCK, {24, 13, 31, 18, 30, 0}), LINK_ACK);
    EXPECT_EQ(Cmd(CMD_SET_CLOCK, {0, 1, 31, 18, 30, 0}), LINK_ACK);
    EXPECT_EQ(Cmd(CMD_SET_CLOCK, {1, 1, 31}), LINK_ACK);
    // The clock keeps running as an offset to the PC clock.
    int64_t offset = sim->State()["clockOffset"];
    EXPECT_GT(offset, 0);
}

TEST_F(SimTest, UnknownCommandsForeignFramesAndNoise) {
    Boot();
    EXPECT_EQ(Cmd(0x99), LINK_ACK);
    // Noise, a frame with a bad checksum and a frame of another header are
    // not answered; the next good frame is.
    Bytes junk{0x41, 0x0A, 0x05, 0x80, 0x20, 0x01, 0xFF, 0x00, 0x0A, 0x05, 0x41, 0x42, 0x43, 0x44, 0xF6, 0x0A};
    ASSERT_EQ(com.Write(junk.data(), uint32_t(junk.size()), 1000), SER_OK);
    uint8_t b;
    EXPECT_EQ(com.Read(&b, 1, 200), SER_TIMEOUT);
    EXPECT_EQ(sim->Stats().badFrames, 2);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_EQ(sim->Stats().frames.at(CMD_IDENTITY), 1);
    EXPECT_EQ(sim->Stats().lastRequest.at(CMD_IDENTITY), (Bytes{0x80, 0x20, 0x01, 0xFF}));
}

TEST_F(SimTest, Faults) {
    CVantrixSim::Options o;
    o.silent = {CMD_GSM};
    o.refuse = {{CMD_LABEL, 5}};
    o.stopAfter = 4;
    Boot(o);
    Bytes r;
    EXPECT_EQ(Cmd(CMD_GSM, {}, r, kReplyGsm), LINK_TIMEOUT);
    EXPECT_EQ(Cmd(CMD_LABEL, {}, r, kReplyLabel), LINK_ACK);
    EXPECT_EQ(r[3], 5);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_TIMEOUT);  // the fifth frame
    EXPECT_EQ(sim->Stats().frames.at(CMD_IDENTITY), 3);

    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.stopAfter = -1, opt.corruptRate = 1; });
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_CHECKSUM);
    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.corruptRate = 0, opt.dropRate = 1; });
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_TIMEOUT);
    EXPECT_EQ(sim->Stats().dropped, 1);
    EXPECT_EQ(sim->Stats().corrupted, 1);

    // The faults retry within the transaction's tries.
    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.dropRate = 0.5, opt.corruptRate = 0.3; });
    Bytes req(kHeaderLen);
    FillHeader(req.data());
    req[1] = CMD_IDENTITY;
    r.assign(8, 0);
    int ok = 0;
    for (int i = 0; i < 10; ++i)
        ok += LinkTransact(com, req.data(), req.size(), r.data(), r.size(), 60, 1000, 6) == LINK_OK;
    EXPECT_GE(ok, 8);
}

TEST_F(SimTest, FaultsAreReproducible) {
    auto pattern = [&](uint32_t seed) {
        CVantrixSim::Options o;
        o.seed = seed;
        o.dropRate = 0.4;
        o.corruptRate = 0.3;
        Boot(o);
        std::string p;
        Bytes r;
        for (int i = 0; i < 12; ++i) p += char('0' + Cmd(CMD_IDENTITY, {}, r, 8, {60, 1000, 1}));
        com.Close();
        sim->Stop();
        return p;
    };
    std::string first = pattern(7);
    EXPECT_EQ(first, pattern(7));
    EXPECT_NE(first.find('0'), std::string::npos);
    EXPECT_NE(first.find_first_not_of('0'), std::string::npos);
}

TEST_F(SimTest, PacedRepliesTakeTheLineTime) {
    CVantrixSim::Options o;
    o.speed = 1200;
    o.pace = true;
    Boot(o);
    // 8 request bytes and 18 reply bytes at 120 bytes per second.
    auto t0 = Clock::now();
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_GE(MsSince(t0), 200);
    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.pace = false; });
    t0 = Clock::now();
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_LT(MsSince(t0), 150);
}

TEST_F(SimTest, ThePcClosingAndReopeningTheLine) {
    Boot();
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    // Half a frame, then the port closes: the device forgets the half frame.
    Bytes half{0x05, 0x80, 0x20};
    ASSERT_EQ(com.Write(half.data(), 3, 1000), SER_OK);
    com.Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Reopen(57600);
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
}

#ifdef VANTRIX_SIM_MELODY
// Melody requests reach the melody memory at the idle speed without a link.
TEST_F(SimTest, MelodyRequestsGoToTheMelodyServer) {
    Boot();
    auto melody = [&](const Bytes& req, Bytes& reply) {
        reply.assign(4, 0xFF);
        return LinkTransact(com, req.data(), req.size(), reply.data(), reply.size(), kQuick);
    };
    Bytes r;
    ASSERT_EQ(melody({0x80, 0x04, 0x00, 0x00}, r), LINK_OK);
    EXPECT_EQ(r, (Bytes{0xC0, 0x04, 0x00, 0x00}));
    ASSERT_EQ(melody({0x80, 0x01, 0x00, 0x00, 0x00, 0xD0, 0x02, 0x00, 0x01}, r), LINK_OK);
    EXPECT_EQ(sim->Stats().melodyFrames, 2);
    EXPECT_TRUE(sim->Stats().frames.empty());
    EXPECT_TRUE(sim->State().contains("melody"));

    // At another idle speed the downloader's 57600 Bd is noise.
    com.Close();
    sim->Stop();
    CVantrixSim::Options o;
    o.speed = 9600;
    Boot(o);
    Reopen(57600);
    EXPECT_EQ(melody({0x80, 0x04, 0x00, 0x00}, r), LINK_TIMEOUT);
}
#endif
