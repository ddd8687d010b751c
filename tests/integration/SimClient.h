// The PC side for the simulator tests: the real transport and link on the
// simulator's pseudo-terminal, with short time limits.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/Link.h"
#include "comm/SerCom.h"
#include "tools/vantrix-sim/VantrixSim.h"

using Bytes = std::vector<uint8_t>;

// One try, 300 ms per byte: a silent device costs little.
inline constexpr CmdTiming kQuick{300, 1000, 1};

class SimTest : public ::testing::Test {
protected:
    std::unique_ptr<CVantrixSim> sim;
    CSerCom com;

    void Boot(CVantrixSim::Options o = {}) {
        uint32_t speed = o.speed;
        sim = std::make_unique<CVantrixSim>(std::move(o));
        ASSERT_TRUE(sim->Start());
        ASSERT_TRUE(com.Create());
        ASSERT_EQ(com.Open(sim->SlavePath(), speed), SER_OK);
    }
    void Reopen(uint32_t baud) { ASSERT_EQ(com.Open(sim->SlavePath(), baud), SER_OK); }

    // Sends cmd with data; the reply buffer is pre-filled with the header
    // as the device operations do.
    int Cmd(uint8_t cmd, const Bytes& data, Bytes& reply, size_t capacity, CmdTiming t = kQuick) {
        Bytes req(kHeaderLen);
        FillHeader(req.data());
        req[kCmdByte] = cmd;
        req.insert(req.end(), data.begin(), data.end());
        reply.assign(capacity, 0);
        FillHeader(reply.data());
        return LinkTransact(com, req.data(), req.size(), reply.data(), reply.size(), t);
    }
    int Cmd(uint8_t cmd, const Bytes& data = {}, size_t capacity = kReplyAck) {
        Bytes reply;
        return Cmd(cmd, data, reply, capacity);
    }
    int OpenLink() { return Cmd(CMD_LINK_CTL, {1}); }

    // Reads text until it ends with one of the final lines or nothing more
    // comes for 300 ms.
    std::string ReadAt() {
        std::string s;
        uint8_t b;
        while (com.Read(&b, 1, 300) == SER_OK) {
            s += char(b);
            auto ends = [&](const std::string& t) {
                return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
            };
            if (ends("\r\nOK\r\n") || ends("\r\nERROR\r\n")) break;
        }
        return s;
    }
    std::string At(const std::string& line) {
        com.PurgeRx();
        EXPECT_EQ(com.Write(line.data(), uint32_t(line.size()), 1000), SER_OK);
        return ReadAt();
    }
};

inline Bytes Be16(uint16_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }

// Request data of 0x27/0x28: two zero bytes, offset, length.
inline Bytes CfgBlock(uint16_t offset, uint16_t len) {
    Bytes d{0, 0};
    for (uint8_t b : Be16(offset)) d.push_back(b);
    for (uint8_t b : Be16(len)) d.push_back(b);
    return d;
}
