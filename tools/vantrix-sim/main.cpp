// vantrix-sim: a Vantrix gateway on a pseudo-terminal, for development and
// tests. Prints the slave path as its first line and serves until it is
// terminated or its standard input closes.
#include <CLI/CLI.hpp>

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/Version.h"
#include "comm/SerCom.h"
#include "tools/vantrix-sim/SimExchange.h"
#include "tools/vantrix-sim/SimModem.h"
#include "tools/vantrix-sim/VantrixSim.h"

namespace {

// Exit statuses (sysexits.h).
constexpr int kExitUsage = 64;
constexpr int kExitDataErr = 65;
constexpr int kExitOsErr = 71;
constexpr int kExitCantCreate = 73;

// A command code in hexadecimal, with or without 0x: "29", "0x29".
bool ParseCmd(std::string s, uint8_t& cmd) {
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = s.substr(2);
    if (s.empty() || s.size() > 2) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    cmd = uint8_t(std::stoul(s, nullptr, 16));
    return true;
}

// "CMD:N": a command code in hexadecimal and a number up to `max` (in C
// notation when base is 0).
bool ParseCmdValue(const std::string& s, uint8_t& cmd, unsigned long& value, unsigned long max, int base) {
    const size_t colon = s.find(':');
    if (colon == std::string::npos || !ParseCmd(s.substr(0, colon), cmd)) return false;
    try {
        size_t used = 0;
        value = std::stoul(s.substr(colon + 1), &used, base);
        return used == s.size() - colon - 1 && value <= max;
    } catch (const std::exception&) {
        return false;
    }
}

// "K:drop", "K:late", "K:late:MS", "K:short", "K:dup", "K:hold".
bool ParseFrameFault(const std::string& s, long& frame, FrameFaultAt& fault) {
    static const std::map<std::string, FrameFault> kinds = {{"drop", FrameFault::Drop},
                                                            {"late", FrameFault::Late},
                                                            {"short", FrameFault::Short},
                                                            {"dup", FrameFault::Dup},
                                                            {"hold", FrameFault::Hold}};
    const size_t colon = s.find(':');
    if (colon == std::string::npos) return false;
    std::string kind = s.substr(colon + 1);
    std::string ms;
    if (const size_t second = kind.find(':'); second != std::string::npos) {
        ms = kind.substr(second + 1);
        kind = kind.substr(0, second);
    }
    auto it = kinds.find(kind);
    try {
        size_t used = 0;
        frame = std::stol(s.substr(0, colon), &used, 10);
        if (used != colon || frame < 1 || it == kinds.end()) return false;
        fault = {it->second, 0};
        if (ms.empty()) return true;
        const unsigned long v = std::stoul(ms, &used, 10);
        if (used != ms.size() || v > 60000 || it->second != FrameFault::Late) return false;
        fault.lateMs = uint32_t(v);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The most modems one program serves.
constexpr int kMaxModems = 32;

// "NUMBER=STATEFILE" of --device.
bool ParseDevice(const std::string& s, std::string& number, std::string& path) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos || eq + 1 == s.size()) return false;
    number = s.substr(0, eq);
    path = s.substr(eq + 1);
    return !CSimExchange::Digits(number).empty();
}

// Standard input counts as "closing" only when it can close: a pipe, a
// socket or a terminal. /dev/null or a file would end the program at once.
bool StdinCanClose() {
    struct stat st;
    if (::fstat(STDIN_FILENO, &st) != 0) return false;
    return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || ::isatty(STDIN_FILENO);
}

// Makes `link` a symbolic link to `target`, replacing an older link.
bool MakeLink(const std::string& link, const std::string& target) {
    struct stat st;
    if (::lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) return false;
        ::unlink(link.c_str());
    }
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

void RemoveLink(const std::string& link, const std::string& target) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, size_t(n)) == target) ::unlink(link.c_str());
}

// The control socket: a test process that drives another program against the
// simulator sees and changes the device while both run.
int OpenControl(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One request line, one answer line: "state" gives the whole state, a JSON
// object is merged into it as --state would load it.
// Set by "kill-on-hold PID": the process that gets SIGKILL the moment a reply
// is held, closer to that moment than a test that hears of it could be.
std::atomic<pid_t> g_killOnHold{0};

std::string ControlAnswer(CVantrixSim& sim, const std::string& line) {
    if (line == "state") return sim.State().dump();
    if (line.rfind("kill-on-hold ", 0) == 0) {
        try {
            g_killOnHold.store(pid_t(std::stol(line.substr(13))));
            return R"({"ok":true})";
        } catch (const std::exception&) {
            return R"({"error":"kill-on-hold takes a process id"})";
        }
    }
    if (line == "release") {
        sim.Release();
        return R"({"ok":true})";
    }
    if (line == "stats") {
        const SimStats st = sim.Stats();
        return nlohmann::json{{"frames", st.totalFrames}, {"commands", st.commands},     {"badFrames", st.badFrames},
                              {"replies", st.replies},    {"dropped", st.dropped},       {"corrupted", st.corrupted},
                              {"late", st.late},          {"duplicated", st.duplicated}, {"shortened", st.shortened},
                              {"held", st.held}}
            .dump();
    }
    nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    std::string error = "not a JSON object";
    if (j.is_object() && sim.SetState(j, &error)) return R"({"ok":true})";
    return nlohmann::json{{"error", error}}.dump();
}

// Serves one client; a client that says nothing for a second is dropped, so
// it can never stop the device.
void ServeControl(CVantrixSim& sim, int listener) {
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    std::string line;
    char buf[4096];
    for (;;) {
        struct pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) break;
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r <= 0) break;
        line.append(buf, size_t(r));
        if (line.size() > (1u << 20)) break;
        size_t nl = line.find('\n');
        if (nl == std::string::npos) continue;
        std::string answer = ControlAnswer(sim, line.substr(0, nl)) + '\n';
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        break;
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "A Vantrix gateway as the PC sees it, on a pseudo-terminal: it answers the device's commands, keeps a "
        "configuration, SMS and GSM state, and on request puts faults on the line or a data modem in front, "
        "so that the programs can be tried and tested without a device."};
    // Wide enough for the longest option with its type and default: the
    // manual page tells option from description by the gap.
    app.get_formatter()->column_width(40);
    app.set_version_flag("--version", std::string("vantrix-sim ") + VANTRIX_VERSION);
    CVantrixSim::Options o;
    std::vector<std::string> silent, refuse, delay, faults, extra;
    std::string replyHead;
    std::vector<std::string> links;
    int inputs = 0;

    app.add_option("--layout", o.layout, "configuration layout id the device reports (1 or 2 have an image)")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--speed", o.speed, "line speed while no link is open")
        ->check([](const std::string& s) {
            try {
                return BaudConstant(uint32_t(std::stoul(s))) ? std::string() : "not one of 300..115200";
            } catch (const std::exception&) {
                return std::string("not a number");
            }
        })
        ->capture_default_str();
    app.add_flag("--pace", o.pace, "replies take the time the line would take");
    app.add_option("--pin", o.pin, "PIN of remote access")->capture_default_str();
    app.add_option("--pin-tries", o.pinTries, "wrong PINs until access is blocked (0: never)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_option("--inputs", inputs, "levels of the eight inputs, bit n = input n+1")->check(CLI::Range(0, 255));
    app.add_option("--sms-polls", o.smsPolls, "state polls an SMS stays in progress")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    app.add_flag("--sms-fail", o.smsFail, "submitted SMS end as failed");
    app.add_option("--drop", o.dropRate, "share of reply frames not sent")->check(CLI::Range(0.0, 1.0));
    app.add_option("--corrupt", o.corruptRate, "share of reply frames sent with a bad checksum")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--late", o.lateRate, "share of replies sent just past the PC's time-out")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--dup", o.dupRate, "share of replies sent twice")->check(CLI::Range(0.0, 1.0));
    app.add_option("--short", o.shortRate, "share of replies cut to four bytes")->check(CLI::Range(0.0, 1.0));
    app.add_option("--fault", faults,
                   "K:KIND: the reply to the K-th request frame is dropped (drop), late (late or late:MS), cut "
                   "(short), sent twice (dup) or held until 'release' (hold); repeatable");
    app.add_option("--reply-ms", o.replyMs, "every reply comes this many ms after its request, in order")
        ->check(CLI::Range(0, 10000));
    app.add_option("--reply-extra", extra, "CMD:N: replies to command CMD (hex) carry N more bytes; repeatable");
    app.add_option("--seed", o.seed, "seed of the faults")->capture_default_str();
    app.add_option("--silent", silent, "command (hex, e.g. 0x29) that gets no answer; repeatable");
    app.add_option("--refuse", refuse, "CMD:ACK: answer command CMD (hex) with acknowledge ACK; repeatable");
    app.add_option("--reply-head", replyHead, "reply bytes 0 to 2 in hex, e.g. 3F77E1 (default: C0, the command, 01)");
    app.add_option("--delay", delay, "CMD:MS: the reply to command CMD (hex) comes MS milliseconds late; repeatable");
    app.add_option("--stop-after", o.stopAfter, "answer N frames, then nothing");
    app.add_flag(
        "--no-echo", [&](size_t) { o.echoAt = false; }, "the GSM module does not echo AT commands");
    app.add_option("--state", o.statePath, "JSON state: loaded at start, saved at exit");
    app.add_option("--link", links, "symbolic link to the slave side; with --modems one per modem, in order");
    std::string control;
    app.add_option("--control", control,
                   "Unix socket: a line \"state\" answers the state as JSON, a JSON object changes it");

    bool modemFront = false;
    SimModemOptions mo;
    app.add_flag("--modem", modemFront, "a Hayes data modem in front of the device (remote access)");
    app.add_option("--ring-ms", mo.ringMs, "with --modem: a dial rings this long")->capture_default_str();
    app.add_option("--call-result", mo.callResult,
                   "with --modem: how a dial ends: CONNECT 9600, BUSY, NO CARRIER, NO ANSWER, NO DIALTONE")
        ->capture_default_str();
    app.add_option("--guard-ms", mo.guardMs, "with --modem: escape guard time")->capture_default_str();
    app.add_option("--answer-ms", mo.answerMs, "with --modem: a command's answer comes this much later")
        ->capture_default_str();
    app.add_flag("--numeric", mo.numeric, "with --modem: result codes as digits until ATV1");
    int modemCount = 1;
    app.add_option("--modems", modemCount,
                   "with --modem: this many modems, each on a pseudo-terminal of its own; a call reaches the "
                   "device of the number dialled, whichever modem dials")
        ->check(CLI::Range(1, kMaxModems))
        ->capture_default_str();
    std::vector<std::string> deviceArgs;
    app.add_option("--device", deviceArgs,
                   "NUMBER=STATEFILE, with --modem: a further device, reached by dialling NUMBER (its digits), "
                   "with its own state file; numbers no device has get NO CARRIER; repeatable");
    std::string number;
    app.add_option("--number", number, "with --device: the number of the device of --state (else it has none)");

    app.add_option("--first-value", o.firstValue, "16-bit value at bytes 4-5 of the identity");
    app.add_option("--firmware", o.firmware, "firmware version")->capture_default_str();
    app.add_option("--hardware", o.hardware, "hardware version")->capture_default_str();
    app.add_option("--serial", o.serial, "serial number")->capture_default_str();
    app.add_option("--imei", o.imei, "IMEI")->capture_default_str();
    app.add_option("--name", o.name, "device name")->capture_default_str();
    app.add_flag(
        "--no-gprs", [&](size_t) { o.gprs = false; }, "the device has no GPRS");
    app.add_option("--operator", o.operatorName, "GSM operator name")->capture_default_str();
    app.add_option("--signal", o.signal, "GSM signal 0..99")->check(CLI::Range(0, 255));
    app.add_option("--credit1", o.credit1, "credit of SIM 1");
    app.add_option("--credit2", o.credit2, "credit of SIM 2");
    app.add_option("--bts", o.bts, "BTS number");
    app.add_option("--apn", o.apn, "APN of the GSM module's context 1")->capture_default_str();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : kExitUsage;
    }
    o.inputs = uint8_t(inputs);
    for (const auto& s : silent) {
        uint8_t cmd;
        if (!ParseCmd(s, cmd)) {
            std::cerr << "vantrix-sim: --silent " << s << ": not a command code\n";
            return kExitUsage;
        }
        o.silent.insert(cmd);
    }
    for (const auto& s : refuse) {
        uint8_t cmd;
        unsigned long ack;
        if (!ParseCmdValue(s, cmd, ack, 255, 0)) {
            std::cerr << "vantrix-sim: --refuse " << s << ": expected CMD:ACK\n";
            return kExitUsage;
        }
        o.refuse[cmd] = uint8_t(ack);
    }
    for (const auto& s : delay) {
        uint8_t cmd;
        unsigned long ms;
        if (!ParseCmdValue(s, cmd, ms, 60000, 10)) {
            std::cerr << "vantrix-sim: --delay " << s << ": expected CMD:MS (MS up to 60000)\n";
            return kExitUsage;
        }
        o.delayMs[cmd] = uint32_t(ms);
    }

    for (const auto& s : faults) {
        long frame;
        FrameFaultAt fault;
        if (!ParseFrameFault(s, frame, fault)) {
            std::cerr << "vantrix-sim: --fault " << s << ": expected K:drop, K:late[:MS], K:short, K:dup or K:hold\n";
            return kExitUsage;
        }
        o.frameFaults[frame] = fault;
    }
    for (const auto& s : extra) {
        uint8_t cmd;
        unsigned long n;
        if (!ParseCmdValue(s, cmd, n, 256, 10)) {
            std::cerr << "vantrix-sim: --reply-extra " << s << ": expected CMD:N (N up to 256)\n";
            return kExitUsage;
        }
        o.replyExtra[cmd] = n;
    }

    if (!replyHead.empty()) {
        if (replyHead.size() != 6 || replyHead.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            std::cerr << "vantrix-sim: --reply-head " << replyHead << ": expected three bytes in hex\n";
            return kExitUsage;
        }
        for (size_t i = 0; i < 6; i += 2)
            o.replyHead.push_back(uint8_t(std::stoul(replyHead.substr(i, 2), nullptr, 16)));
    }

    const int modemsWanted = modemFront ? modemCount : 1;
    if (!modemFront && (modemCount != 1 || !deviceArgs.empty())) {
        std::cerr << "vantrix-sim: --modems and --device need --modem\n";
        return kExitUsage;
    }
    if (!number.empty() && (deviceArgs.empty() || CSimExchange::Digits(number).empty())) {
        std::cerr << "vantrix-sim: --number needs --device and a number with digits\n";
        return kExitUsage;
    }
    if (int(links.size()) > modemsWanted) {
        std::cerr << "vantrix-sim: more --link than modems\n";
        return kExitUsage;
    }

    // One lock for the whole network: any modem's server may reach any device.
    std::mutex network;
    // Declared first so that they outlive the servers that call them.
    std::vector<std::unique_ptr<CVantrixSim>> devices;         // of --device: never started, they keep the state
    std::vector<std::pair<std::string, CVantrixSim*>> listed;  // the devices with a number
    CSimExchange exchange;
    std::vector<std::unique_ptr<CSimModem>> modems;
    std::vector<std::unique_ptr<CVantrixSim>> ports;  // the modems' pseudo-terminals after the first
    CVantrixSim sim(o, &network);
    if (!number.empty()) listed.emplace_back(number, &sim);
    for (const auto& s : deviceArgs) {
        std::string n, path;
        if (!ParseDevice(s, n, path)) {
            std::cerr << "vantrix-sim: --device " << s << ": expected NUMBER=STATEFILE\n";
            return kExitUsage;
        }
        for (const auto& [other, _] : listed)
            if (CSimExchange::Digits(other) == CSimExchange::Digits(n)) {
                std::cerr << "vantrix-sim: --device " << s << ": the number is taken\n";
                return kExitUsage;
            }
        CVantrixSim::Options d = o;
        d.statePath = path;
        devices.push_back(std::make_unique<CVantrixSim>(d, &network));
        listed.emplace_back(n, devices.back().get());
    }
    std::vector<CVantrixSim*> all = {&sim};  // every device, the one of --state first
    for (auto& d : devices) all.push_back(d.get());
    // The device of --state answers every number while no number is listed.
    exchange.SetFallback(&sim.Device());
    for (const auto& [n, d] : listed) exchange.Add(n, d->Device());

    std::vector<CVantrixSim*> lines = {&sim};  // the modems' pseudo-terminals in order
    if (modemFront) {
        // A single modem keeps the plain path of a call to the one device.
        CSimExchange* net = modemsWanted > 1 || !deviceArgs.empty() ? &exchange : nullptr;
        CVantrixSim::Options portOptions = o;
        portOptions.statePath.clear();
        for (int i = 0; i < modemsWanted; ++i) {
            modems.push_back(std::make_unique<CSimModem>(sim.Device(), mo, net));
            if (i > 0) {
                ports.push_back(std::make_unique<CVantrixSim>(portOptions, &network));
                lines.push_back(ports.back().get());
            }
            lines.back()->SetFront(modems.back().get());
        }
    }
    // A held reply is told on standard output, one JSON line, so that a test
    // can act at that very step and then send "release".
    for (CVantrixSim* d : all)
        d->SetHoldListener([](long frame, uint8_t cmd) {
            if (const pid_t pid = g_killOnHold.load(); pid > 0) ::kill(pid, SIGKILL);
            std::printf("{\"held\": %ld, \"cmd\": %u}\n", frame, unsigned(cmd));
            std::fflush(stdout);
        });
    std::string error;
    for (CVantrixSim* d : all)
        if (!d->Load(&error)) {
            std::cerr << "vantrix-sim: " << error << '\n';
            return kExitDataErr;
        }

    // Termination signals are taken in the main loop; the server threads
    // inherit the mask.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &sigs, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    int sigFd = ::signalfd(-1, &sigs, SFD_CLOEXEC);

    size_t linked = 0;
    auto stopAll = [&] {
        for (CVantrixSim* l : lines) l->Stop();
        for (size_t i = 0; i < linked; ++i) RemoveLink(links[i], lines[i]->SlavePath());
    };
    bool started = sigFd >= 0;
    for (CVantrixSim* l : lines) started = started && l->Start();
    if (!started) {
        std::cerr << "vantrix-sim: cannot open a pseudo-terminal\n";
        stopAll();
        return kExitOsErr;
    }
    for (; linked < links.size(); ++linked)
        if (!MakeLink(links[linked], lines[linked]->SlavePath())) {
            std::cerr << "vantrix-sim: cannot make the link " << links[linked] << '\n';
            stopAll();
            return kExitCantCreate;
        }
    int controlFd = control.empty() ? -1 : OpenControl(control);
    if (!control.empty() && controlFd < 0) {
        std::cerr << "vantrix-sim: cannot make the control socket " << control << '\n';
        stopAll();
        return kExitCantCreate;
    }
    for (CVantrixSim* l : lines) std::printf("%s\n", l->SlavePath().c_str());
    std::fflush(stdout);

    bool watchStdin = StdinCanClose();
    while (true) {
        struct pollfd fds[3] = {
            {sigFd, POLLIN, 0}, {watchStdin ? STDIN_FILENO : -1, POLLIN, 0}, {controlFd, POLLIN, 0}};
        int p = ::poll(fds, 3, -1);
        if (p < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents & POLLIN) break;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[256];
            ssize_t r = ::read(STDIN_FILENO, buf, sizeof buf);
            if (r == 0 || (r < 0 && errno != EINTR && errno != EAGAIN)) break;
        }
        if (fds[2].revents & POLLIN) ServeControl(sim, controlFd);
    }
    if (controlFd >= 0) {
        ::close(controlFd);
        ::unlink(control.c_str());
    }

    stopAll();
    // What each modem went through, for scripts; the first modem's line first.
    for (size_t i = 0; i < modems.size(); ++i) {
        SimModemStats st = modems[i]->Stats();
        nlohmann::json j = {{"calls", st.calls},     {"dialled", st.dialled}, {"connected", st.connected},
                            {"aborted", st.aborted}, {"hangups", st.hangups}, {"escapes", st.escapes},
                            {"inCall", st.inCall},   {"results", st.results}};
        std::printf("%s\n", nlohmann::ordered_json{{"modem", j}, {"index", i}}.dump().c_str());
    }
    // And which device took how many calls.
    for (const auto& [n, d] : listed)
        std::printf("%s\n", nlohmann::ordered_json{{"device", n},
                                                   {"serial", d->State()["identity"]["serial"]},
                                                   {"calls", exchange.Calls(d->Device())},
                                                   {"frames", d->Stats().totalFrames}}
                                .dump()
                                .c_str());
    std::fflush(stdout);
    int rc = 0;
    for (CVantrixSim* d : all)
        if (!d->Save(&error)) {
            std::cerr << "vantrix-sim: " << error << '\n';
            rc = kExitCantCreate;
        }
    return rc;
}
