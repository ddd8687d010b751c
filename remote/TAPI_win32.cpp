// The modems on Windows: the COM ports, and the files of the modem
// directories (a file's name is the modem's, its first line the port). A
// modem's port is opened for overlapped I/O, as CSerCom opens a port, so the
// call's data channel can be handed to CSerCom as it is.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <iterator>

#include "app/WinPath_win32.h"
#include "comm/PortName.h"
#include "comm/PortOpen_win32.h"
#include "comm/RawLine_win32.h"
#include "remote/ModemPort.h"
#include "remote/TAPI.h"

namespace {

// The speed between the PC and the modem; the modem adapts to it.
constexpr DWORD kDteSpeed = 57600;
// A command line of a few bytes goes out within this time.
constexpr DWORD kWriteMs = 1000;
// Reads return at once with what has arrived; a wait for a byte looks this often.
constexpr DWORD kReadPollMs = 10;
// A modem file holds a port name, never more.
constexpr DWORD kMaxEntryFile = 256;

// The device namespace: what SystemModemDir() names.
constexpr char kDeviceNamespace[] = "\\\\.\\";

HANDLE PortHandle(int fd) { return fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE; }

bool SetReadTimeouts(HANDLE h, bool immediate) {
    COMMTIMEOUTS to = {};
    // MAXDWORD alone: a read takes what is there and returns. All zero: the
    // waits are the caller's (CSerCom waits on the transfer's event).
    if (immediate) to.ReadIntervalTimeout = MAXDWORD;
    return SetCommTimeouts(h, &to) != 0;
}

// One overlapped transfer; false when it failed or did not end within waitMs.
bool Transfer(HANDLE h, bool reading, void* buf, DWORD n, DWORD waitMs, DWORD& got) {
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ev) return false;
    OVERLAPPED ov = {};
    ov.hEvent = ev;
    got = 0;
    BOOL ok = reading ? ReadFile(h, buf, n, &got, &ov) : WriteFile(h, buf, n, &got, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ev, waitMs) != WAIT_OBJECT_0) {
            CancelIo(h);
            GetOverlappedResult(h, &ov, &got, TRUE);
            CloseHandle(ev);
            got = 0;
            return false;
        }
        ok = GetOverlappedResult(h, &ov, &got, FALSE);
    }
    // A read with nothing there: Windows reports success with 0 bytes, Wine ERROR_TIMEOUT.
    if (!ok && reading && GetLastError() == ERROR_TIMEOUT) ok = TRUE;
    CloseHandle(ev);
    return ok != 0;
}

// The port a modem file names; empty when the file cannot be read.
std::string PortOfFile(const std::string& path) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    char buf[kMaxEntryFile];
    DWORD got = 0;
    const BOOL ok = ReadFile(h, buf, sizeof buf, &got, nullptr);
    CloseHandle(h);
    if (!ok) return {};
    std::string text(buf, got);
    const size_t end = text.find_first_of("\r\n");
    if (end != std::string::npos) text.resize(end);
    const size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return text.substr(a, text.find_last_not_of(" \t") + 1 - a);
}

}  // namespace

const char* SystemModemDir() { return kDeviceNamespace; }

std::vector<ModemEntry> ModemsIn(const std::string& dir) {
    std::vector<ModemEntry> found;
    if (dir == kDeviceNamespace) {
        for (const PortInfo& p : DetectedPortInfo()) found.push_back({p.name, p.name, p.name});
        return found;
    }
    std::string base = dir;
    std::replace(base.begin(), base.end(), '/', '\\');
    if (base.back() != '\\') base += '\\';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(WidePath(base + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return found;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string name = Utf8Path(fd.cFileName);
        if (name.empty() || name[0] == '.') continue;
        const std::string path = base + name;
        // Listed also when it names no port: the list's index is the
        // profile's modem number, which must not shift.
        found.push_back({std::move(name), path, PortOfFile(path)});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return found;
}

void ResolveModem(const ModemEntry& entry, std::string& device, bool& present) {
    device = entry.port;
    present = false;
    if (entry.port.empty()) return;
    const std::string mapped = MapPortName(entry.port);
    wchar_t target[1024];
    if (mapped.rfind(kDeviceNamespace, 0) == 0 &&
        QueryDosDeviceW(WidePath(mapped.substr(4)).c_str(), target, DWORD(std::size(target))) != 0) {
        present = true;
        return;
    }
    // Not in the DOS device list (Wine lists only the ports it had at start):
    // an open without access rights finds the device without using it, and
    // one that another program holds is there as well.
    HANDLE h = CreateFileW(WidePath(mapped).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        present = true;
    } else {
        const DWORD e = GetLastError();
        present = e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION;
    }
}

// Windows lowers DTR when the last handle of the port closes.
int CModemPort::Open(const std::string& port) {
    Close();
    if (port.empty()) return LINEERR_NODEVICE;
    HANDLE h = OpenPortAlone(MapPortName(port));
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION) return LINEERR_INUSE;
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? LINEERR_NODEVICE : LINEERR_RESOURCEUNAVAIL;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {  // not a serial port
        CloseHandle(h);
        return LINEERR_NODEVICE;
    }
    SetRawLine(dcb, kDteSpeed, true, DTR_CONTROL_ENABLE);
    if (!SetCommState(h, &dcb) || !SetReadTimeouts(h, true)) {
        CloseHandle(h);
        return LINEERR_RESOURCEUNAVAIL;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        CloseHandle(h);
        return LINEERR_RESOURCEUNAVAIL;
    }
    m_fd = fd;
    return 0;
}

void CModemPort::Close() {
    if (m_fd < 0) return;
    _close(m_fd);  // closes the handle too
    m_fd = -1;
}

bool CModemPort::Write(std::string_view s) {
    HANDLE h = PortHandle(m_fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    const ULONGLONG deadline = GetTickCount64() + kWriteMs;
    size_t done = 0;
    while (done < s.size()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        DWORD got = 0;
        if (!Transfer(h, false, const_cast<char*>(s.data() + done), DWORD(s.size() - done), DWORD(deadline - now),
                      got) ||
            got == 0)
            return false;
        done += got;
    }
    return true;
}

int CModemPort::ReadByte(uint8_t& b, int timeoutMs) {
    HANDLE h = PortHandle(m_fd);
    if (h == INVALID_HANDLE_VALUE) return -1;
    // The data channel may have had the port: its reads wait on their own.
    if (!SetReadTimeouts(h, true)) return -1;
    const ULONGLONG deadline = GetTickCount64() + ULONGLONG(std::max(timeoutMs, 0));
    for (;;) {
        // Read only what has arrived: how a driver times a read out that
        // finds nothing differs (Wine keeps it waiting).
        DWORD errors = 0;
        COMSTAT stat = {};
        if (!ClearCommError(h, &errors, &stat)) return -1;  // the port is gone
        if (stat.cbInQue > 0) {
            DWORD got = 0;
            if (!Transfer(h, true, &b, 1, kWriteMs, got)) return -1;
            if (got == 1) return 1;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return 0;
        Sleep(DWORD(std::min<ULONGLONG>(kReadPollMs, deadline - now)));
    }
}

bool CModemPort::SetDtr(bool on) {
    HANDLE h = PortHandle(m_fd);
    return h != INVALID_HANDLE_VALUE && EscapeCommFunction(h, on ? SETDTR : CLRDTR);
}

void CModemPort::PurgeInput() {
    HANDLE h = PortHandle(m_fd);
    if (h != INVALID_HANDLE_VALUE) PurgeComm(h, PURGE_RXCLEAR);
}

int CModemPort::DataChannel(int& fd) {
    fd = -1;
    HANDLE h = PortHandle(m_fd);
    HANDLE dup = nullptr;
    if (h == INVALID_HANDLE_VALUE || !SetReadTimeouts(h, false) ||
        !DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &dup, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return LINEERR_RESOURCEUNAVAIL;
    fd = _open_osfhandle(reinterpret_cast<intptr_t>(dup), 0);
    if (fd < 0) {
        CloseHandle(dup);
        return LINEERR_RESOURCEUNAVAIL;
    }
    return 0;
}
