// Writes the seed corpus of the fuzz targets: files saved by the project's
// own documents and managers, the simulator's answers on the line, and a few
// edge cases by hand. Deterministic, so that writing it again changes nothing.
// Usage: seed_writer <corpus root>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/Bytes.h"
#include "app/FileIO.h"
#include "app/Profile.h"
#include "app/Strings.h"
#include "app/TextCodec.h"
#include "comm/Frame.h"
#include "comm/Link.h"
#include "config/VantrixCfg.h"
#include "melodyloader/MelodyImage.h"
#include "melodyloader/MelodyProtocol.h"
#include "remote/ConnectDsc.h"
#include "sms/SMSMng.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/vantrix-sim/SimDevice.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path g_root;

void Seed(const std::string& target, const std::string& name, const Bytes& b) {
    fs::create_directories(g_root / target);
    std::ofstream f(g_root / target / name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// FuzzedDataProvider takes its numbers from the end of the input, the last
// byte first: the bytes are appended in the reverse order of their use.
Bytes Tail(Bytes b, std::initializer_list<uint8_t> inOrderOfUse) {
    b.insert(b.end(), std::rbegin(inOrderOfUse), std::rend(inOrderOfUse));
    return b;
}

Bytes Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------- the simulator's answers

class CCapture : public ISimLine {
public:
    Bytes bytes;
    void Send(const uint8_t* p, size_t n) override { bytes.insert(bytes.end(), p, p + n); }
};

// The line bytes the device answers a request with.
Bytes Ask(CSimDevice& dev, uint8_t cmd, const Bytes& data = {}) {
    Bytes req(4);
    FillHeader(req.data());
    req[kCmdByte] = cmd;
    req.insert(req.end(), data.begin(), data.end());
    const Bytes line = frame::Encode(req.data(), req.size());
    CCapture out;
    dev.Receive(line.data(), line.size(), 57600, out);
    return out.bytes;
}

Bytes AskAt(CSimDevice& dev, const std::string& command) {
    CCapture out;
    const std::string line = command + "\r";
    dev.Receive(reinterpret_cast<const uint8_t*>(line.data()), line.size(), 57600, out);
    return out.bytes;
}

// The payload of one reply frame on the line.
Bytes Payload(const Bytes& line) {
    Bytes buf(600);
    frame::CFrameReceiver rx(buf.data(), buf.size());
    for (uint8_t b : line)
        if (rx.Feed(b) == frame::CFrameReceiver::kGood) {
            buf.resize(rx.PayloadLen());
            return buf;
        }
    return {};
}

SimOptions DeviceOptions(int layout) {
    SimOptions o;
    o.layout = layout;
    return o;
}

void DeviceSeeds() {
    CSimDevice dev(DeviceOptions(2));
    nlohmann::json state = {{"smsQueue",
                             {{{"time", "2024-03-05 07:08:09"},
                               {"number", "+420603123456"},
                               {"text", "Příliš žluťoučký kůň úpěl ďábelské ódy"}},
                              {{"time", "2023-12-31 23:59:59"}, {"number", "4646"}, {"text", ""}}}}};
    if (!dev.SetState(state)) std::fprintf(stderr, "seed writer: the SMS state was refused\n");

    const Bytes open = Ask(dev, CMD_LINK_CTL, {1});
    const Bytes identity = Ask(dev, CMD_IDENTITY);
    const Bytes label = Ask(dev, CMD_LABEL);
    const Bytes gsm = Ask(dev, CMD_GSM);
    const Bytes io = Ask(dev, CMD_READ_IO);
    Bytes cfgBlock = Ask(dev, CMD_READ_CFG, {0, 0, 0x01, 0x2C, 0x01, 0x2C});  // 300 bytes from 300
    const Bytes lastBlock = Ask(dev, CMD_READ_CFG, {0, 0, 0x06, 0x90, 0x00, 0x1C});
    const Bytes sms1 = Ask(dev, CMD_READ_SMS);
    Ask(dev, CMD_ACK_SMS);
    const Bytes sms2 = Ask(dev, CMD_READ_SMS);
    Ask(dev, CMD_ACK_SMS);
    const Bytes noSms = Ask(dev, CMD_READ_SMS);
    const Bytes refused = Ask(dev, 0x7E);
    const Bytes cgdcont = AskAt(dev, "AT+CGDCONT?");
    const Bytes cgqreq = AskAt(dev, "AT+CGQREQ?");
    const Bytes atError = AskAt(dev, "AT+FOO");
    const Bytes atOk = AskAt(dev, "ATZ");
    // A fixed date rather than the running clock, so the seeds stay the same.
    Bytes clockReply = {0xC0, CMD_READ_CLOCK, 0x01, 0x00, 29, 2, 24, 23, 59, 58};
    const Bytes clock = frame::Encode(clockReply.data(), clockReply.size());

    // frame: line bytes, then minBytes, capacity (two bytes) and the unescape rule.
    Seed("frame", "identity", Tail(identity, {0, 0, kReplyIdentity, 0}));
    Seed("frame", "label", Tail(label, {0, 0, kReplyLabel, 0}));
    Seed("frame", "gsm_short_buffer", Tail(gsm, {0, 0, 20, 0}));
    Seed("frame", "cfg_block", Tail(cfgBlock, {0, 0x01, 0x36, 0}));
    Seed("frame", "two_frames_noise", Tail(Cat({Text("\x0a\x33"), io, clock}), {0, 0, 10, 0}));
    const uint8_t melodyAck[] = {melody::kReplyTag, melody::MELCMD_WRITE, 0x00, 0x00};
    Seed("frame", "melody_ack_xor", Tail(frame::Encode(melodyAck, sizeof melodyAck), {1, 1, 0, 1}));
    Seed("frame", "empty_frame", Tail(Bytes{frame::kStart, frame::kEnd}, {0, 0, 4, 0}));
    Seed("frame", "escape_before_end", Tail(Bytes{frame::kStart, 0x41, frame::kEscape, frame::kEnd}, {0, 0, 4, 0}));

    // link: capacity (two bytes), tries, command; then what the line answers.
    auto link = [](const Bytes& rx, size_t capacity, uint8_t cmd) {
        return Tail(rx, {uint8_t(capacity >> 8), uint8_t(capacity), 2, cmd});
    };
    Seed("link", "open", link(open, kReplyAck, CMD_LINK_CTL));
    Seed("link", "identity", link(identity, kReplyIdentity, CMD_IDENTITY));
    Seed("link", "label", link(label, kReplyLabel, CMD_LABEL));
    Seed("link", "cfg_block", link(cfgBlock, 310, CMD_READ_CFG));
    Seed("link", "cfg_last_block", link(lastBlock, 38, CMD_READ_CFG));
    Seed("link", "sms", link(sms1, kReplySms, CMD_READ_SMS));
    Seed("link", "no_sms_refused", link(noSms, kReplySms, CMD_READ_SMS));
    Seed("link", "unknown_command", link(refused, kReplyAck, 0x7E));
    Bytes corrupt = gsm;
    corrupt[1] = uint8_t(corrupt[1] + 1);
    Seed("link", "bad_checksum_then_good", link(Cat({corrupt, gsm}), kReplyGsm, CMD_GSM));
    Seed("link", "at_text_before_frame", link(Cat({cgdcont, io}), kReplyIo, CMD_READ_IO));

    // sms_device: reply payloads of the read-SMS command.
    Seed("sms_device", "czech_text", Payload(sms1));
    Seed("sms_device", "empty_text", Payload(sms2));
    Seed("sms_device", "refused", Payload(noSms));
    Bytes unterminated = Payload(sms1);
    unterminated.resize(11 + 8);
    Seed("sms_device", "number_without_end", unterminated);
    const Bytes smsPayload = Payload(sms1);
    Seed("sms_device", "eleven_bytes", Bytes(smsPayload.begin(), smsPayload.begin() + 11));
    Bytes longText = Payload(sms2);
    longText.insert(longText.end() - 1, 700, 'x');
    Seed("sms_device", "text_too_long", longText);

    // dev_state: the replies to 0x20, 0x23, 0x24, 0x26 and 0x30 one after another.
    Seed("dev_state", "simulator", Cat({Payload(identity), Payload(label), Payload(gsm), Payload(io), clockReply}));
    Bytes full = Cat({Payload(identity), Payload(label), Payload(gsm), Payload(io), clockReply});
    std::memset(full.data() + 8 + 26, 'A', 16 + 128);  // IMEI and name without terminators
    std::memset(full.data() + 8 + 170 + 10, 0xFF, 8);  // credits that are not numbers
    Seed("dev_state", "full_fields_nan", full);

    // at_receive: what the module answers, echo first.
    Seed("at_receive", "cgdcont", cgdcont);
    Seed("at_receive", "cgqreq", cgqreq);
    Seed("at_receive", "error", atError);
    Seed("at_receive", "ok", atOk);
    Seed("at_receive", "no_echo", Text("\r\n+CGDCONT: 1,\"IP\",\"a\"\r\n\r\nOK\r\n"));
    Seed("at_receive", "long_answer", Cat({Text("AT+CGDCONT?\r\r\n"), Bytes(1100, 'y'), Text("\r\nERROR\r\n")}));

    // at_fields: a prefix up to the backslash pair, then the answer.
    Seed("at_fields", "cgdcont", Cat({Text("+CGDCONT: \\|"), cgdcont}));
    Seed("at_fields", "cgqreq", Text("+CGQREQ: \\|+CGQREQ: 1,0,0,0,0,0\r\n"));
    Seed("at_fields", "seven_fields", Text("+X: \\|+X: 1,\"a b\",c d,,\"\",\"x\"y,7,8\r\n"));
    Seed("at_fields", "no_prefix", Text("+CGDCONT: \\|OK\r\n"));
}

// ---------------------------------------------------------------- files

void CfgSeeds() {
    fuzz::CQuietUI ui;
    CVantrixCfg doc(ui);
    const std::string tmp = fuzz::ScratchPath("seed.cfg");
    doc.StoreFile(tmp);
    const Bytes native = Slurp(tmp);
    Seed("cfg_file", "default_native", native);

    CfgImage& img = *doc.GetData();
    bytes::SetField(img.alarms[2].sms_text, cp1250::FromUtf8("Kouř v hale č. 3"));
    bytes::SetField(img.sms_forward_number, "+420603123456");
    img.credit[0].mode = 2;
    img.credit[0].min_value = 99.5f;
    bytes::SetField(img.renum.entries[0].input_prefix, "0042");
    img.renum.entries[0].mode = 0;
    std::memset(img.call.directions[15], '9', sizeof img.call.directions[15]);  // a text without terminator
    doc.StoreFile(tmp);
    const Bytes edited = Slurp(tmp);
    Seed("cfg_file", "edited_native", edited);

    for (int id : {LAYOUT_DEVICE1, LAYOUT_DEVICE2}) {
        const LayoutDesc* l = FindLayout(id);
        Bytes dev(l->size);
        l->exportImage(img, dev.data());
        Bytes head(8);
        bytes::PutLE32(head.data(), 1);
        bytes::PutLE32(head.data() + 4, uint32_t(id));
        Seed("cfg_file", "device" + std::to_string(id), Cat({head, dev}));
        Seed("cfg_layout", "device" + std::to_string(id), Cat({Bytes{uint8_t(l - kLayouts)}, dev}));
    }
    Bytes legacy(native.begin(), native.begin() + 8 + kLegacySize);
    bytes::PutLE32(legacy.data() + 4, uint32_t(LAYOUT_LEGACY));
    Seed("cfg_file", "legacy", legacy);
    Seed("cfg_file", "truncated", Bytes(edited.begin(), edited.end() - 1));
    Bytes foreign = native;
    bytes::PutLE32(foreign.data(), 2);
    Seed("cfg_file", "version2", foreign);
    Bytes unknown = native;
    bytes::PutLE32(unknown.data() + 4, 3);
    Seed("cfg_file", "layout3", unknown);
    Seed("cfg_layout", "native", Cat({Bytes{0}, Bytes(edited.begin() + 8, edited.end())}));
    Seed("cfg_layout", "legacy", Cat({Bytes{3}, Bytes(edited.begin() + 8, edited.begin() + 8 + kLegacySize)}));
    Seed("cfg_layout", "device2_full_texts", Cat({Bytes{2}, Bytes(kDevice2Size, 'T')}));
}

void ProfileSeeds() {
    const std::string tmp = fuzz::ScratchPath("Profile.dat");
    CProfile p;
    p.Write(tmp);
    const Bytes plain = Slurp(tmp);
    Seed("profile", "default", plain);
    p.com.accessMode = 2;
    p.com.logTraffic = 1;
    p.SetPortName("/dev/ttyUSB0");
    p.com.modemIndex = 3;
    p.wnd.windowWidth = 1600;
    p.wnd.smsColumnWidths[4] = 555;
    p.Write(tmp);
    const Bytes remote = Slurp(tmp);
    Seed("profile", "remote", remote);
    Seed("profile", "short", Bytes(remote.begin(), remote.begin() + 15));
    Seed("profile", "com_block_only", Bytes(remote.begin(), remote.begin() + 4 + 28));
    Bytes longName = remote;
    std::memset(longName.data() + 4 + offsetof(ProfileComBlock, portName), 'x', 19);
    Seed("profile", "port_name_unterminated", longName);
    Bytes v2 = plain;
    v2[0] = 2;
    Seed("profile", "version2", v2);
}

void SmsSeeds() {
    fuzz::CQuietUI ui;
    const std::string tmp = fuzz::ScratchPath("SMS.dat");
    CSMSMng mng(ui, tmp);
    mng.Load();  // no file: empty lists, and saving is allowed now
    mng.Save();
    Seed("sms_dat", "empty", Slurp(tmp));

    CSMS a;
    a.SetText(cp1250::FromUtf8("Příjem: alarm 3, vstup 2"));
    a.AddNumber("+420603123456");
    a.m_Time[0] = 5, a.m_Time[1] = 3, a.m_Time[2] = 24;
    mng.Add(&a, SMS_LIST_RECEIVED, false);
    CSMS b;
    b.SetText(std::string(SMS_TEXT_MAX, 'z'));
    b.ParseNumbers("603111111, 603222222; +420603333333 604444444");
    b.SetNew(false);
    mng.Add(&b, SMS_LIST_TOSEND, false);
    CSMS c;
    c.AddNumber("1234567890123456");
    mng.Add(&c, SMS_LIST_SENT, false);
    mng.Save();
    const Bytes three = Slurp(tmp);
    Seed("sms_dat", "three_lists", three);
    for (int i = 0; i < 4; ++i) mng.Add(&a, SMS_LIST_RECEIVED, false);
    mng.Save();
    Seed("sms_dat", "full_list", Slurp(tmp));
    Seed("sms_dat", "truncated", Bytes(three.begin(), three.end() - 3));
    Bytes overCount = three;
    bytes::PutLE32(overCount.data() + 4, 7);  // more records announced than there are
    Seed("sms_dat", "count_too_high", overCount);
}

void ConnectionSeeds() {
    const std::string tmp = fuzz::ScratchPath("Connection.dat");
    CConnectDscMng mng;
    mng.Load(tmp);  // no file: an empty list, saving allowed
    mng.Save(tmp);
    Seed("connection", "empty", Slurp(tmp));
    const char* entries[][2] = {{"603123456", "1234"}, {"+420777888999", "87654321"}, {"123456789012345", ""}};
    for (auto& e : entries) {
        CConnectDsc d;
        d.SetNumber(e[0]);
        d.SetPin(e[1]);
        mng.Add(d);
    }
    mng.selectedIndex = 1;
    mng.Save(tmp);
    const Bytes three = Slurp(tmp);
    Seed("connection", "three", three);
    Bytes badSel = three;
    bytes::PutLE32(badSel.data() + 4, 9);
    Seed("connection", "selection_outside", badSel);
    Bytes full = three;
    std::memset(full.data() + 12, 'x', 25);  // number and PIN without terminators
    Seed("connection", "unterminated", full);
    Seed("connection", "truncated", Bytes(three.begin(), three.end() - 1));
    Bytes tooMany = three;
    bytes::PutLE32(tooMany.data() + 8, 101);
    Seed("connection", "count_101", tooMany);
}

void ModemSeeds() {
    const char* lines[] = {"OK",
                           "CONNECT 9600/V42",
                           "CONNECT",
                           "NO CARRIER",
                           "BUSY",
                           "NO DIALTONE",
                           "no dial tone",
                           "NO ANSWER",
                           "RINGING",
                           "RING",
                           "ERROR",
                           "  connect 57600 ",
                           "+420 (603) 123-456",
                           "603123456W,1#",
                           "ATD123;\r",
                           "CONNECTED"};
    int i = 0;
    for (const char* l : lines) Seed("modem_result", "line" + std::to_string(i++), Text(l));
}

void TextSeeds() {
    // The program's own Czech texts, as UTF-8 and as Windows-1250.
    int i = 0;
    for (int id : {int(IDS_UNTITLED), int(IDS_CFG_LOAD_ERROR), int(IDS_QUERY_RETRY), IDS_RESULT_BASE + 4,
                   int(IDS_PIN_REFUSED)}) {
        const std::string text = LoadStr(id);
        Seed("text", "utf8_" + std::to_string(i), Text(text));
        Seed("text", "cp1250_" + std::to_string(i++), Text(cp1250::FromUtf8(text)));
    }
    Seed("text", "unmapped_bytes", Bytes{'a', 0x81, 0x83, 0x88, 0x90, 0x98, 'z'});
    Seed("text", "broken_utf8", Text("\xC3 \xED\xA0\x80 \xF4\x90\x80\x80 \xC0\x80 \xE2\x82"));
    Seed("text", "outside_cp1250", Text("\xE4\xB8\xAD \xF0\x9F\x98\x80 \xE2\x82\xAC"));
}

void MelodySeeds() {
    using namespace melody;
    // The script of answers first, the file, then the file size (two bytes)
    // and the script length, in the reverse order of their use.
    auto seed = [](const Bytes& script, const Bytes& file, size_t fileSize) {
        return Tail(Cat({script, file}), {uint8_t(script.size()), uint8_t(fileSize >> 8), uint8_t(fileSize)});
    };
    const Bytes image(kMelodyImage, kMelodyImage + kMelodyImageSize);
    Seed("melody_file", "builtin", seed({}, image, image.size()));
    Seed("melody_file", "builtin_with_faults", seed({1, 0, 2, 3, 0, 4, 5, 0}, image, image.size()));
    Seed("melody_file", "one_block", seed({}, Bytes(image.begin(), image.begin() + 128), 128));
    Seed("melody_file", "first_block_fails", seed({2, 2, 2}, Bytes(image.begin(), image.begin() + 200), 200));
    Seed("melody_file", "memory_full", seed({}, Bytes(image.begin(), image.begin() + 64), kMaxImageSize));
    Seed("melody_file", "one_too_many", seed({}, Bytes(image.begin(), image.begin() + 64), kMaxImageSize + 1));
    Seed("melody_file", "empty", seed({}, {}, 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: seed_writer <corpus root>\n");
        return 64;
    }
    g_root = argv[1];
    DeviceSeeds();
    CfgSeeds();
    ProfileSeeds();
    SmsSeeds();
    ConnectionSeeds();
    ModemSeeds();
    TextSeeds();
    MelodySeeds();
    return 0;
}
