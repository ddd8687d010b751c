#include "comm/Link.h"

#include <chrono>
#include <vector>

#include "comm/Frame.h"

namespace {

struct CmdRow {
    uint8_t cmd;
    CmdTiming timing;
    size_t need;  // reply payload bytes that hold the command's record
    bool again;   // sent once more, it changes nothing on the device
};

constexpr CmdRow kCommands[] = {
    {CMD_IDENTITY, kDefaultTiming, kReplyIdentity, true},
    {CMD_PIN, {5000, 5000, 1}, kReplyAck, false},  // a wrong PIN counts towards blocking
    {CMD_END_SESSION, {2500, 2500, 1}, kReplyAck, true},
    {CMD_LABEL, kDefaultTiming, kReplyLabel, true},
    {CMD_GSM, kDefaultTiming, kReplyGsm, true},
    {CMD_SET_OUTPUTS, kDefaultTiming, kReplyAck, true},
    {CMD_READ_IO, kDefaultTiming, kReplyIo - 1, true},  // byte 6 is not used
    {CMD_WRITE_CFG, {kMaxCfgBlock * 20, 6000, 3}, kReplyWriteCfg, true},
    {CMD_READ_CFG, kDefaultTiming, kCfgDataByte, true},
    {CMD_READ_SMS, kDefaultTiming, kSmsRecordMin, true},
    {CMD_ACK_SMS, {3000, 6000, 1}, kReplyAck, false},    // deletes the next SMS
    {CMD_SUBMIT_SMS, kDefaultTiming, kReplyAck, false},  // sends it again
    {CMD_SMS_STATE, kDefaultTiming, kReplySmsState, true},
    {CMD_READ_CLOCK, kDefaultTiming, kReplyClock, true},
    {CMD_SET_CLOCK, kDefaultTiming, kReplyAck, true},
    {CMD_LINK_CTL, kLinkOpenTiming, kReplyAck, true},
};

const CmdRow* RowOf(uint8_t cmd) {
    for (const auto& row : kCommands)
        if (row.cmd == cmd) return &row;
    return nullptr;
}

// A reply frame is at most a few hundred bytes. A line that streams bytes
// without ever ending a frame would otherwise keep the worker forever.
constexpr size_t kMaxFrameBytes = 65536;

}  // namespace

CmdTiming TimingFor(uint8_t cmd) {
    const CmdRow* row = RowOf(cmd);
    return row ? row->timing : kDefaultTiming;
}

size_t ReplyNeed(uint8_t cmd) {
    const CmdRow* row = RowOf(cmd);
    return row ? row->need : kReplyAck;
}

bool SafeToRepeat(uint8_t cmd) {
    const CmdRow* row = RowOf(cmd);
    return row && row->again;
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

int LinkDrain(IByteIO& io) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(kDrainMaxMs);
    int r = SER_OK;
    uint8_t b;
    while (Clock::now() < end && (r = io.Read(&b, 1, kDrainQuietMs)) == SER_OK) {}
    io.PurgeRx();
    if (r == SER_CANCEL) return LINK_CANCEL;
    return r == SER_OK || r == SER_TIMEOUT ? LINK_OK : LINK_IO;
}

int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t readMs,
                 uint32_t writeMs, uint32_t tries, LinkTrace* trace) {
    int result = LINK_TIMEOUT;
    LinkTrace scratch;
    LinkTrace& t = trace ? *trace : scratch;
    t = {};
    for (uint32_t i = 0; i < (tries ? tries : 1); ++i) {
        // The answer to the try that failed may still come, and would pass
        // for the answer to this one.
        if (i > 0 && LinkDrain(io) == LINK_CANCEL) return LINK_CANCEL;
        result = LinkSend(io, req, len, writeMs, tries);
        if (result != LINK_OK) return result;
        t.sent = true;
        ++t.sends;
        result = LinkReceive(io, reply, capacity, readMs, &t.replyLen);
        if (result == LINK_OK) {
            if (capacity <= kAckByte) return LINK_OK;
            // A frame too short to carry the acknowledge byte acknowledges
            // nothing, whatever an earlier frame left in the buffer.
            if (t.replyLen <= kAckByte) reply[kAckByte] = 0xFF;
            return reply[kAckByte] != 0 ? LINK_ACK : LINK_OK;
        }
        if (result == LINK_CANCEL) return result;
    }
    return result;
}

int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity) {
    return LinkTransact(io, req, len, reply, capacity, kDefaultTiming.readMs, kDefaultTiming.writeMs,
                        kDefaultTiming.tries);
}
