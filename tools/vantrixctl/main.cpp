// vantrixctl: the engine of the control panel on the command line.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <vector>

#include "app/Bytes.h"
#include "app/ConsoleOut.h"
#include "app/Profile.h"
#include "app/ProgDir.h"
#include "app/TextCodec.h"
#include "app/Utf8Args.h"
#include "app/Vantrix.h"
#include "app/Version.h"
#include "comm/PortName.h"
#include "remote/ConnectDsc.h"
#include "remote/TAPI.h"
#include "tools/vantrixctl/Backup.h"
#include "tools/vantrixctl/CfgCommands.h"
#include "tools/vantrixctl/CfgJson.h"
#include "tools/vantrixctl/ConsoleUI.h"
#include "tools/vantrixctl/Device.h"
#include "tools/vantrixctl/HelpText.h"
#include "tools/vantrixctl/Monitor.h"
#include "tools/vantrixctl/StdOut.h"
#include "tools/vantrixctl/StopSignals.h"

namespace {

using json = nlohmann::ordered_json;

std::string Fmt(const char* fmt, unsigned a, unsigned b) {
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

std::string Ansi(const std::string& utf8) { return cp1250::FromUtf8(utf8); }
template <size_t N> std::string Utf8(const char (&field)[N]) { return cp1250::ToUtf8(bytes::FieldStr(field)); }

// A byte given in C notation (0x12 or 18).
bool ParseByte(const std::string& text, uint8_t& out) {
    try {
        size_t used = 0;
        unsigned long v = std::stoul(text, &used, 0);
        if (used != text.size() || v > 255) return false;
        out = uint8_t(v);
        return true;
    } catch (...) {
        return false;
    }
}

bool ParseTime(const std::string& text, SysTime& t) {
    struct tm tm = {};
    std::istringstream in(text);
    in >> std::get_time(&tm, "%Y-%m-%dT%H:%M:%S");
    if (in.fail() || in.peek() != EOF || tm.tm_year + 1900 < 2000 || tm.tm_year + 1900 > 2255) return false;
    // The parse takes 31 for any month and leap seconds: only a time that
    // exists in the calendar is taken.
    static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int year = tm.tm_year + 1900;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (tm.tm_sec > 59 || tm.tm_mday > kMonthDays[tm.tm_mon] + (tm.tm_mon == 1 && leap ? 1 : 0)) return false;
    t.wYear = uint16_t(tm.tm_year + 1900);
    t.wMonth = uint16_t(tm.tm_mon + 1);
    t.wDay = uint16_t(tm.tm_mday);
    t.wHour = uint16_t(tm.tm_hour);
    t.wMinute = uint16_t(tm.tm_min);
    t.wSecond = uint16_t(tm.tm_sec);
    t.wMilliseconds = 0;
    return true;
}

// The recipients as CSMS::ParseNumbers takes them (a run starts with a digit
// or '+' and goes on over digits), refused when one would be cut or dropped.
bool CheckNumbers(const std::string& text) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    int count = 0;
    for (size_t i = 0; i < text.size();) {
        if (!digit(text[i]) && text[i] != '+') {
            ++i;
            continue;
        }
        const size_t start = i++;
        while (i < text.size() && digit(text[i])) ++i;
        const std::string number = text.substr(start, i - start);
        if (number.size() > size_t(SMS_NUMBER_LEN)) {
            ConsolePrintf(stderr, "sms-send: the number %s is longer than %d characters\n", number.c_str(),
                          SMS_NUMBER_LEN);
            return false;
        }
        if (++count > SMS_MAX_NUMBERS) {
            ConsolePrintf(stderr, "sms-send: the number %s is one too many: an SMS takes at most %d recipients\n",
                          number.c_str(), SMS_MAX_NUMBERS);
            return false;
        }
    }
    return true;
}

json IdentityJson(const DevIdentity& d) {
    return {{"layout", d.layoutId},
            {"firmware", Fmt("%u.%02u", d.fwMajor, d.fwMinor)},
            {"hardware", Fmt("%u.%02u", d.hwMajor, d.hwMinor)},
            {"serial", Fmt("%08u", d.serial, 0)},
            {"gprs", d.gprs == 0},
            {"imei", Utf8(d.imei)},
            {"name", Utf8(d.name)}};
}

json StatusJson(const CVantrix& m) {
    const GsmStatus g = m.Snapshot(m.m_gsm);
    const IoState io = m.Snapshot(m.m_io);
    const SysTime t = m.Snapshot(m.m_devTime);
    char bts[8];
    std::snprintf(bts, sizeof bts, "%04X", g.bts);
    return {{"operator", Utf8(g.operatorName)},
            {"module", g.moduleState},
            {"sim", g.simState},
            {"network", g.netReg},
            {"signal", g.signal},
            {"credit1", g.credit1},
            {"credit2", g.credit2},
            {"bts", bts},
            {"unauthorised", g.unauthorised},
            {"inputs", io.inputs},
            {"outputs", io.outputs},
            {"time", IsoTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond)}};
}

json SmsJson(const CSMS& s) {
    const uint8_t* t = s.m_Time;
    return {{"time", IsoTime(t[2] + 2000u, t[1], t[0], t[3], t[4], t[5])},
            {"number", cp1250::ToUtf8(s.GetNumber(0) ? s.GetNumber(0) : "")},
            {"text", cp1250::ToUtf8(s.GetText())}};
}

json GprsJson(const GprsApRec& g) {
    return {{"apn", Utf8(g.apn)},
            {"data_compression", g.dataCompression != 0},
            {"header_compression", g.headerCompression != 0},
            {"default_qos", g.defaultQos != 0},
            {"qos", {g.precedence, g.delay, g.reliability, g.peak, g.mean}}};
}

int DeviceCommand(const std::string& cmd, const Options& o) {
    // Arguments first: nothing goes to the device when they are wrong.
    if (o.modems.size() > 1) {
        ConsolePrintf(stderr, "--modem: given once, except for backup\n");
        return kExitUsage;
    }
    if (!o.remote.empty()) {
        std::string dial;
        const size_t bad = BadDialChar(o.remote);
        if (bad != std::string::npos) {
            ConsolePrintf(stderr, "--remote: the character '%c' is not allowed in a telephone number\n", o.remote[bad]);
            return kExitUsage;
        }
        if (Ansi(o.remote).size() > size_t(CONNECT_NUMBER_LEN) || !MakeDialString(o.remote, dial)) {
            ConsolePrintf(stderr, "--remote: a telephone number of at most %d characters\n", CONNECT_NUMBER_LEN);
            return kExitUsage;
        }
        if (Ansi(o.pin).size() > size_t(CONNECT_PIN_LEN)) {
            ConsolePrintf(stderr, "--pin: at most %d characters\n", CONNECT_PIN_LEN);
            return kExitUsage;
        }
    }
    uint8_t mask = 0, levels = 0;
    SysTime when = GetLocalTime();
    if (cmd == "set-outputs" && (!ParseByte(o.mask, mask) || !ParseByte(o.levels, levels))) {
        ConsolePrintf(stderr, "set-outputs: MASK and LEVELS are numbers from 0 to 255\n");
        return kExitUsage;
    }
    if (cmd == "set-time" && !o.time.empty() && !ParseTime(o.time, when)) {
        ConsolePrintf(stderr,
                      "set-time: the time is an existing date and time YYYY-MM-DDTHH:MM:SS, years 2000 to 2255\n");
        return kExitUsage;
    }
    GprsApRec gprs;
    SetGprsDefaults(gprs);
    if (cmd == "gprs-write") {
        std::string apn = Ansi(o.apn);
        if (apn.size() > sizeof gprs.apn - 1) {
            ConsolePrintf(stderr, "gprs-write: the APN has at most 31 characters\n");
            return kExitUsage;
        }
        if (BadApnChar(o.apn) != std::string::npos) {
            ConsolePrintf(stderr, "gprs-write: the APN may hold only printable ASCII characters other than '\"'\n");
            return kExitUsage;
        }
        bytes::SetField(gprs.apn, apn);
        gprs.dataCompression = o.dcomp;
        gprs.headerCompression = o.hcomp;
        if (!o.qos.empty()) {
            uint8_t* classes[5] = {&gprs.precedence, &gprs.delay, &gprs.reliability, &gprs.peak, &gprs.mean};
            std::stringstream ss(o.qos);
            std::string item;
            int n = 0;
            while (std::getline(ss, item, ',')) {
                if (n == 5 || !ParseByte(item, *classes[n])) n = 6;
                ++n;
            }
            if (n != 5) {
                ConsolePrintf(stderr, "gprs-write: --qos takes five numbers P,D,R,PK,M\n");
                return kExitUsage;
            }
            gprs.defaultQos = 0;
        }
    }
    CSMS sms;
    if (cmd == "sms-send") {
        if (!CheckNumbers(o.number)) return kExitUsage;
        sms.ParseNumbers(Ansi(o.number));
        std::string text = Ansi(o.text);
        if (sms.GetNumberCount() == 0 || text.empty() || text.size() > size_t(SMS_TEXT_MAX)) {
            ConsolePrintf(stderr, "sms-send: give a recipient number and a text of 1 to 640 characters\n");
            return kExitUsage;
        }
        sms.SetText(text);
    }

    CfgImage diffA, diffB;
    if (cmd == "cfg-diff") {
        if (o.diffA != "device" && ReadCfgSource(o.diffA, diffA) != 0) return kDiffTrouble;
        if (o.diffB != "device" && ReadCfgSource(o.diffB, diffB) != 0) return kDiffTrouble;
    }
    // Before the engine's threads start, so that they inherit the mask.
    if (cmd == "monitor") BlockStopSignals();

    CConnectDsc entry;
    entry.SetNumber(Ansi(o.remote));
    entry.SetPin(Ansi(o.pin));
    Device dev(o, o.remote.empty() ? nullptr : &entry, o.modems.empty() ? 0 : o.modems.front());
    CVantrix& m = dev.Model();
    if (cmd == "write-config" && !m.m_cfg.LoadFile(o.file)) return kExitNoInput;
    if (int r = dev.Start()) return r;

    if (cmd == "identify") {
        // Online for the moment: a disconnect while offline would be wrapped
        // in a connect of its own. A failed connect disconnects by itself.
        if (int r = dev.Run({REQ_CONNECT, 1, 0})) return r;
        if (int r = dev.Run({REQ_DISCONNECT, 0, 0})) return r;
        return PrintStdout("identify", IdentityJson(m.m_devId).dump() + '\n');
    }
    if (cmd == "status") {
        int r = dev.Run({REQ_READ_STATE, 0, 0});
        return r ? r : PrintStdout("status", StatusJson(m).dump() + '\n');
    }
    if (cmd == "read-config") {
        int r = dev.Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&m.m_cfg), 0});
        if (r) return r;
        return m.m_cfg.StoreFile(o.file) ? 0 : kExitCantCreate;
    }
    if (cmd == "cfg-diff") {
        if (dev.Run({REQ_READ_CFG, reinterpret_cast<intptr_t>(&m.m_cfg), 0}) != 0) return kDiffTrouble;
        if (o.diffA == "device") diffA = *m.m_cfg.GetData();
        if (o.diffB == "device") diffB = *m.m_cfg.GetData();
        return CfgDiff(diffA, diffB, o.diffJson, o.diffBytes);
    }
    if (cmd == "monitor") {
        const int r = Monitor(
            dev.UI(), m, [&] { return StatusJson(m); }, SmsJson);
        StopSignalsDone();
        return r;
    }
    if (cmd == "write-config") return dev.Run({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&m.m_cfg), 0});
    if (cmd == "set-outputs") return dev.Run({REQ_SET_OUTPUTS, mask, levels});
    if (cmd == "set-time") return dev.Run(SetTimeRequest(when));
    if (cmd == "sms-read") {
        // Each SMS is out of the program before the device deletes it; after a
        // failed write the reading stops, and the rest stays on the device.
        int writeError = 0;
        dev.UI().SetSmsSink([&writeError](const CSMS& s) {
            if (PutStdout(SmsJson(s).dump() + '\n')) return true;
            writeError = errno;
            return false;
        });
        const int r = dev.Run({REQ_READ_SMS, 0, 0});
        if (writeError) return OutputFailed("sms-read", writeError, "; the SMS not written stay on the device");
        return r;
    }
    if (cmd == "sms-send") {
        int index = m.m_sms.Add(&sms, SMS_LIST_TOSEND, false);
        m.m_sms.m_anIndex[0] = index;
        return dev.Run({REQ_SEND_SMS, reinterpret_cast<intptr_t>(m.m_sms.m_anIndex), 1});
    }
    if (cmd == "gprs-read") {
        int r = dev.Run({REQ_READ_GPRS, 0, 0});
        return r ? r : PrintStdout("gprs-read", GprsJson(m.m_gprs).dump() + '\n');
    }
    if (cmd == "gprs-write") {
        m.m_gprs = gprs;
        return dev.Run({REQ_WRITE_GPRS, 0, 0});
    }
    return kExitUsage;
}

// The modems that remote access can use, one JSON object per line.
int Modems(const Options& o) {
    CTAPIMng mng(GetProgramDir());
    for (const auto& dir : o.modemDirs) mng.AddModemDir(dir);
    if (int r = mng.Init()) {
        ConsolePrintf(stderr, "modems: the modem list cannot be built (%08X)\n", unsigned(r));
        return kExitSoftware;
    }
    for (int i = 0; i < mng.ModemCount(); ++i) {
        ModemProps p;
        int r = o.modemInfo ? mng.QueryModem(i, p) : mng.GetModemProps(i, p);
        json line = {{"index", i},
                     {"name", cp1250::ToUtf8(p.name)},
                     {"device", p.device.empty() ? p.path : p.device},
                     {"path", p.path},
                     {"present", p.present}};
        if (o.modemInfo) {
            json info = json::array();
            for (const auto& text : p.info) info.push_back(cp1250::ToUtf8(text));
            line["info"] = r == 0 ? info : json(nullptr);
        }
        if (int r = PrintStdout("modems", line.dump() + '\n')) return r;
    }
    return 0;
}

// The serial ports present, with what tells an adapter from another and
// whether this user may open it: what to put into --port or the settings.
int Ports() {
    json list = json::array();
    for (const PortInfo& port : DetectedPortInfo())
        list.push_back({{"name", port.name},
                        {"path", port.path},
                        {"description", port.description},
                        {"maker", port.maker},
                        {"serial", port.serial},
                        {"by_id", port.byId},
                        {"may_open", port.mayOpen}});
    return PrintStdout("ports", list.dump(2) + '\n');
}

// Where this copy keeps its files, and by which rule.
int Paths() {
    const std::string dir = GetProgramDir();
    const std::string exeDir = GetExecutableDir();
    json j = {{"program_dir", ShownPath(dir)},
              {"rule", dir == exeDir ? "portable" : "user"},
              {"executable_dir", ShownPath(exeDir)},
              {"profile", ShownPath(DataPath(dir, "Profile.dat"))},
              {"connections", ShownPath(DataPath(dir, "Connection.dat"))},
              {"sms", ShownPath(DataPath(dir, "SMS.dat"))},
              {"modems", ShownPath(DataPath(dir, "Modems"))},
              {"log", ShownPath(dir + "/sercom.log")}};
    return PrintStdout("paths", j.dump(2) + '\n');
}

std::string FilesFooter() {
    const std::string dir = GetProgramDir();
    // A heading of its own line, so that the manual page takes it as its FILES.
    return "Files:\n  " + kHelpTexts.files + " This copy uses " + ShownPath(dir) + " (" +
           (dir == GetExecutableDir() ? "Data beside the program" : "no Data beside the program") +
           "); 'vantrixctl paths' prints every path.";
}

int CfgNew(const std::string& file) {
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    return doc.StoreFile(file) ? 0 : kExitCantCreate;
}

int CfgDump(const std::string& file) {
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    if (!doc.LoadFile(file)) return kExitNoInput;
    return PrintStdout("cfg-dump", CfgToJson(*doc.GetData()).dump(2) + '\n');
}

// The first word that names no subcommand, or "": CLI11 reports it as a
// missing subcommand.
std::string UnknownSubcommand(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") break;
        if (arg.size() > 1 && arg[0] == '-') {
            const CLI::Option* opt = app.get_option_no_throw(arg);
            if (opt && opt->get_type_size() != 0 && arg.find('=') == std::string::npos) ++i;  // its value
            continue;
        }
        try {
            app.get_subcommand(arg);
            return {};
        } catch (const CLI::OptionNotFound&) {
            return arg;
        }
    }
    return {};
}

// The command line and the command; main adds what holds for every run.
int Run(int argc, char** argv) {
    CLI::App app{
        "Configures a Vantrix GSM gateway, reads its state, reads and sends SMS through it and sets the GPRS "
        "access point of its GSM module, over a serial port or a modem call to its SIM, one command per run. "
        "The configuration files are those of the desktop program VantrixCtrlPnl; every output is JSON or "
        "plain text for scripts."};
    // The same command line everywhere: on Windows a path such as /tmp/x.cfg
    // would otherwise be taken for an option.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("vantrixctl ") + VANTRIX_VERSION);
    app.footer(FilesFooter());
    Options o;
    // The metavariables the descriptions speak of, and no "Needs:" of CLI11's:
    // the descriptions say which options go together.
    app.add_option("--port", o.port, kHelpTexts.port)->option_text("NAME");
    app.add_flag("--log", o.log, "capture the traffic to sercom.log in the program directory");
    auto* remote = app.add_option("--remote", o.remote,
                                  "reach the device by a modem call to NUMBER instead of the port; needs --pin")
                       ->option_text("NUMBER");
    auto* pin = app.add_option("--pin", o.pin, "PIN to log in with after --remote")->option_text("PIN");
    remote->needs(pin);
    pin->needs(remote);
    app.add_option("--modem", o.modems,
                   "modem INDEX of the 'modems' list for --remote (default 0); backup takes several")
        ->allow_extra_args(false)
        ->option_text("INDEX");
    app.add_option("--modem-dir", o.modemDirs, kHelpTexts.modemDir)->option_text("DIR");

    auto* modems = app.add_subcommand("modems", "list the modems for remote access, one JSON object per line");
    modems->add_flag("--info", o.modemInfo, "also ask each modem for its identification (ATI)");

    auto* paths = app.add_subcommand("paths", "print the program directory and the paths of its files as JSON");
    auto* ports = app.add_subcommand("ports", kHelpTexts.ports);

    auto* cfgNew = app.add_subcommand("cfg-new", "write a new default configuration file");
    cfgNew->add_option("FILE", o.file, "configuration file to write")->required();
    auto* cfgDump = app.add_subcommand("cfg-dump", "print every field of a configuration file as JSON");
    cfgDump->add_option("FILE", o.file, "configuration file of any layout")->required();
    auto* cfgLoad = app.add_subcommand("cfg-load", "write a configuration file from JSON as cfg-dump prints it");
    cfgLoad->add_option("JSON", o.file, "JSON file, - for stdin; missing keys keep the defaults")->required();
    cfgLoad->add_option("OUT", o.out, "configuration file to write")->required();
    auto* cfgDiff = app.add_subcommand(
        "cfg-diff", "print the fields that differ; exit 0 equal, 1 different, 2 a side cannot be read");
    cfgDiff->add_option("A", o.diffA, "a .cfg, a JSON file or 'device'")->required();
    cfgDiff->add_option("B", o.diffB, "a .cfg, a JSON file or 'device'")->required();
    cfgDiff->add_flag("--json", o.diffJson, "a JSON array of {key, a, b} instead of lines");
    cfgDiff->add_flag("--bytes", o.diffBytes,
                      "also the bytes after a text's terminator (by default texts end at their first zero byte)");

    auto* backup = app.add_subcommand(
        "backup",
        "call every device of the connection list (with --port: the device there), read its configuration and keep "
        "it in DIR as <serial>.cfg and <serial>.json; a line per device in DIR/backup.jsonl and on stdout names the "
        "fields changed since its previous backup; exit 75 when some device could not be read");
    backup->add_option("DIR", o.file, "directory of the backups, made when missing")->required();
    backup
        ->add_option("--connections", o.connections,
                     "connection list to call (default " + ShownPath("Data/Connection.dat") + ")")
        ->option_text("FILE");
    backup->add_option("--number", o.numbers, "only the entry with this NUMBER; repeatable")
        ->allow_extra_args(false)
        ->option_text("NUMBER");
    app.add_subcommand("identify", "connect, identify the device, disconnect");
    app.add_subcommand("status", "read the device state");
    app.add_subcommand("read-config", "read the configuration into a file")->add_option("FILE", o.file)->required();
    app.add_subcommand("write-config", "write a configuration file to the device")
        ->add_option("FILE", o.file)
        ->required();
    auto* setOut = app.add_subcommand("set-outputs", "set the outputs of MASK to LEVELS");
    setOut->add_option("MASK", o.mask)->required();
    setOut->add_option("LEVELS", o.levels)->required();
    app.add_subcommand("set-time", "set the device clock (default: the PC's local time)")
        ->add_option("TIME", o.time, "YYYY-MM-DDTHH:MM:SS");
    app.add_subcommand("sms-read", "read the received SMS, one JSON object per line");
    auto* smsSend = app.add_subcommand("sms-send", "send an SMS");
    smsSend->add_option("NUMBER", o.number, "recipients, up to four numbers")->required();
    smsSend->add_option("TEXT", o.text)->required();
    app.add_subcommand("monitor", kHelpTexts.monitor);
    app.add_subcommand("gprs-read", "read the GPRS access point");
    auto* gprsWrite = app.add_subcommand("gprs-write", "write the GPRS access point");
    gprsWrite->add_option("APN", o.apn)->required();
    gprsWrite->add_flag("--dcomp", o.dcomp, "data compression");
    gprsWrite->add_flag("--hcomp", o.hcomp, "header compression");
    gprsWrite->add_option("--qos", o.qos, "precedence,delay,reliability,peak,mean");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const std::string unknown = app.get_subcommands().empty() ? UnknownSubcommand(app, argc, argv) : "";
        if (!unknown.empty()) {
            ConsolePrintf(stderr, "vantrixctl: unknown subcommand '%s' (--help lists them)\n", unknown.c_str());
            return kExitUsage;
        }
        std::ostringstream out, err;
        const int rc = app.exit(e, out, err);
        ConsoleWrite(stderr, err.str());
        if (!PutStdout(out.str())) return OutputFailed("vantrixctl", errno);
        return rc == 0 ? 0 : kExitUsage;
    }

    if (*paths) return Paths();
    if (*ports) return Ports();
    if (*modems) return Modems(o);
    if (*cfgNew) return CfgNew(o.file);
    if (*cfgDump) return CfgDump(o.file);
    if (*cfgLoad) return CfgLoad(o.file, o.out);
    if (*backup) {
        if (!o.remote.empty()) {
            ConsolePrintf(stderr, "backup: the numbers and PINs come from the connection list, not --remote\n");
            return kExitUsage;
        }
        return Backup(o.file, o, app.get_option("--port")->count() > 0);
    }
    if (*cfgDiff && o.diffA != "device" && o.diffB != "device") {
        CfgImage a, b;
        if (ReadCfgSource(o.diffA, a) != 0 || ReadCfgSource(o.diffB, b) != 0) return kDiffTrouble;
        return CfgDiff(a, b, o.diffJson, o.diffBytes);
    }
    return DeviceCommand(app.get_subcommands().front()->get_name(), o);
}

}  // namespace

int main(int argc, char** argv) {
    // A reader that went away shows as a write error, handled where it
    // happens, not as a death half way through a reading.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Likewise a file that reaches its size limit (ulimit -f): the write fails
    // with EFBIG instead of the program dying with nothing said.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    GuardStdout();
    CUtf8Args args(argc, argv);
    const int rc = Run(args.Argc(), args.Argv());
    // A status that already says the output failed keeps its own message.
    if (!CloseStdout() && rc != kExitIoErr) return OutputFailed("vantrixctl", errno);
    return rc;
}
