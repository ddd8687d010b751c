// The engine's sequences and the device operations against the simulator.
#include <cstring>
#include <thread>

#include "app/Bytes.h"
#include "app/TextCodec.h"
#include "comm/ComMsg.h"
#include "comm/Link.h"
#include "tests/integration/EngineFixture.h"
#include "tests/support/ImageBytes.h"
#include "tools/vantrix-sim/Hex.h"

TEST_F(EngineTest, OfflineRequestIsWrappedInConnectAndDisconnect) {
    Boot();
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(Events(AE_BATCH_START), 1);
    ASSERT_EQ(Events(AE_ONLINE), 1);
    EXPECT_EQ(Events(AE_OFFLINE), 1);
    EXPECT_FALSE(model->m_com.IsOnline());
    EXPECT_EQ(Frames(CMD_LINK_CTL), 2);
    EXPECT_EQ(Frames(CMD_END_SESSION), 1);
    EXPECT_STREQ(model->m_gsm.operatorName, "T-Mobile CZ");
    EXPECT_EQ(model->m_gsm.bts, 0x1A2Bu);
    EXPECT_EQ(model->m_gsm.credit1, 250.5f);
    EXPECT_EQ(model->m_devId.serial, 4711u);
    EXPECT_EQ(model->m_devId.fwMinor, 5);
    // Identity and GSM changed; the I/O state stayed zero.
    EXPECT_EQ(Events(AE_DEVID_CHANGED), 1);
    EXPECT_EQ(Events(AE_GSM_CHANGED), 1);
    EXPECT_EQ(Events(AE_IO_CHANGED), 0);
    // A second identical read raises nothing new for GSM and identity.
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(Events(AE_GSM_CHANGED), 1);
    EXPECT_EQ(Events(AE_DEVID_CHANGED), 1);
}

TEST_F(EngineTest, BusyQueueRefusesASecondSequence) {
    Boot();
    ASSERT_EQ(model->m_com.PostRequest({REQ_READ_STATE, 0, 0}), 1);
    EXPECT_EQ(model->m_com.PostRequest({REQ_READ_SMS, 0, 0}), RES_BUSY);
    ui.Loop().RunUntil([&] { return ui.sequencesEnded == 1; });
    EXPECT_EQ(Frames(CMD_READ_SMS), 0);
}

TEST_F(EngineTest, SpeedSearchFindsTheDeviceAndStartsThereNextTime) {
    SimOptions o;
    o.speed = 9600;
    Boot(o);
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(model->m_com.SpeedIndex(), 5);
    // 57600, 115200, 300 ... 4800 went unanswered at the wrong speed.
    EXPECT_GT(sim->Stats().bytesIgnored, 0u);
    sim->ResetStats();
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(sim->Stats().bytesIgnored, 0u);
    EXPECT_EQ(Frames(CMD_GSM), 1);
}

TEST_F(EngineTest, ConfigurationMovesInBlocksOfBothLayouts) {
    for (int layout : {1, 2}) {
        SimOptions o;
        o.layout = layout;
        Boot(o);
        std::strcpy(model->m_cfg.GetData()->alarms[3].sms_text, "Kouř v hale");
        model->m_cfg.GetData()->credit[1].min_value = 12.5f;
        model->m_cfg.GetData()->renum.dtmf_delay = 9;
        CfgImage edited = *model->m_cfg.GetData();

        EXPECT_EQ(Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
        const int blocks = layout == 1 ? 7 : 6;
        EXPECT_EQ(Frames(CMD_WRITE_CFG), blocks);
        EXPECT_EQ(StepsOf(302), blocks);
        auto last = LastRequest(CMD_WRITE_CFG);
        EXPECT_EQ(bytes::GetBE16(&last[8]), layout == 1 ? 50 : 208);

        // The device holds the export of the edited image.
        const LayoutDesc* l = FindLayout(layout);
        std::vector<uint8_t> expected(l->size);
        l->exportImage(edited, expected.data());
        EXPECT_EQ(simhex::Bytes(sim->State()["image"].get<std::string>()), expected);

        SetDefaults(*model->m_cfg.GetData());
        EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
        EXPECT_EQ(Frames(CMD_READ_CFG), blocks);
        EXPECT_EQ(StepsOf(303), blocks);
        EXPECT_EQ(bytes::GetBE16(&LastRequest(CMD_READ_CFG)[8]), layout == 1 ? 50 : 208);
        if (layout == 1) SetRenumDefaults(edited.renum);  // layout 1 carries no renumbering
        EXPECT_EQ(ImageBytes(*model->m_cfg.GetData()), ImageBytes(edited));
        EXPECT_EQ(Events(AE_CFG_REPLACED), 1);
        TearDown();
        ui.events.clear();
    }
}

TEST_F(EngineTest, UnknownLayoutSendsNoBlock) {
    SimOptions o;
    o.layout = 3;
    Boot(o);
    auto before = ImageBytes(*model->m_cfg.GetData());
    EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), DR_UNSUPPORTED);
    EXPECT_EQ(Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), DR_UNSUPPORTED);
    EXPECT_EQ(Frames(CMD_READ_CFG) + Frames(CMD_WRITE_CFG), 0);
    EXPECT_EQ(ImageBytes(*model->m_cfg.GetData()), before);
    EXPECT_EQ(ui.boxes.back().text, LoadStr(106));  // 7 offers a retry, answered No
}

TEST_F(EngineTest, CancelDuringConfigurationReadLeavesTheImage) {
    Boot();
    // The device goes silent after the connect and three blocks.
    sim->UpdateOptions([](SimOptions& o) { o.stopAfter = 3 + 3; });
    int steps = 0;
    ui.onComMsg = [&](CComMsg* m) {
        if (m->kind == CM_BEGIN) steps = 0;
        if (m->kind == CM_STEP && ++steps == 3 && ui.comMsgs.size() > 4) model->m_com.PostRequest({REQ_CANCEL, 0, 0});
        if (m->kind == CM_ERROR) sim->UpdateOptions([](SimOptions& o) { o.stopAfter = -1; });
    };
    SetDefaults(*model->m_cfg.GetData());
    model->m_cfg.GetData()->audio_in_level = 7;
    auto before = ImageBytes(*model->m_cfg.GetData());
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), DR_CANCEL);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    EXPECT_EQ(ImageBytes(*model->m_cfg.GetData()), before);
    EXPECT_EQ(Events(AE_CFG_REPLACED), 0);
    EXPECT_EQ(Events(AE_OFFLINE), 1);  // the wrapping disconnect still ran
}

TEST_F(EngineTest, RetryRepeatsOnlyTheFailedRequest) {
    SimOptions o;
    o.refuse[CMD_GSM] = 1;
    Boot(o);
    ui.onComMsg = [&](CComMsg* m) {
        if (m->kind == CM_ERROR) sim->UpdateOptions([](SimOptions& so) { so.refuse.clear(); });
    };
    ui.answers = {IDYES};
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), DR_ACK);
    EXPECT_EQ(Frames(CMD_GSM), 2);
    EXPECT_EQ(Frames(CMD_IDENTITY), 1);
    EXPECT_EQ(Frames(CMD_READ_CLOCK), 1);
    EXPECT_EQ(ComErrorText(DR_ACK, CMD_GSM), "Chybný potvrzující kód. EC: 0024");
}

TEST_F(EngineTest, FailedConnectRunsTheDisconnectInstead) {
    SimOptions o;
    o.refuse[CMD_IDENTITY] = 2;
    Boot(o);
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), DR_ACK);
    EXPECT_EQ(Frames(CMD_GSM), 0);
    EXPECT_EQ(Frames(CMD_END_SESSION), 1);
    EXPECT_EQ(Events(AE_OFFLINE), 1);
    EXPECT_FALSE(sim->LinkOpen());
    // Error then question; one error box per failure.
    int errors = 0;
    for (const auto& m : ui.comMsgs) errors += m.kind == CM_ERROR;
    EXPECT_EQ(errors, 1);
}

TEST_F(EngineTest, PortThatCannotBeOpenedIsNotRetried) {
    Boot();
    profile.SetPortName("/dev/no-such-port");
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), DR_PORT);
    EXPECT_TRUE(ui.boxes.empty());  // no retry question for 2
    EXPECT_EQ(ComErrorText(DR_PORT, 0), "Nepodařilo se otevřít komunikační port.");
}

TEST_F(EngineTest, SetOutputsMergesWithTheDevicesOutputs) {
    Boot();
    sim->SetState({{"outputs", 0x0C}});
    EXPECT_EQ(Run({REQ_SET_OUTPUTS, 0x05, 0x01}), 0);
    EXPECT_EQ(LastRequest(CMD_SET_OUTPUTS)[4], 0x09);
    EXPECT_EQ(model->m_io.outputs, 0x09);
    EXPECT_EQ(Events(AE_IO_CHANGED), 1);
}

TEST_F(EngineTest, SetTimeSendsTheRecordAndReadsTheClockBack) {
    Boot();
    SysTime t{};
    t.wYear = 2031;
    t.wMonth = 7;
    t.wDay = 14;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 7;
    EXPECT_EQ(Run(SetTimeRequest(t)), 0);
    EXPECT_EQ(LastRequest(CMD_SET_CLOCK), (std::vector<uint8_t>{0x80, 0x31, 0x01, 0xFF, 14, 7, 31, 9, 5, 7}));
    EXPECT_EQ(model->m_devTime.wYear, 2031);
    EXPECT_EQ(model->m_devTime.wMonth, 7);
}

// The set-time request pointed at the device time record, which the idle
// poll's clock read overwrites on the worker: a click during a slow 0x30 sent
// the device its own clock back (and was a data race).
TEST_F(EngineTest, SetTimePostedDuringThePollsClockReadSendsTheWantedTime) {
    SimOptions o;
    o.delayMs[CMD_READ_CLOCK] = 600;
    Boot(o);
    sim->SetState({{"clockOffset", -10 * 365 * 86400}});  // the device lives ten years back
    ASSERT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    const int before = Frames(CMD_READ_CLOCK);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Frames(CMD_READ_CLOCK) == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ui.Loop().Drain();
    }
    ASSERT_GT(Frames(CMD_READ_CLOCK), before);
    ASSERT_EQ(Frames(CMD_SET_CLOCK), 0);
    // The poll now waits for the clock's late reply.
    SysTime wanted{};
    wanted.wYear = 2032;
    wanted.wMonth = 3;
    wanted.wDay = 4;
    wanted.wHour = 5;
    wanted.wMinute = 6;
    wanted.wSecond = 7;
    EXPECT_EQ(Run(SetTimeRequest(wanted)), 0);
    EXPECT_EQ(LastRequest(CMD_SET_CLOCK), (std::vector<uint8_t>{0x80, 0x31, 0x01, 0xFF, 4, 3, 32, 5, 6, 7}));
    EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
}

TEST_F(EngineTest, ReadSmsTakesEveryWaitingMessage) {
    Boot();
    ASSERT_TRUE(
        sim->SetState({{"smsQueue",
                        {{{"time", "2008-04-03 09:05:07"}, {"number", "+420603123456"}, {"text", "Ahoj, jak se máš?"}},
                         {{"time", "2008-04-03 10:00:00"}, {"number", "777"}, {"text", "druhá"}}}}}));
    EXPECT_EQ(Run({REQ_READ_SMS, 0, 0}), 0);
    ASSERT_EQ(model->m_sms.GetCount(SMS_LIST_RECEIVED), 2);
    const CSMS* first = model->m_sms.Get(0, SMS_LIST_RECEIVED);
    EXPECT_STREQ(first->GetNumber(0), "+420603123456");
    EXPECT_EQ(std::string(first->GetText()), cp1250::FromUtf8("Ahoj, jak se máš?"));
    EXPECT_EQ(first->TimeText(), "09:05:07  3.4.2008");
    EXPECT_EQ(Frames(CMD_READ_SMS), 3);  // the third answers "none left"
    EXPECT_EQ(Frames(CMD_ACK_SMS), 2);
}

TEST_F(EngineTest, SendSmsTakesEachFromItsShiftedPosition) {
    Boot();
    for (int i = 0; i < 4; ++i) {
        CSMS s;
        s.AddNumber("60" + std::to_string(i));
        s.AddNumber("70" + std::to_string(i));
        s.SetText("zprava " + std::to_string(i));
        ASSERT_EQ(model->m_sms.Add(&s, SMS_LIST_TOSEND, false), i);
    }
    model->m_sms.m_anIndex[0] = 1;
    model->m_sms.m_anIndex[1] = 3;
    EXPECT_EQ(Run({REQ_SEND_SMS, reinterpret_cast<intptr_t>(model->m_sms.m_anIndex), 2}), 0);
    EXPECT_EQ(StepsOf(307), 8);
    ASSERT_EQ(model->m_sms.GetCount(SMS_LIST_TOSEND), 2);
    EXPECT_STREQ(model->m_sms.Get(0, SMS_LIST_TOSEND)->GetText(), "zprava 0");
    EXPECT_STREQ(model->m_sms.Get(1, SMS_LIST_TOSEND)->GetText(), "zprava 2");
    ASSERT_EQ(model->m_sms.GetCount(SMS_LIST_SENT), 2);
    EXPECT_STREQ(model->m_sms.Get(1, SMS_LIST_SENT)->GetText(), "zprava 3");
    auto sent = sim->State()["sent"];
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0]["number"], "601");
    EXPECT_EQ(sent[1]["number"], "701");
    EXPECT_EQ(sent[3]["text"], "zprava 3");
}

TEST_F(EngineTest, LongSmsGoesOutInSegmentsAndAFailureStopsTheSequence) {
    SimOptions o;
    o.smsFail = true;
    Boot(o);
    CSMS s;
    s.AddNumber("123");
    s.SetText(std::string(161, 'x'));
    model->m_sms.Add(&s, SMS_LIST_TOSEND, false);
    model->m_sms.m_anIndex[0] = 0;
    EXPECT_EQ(Run({REQ_SEND_SMS, reinterpret_cast<intptr_t>(model->m_sms.m_anIndex), 1}), DR_SMS_NOT_SENT);
    EXPECT_EQ(StepsOf(307), 4);
    EXPECT_EQ(model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
    auto req = LastRequest(CMD_SUBMIT_SMS);
    EXPECT_EQ(req.size(), 4u + 3 + 160 + 2);

    sim->UpdateOptions([](SimOptions& so) { so.smsFail = false; });
    EXPECT_EQ(Run({REQ_SEND_SMS, reinterpret_cast<intptr_t>(model->m_sms.m_anIndex), 1}), 0);
    EXPECT_EQ(LastRequest(CMD_SUBMIT_SMS).size(), 4u + 3 + 1 + 2);  // the second segment
    EXPECT_EQ(model->m_sms.GetCount(SMS_LIST_SENT), 1);
}

TEST_F(EngineTest, GprsAccessPointRoundTripKeepsTheDefaultQosFlag) {
    Boot();
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_STREQ(model->m_gprs.apn, "internet");
    EXPECT_EQ(model->m_gprs.defaultQos, 1);
    EXPECT_EQ(Events(AE_GPRS_READ), 1);

    bytes::SetField(model->m_gprs.apn, "apn.firma.cz");
    model->m_gprs.dataCompression = 1;
    model->m_gprs.precedence = 3;  // not sent: the default QoS is chosen
    EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), 0);
    auto at = sim->Stats().atCommands;
    ASSERT_GE(at.size(), 3u);
    EXPECT_EQ(at[at.size() - 3], "AT+CGDCONT=1,\"IP\",\"apn.firma.cz\",,1,0");
    EXPECT_EQ(at[at.size() - 2], "AT+CGQREQ=1,0,0,0,0,0");
    EXPECT_EQ(at.back(), "ATZ");

    model->m_gprs.defaultQos = 0;
    model->m_gprs.mean = 31;
    EXPECT_EQ(Run({REQ_WRITE_GPRS, 0, 0}), 0);
    EXPECT_EQ(sim->Stats().atCommands.rbegin()[1], "AT+CGQREQ=1,3,0,0,0,31");
    model->m_gprs.defaultQos = 1;
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_STREQ(model->m_gprs.apn, "apn.firma.cz");
    EXPECT_EQ(model->m_gprs.dataCompression, 1);
    EXPECT_EQ(model->m_gprs.precedence, 3);
    EXPECT_EQ(model->m_gprs.mean, 31);
    EXPECT_EQ(model->m_gprs.defaultQos, 1);
}

TEST_F(EngineTest, OddAtAnswersAreRefused) {
    Boot();
    struct Case {
        std::string answer;
        int result;
    } cases[] = {
        {"\r\nOK\r\n", DR_AT_UNDEFINED},
        {"\r\n+CGDCONT: 1,\"IP\",\"x\",\"0.0.0.0\",0\r\n\r\nOK\r\n", DR_AT_UNDEFINED},  // five fields
        {"\r\n+CGDCONT: 1,\"IP\",\"x\",\"0.0.0.0\",0,0,9\r\n\r\nOK\r\n", DR_AT_UNDEFINED},
        {"\r\nERROR\r\n", DR_AT_ERROR},
    };
    for (const auto& c : cases) {
        GprsApRec before = model->m_gprs;
        ASSERT_EQ(Run({REQ_CONNECT, 0, 0}), 0);
        sim->SetNextAtAnswer(c.answer);
        EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), c.result) << c.answer;
        EXPECT_EQ(std::memcmp(&before, &model->m_gprs, sizeof before), 0);
        EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
    }
}

TEST_F(EngineTest, QuotedApnKeepsItsBlank) {
    Boot();
    ASSERT_EQ(Run({REQ_CONNECT, 0, 0}), 0);
    sim->SetNextAtAnswer("\r\n+CGDCONT: 1,\"IP\",\"my apn\",\"0.0.0.0\",1,0\r\n\r\nOK\r\n");
    EXPECT_EQ(Run({REQ_READ_GPRS, 0, 0}), 0);
    EXPECT_STREQ(model->m_gprs.apn, "my apn");
    EXPECT_EQ(model->m_gprs.dataCompression, 1);
    EXPECT_EQ(model->m_gprs.headerCompression, 0);
    Run({REQ_DISCONNECT, 0, 0});
}

TEST_F(EngineTest, OnlineIdlePollReportsChangesOnlyAndStopsOnDisconnect) {
    Boot();
    ASSERT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    EXPECT_TRUE(model->m_com.IsOnline());
    sim->SetState({{"inputs", 0x05}});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Events(AE_IO_CHANGED) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ui.Loop().Drain();
    }
    EXPECT_EQ(model->m_io.inputs, 0x05);
    EXPECT_EQ(Events(AE_BATCH_START), 1);  // the poll posts no progress
    EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
    EXPECT_FALSE(model->m_com.IsOnline());
    sim->ResetStats();
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(sim->Stats().totalFrames, 0);
}

TEST_F(EngineTest, CloseAfterDisconnectClosesTheWindow) {
    Boot();
    ASSERT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    EXPECT_EQ(Run({REQ_DISCONNECT, 1, 0}), 0);
    ui.Loop().RunUntil([&] { return ui.closes == 1; });
}
