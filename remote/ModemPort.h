// What the Hayes modem driver needs of a platform: where the modems are
// found, and a modem's serial port for its commands. The driver itself
// (TAPI.cpp) is the same everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One modem as a directory of modems names it.
struct ModemEntry {
    std::string name;  // the modem's name (UTF-8)
    std::string path;  // the entry itself: a link, a device, a list file
    std::string port;  // what is opened for a call
};

// The system's own serial devices, searched first: /dev/serial/by-id, or the
// COM ports of Windows' device namespace.
const char* SystemModemDir();

// The modems that `dir` names, in no particular order. On Linux its
// symbolic links and device nodes (name = modem, target = tty); on Windows
// its files, each holding the modem's port ("COM6") on its first line.
std::vector<ModemEntry> ModemsIn(const std::string& dir);

// Where an entry leads, without opening it: the device (empty when that
// cannot be told) and whether it is there now.
void ResolveModem(const ModemEntry& entry, std::string& device, bool& present);

// A modem's port while the driver talks to it: raw 8N1 at the PC's speed,
// hardware handshake, DTR and RTS up; another program's modem is in use.
class CModemPort {
public:
    CModemPort() = default;
    ~CModemPort() { Close(); }
    CModemPort(const CModemPort&) = delete;
    CModemPort& operator=(const CModemPort&) = delete;

    // 0, or LINEERR_NODEVICE (no such port, or not a serial port),
    // LINEERR_INUSE (another program holds it), LINEERR_RESOURCEUNAVAIL.
    int Open(const std::string& port);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // A command line, sent within a second.
    bool Write(std::string_view s);
    // 1 and the next byte, 0 when none came within timeoutMs, -1 when the
    // port is gone (the modem was unplugged or hung up the line).
    int ReadByte(uint8_t& b, int timeoutMs);
    // False where the port has no DTR line (a pseudo-terminal).
    bool SetDtr(bool on);
    void PurgeInput();
    // A descriptor of the port for the call's data channel, as CSerCom::Attach
    // takes it; the caller closes it, ours stays for the hang-up.
    int DataChannel(int& fd);

private:
    // On Windows a C runtime descriptor of the port's handle, as in CSerCom.
    int m_fd = -1;
};
