#include "comm/Link.h"

#include <vector>

#include "comm/Frame.h"

namespace {

struct TimingRow {
    uint8_t cmd;
    CmdTiming timing;
};

constexpr TimingRow kTimings[] = {
    {CMD_IDENTITY, kDefaultTiming},     {CMD_PIN, {5000, 5000, 1}},
    {CMD_END_SESSION, {2500, 2500, 1}}, {CMD_LABEL, kDefaultTiming},
    {CMD_GSM, kDefaultTiming},          {CMD_SET_OUTPUTS, kDefaultTiming},
    {CMD_READ_IO, kDefaultTiming},      {CMD_WRITE_CFG, {kMaxCfgBlock * 20, 6000, 3}},
    {CMD_READ_CFG, kDefaultTiming},     {CMD_READ_SMS, kDefaultTiming},
    {CMD_ACK_SMS, {3000, 6000, 1}},     {CMD_SUBMIT_SMS, kDefaultTiming},
    {CMD_SMS_STATE, kDefaultTiming},    {CMD_READ_CLOCK, kDefaultTiming},
    {CMD_SET_CLOCK, kDefaultTiming},    {CMD_LINK_CTL, kLinkOpenTiming},
};

// A reply frame is at most a few hundred bytes. A line that streams bytes
// without ever ending a frame would otherwise keep the worker forever.
constexpr size_t kMaxFrameBytes = 65536;

}  // namespace

CmdTiming TimingFor(uint8_t cmd) {
    for (const auto& row : kTimings)
        if (row.cmd == cmd) return row.timing;
    return kDefaultTiming;
}

CmdTiming PollTiming(uint8_t cmd) {
    CmdTiming t = TimingFor(cmd);
    t.tries = 1;
    return t;
}

CmdTiming CfgWriteTiming(uint32_t len) { return {len * 20, 6000, 3}; }

void FillHeader(uint8_t* buf) {
    buf[0] = 0x80;
    buf[1] = 0x00;
    buf[2] = 0x01;
    buf[3] = 0xFF;
}

int LinkSend(IByteIO& io, const uint8_t* req, size_t len, uint32_t writeMs, uint32_t tries) {
    std::vector<uint8_t> line = frame::Encode(req, len);
    int result = LINK_IO;
    for (uint32_t i = 0; i < (tries ? tries : 1); ++i) {
        io.PurgeRx();
        result = io.Write(line.data(), uint32_t(line.size()), writeMs);
        if (result == LINK_OK || result == LINK_CANCEL) break;
    }
    return result;
}

int LinkReceive(IByteIO& io, uint8_t* reply, size_t capacity, uint32_t readMs, size_t* payloadLen) {
    frame::CFrameReceiver rx(reply, capacity);
    for (size_t count = 0; count < kMaxFrameBytes; ++count) {
        uint8_t b;
        int r = io.Read(&b, 1, readMs);
        if (r != SER_OK) return r == SER_TIMEOUT || r == SER_CANCEL ? r : LINK_IO;
        switch (rx.Feed(b)) {
        case frame::CFrameReceiver::kGood:
            if (payloadLen) *payloadLen = rx.PayloadLen();
            return LINK_OK;
        case frame::CFrameReceiver::kBadChecksum: return LINK_CHECKSUM;
        case frame::CFrameReceiver::kMore: break;
        }
    }
    return LINK_CHECKSUM;
}

int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t readMs,
                 uint32_t writeMs, uint32_t tries, LinkTrace* trace) {
    int result = LINK_TIMEOUT;
    LinkTrace scratch;
    LinkTrace& t = trace ? *trace : scratch;
    t = {};
    for (uint32_t i = 0; i < (tries ? tries : 1); ++i) {
        result = LinkSend(io, req, len, writeMs, tries);
        if (result != LINK_OK) return result;
        t.sent = true;
        result = LinkReceive(io, reply, capacity, readMs, &t.replyLen);
        if (result == LINK_OK) return capacity > kAckByte && reply[kAckByte] != 0 ? LINK_ACK : LINK_OK;
        if (result == LINK_CANCEL) return result;
    }
    return result;
}

int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity) {
    return LinkTransact(io, req, len, reply, capacity, kDefaultTiming.readMs, kDefaultTiming.writeMs,
                        kDefaultTiming.tries);
}
