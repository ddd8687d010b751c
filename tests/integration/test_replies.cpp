// What the engine takes from the line as an answer: configuration replies by
// their length and echo, AT answers of the dialogue in progress only, and the
// command named in an error report only when its frame went out.
#include <cstring>

#include "app/Bytes.h"
#include "comm/ComMsg.h"
#include "comm/Link.h"
#include "tests/integration/EngineFixture.h"
#include "tests/support/ImageBytes.h"
#include "tools/vantrix-sim/Hex.h"

namespace {

class RepliesTest : public EngineTest {
protected:
    // The command code of the last error report.
    int LastErrorCommand() const {
        for (auto it = ui.comMsgs.rbegin(); it != ui.comMsgs.rend(); ++it)
            if (it->kind == CM_ERROR) return int(it->value2);
        return -1;
    }
    size_t AtCount() const { return sim->Stats().atCommands.size(); }
};

}  // namespace

// A device is free in reply bytes 0 to 2. Judging a configuration reply by
// its byte 1 failed every block of such a device with 8.
TEST_F(RepliesTest, ForeignReplyHeadBytesStillMoveTheConfiguration) {
    for (const std::vector<uint8_t>& head :
         {std::vector<uint8_t>{0x3F, 0x77, 0xE1}, std::vector<uint8_t>{0xC0, 0x00, 0x00}}) {
        SimOptions o;
        o.replyHead = head;
        Boot(o);
        bytes::SetField(model->m_cfg.GetData()->sms_forward_number, "+420603999888");
        CfgImage edited = *model->m_cfg.GetData();
        EXPECT_EQ(Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
        SetDefaults(*model->m_cfg.GetData());
        EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
        EXPECT_EQ(ImageBytes(*model->m_cfg.GetData()), ImageBytes(edited));
        TearDown();
    }
}

// A failed port open runs the disconnect in its place on the closed port; had
// it recorded 0x86 there, the next failure would show "EC: 0086" though no
// frame ever went out.
TEST_F(RepliesTest, ErrorNamesNoCommandWhenNoFrameWasWritten) {
    Boot();
    profile.SetPortName("/dev/no-such-port");
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), DR_PORT);
    EXPECT_EQ(LastErrorCommand(), 0);
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), DR_PORT);
    EXPECT_EQ(LastErrorCommand(), 0);
}

// Two dialogues in a row while online: the answer to the first one's ATZ
// must not pass for the answer to the second one's first command, and a
// refused context definition ends the write before the QoS command.
TEST_F(RepliesTest, BackToBackGprsRequestsWhileOnlineKeepTheirAnswers) {
    Boot();
    ASSERT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_STREQ(model->m_gprs.apn, "internet");

    bytes::SetField(model->m_gprs.apn, "firma.cz");
    model->m_gprs.defaultQos = 0;
    model->m_gprs.precedence = 2;
    EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), 0);
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_STREQ(model->m_gprs.apn, "firma.cz");
    EXPECT_EQ(model->m_gprs.precedence, 2);

    const size_t before = AtCount();
    sim->SetNextAtAnswer("\r\nERROR\r\n");
    model->m_gprs.precedence = 3;
    EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), DR_AT_ERROR);
    auto at = sim->Stats().atCommands;
    for (size_t i = before; i < at.size(); ++i) EXPECT_EQ(at[i].rfind("AT+CGQREQ=", 0), std::string::npos) << at[i];
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_EQ(model->m_gprs.precedence, 2);
    Run({REQ_DISCONNECT, 0, 0});
}

// The APN goes between quotes into the command line: a CR in it would start
// commands of its own at the module.
TEST_F(RepliesTest, ApnThatCouldLeaveItsQuotesIsNotSent) {
    Boot();
    ASSERT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    const size_t before = AtCount();
    for (const char* apn : {"x\"\rAT+CGQREQ=1,9,9,9,9,9\rAT", "a\"b", "tab\there", "\x9Anet"}) {
        bytes::SetField(model->m_gprs.apn, apn);
        EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), DR_AT_ERROR) << apn;
    }
    EXPECT_EQ(AtCount(), before);
    EXPECT_EQ(sim->State()["gprs"]["qos"], nlohmann::json({0, 0, 0, 0, 0}));
    bytes::SetField(model->m_gprs.apn, "ok.apn-1_2~!#");
    EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), 0);
    Run({REQ_DISCONNECT, 0, 0});
}

// A device may send more than the record it answers with; the excess is
// dropped. The exact-length rule failed every read of such a device with 8,
// and every write of one that echoes the block with its 0x27 reply.
TEST_F(RepliesTest, LongerRepliesAreTakenAndTheirExcessDropped) {
    SimOptions o;
    o.replyExtra = {{CMD_READ_CFG, 1}, {CMD_WRITE_CFG, 300}, {CMD_GSM, 5}, {CMD_READ_SMS, 40}};
    Boot(o);
    sim->SetState(nlohmann::json::parse(
        R"({"smsQueue": [{"time": "2024-01-02 03:04:05", "number": "+420603111222", "text": "ahoj"}]})"));
    bytes::SetField(model->m_cfg.GetData()->sms_forward_number, "+420603999888");
    const CfgImage edited = *model->m_cfg.GetData();
    EXPECT_EQ(Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
    SetDefaults(*model->m_cfg.GetData());
    EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
    EXPECT_EQ(ImageBytes(*model->m_cfg.GetData()), ImageBytes(edited));
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_STREQ(model->Snapshot(model->m_gsm).operatorName, "T-Mobile CZ");
    EXPECT_EQ(Run({REQ_READ_SMS, 0, 0}), 0);
    ASSERT_EQ(model->m_sms.GetCount(SMS_LIST_RECEIVED), 1);
    EXPECT_STREQ(model->m_sms.Get(0, SMS_LIST_RECEIVED)->GetText(), "ahoj");
}

// A reply shorter than its record leaves the rest of the buffer as the
// header fill made it: a cut 0x2C reply gave "failed" for an SMS the device
// was sending (the other commands' cut replies meet the fault-point test).
// It is a wrong reply, and nothing more of the send goes out after it.
TEST_F(RepliesTest, CutSmsStateIsAWrongReplyAndEndsTheSend) {
    SimOptions o;
    o.frameFaults[5] = {FrameFault::Short, 0};  // 0x86, 0x20, 0x23, 0x2B, then the first 0x2C
    Boot(o);
    CSMS s;
    s.AddNumber("603111222");
    s.SetText("ahoj");
    model->m_sms.Add(&s, SMS_LIST_TOSEND, false);
    model->m_sms.m_anIndex[0] = 0;
    EXPECT_EQ(Run({REQ_SEND_SMS, reinterpret_cast<intptr_t>(model->m_sms.m_anIndex), 1}), DR_WRONG_REPLY);
    EXPECT_EQ(LastErrorCommand(), CMD_SMS_STATE);
    EXPECT_EQ(sim->Stats().commands, (std::vector<uint8_t>{CMD_LINK_CTL, CMD_IDENTITY, CMD_LABEL, CMD_SUBMIT_SMS,
                                                           CMD_SMS_STATE, CMD_END_SESSION, CMD_LINK_CTL}));
    EXPECT_EQ(model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
}
