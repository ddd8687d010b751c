// What the command line gave, and the engine that the device commands and
// the backup run on.
#pragma once

#include <string>
#include <vector>

#include "app/Profile.h"
#include "app/Vantrix.h"
#include "remote/ConnectDsc.h"
#include "tools/vantrixctl/ConsoleUI.h"

// Exit statuses (sysexits.h); a failed request exits with its result code.
inline constexpr int kExitUsage = 64;
inline constexpr int kExitNoInput = 66;
inline constexpr int kExitSoftware = 70;
inline constexpr int kExitCantCreate = 73;

struct Options {
    std::string port = "COM1";
    bool log = false;
    std::string file;
    std::string mask, levels, time;
    std::string number, text;
    std::string apn, qos;
    bool dcomp = false, hcomp = false;
    // Remote access: the device's number, the PIN, the modems (several only
    // for backup), extra modem directories.
    std::string remote, pin;
    std::vector<int> modems;
    std::vector<std::string> modemDirs;
    bool modemInfo = false;
    // cfg-load's output; cfg-diff's two sides.
    std::string out, diffA, diffB;
    bool diffJson = false, diffBytes = false;
    // backup: the connection list and the entries to take from it.
    std::string connections;
    std::vector<std::string> numbers;
};

// "2026-12-10T09:05:07", as every time in the programs' JSON.
std::string IsoTime(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s);

// One engine, as the desktop program runs it: over o.port, or with `remote`
// over a call to that entry (its number and PIN as Connection.dat holds
// them, in Windows-1250) through modem `modem`.
class Device {
public:
    explicit Device(const Options& o, const CConnectDsc* remote = nullptr, int modem = 0);

    int Start() { return m_model.Init(false) == 1 ? 0 : kExitSoftware; }
    int Run(const CComRequest& req) { return m_ui.Run(req); }
    CVantrix& Model() { return m_model; }
    ConsoleUI& UI() { return m_ui; }

private:
    ConsoleUI m_ui;
    CProfile m_profile;
    CVantrix m_model;
};
