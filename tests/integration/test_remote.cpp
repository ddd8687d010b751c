// Remote access: the engine calls the simulator through its modem front on a
// pseudo-terminal, logs in with the PIN, works and hangs up.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "app/Bytes.h"
#include "app/Profile.h"
#include "app/Vantrix.h"
#include "comm/ComMsg.h"
#include "comm/Frame.h"
#include "comm/Link.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"
#include "tools/vantrix-sim/SimModem.h"
#include "tools/vantrix-sim/VantrixSim.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t) {
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

SimModemOptions FastModem() {
    SimModemOptions mo;
    mo.ringMs = 50;
    mo.guardMs = 50;
    return mo;
}

class RemoteTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeUI ui;
    CProfile profile;
    // The modem (and a stage in front of it) outlive the simulator's server
    // that calls them.
    std::unique_ptr<CSimModem> modem;
    std::unique_ptr<ISimStage> front;
    // When set: makes the stage in front of the modem.
    std::function<std::unique_ptr<ISimStage>(CSimModem&)> makeFront;
    std::unique_ptr<CVantrixSim> sim;
    std::unique_ptr<CVantrix> model;

    struct BootOptions {
        SimOptions sim;
        SimModemOptions modem = FastModem();
        std::string pin = "1234";  // of the selected entry; none selected when empty
        int modemIndex = 0;
        bool useStores = false;
        std::vector<std::pair<std::string, std::string>> moreLinks;  // name, target
    };

    void SetUp() override {
        ASSERT_EQ(::mkdir(dir.File("Data").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(dir.File("Data/Modems").c_str(), 0755), 0);
    }

    void Boot(const BootOptions& b) {
        sim = std::make_unique<CVantrixSim>(b.sim);
        modem = std::make_unique<CSimModem>(sim->Device(), b.modem);
        if (makeFront) front = makeFront(*modem);
        sim->SetFront(front ? front.get() : modem.get());
        ASSERT_TRUE(sim->Start());
        ASSERT_EQ(::symlink(sim->SlavePath().c_str(), dir.File("Data/Modems/SimModem").c_str()), 0);
        for (const auto& [name, target] : b.moreLinks)
            ASSERT_EQ(::symlink(target.c_str(), dir.File("Data/Modems/" + name).c_str()), 0);
        profile.com.accessMode = 2;
        profile.com.modemIndex = b.modemIndex;
        model = std::make_unique<CVantrix>(ui, profile, dir.Path());
        model->m_com.Tapi().SetSystemDir("");
        model->m_com.Tapi().SetGuardTime(b.modem.guardMs);
        ASSERT_EQ(model->Init(b.useStores), 1);
        model->m_com.SetPauses(0, 5);
        if (!b.pin.empty()) {
            CConnectDsc dsc;
            dsc.SetNumber("603 123 456");
            dsc.SetPin(b.pin);
            Conns().selectedIndex = Conns().Add(dsc);
        }
    }

    void TearDown() override {
        model.reset();
        sim.reset();
        front.reset();
        modem.reset();
    }

    CConnectDscMng& Conns() { return model->m_com.Connections(); }

    // Posts a request and runs the user interface until its sequence ends.
    // The first error reported during it, 0 when none.
    int Run(const CComRequest& req) {
        size_t first = ui.comMsgs.size();
        int ended = ui.sequencesEnded;
        EXPECT_EQ(model->m_com.PostRequest(req), 1);
        ui.Loop().RunUntil([&] { return ui.sequencesEnded > ended; });
        for (size_t i = first; i < ui.comMsgs.size(); ++i)
            if (ui.comMsgs[i].kind == CM_ERROR) return int(ui.comMsgs[i].value1);
        return 0;
    }

    int Frames(uint8_t cmd) const {
        auto s = sim->Stats();
        auto it = s.frames.find(cmd);
        return it == s.frames.end() ? 0 : it->second;
    }

    int ComMsgs(int kind) const {
        int n = 0;
        for (const auto& m : ui.comMsgs) n += m.kind == kind;
        return n;
    }

    int Questions() const {
        int n = 0;
        for (const auto& b : ui.boxes) n += b.buttons != MbButtons::Ok;
        return n;
    }

    int Events(int code) const {
        int n = 0;
        for (const auto& e : ui.events) n += e.first == code;
        return n;
    }

    // The progress bar's position at the end of the last operation with `caption`.
    int PositionAfter(int caption) const {
        int pos = 0, result = -1;
        bool inside = false;
        for (const auto& m : ui.comMsgs) {
            if (m.kind == CM_BEGIN) {
                inside = m.value1 == caption;
                pos = 0;
            } else if (m.kind == CM_STEP) {
                pos += int(m.value1);
            } else if (m.kind == CM_SET_POS) {
                pos = int(m.value1);
            }
            if (inside) result = pos;
        }
        return result;
    }

    // Answers the refused-PIN message with `pin` (confirmed), or declines when empty.
    void AnswerPinRefusals(std::vector<std::string> pins) {
        ui.onComMsg = [this, pins, n = size_t(0)](CComMsg* m) mutable {
            if (m->kind != CM_PIN_REFUSED) return;
            auto* dsc = reinterpret_cast<CConnectDsc*>(m->value1);
            EXPECT_EQ(dsc, Conns().SelectedEntry());
            if (n < pins.size()) {
                dsc->SetPin(pins[n++]);
                m->value2 = 1;
            }
        };
    }
};

}  // namespace

TEST_F(RemoteTest, SessionLogsInReadsTheConfigurationAndHangsUp) {
    profile.com.logTraffic = 1;
    Boot(BootOptions{});
    auto t0 = Clock::now();
    EXPECT_EQ(Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), 0);
    EXPECT_LT(MsSince(t0), 5000);
    EXPECT_EQ(model->m_com.AccessMode(), 2);

    // The device saw the log-in, identification, the blocks and the end.
    EXPECT_EQ(Frames(CMD_PIN), 1);
    EXPECT_EQ(Frames(CMD_IDENTITY), 1);
    EXPECT_EQ(Frames(CMD_LABEL), 1);
    EXPECT_EQ(Frames(CMD_READ_CFG), 6);  // layout 2: 1708 bytes
    EXPECT_EQ(Frames(CMD_END_SESSION), 1);
    EXPECT_EQ(Frames(CMD_LINK_CTL), 0);  // no local link control over a call
    const uint8_t pinRequest[13] = {0x80, CMD_PIN, 0x01, 0xFF, '1', '2', '3', '4', 0, 0, 0, 0, 0};
    EXPECT_EQ(sim->Stats().lastRequest[CMD_PIN], std::vector<uint8_t>(pinRequest, pinRequest + 13));
    EXPECT_EQ(model->m_devId.serial, 4711u);
    EXPECT_EQ(Events(AE_ONLINE), 1);
    EXPECT_EQ(Events(AE_OFFLINE), 1);
    EXPECT_EQ(Events(AE_CFG_REPLACED), 1);
    EXPECT_EQ(PositionAfter(IDS_CAPTION_CONNECT), 5);  // all five connect steps

    // One call to the number as the modem takes it, hung up with the escape.
    SimModemStats m = modem->Stats();
    EXPECT_EQ(m.calls, 1);
    EXPECT_EQ(m.dialled, std::vector<std::string>{"603123456"});
    EXPECT_EQ(m.connected, 1);
    EXPECT_EQ(m.escapes, 1);
    EXPECT_EQ(m.hangups, 1);
    EXPECT_FALSE(m.inCall);
    EXPECT_EQ(model->m_com.Tapi().Line().CallHandle(), 0u);
    EXPECT_FALSE(model->m_com.SerCom().IsOpen());

    // The traffic log of a remote session stays open until the next connection.
    EXPECT_TRUE(model->m_com.SerCom().LogEnabled());
    EXPECT_GT(ReadAll(dir.File("sercom.log")).size(), 100u);

    // A second session calls again.
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(modem->Stats().calls, 2);
    EXPECT_EQ(modem->Stats().hangups, 2);
    EXPECT_EQ(Frames(CMD_GSM), 1);
}

TEST_F(RemoteTest, OnlineSessionPollsOverTheCall) {
    Boot(BootOptions{});
    EXPECT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
    EXPECT_TRUE(model->m_com.IsOnline());
    EXPECT_TRUE(modem->Stats().inCall);
    for (int i = 0; i < 40 && Frames(CMD_READ_IO) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(Frames(CMD_READ_IO), 1);
    EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
    EXPECT_FALSE(model->m_com.IsOnline());
    EXPECT_EQ(modem->Stats().hangups, 1);
}

TEST_F(RemoteTest, RefusedPinIsCorrectedAndTheDeviceIdentified) {
    BootOptions b;
    b.pin = "9999";
    Boot(b);
    AnswerPinRefusals({"1234"});
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(ComMsgs(CM_PIN_REFUSED), 1);
    EXPECT_EQ(Frames(CMD_PIN), 2);
    EXPECT_EQ(Frames(CMD_GSM), 1);
    EXPECT_EQ(Conns().SelectedEntry()->Pin(), "1234");  // the corrected PIN stays in the entry
    EXPECT_EQ(Questions(), 0);
}

TEST_F(RemoteTest, DeclinedPinEndsSilentlyAndHangsUp) {
    BootOptions b;
    b.pin = "9999";
    Boot(b);
    AnswerPinRefusals({});
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);  // no error box
    EXPECT_EQ(ComMsgs(CM_PIN_REFUSED), 1);
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(Frames(CMD_PIN), 1);
    EXPECT_EQ(Frames(CMD_IDENTITY), 0);
    EXPECT_EQ(Frames(CMD_GSM), 0);          // the rest of the sequence gave way ...
    EXPECT_EQ(Frames(CMD_END_SESSION), 1);  // ... to the disconnect
    EXPECT_EQ(modem->Stats().hangups, 1);
    EXPECT_EQ(Conns().SelectedEntry()->Pin(), "9999");
}

TEST_F(RemoteTest, BlockedAccessIsReportedWithoutRetry) {
    BootOptions b;
    b.pin = "9999";
    b.sim.pinTries = 1;
    Boot(b);
    AnswerPinRefusals({"1234"});
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_BLOCKED);
    EXPECT_EQ(ComMsgs(CM_PIN_REFUSED), 0);
    EXPECT_EQ(Questions(), 0);
    EXPECT_EQ(Frames(CMD_END_SESSION), 1);
    EXPECT_EQ(modem->Stats().hangups, 1);
}

TEST_F(RemoteTest, DeviceThatBlocksAfterACorrectedPinIsReportedBlocked) {
    BootOptions b;
    b.pin = "9999";
    b.sim.pinTries = 2;
    Boot(b);
    AnswerPinRefusals({"8888"});  // wrong again: the device blocks now
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_BLOCKED);
    EXPECT_EQ(ComMsgs(CM_PIN_REFUSED), 1);
    EXPECT_EQ(Frames(CMD_PIN), 2);
    EXPECT_EQ(Questions(), 0);
}

TEST_F(RemoteTest, BusyNumberIsNoConnectionAndARetryCallsAgain) {
    BootOptions b;
    b.modem.callResult = "BUSY";
    Boot(b);
    ui.answers = {IDYES, IDNO};
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_NO_CONNECTION);
    EXPECT_EQ(Questions(), 2);
    SimModemStats m = modem->Stats();
    EXPECT_EQ(m.calls, 2);
    EXPECT_EQ(m.connected, 0);
    EXPECT_EQ(Frames(CMD_PIN), 0);
    EXPECT_EQ(Events(AE_ONLINE), 0);
    EXPECT_EQ(model->m_com.Tapi().Line().CallHandle(), 0u);
    // The error box names no command: nothing was sent to the device.
    for (const auto& msg : ui.comMsgs)
        if (msg.kind == CM_ERROR) {
            EXPECT_EQ(msg.value2, 0);
        }
}

TEST_F(RemoteTest, CancelWhileRingingStopsWithinASlice) {
    BootOptions b;
    b.modem.ringMs = 20000;
    Boot(b);
    ASSERT_EQ(model->m_com.PostRequest({REQ_CONNECT, 0, 0}), 1);
    for (int i = 0; i < 200 && !modem->Stats().ringing; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(modem->Stats().ringing);
    auto t0 = Clock::now();
    ASSERT_EQ(model->m_com.PostRequest({REQ_CANCEL, 0, 0}), 1);
    ui.Loop().RunUntil([&] { return ui.sequencesEnded == 1; });
    EXPECT_LT(MsSince(t0), 1500);
    int error = 0;
    for (const auto& m : ui.comMsgs)
        if (m.kind == CM_ERROR && !error) error = int(m.value1);
    EXPECT_EQ(error, DR_CANCEL);
    EXPECT_EQ(Questions(), 0);
    SimModemStats m = modem->Stats();
    EXPECT_EQ(m.aborted, 1);
    EXPECT_EQ(m.connected, 0);
    EXPECT_FALSE(m.ringing);
}

TEST_F(RemoteTest, NoEntryOrNoSuchModemFailsWithoutACall) {
    BootOptions b;
    b.pin = "";
    Boot(b);
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_NO_CONNECTION);  // no entry selected
    CConnectDsc dsc;
    dsc.SetNumber("603123456");
    dsc.SetPin("1234");
    Conns().Add(dsc);
    Conns().selectedIndex = 3;  // fits no entry
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_NO_CONNECTION);
    Conns().selectedIndex = 0;
    for (int index : {-1, 1, 100}) {
        profile.com.modemIndex = index;
        EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_NO_CONNECTION) << index;
    }
    EXPECT_EQ(modem->Stats().calls, 0);
    profile.com.modemIndex = 0;
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), 0);
    EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
    EXPECT_EQ(modem->Stats().calls, 1);
}

TEST_F(RemoteTest, ModemListComesFromTheProgramsDataModems) {
    BootOptions b;
    b.modemIndex = 1;
    b.moreLinks = {{"A-gone", dir.File("no-such-tty")}};
    Boot(b);
    CTAPIMng& tapi = model->m_com.Tapi();
    ASSERT_EQ(tapi.ModemCount(), 2);
    EXPECT_STREQ(tapi.Modem(0)->name, "A-gone");
    EXPECT_STREQ(tapi.Modem(1)->name, "SimModem");
    ModemProps p;
    ASSERT_EQ(tapi.GetModemProps(0, p), 0);
    EXPECT_FALSE(p.present);
    ASSERT_EQ(tapi.QueryModem(1, p), 0);
    EXPECT_EQ(p.info, std::vector<std::string>{FastModem().ident});
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), 0);
    EXPECT_EQ(Run({REQ_DISCONNECT, 0, 0}), 0);
    // A dangling link cannot be called.
    profile.com.modemIndex = 0;
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_NO_CONNECTION);
    EXPECT_EQ(modem->Stats().calls, 1);
}

TEST_F(RemoteTest, ConnectionListIsLoadedAtStartAndSavedAtStop) {
    // Two entries, the second selected.
    std::vector<uint8_t> file(12 + 2 * 25, 0);
    bytes::PutLE32(file.data(), 1);
    bytes::PutLE32(file.data() + 4, 1);
    bytes::PutLE32(file.data() + 8, 2);
    std::memcpy(file.data() + 12, "111", 3);
    std::memcpy(file.data() + 12 + 16, "0000", 4);
    std::memcpy(file.data() + 37, "222333", 6);
    std::memcpy(file.data() + 37 + 16, "1234", 4);
    WriteAll(dir.File("Data/Connection.dat"), file);
    ASSERT_EQ(::chmod(dir.File("Data/Connection.dat").c_str(), 0600), 0);
    BootOptions b;
    b.pin = "";
    b.useStores = true;
    Boot(b);
    ASSERT_EQ(Conns().Count(), 2);
    EXPECT_EQ(Run({REQ_READ_STATE, 0, 0}), 0);
    EXPECT_EQ(modem->Stats().dialled, std::vector<std::string>{"222333"});
    Conns().Get(0)->SetPin("5678");
    model.reset();
    auto saved = ReadAll(dir.File("Data/Connection.dat"));
    ASSERT_EQ(saved.size(), 62u);
    EXPECT_EQ(bytes::GetLE32(saved.data() + 4), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved.data()) + 12 + 16), "5678");
    struct stat st;
    ASSERT_EQ(::stat(dir.File("Data/Connection.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

namespace {

// Between the modem and the PC: the device's reply to the PIN is cut to its
// first three bytes, as a reply that never reaches the acknowledge byte.
class CShortPinReply : public ISimStage, public ISimLine {
public:
    explicit CShortPinReply(CSimModem& modem) : m_modem(modem) {}
    void Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) override {
        m_out = &out;
        m_modem.Receive(p, n, baud, *this);
    }
    void LineClosed(ISimLine& out) override {
        m_out = &out;
        m_modem.LineClosed(*this);
    }
    void Idle(ISimLine& out) override {
        m_out = &out;
        m_modem.Idle(*this);
    }
    void Send(const uint8_t* p, size_t n) override {
        uint8_t payload[256];
        frame::CFrameReceiver rx(payload, sizeof payload);
        bool pinReply = false;
        for (size_t i = 0; i < n && !pinReply; ++i)
            pinReply = rx.Feed(p[i]) == frame::CFrameReceiver::kGood && rx.PayloadLen() > kCmdByte &&
                       payload[kCmdByte] == CMD_PIN;
        if (!pinReply) return m_out->Send(p, n);
        std::vector<uint8_t> shortReply = frame::Encode(payload, 3);
        m_out->Send(shortReply.data(), shortReply.size());
    }

private:
    CSimModem& m_modem;
    ISimLine* m_out = nullptr;
};

}  // namespace

// A reply to the PIN too short to carry the acknowledge byte is no log-in:
// the reply buffer is filled like every other (0xFF at byte 3), not zeroed.
TEST_F(RemoteTest, ShortPinReplyIsNoLogIn) {
    makeFront = [](CSimModem& m) -> std::unique_ptr<ISimStage> { return std::make_unique<CShortPinReply>(m); };
    Boot(BootOptions{});
    EXPECT_EQ(Run({REQ_CONNECT, 0, 0}), DR_ACK);
    EXPECT_EQ(Frames(CMD_PIN), 1);
    EXPECT_EQ(Frames(CMD_IDENTITY), 0);
}
