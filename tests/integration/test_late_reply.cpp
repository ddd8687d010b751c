// A reply that comes late, after the request it answers was cancelled and the
// next request went out, must not pass for the answer to that next request.
#include <atomic>
#include <cstring>

#include "app/Bytes.h"
#include "comm/ComMsg.h"
#include "comm/Frame.h"
#include "comm/Link.h"
#include "tests/integration/EngineFixture.h"
#include "tools/vantrix-sim/Hex.h"

namespace {

// In front of the device: holds its reply to the first configuration write
// back and lets it out only when the next request arrives, as a device that
// answers late. The simulator's thread calls it.
class CLateWriteReply : public ISimStage, public ISimLine {
public:
    explicit CLateWriteReply(CSimDevice& device) : m_device(device) {}

    void Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) override {
        if (!m_held.empty()) {
            out.Send(m_held.data(), m_held.size());
            m_held.clear();
            releasedBefore = n > 2 && p[0] == frame::kStart ? p[2] : 0;
        }
        m_reply.clear();
        m_device.Receive(p, n, baud, *this);
        if (m_reply.empty()) return;
        // The request the reply answers: the device's latest frame (the
        // reply's own byte 1 says nothing for a device without echo).
        const auto& cmds = m_device.Stats().commands;
        if (!m_armed || cmds.empty() || cmds.back() != CMD_WRITE_CFG) {
            out.Send(m_reply.data(), m_reply.size());
            return;
        }
        m_armed = false;
        m_held = m_reply;
        if (CVantrixCom* com = cancelOnHold.load(std::memory_order_acquire)) com->PostRequest({REQ_CANCEL, 0, 0});
    }
    void Send(const uint8_t* p, size_t n) override { m_reply.insert(m_reply.end(), p, p + n); }

    // The engine that gets a cancel once the reply is held back.
    std::atomic<CVantrixCom*> cancelOnHold{nullptr};
    // The command of the request the held reply went out in front of.
    std::atomic<uint8_t> releasedBefore{0};

private:
    CSimDevice& m_device;
    std::vector<uint8_t> m_reply;
    std::vector<uint8_t> m_held;
    bool m_armed = true;
};

class LateReplyTest : public EngineTest {
protected:
    std::unique_ptr<CLateWriteReply> front;

    void BootWithFront(SimOptions o = {}) {
        sim = std::make_unique<CVantrixSim>(std::move(o));
        front = std::make_unique<CLateWriteReply>(sim->Device());
        sim->SetFront(front.get());
        ASSERT_TRUE(sim->Start());
        profile.SetPortName(sim->SlavePath());
        model = std::make_unique<CVantrix>(ui, profile, dir.Path());
        ASSERT_EQ(model->Init(false), 1);
        model->m_com.SetPauses(0, 5);
    }

    // The write's first block reaches the device; its reply is held back and
    // the user cancels while the engine waits for it. Then the read meets
    // the late reply, which echoes the same offset and length.
    int CancelWriteThenRead(CfgImage& img) {
        EXPECT_EQ(Run({REQ_CONNECT, 1, 0}), 0);
        front->cancelOnHold.store(&model->m_com, std::memory_order_release);
        bytes::SetField(img.sms_forward_number, "+420603123456");
        EXPECT_EQ(Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0}), DR_CANCEL);
        SetDefaults(img);
        const int r = Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&model->m_cfg), 0});
        EXPECT_EQ(front->releasedBefore, CMD_READ_CFG);
        return r;
    }

    void TearDown() override {
        EngineTest::TearDown();
        front.reset();
    }
};

}  // namespace

// The late reply is not a block: by its byte 1 when the device names the
// command there, else by its length. The read drains the line, asks for the
// block again and holds what the device holds (block 0 of the write arrived).
TEST_F(LateReplyTest, LateWriteReplyIsNotTakenByTheFollowingRead) {
    for (const std::vector<uint8_t>& head : {std::vector<uint8_t>{}, std::vector<uint8_t>{0x3F, 0x77, 0xE1}}) {
        SimOptions o;
        o.replyHead = head;
        BootWithFront(o);
        CfgImage& img = *model->m_cfg.GetData();
        EXPECT_EQ(CancelWriteThenRead(img), 0) << head.size();
        EXPECT_EQ(bytes::FieldStr(img.sms_forward_number), "+420603123456");
        std::vector<uint8_t> expected(kDevice2Size);
        FindLayout(LAYOUT_DEVICE2)->exportImage(img, expected.data());
        EXPECT_EQ(simhex::Bytes(sim->State()["image"].get<std::string>()), expected);
        TearDown();
    }
}
