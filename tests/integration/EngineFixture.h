// The engine and the core model against the simulator on a real
// pseudo-terminal, with the scripted user interface in place of the windows.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "app/Profile.h"
#include "app/Vantrix.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"
#include "tools/vantrix-sim/VantrixSim.h"

class EngineTest : public ::testing::Test {
protected:
    TempDir dir;
    FakeUI ui;
    CProfile profile;
    std::unique_ptr<CVantrixSim> sim;
    std::unique_ptr<CVantrix> model;

    void Boot(SimOptions o = {}) {
        sim = std::make_unique<CVantrixSim>(std::move(o));
        ASSERT_TRUE(sim->Start());
        profile.SetPortName(sim->SlavePath());
        model = std::make_unique<CVantrix>(ui, profile, dir.Path());
        ASSERT_EQ(model->Init(false), 1);
        model->m_com.SetPauses(0, 5);
        // The main window's part of the SMS events.
        ui.onEvent = [this](int code, intptr_t datum) {
            if (code == AE_SMS_RECEIVED) model->m_sms.OnSmsReceived(reinterpret_cast<CSMS*>(datum));
            if (code == AE_SMS_SENT) model->m_sms.OnSmsSent(int(datum));
        };
    }

    void TearDown() override {
        model.reset();  // the engine ends before the device goes away
        sim.reset();
    }

    // Posts a request and runs the user interface until its sequence ends.
    // Returns the first error reported during it, 0 when none.
    int Run(const CComRequest& req) {
        size_t first = ui.comMsgs.size();
        int ended = ui.sequencesEnded;
        EXPECT_EQ(model->m_com.PostRequest(req), 1);
        ui.Loop().RunUntil([&] { return ui.sequencesEnded > ended; });
        for (size_t i = first; i < ui.comMsgs.size(); ++i)
            if (ui.comMsgs[i].kind == 5) return int(ui.comMsgs[i].value1);
        return 0;
    }

    // The number of steps announced by the begin message of an operation.
    int StepsOf(int caption) const {
        for (auto it = ui.comMsgs.rbegin(); it != ui.comMsgs.rend(); ++it)
            if (it->kind == 2 && it->value1 == caption) return it->value2;
        return -1;
    }

    int Events(int code) const {
        int n = 0;
        for (const auto& e : ui.events) n += e.first == code;
        return n;
    }

    int Frames(uint8_t cmd) const {
        auto s = sim->Stats();
        auto it = s.frames.find(cmd);
        return it == s.frames.end() ? 0 : it->second;
    }

    std::vector<uint8_t> LastRequest(uint8_t cmd) const { return sim->Stats().lastRequest[cmd]; }
};
