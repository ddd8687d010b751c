// One link transaction: a request frame out, a reply frame back, with the
// per-command time limits and tries, over any byte transport.
#pragma once

#include <cstddef>
#include <cstdint>

#include "comm/SerCom.h"

enum LinkResult : int {
    LINK_OK = 0,
    LINK_IO = 1,
    LINK_TIMEOUT = 3,
    LINK_CANCEL = 4,
    LINK_CHECKSUM = 5,
    LINK_ACK = 6,
};

// Command codes at request byte 1.
enum LinkCmd : uint8_t {
    CMD_IDENTITY = 0x20,
    CMD_PIN = 0x21,
    CMD_END_SESSION = 0x22,
    CMD_LABEL = 0x23,
    CMD_GSM = 0x24,
    CMD_SET_OUTPUTS = 0x25,
    CMD_READ_IO = 0x26,
    CMD_WRITE_CFG = 0x27,
    CMD_READ_CFG = 0x28,
    CMD_READ_SMS = 0x29,
    CMD_ACK_SMS = 0x2A,
    CMD_SUBMIT_SMS = 0x2B,
    CMD_SMS_STATE = 0x2C,
    CMD_READ_CLOCK = 0x30,
    CMD_SET_CLOCK = 0x31,
    CMD_LINK_CTL = 0x86,
};

// Offsets of the request and reply header.
inline constexpr size_t kHeaderLen = 4;
inline constexpr size_t kCmdByte = 1;
inline constexpr size_t kAckByte = 3;
// A configuration block carries at most this many bytes.
inline constexpr uint32_t kMaxCfgBlock = 300;
// The fields of a configuration block request and of its echo.
inline constexpr size_t kCfgOffsetByte = 6;
inline constexpr size_t kCfgLengthByte = 8;
inline constexpr size_t kCfgDataByte = 10;

// Reply capacities that the PC keeps (0x28: kCfgDataByte + L).
inline constexpr size_t kReplyIdentity = 8;
inline constexpr size_t kReplyLabel = 170;
inline constexpr size_t kReplyGsm = 37;
inline constexpr size_t kReplyIo = 7;
inline constexpr size_t kReplyWriteCfg = 10;
inline constexpr size_t kReplySms = 188;
inline constexpr size_t kReplySmsState = 5;
inline constexpr size_t kReplyClock = 10;
inline constexpr size_t kReplyAck = 4;
// The PIN field of 0x21 and the whole request.
inline constexpr size_t kPinField = 9;
inline constexpr size_t kPinRequestLen = kHeaderLen + kPinField;

// The acknowledge code of 0x29 that says no SMS is waiting.
inline constexpr uint8_t kAckNoSms = 1;
// The least a received SMS record holds: the header, six time-stamp bytes,
// the unused byte and two empty texts with their zero bytes.
inline constexpr size_t kSmsRecordMin = 13;
inline constexpr size_t kSmsNumberByte = 11;

// After a failure the line may still bring the answer to the request that
// failed. It is read and dropped until the line has been quiet this long:
// longer than the gap between two bytes of a reply at 300 Bd, and than a
// device takes to answer a request that was sent twice.
inline constexpr uint32_t kDrainQuietMs = 200;
// A line that streams noise does not hold the worker longer than this.
inline constexpr uint32_t kDrainMaxMs = 5000;

// Per-byte read time limit, write time limit and tries of one command.
struct CmdTiming {
    uint32_t readMs, writeMs, tries;
};

inline constexpr CmdTiming kDefaultTiming{3000, 6000, 3};
inline constexpr CmdTiming kLinkOpenTiming{1000, 1000, 1};   // 0x86 with 1
inline constexpr CmdTiming kLinkCloseTiming{2500, 2500, 1};  // 0x86 with 0

// The one table of command timings. 0x86 gives the opening row (see
// kLinkCloseTiming for closing); 0x27 gives the row of a full block (see
// CfgWriteTiming for the read limit of a shorter one). Unknown codes get the
// defaults.
CmdTiming TimingFor(uint8_t cmd);
// The fewest reply payload bytes that hold the record of `cmd`: a shorter
// reply is a wrong one. 0x28 needs kCfgDataByte + L, which its operation
// checks with the block's length.
size_t ReplyNeed(uint8_t cmd);
// Whether a request of `cmd` may go out once more without changing anything
// on the device (not so 0x21, 0x2A and 0x2B).
bool SafeToRepeat(uint8_t cmd);
// The reads of the idle poll: the same with one try.
CmdTiming PollTiming(uint8_t cmd);
// 0x27 with a block of `len` bytes: the device may take 20 ms per byte.
CmdTiming CfgWriteTiming(uint32_t len);

// 80 00 01 FF: the caller puts the command code at byte 1.
void FillHeader(uint8_t* buf);

// Purges what was received, then writes the encoded request, again while
// tries remain, stopping on success or cancel. 0, 1, 3 or 4.
int LinkSend(IByteIO& io, const uint8_t* req, size_t len, uint32_t writeMs, uint32_t tries);
// Reads one reply frame byte by byte (readMs for each byte) into `reply`;
// bytes past `capacity` are checked but not kept. 0, 1, 3, 4 or 5. On 0,
// `payloadLen` (when given) gets the frame's payload length, kept or not.
int LinkReceive(IByteIO& io, uint8_t* reply, size_t capacity, uint32_t readMs, size_t* payloadLen = nullptr);

// Reads and drops what the line brings until it has been quiet for
// kDrainQuietMs (kDrainMaxMs at most), then purges: a late answer to an
// earlier request is never taken for the next one's. 0, 1 or 4.
int LinkDrain(IByteIO& io);

// What became of a transaction beyond its result.
struct LinkTrace {
    bool sent = false;    // a request frame was written whole
    uint32_t sends = 0;   // request frames written whole, retries included
    size_t replyLen = 0;  // payload length of the reply taken, kept or not
};
// Request and reply, retried on time-out and checksum errors after the line
// was drained; a refusal (a non-zero acknowledge byte) gives 6 at once, a
// cancel 4 at once. A reply shorter than the header is a refusal. The reply
// buffer is not cleared: bytes a reply does not reach keep what was there.
int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity, uint32_t readMs,
                 uint32_t writeMs, uint32_t tries, LinkTrace* trace = nullptr);
// The same with the defaults 3000 / 6000 / 3.
int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity);
inline int LinkTransact(IByteIO& io, const uint8_t* req, size_t len, uint8_t* reply, size_t capacity,
                        const CmdTiming& t) {
    return LinkTransact(io, req, len, reply, capacity, t.readMs, t.writeMs, t.tries);
}
