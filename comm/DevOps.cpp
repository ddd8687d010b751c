// What the worker does for each request: opening and closing the link,
// identifying the device, moving the configuration, reading the state,
// setting outputs and clock, reading and sending SMS.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "app/AppUI.h"
#include "app/Bytes.h"
#include "app/Profile.h"
#include "app/ProgDir.h"
#include "app/Vantrix.h"
#include "comm/Link.h"
#include "comm/VantrixCom.h"
#include "sms/SMSMng.h"

namespace {

constexpr uint32_t kBlock = kMaxCfgBlock;

// A request of `cmd` with `dataLen` data bytes after the header.
struct Request {
    uint8_t b[4 + 300 + 16];
    explicit Request(uint8_t cmd) {
        FillHeader(b);
        b[1] = cmd;
    }
};

struct Reply {
    uint8_t b[kBlock + 16];
    // The first n bytes as a fixed-size reply.
    template <size_t N> const uint8_t (&First() const)[N] { return *reinterpret_cast<const uint8_t(*)[N]>(b); }
    Reply() {
        std::memset(b, 0, sizeof b);
        FillHeader(b);
    }
};

// A configuration block's reply holds at least what its kind carries (the
// echo of a write, or the echo and the block of a read; a device may send
// more) and echoes the request's offset and length. Reply bytes 0 to 2 say
// nothing; the length is what tells the late reply to a cancelled write of
// block 0 from the read of block 0 that follows, which echoes the same
// offset and length.
bool EchoesBlock(const uint8_t* reply, size_t replyLen, const uint8_t* req, size_t expectedLen) {
    return replyLen >= expectedLen && std::memcmp(reply + kCfgOffsetByte, req + kCfgOffsetByte, 4) == 0;
}

// The SMS of a received SMS record, from the time stamp to the text's zero
// byte; empty when the number and the text do not both end inside the frame
// (of which the first `kept` bytes are at hand).
std::string_view SmsOf(const uint8_t* reply, size_t replyLen, size_t kept) {
    const uint8_t* end = reply + std::min(replyLen, kept);
    const uint8_t* numberEnd = std::find(reply + kSmsNumberByte, end, 0);
    const uint8_t* textEnd = numberEnd == end ? end : std::find(numberEnd + 1, end, 0);
    if (textEnd == end) return {};
    return {reinterpret_cast<const char*>(reply + kHeaderLen), size_t(textEnd + 1 - (reply + kHeaderLen))};
}

}  // namespace

// ---------------------------------------------------------------- link

int CVantrixCom::OpenLink() {
    CProfile& profile = m_model.Profile();
    m_accessMode.store(profile.com.accessMode, std::memory_order_release);
    m_echo = Echo::Unknown;  // a new session, maybe with another device
    Begin(IDS_CAPTION_CONNECT, true, 5);
    Step();
    int r = AccessMode() == 2 ? OpenRemote() : OpenLocal();
    if (r != 0) return r;
    if (profile.com.logTraffic) {
        const std::string log = m_model.ProgDir() + "/sercom.log";
        MakeDirsFor(log);
        m_ser.OpenLog(log);
    }
    m_linkOpen = true;
    m_model.UI().Notify(AE_ONLINE, 0);
    return 0;
}

std::string CVantrixCom::LocalPort() const {
    return m_portOverride.empty() ? m_model.Profile().PortName() : m_portOverride;
}

int CVantrixCom::OpenLocal() {
    const std::string port = LocalPort();
    const int start = m_speedIndex;
    int index = start;
    int r = 0;
    for (;;) {
        if (m_ser.Open(port, kSpeedTable[index]) != 0) return DR_PORT;
        Request req(CMD_LINK_CTL);
        req.b[4] = 1;
        Reply reply;
        CmdTiming t = kLinkOpenTiming;
        r = Txn(req.b, 5, reply.b, 4, t);
        if (r == 0) break;
        if (r == DR_CANCEL) return r;
        index = (index + 1) % 10;
        if (index == start) return r;
    }
    m_speedIndex = index;
    Step();
    if (m_ser.Open(port, kSpeedTable[kSpeedIndex57600]) != 0) return DR_PORT;
    Step();
    return 0;
}

int CVantrixCom::Identify(const CComRequest& req) {
    const bool remote = AccessMode() == 2;
    SetPos(remote ? 2 : 3);
    if (remote) {
        int r = Authorise();
        if (r != 0) return r;
        Step();
    }
    Reply id;
    Request req20(CMD_IDENTITY);
    int r = Txn(req20.b, 4, id.b, 8);
    if (r != 0) return r;
    Step();
    Reply label;
    Request req23(CMD_LABEL);
    r = Txn(req23.b, 4, label.b, 170);
    if (r != 0) return r;

    DevIdentity& dev = m_model.m_devId;
    DevIdentity got = dev;
    ParseIdentity(id.First<kIdentityReplyLen>(), label.First<kLabelReplyLen>(), got);
    bool changed = !SameLabel(dev, got);
    m_model.Publish(dev, got);
    if (changed) m_model.UI().Notify(AE_DEVID_CHANGED, 0);

    if (req.p1 == 1) m_online.store(true, std::memory_order_release);
    Step();
    Pause(m_settleMs);
    return 0;
}

int CVantrixCom::Disconnect() {
    Begin(IDS_CAPTION_CONNECT + 1, false, 2);
    Reply reply;
    Request end(CMD_END_SESSION);
    CmdTiming t = TimingFor(CMD_END_SESSION);
    Txn(end.b, 4, reply.b, 4, t);
    Step();
    if (AccessMode() == 2) {
        DropRemote();
    } else {
        Request close(CMD_LINK_CTL);
        close.b[4] = 0;
        t = kLinkCloseTiming;
        Txn(close.b, 5, reply.b, 4, t);
        m_ser.CloseLog();
    }
    m_ser.Close();
    Step();
    m_linkOpen = false;
    m_online.store(false, std::memory_order_release);
    m_model.UI().Notify(AE_OFFLINE, 0);
    Pause(m_settleMs);
    return 0;
}

// ---------------------------------------------------------------- configuration

int CVantrixCom::BlockTxn(uint8_t* req, size_t len, uint8_t* reply, size_t capacity, size_t need, const CmdTiming& t) {
    // An answer that echoes another block is an earlier block's, come late or
    // twice: the line is drained and the block asked once more (reading or
    // writing a block again changes nothing).
    for (int ask = 0;; ++ask) {
        const int r = Txn(req, len, reply, capacity, t);
        if (r != 0) return r;
        if (EchoesBlock(reply, m_lastReplyLen, req, need)) return 0;
        if (ask == 1) return WrongReply();
        LinkDrain(m_ser);
    }
}

int CVantrixCom::ReadConfig(CVantrixCfg& doc) {
    CVtxCfgDataMng& data = doc.DataMng();
    uint8_t* buf = data.SelectLayout(int32_t(uint16_t(m_model.m_devId.layoutId)));
    if (!buf) return DR_UNSUPPORTED;
    const uint32_t size = data.GetLayout()->size;
    Begin(IDS_CAPTION_CONNECT + 3, true, int((size + kBlock - 1) / kBlock));
    Reply reply;
    for (uint32_t off = 0; off < size; off += kBlock) {
        uint32_t len = std::min(kBlock, size - off);
        Request req(CMD_READ_CFG);
        bytes::PutBE16(req.b + 4, 0);
        bytes::PutBE16(req.b + 6, uint16_t(off));
        bytes::PutBE16(req.b + 8, uint16_t(len));
        int r = BlockTxn(req.b, 10, reply.b, len + 10, kCfgDataByte + len, TimingFor(CMD_READ_CFG));
        if (r != 0) return r;
        std::memcpy(buf + off, reply.b + 10, len);
        Step();
    }
    data.ImportImage();
    m_model.UI().Notify(AE_CFG_REPLACED, 0);
    return 0;
}

int CVantrixCom::WriteConfig(CVantrixCfg& doc) {
    CVtxCfgDataMng& data = doc.DataMng();
    uint8_t* buf = data.SelectLayout(int32_t(uint16_t(m_model.m_devId.layoutId)));
    if (!buf) return DR_UNSUPPORTED;
    data.ExportImage();
    const uint32_t size = data.GetLayout()->size;
    Begin(IDS_CAPTION_CONNECT + 2, true, int((size + kBlock - 1) / kBlock));
    Reply reply;
    for (uint32_t off = 0; off < size; off += kBlock) {
        uint32_t len = std::min(kBlock, size - off);
        Request req(CMD_WRITE_CFG);
        bytes::PutBE16(req.b + 4, 0);
        bytes::PutBE16(req.b + 6, uint16_t(off));
        bytes::PutBE16(req.b + 8, uint16_t(len));
        std::memcpy(req.b + 10, buf + off, len);
        int r = BlockTxn(req.b, 10 + len, reply.b, 10, kReplyWriteCfg, CfgWriteTiming(len));
        if (r != 0) return r;
        Step();
    }
    return 0;
}

// ---------------------------------------------------------------- state

int CVantrixCom::ReadGsm(uint32_t tries) {
    Reply reply;
    Request req(CMD_GSM);
    int r = Txn(req.b, 4, reply.b, 37, tries);
    if (r != 0) return r;
    GsmStatus got;
    ParseGsm(reply.First<kGsmReplyLen>(), got);
    if (!SameGsm(got, m_model.m_gsm)) {
        m_model.Publish(m_model.m_gsm, got);
        m_model.UI().Notify(AE_GSM_CHANGED, 0);
    }
    return 0;
}

int CVantrixCom::ReadIo(uint32_t tries) {
    Reply reply;
    Request req(CMD_READ_IO);
    int r = Txn(req.b, 4, reply.b, 7, tries);
    if (r != 0) return r;
    IoState got;
    ParseIo(reply.First<kIoReplyLen>(), got);
    if (!SameIo(got, m_model.m_io)) {
        m_model.Publish(m_model.m_io, got);
        m_model.UI().Notify(AE_IO_CHANGED, 0);
    }
    return 0;
}

int CVantrixCom::ReadClock(uint32_t tries) {
    Reply reply;
    Request req(CMD_READ_CLOCK);
    int r = Txn(req.b, 4, reply.b, 10, tries);
    if (r != 0) return r;
    SysTime got = m_model.m_devTime;
    ParseClock(reply.First<kClockReplyLen>(), got);
    if (!SameClock(got, m_model.m_devTime)) {
        m_model.Publish(m_model.m_devTime, got);
        m_model.UI().Notify(AE_TIME_CHANGED, 0);
    }
    return 0;
}

int CVantrixCom::ReadState() {
    Begin(IDS_CAPTION_CONNECT + 4, true, 3);
    int r = ReadGsm(3);
    if (r != 0) return r;
    Step();
    if ((r = ReadIo(3)) != 0) return r;
    Step();
    if ((r = ReadClock(3)) != 0) return r;
    Step();
    Pause(m_settleMs);
    return 0;
}

int CVantrixCom::SetOutputs(uint8_t mask, uint8_t levels) {
    Begin(IDS_CAPTION_CONNECT + 5, true, 3);
    Reply current;
    Request read(CMD_READ_IO);
    int r = Txn(read.b, 4, current.b, 7);
    if (r != 0) return r;
    Step();
    Request set(CMD_SET_OUTPUTS);
    set.b[4] = uint8_t((current.b[5] & ~mask) | levels);
    Reply reply;
    if ((r = Txn(set.b, 5, reply.b, 4)) != 0) return r;
    Step();
    if ((r = ReadIo(3)) != 0) return r;
    Step();
    Pause(m_settleMs);
    return 0;
}

int CVantrixCom::SetTime(const SysTime& t) {
    Begin(IDS_CAPTION_CONNECT + 6, true, 2);
    Request req(CMD_SET_CLOCK);
    req.b[4] = uint8_t(t.wDay);
    req.b[5] = uint8_t(t.wMonth);
    req.b[6] = uint8_t((t.wYear & 0xFF) + 48);  // year - 2000 for the years 2000 to 2255
    req.b[7] = uint8_t(t.wHour);
    req.b[8] = uint8_t(t.wMinute);
    req.b[9] = uint8_t(t.wSecond);
    Reply reply;
    int r = Txn(req.b, 10, reply.b, 4);
    if (r != 0) return r;
    Step();
    if ((r = ReadClock(3)) != 0) return r;
    Step();
    Pause(m_settleMs);
    return 0;
}

// ---------------------------------------------------------------- SMS

// One SMS from the device's queue: 0 read (or none waiting: kNoMoreSms), else
// the failure.
int CVantrixCom::ReadOneSms(uint32_t tries, bool progress) {
    Reply reply;
    Request req(CMD_READ_SMS);
    // More than the record's 188 bytes are kept, so that the text's end can
    // be looked for in a reply that runs past them.
    std::string_view got;
    auto ask = [&] {
        const int r = Txn(req.b, 4, reply.b, sizeof reply.b, tries);
        if (r != 0) return (r == DR_ACK && reply.b[kAckByte] == kAckNoSms) ? kNoMoreSms : r;
        got = SmsOf(reply.b, m_lastReplyLen, sizeof reply.b);
        return got.empty() ? WrongReply() : 0;
    };
    int r = ask();
    // An answer just like the SMS acknowledged before may be that one's
    // answer come late or twice, while the answer to this request is still
    // on its way; acknowledging it would delete an SMS nobody read. Reading
    // deletes nothing: the line is drained and the request asked again, and
    // only the same answer again is the device's own.
    if (r == 0 && got == m_lastAcked) {
        LinkDrain(m_ser);
        r = ask();
    }
    if (r != 0) return r;
    if (progress) Step();
    // The acknowledge deletes the SMS on the device: it is handed on first,
    // and stays on the device when it could not be kept.
    auto* sms = new CSMS;
    sms->FromDevice(reply.b, std::min(m_lastReplyLen, kReplySms));
    if (!m_model.UI().KeepReceivedSms(sms)) {
        m_pollSms = false;
        return DR_SILENT;
    }
    m_lastAcked.assign(got);
    Reply ack;
    Request reqAck(CMD_ACK_SMS);
    CmdTiming t = TimingFor(CMD_ACK_SMS);
    int ra = Txn(reqAck.b, 4, ack.b, 4, t);
    if (progress) Step();
    return ra;
}

int CVantrixCom::ReadSms() {
    m_pollSms = true;
    for (;;) {
        Begin(IDS_CAPTION_CONNECT + 8, true, 3);
        int r = ReadOneSms(3, true);
        if (r == kNoMoreSms) return 0;
        if (r != 0) return r;
    }
}

int CVantrixCom::SendSms(const int* indices, int count) {
    CSMSMng& mng = m_model.m_sms;
    int total = 0;
    for (int k = 0; k < count; ++k) {
        // Before anything is sent every index is still at its own place.
        const CSMS* sms = mng.Get(indices[k], SMS_LIST_TOSEND);
        if (sms) total += sms->GetNumberCount() * sms->GetSegmentCount();
    }
    Begin(IDS_CAPTION_CONNECT + 7, true, 2 * total);
    for (int k = 0; k < count; ++k) {
        const int pos = indices[k] - k;  // every SMS sent before has left the list
        CSMS* sms = mng.Get(pos, SMS_LIST_TOSEND);
        if (!sms) continue;
        const char* text = sms->GetText() ? sms->GetText() : "";
        const size_t textLen = std::strlen(text);
        for (int n = 0; n < sms->GetNumberCount(); ++n) {
            const char* number = sms->GetNumber(n);
            const size_t numLen = std::min<size_t>(std::strlen(number), SMS_NUMBER_LEN);
            for (int s = 0; s < sms->GetSegmentCount(); ++s) {
                Request req(CMD_SUBMIT_SMS);
                size_t off = size_t(s) * SMS_SEGMENT_LEN;
                size_t segLen = std::min<size_t>(SMS_SEGMENT_LEN, textLen - off);
                uint8_t* p = req.b + 4;
                std::memcpy(p, number, numLen);
                p[numLen] = 0;
                std::memcpy(p + numLen + 1, text + off, segLen);
                p[numLen + 1 + segLen] = 0;
                Reply reply;
                int r = Txn(req.b, 4 + numLen + segLen + 2, reply.b, 4);
                if (r != 0) return (r == DR_ACK && reply.b[3] == 1) ? DR_SMS_NOT_SENT : r;
                Step();
                for (;;) {
                    Pause(m_smsPollMs);
                    Request state(CMD_SMS_STATE);
                    Reply st;
                    if ((r = Txn(state.b, 4, st.b, 5)) != 0) return r;
                    if (st.b[4] == 2) break;
                    if (st.b[4] == 0) return DR_SMS_NOT_SENT;
                }
                Step();
            }
        }
        sms->SetTime(GetLocalTime());
        m_model.UI().Notify(AE_SMS_SENT, pos);
    }
    return 0;
}

// ---------------------------------------------------------------- GPRS access point

int CVantrixCom::ReadGprs() {
    GprsApRec rec;
    SetGprsDefaults(rec);
    Begin(IDS_CAPTION_CONNECT + 9, true, 2);
    std::string_view f[CAtChannel::kMaxFields];
    // Whatever an earlier dialogue left on the line is no answer to this one.
    m_ser.PurgeRx();
    int r = m_at.Send("AT+CGDCONT?\r");
    if (r == 0) r = m_at.Receive();
    if (r != 0) return r;
    if (CAtChannel::ParseFields(m_at.Answer(), "+CGDCONT:", f) != 6) return DR_AT_UNDEFINED;
    Step();
    bytes::SetField(rec.apn, f[2].substr(0, sizeof rec.apn - 1));
    rec.dataCompression = f[4].data() && !f[4].empty() && f[4][0] != '0';
    rec.headerCompression = f[5].data() && !f[5].empty() && f[5][0] != '0';

    m_ser.PurgeRx();
    r = m_at.Send("AT+CGQREQ?\r");
    if (r == 0) r = m_at.Receive();
    if (r != 0) return r;
    if (CAtChannel::ParseFields(m_at.Answer(), "+CGQREQ: ", f) != 6) return DR_AT_UNDEFINED;
    Step();
    uint8_t* qos[5] = {&rec.precedence, &rec.delay, &rec.reliability, &rec.peak, &rec.mean};
    for (int i = 0; i < 5; ++i)
        if (f[i + 1].data()) *qos[i] = uint8_t(std::atoi(std::string(f[i + 1]).c_str()));

    EndAtDialogue();
    rec.defaultQos = m_model.m_gprs.defaultQos;
    m_model.m_gprs = rec;
    m_model.UI().Notify(AE_GPRS_READ, 0);
    Pause(m_settleMs);
    return 0;
}

int CVantrixCom::WriteGprs() {
    const GprsApRec& rec = m_model.m_gprs;
    Begin(IDS_CAPTION_CONNECT + 10, true, 2);
    // The APN goes between quotes into the command line: one that could end
    // the quotes or the line is refused as the module would refuse it, and
    // nothing is sent.
    if (BadApnChar(bytes::FieldStr(rec.apn)) != std::string_view::npos) return DR_AT_ERROR;
    m_ser.PurgeRx();
    char cmd[CAtChannel::kBufferSize];
    std::snprintf(cmd, sizeof cmd, "AT+CGDCONT=1,\"IP\",\"%s\",,%d,%d\r", bytes::FieldStr(rec.apn).c_str(),
                  rec.dataCompression ? 1 : 0, rec.headerCompression ? 1 : 0);
    int r = m_at.Send(cmd);
    if (r == 0) r = m_at.Receive();
    if (r != 0) return r;
    Step();
    m_ser.PurgeRx();
    if (rec.defaultQos)
        std::snprintf(cmd, sizeof cmd, "AT+CGQREQ=1,0,0,0,0,0\r");
    else
        std::snprintf(cmd, sizeof cmd, "AT+CGQREQ=1,%d,%d,%d,%d,%d\r", rec.precedence, rec.delay, rec.reliability,
                      rec.peak, rec.mean);
    r = m_at.Send(cmd);
    if (r == 0) r = m_at.Receive();
    if (r != 0) return r;
    Step();
    EndAtDialogue();
    Pause(m_settleMs);
    return 0;
}

void CVantrixCom::EndAtDialogue() {
    // Its answer is read here, so that it cannot pass for the answer to the
    // next dialogue's first command; what it says changes nothing now.
    if (m_at.Send("ATZ\r") == 0) m_at.Receive();
}
