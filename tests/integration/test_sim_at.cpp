// The GSM module's AT dialogue beside the link frames.
#include "tests/integration/SimClient.h"

TEST_F(SimTest, AtTextOnlyWhileTheLinkIsOpen) {
    Boot();
    EXPECT_EQ(At("AT+CGDCONT?\r"), "");
    EXPECT_TRUE(sim->Stats().atCommands.empty());
    ASSERT_EQ(OpenLink(), LINK_OK);
    EXPECT_EQ(At("AT\r"), "AT\r\r\nOK\r\n");
    ASSERT_EQ(Cmd(CMD_LINK_CTL, {0}), LINK_OK);
    EXPECT_EQ(At("AT\r"), "");
}

TEST_F(SimTest, AccessPointDialogue) {
    Boot();
    ASSERT_EQ(OpenLink(), LINK_OK);
    EXPECT_EQ(At("AT+CGDCONT?\r"), "AT+CGDCONT?\r\r\n+CGDCONT: 1,\"IP\",\"internet\",\"0.0.0.0\",0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGQREQ?\r"), "AT+CGQREQ?\r\r\n+CGQREQ: 1,0,0,0,0,0\r\n\r\nOK\r\n");

    EXPECT_EQ(At("AT+CGDCONT=1,\"IP\",\"my apn\",,1,0\r"), "AT+CGDCONT=1,\"IP\",\"my apn\",,1,0\r\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGQREQ=1,3,4,2,9,31\r"), "AT+CGQREQ=1,3,4,2,9,31\r\r\nOK\r\n");
    // Frames still work between AT commands.
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
    EXPECT_EQ(At("ATZ\r"), "ATZ\r\r\nOK\r\n");  // the values stay
    EXPECT_EQ(At("at+cgdcont?\r"), "at+cgdcont?\r\r\n+CGDCONT: 1,\"IP\",\"my apn\",\"0.0.0.0\",1,0\r\n\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGQREQ?\r"), "AT+CGQREQ?\r\r\n+CGQREQ: 1,3,4,2,9,31\r\n\r\nOK\r\n");
    auto gprs = sim->State()["gprs"];
    EXPECT_EQ(gprs["apn"], "my apn");
    EXPECT_EQ(gprs["dataComp"], 1);
    EXPECT_EQ(gprs["qos"], nlohmann::json({3, 4, 2, 9, 31}));

    // Malformed commands change nothing.
    for (const char* bad :
         {"AT+FOO\r", "AT+CGDCONT=2,\"IP\",\"x\"\r", "AT+CGDCONT=1,\"IP\",x\r", "AT+CGDCONT=1,\"IP\",\"x\r",
          "AT+CGQREQ=1,256\r", "AT+CGQREQ=1,a\r", "AT+CGQREQ=1,1,1,1,1,1,1\r"}) {
        std::string cmd = bad;
        EXPECT_EQ(At(cmd), cmd + "\r\nERROR\r\n");
    }
    EXPECT_EQ(sim->State()["gprs"], gprs);
    std::string tooLong = "AT" + std::string(600, 'X') + "\r";
    std::string answer = At(tooLong);
    EXPECT_EQ(answer.substr(answer.size() - 9), "\r\nERROR\r\n");
    EXPECT_EQ(Cmd(CMD_IDENTITY, {}, 8), LINK_OK);
}

TEST_F(SimTest, AtWithoutEchoAndCannedAnswers) {
    CVantrixSim::Options o;
    o.echoAt = false;
    Boot(o);
    ASSERT_EQ(OpenLink(), LINK_OK);
    EXPECT_EQ(At("AT+CGQREQ?\r"), "\r\n+CGQREQ: 1,0,0,0,0,0\r\n\r\nOK\r\n");

    sim->SetNextAtAnswer("\r\n+CGQREQ: 1,0,0,0,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGQREQ?\r"), "\r\n+CGQREQ: 1,0,0,0,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGQREQ?\r"), "\r\n+CGQREQ: 1,0,0,0,0,0\r\n\r\nOK\r\n");  // once only

    sim->UpdateOptions([](CVantrixSim::Options& opt) { opt.echoAt = true; });
    sim->SetNextAtAnswer("\r\nOK\r\n");
    EXPECT_EQ(At("AT+CGDCONT?\r"), "AT+CGDCONT?\r\r\nOK\r\n");
    EXPECT_EQ(sim->Stats().atCommands.size(), 4u);
    EXPECT_EQ(sim->Stats().atCommands.back(), "AT+CGDCONT?");
}

TEST_F(SimTest, AtDuringACall) {
    Boot();
    EXPECT_EQ(At("AT\r"), "");
    sim->WithDevice([](CSimDevice& d) { d.SetCallActive(true); });
    EXPECT_EQ(At("AT\r"), "AT\r\r\nOK\r\n");
}
