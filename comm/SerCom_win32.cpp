// The serial transport on Windows: a COM port opened for overlapped I/O, each
// transfer waited for together with the cancel event. The port and the log are
// C runtime descriptors over their handles, so the shared header stays as it is.
#include <windows.h>

#include <io.h>
#include <sys/stat.h>

#include <string>

#include "app/WinPath_win32.h"
#include "comm/PortOpen_win32.h"
#include "comm/RawLine_win32.h"
#include "comm/SerCom.h"

namespace {

// Windows takes the line speed itself (CBR_xxx are the numbers in Bd).
constexpr uint32_t kBauds[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// A driver queue that holds the longest frame several times over.
constexpr DWORD kQueueSize = 4096;

HANDLE PortHandle(int fd) { return fd >= 0 ? reinterpret_cast<HANDLE>(_get_osfhandle(fd)) : INVALID_HANDLE_VALUE; }

// A manual-reset event for one transfer's OVERLAPPED record.
class CIoEvent {
public:
    CIoEvent() : m_h(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CIoEvent() {
        if (m_h) CloseHandle(m_h);
    }
    CIoEvent(const CIoEvent&) = delete;
    CIoEvent& operator=(const CIoEvent&) = delete;
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h;
};

// A read with nothing received within a driver time-out: Windows reports
// success with 0 bytes, Wine ERROR_TIMEOUT.
bool IsQuietTimeout(BOOL ok, DWORD got, DWORD error) { return ok ? got == 0 : error == ERROR_TIMEOUT; }

}  // namespace

uint32_t BaudConstant(uint32_t baud) {
    for (uint32_t b : kBauds)
        if (b == baud) return b;
    return 0;
}

uint32_t BaudFromConstant(uint32_t speed) { return BaudConstant(speed); }

CSerCom::CSerCom() = default;

CSerCom::~CSerCom() {
    Close();
    CloseLog();
    int ev = m_cancelFd.exchange(-1);
    if (ev >= 0) CloseHandle(LongToHandle(ev));
}

bool CSerCom::Create() {
    if (m_cancelFd.load() >= 0) return true;
    // Auto-reset: the wait that takes the cancel clears it.
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!ev) return false;
    m_cancelFd.store(int(HandleToLong(ev)));
    return true;
}

int CSerCom::Open(const std::string& name, uint32_t baud) {
    Close();
    m_openFault = PF_OTHER;  // until the port is open or tells why not
    HANDLE h = OpenPortAlone(MapPortName(name));
    if (h == INVALID_HANDLE_VALUE) {
        m_openFault = PortFaultOf(int(GetLastError()));
        return SER_OPEN;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        CloseHandle(h);
        return SER_OPEN;
    }
    // Held from here on, also when the settings fail, until the next open or close.
    m_fd = fd;
    m_ownsSettings = true;

    uint32_t speed = BaudConstant(baud);
    if (speed == 0) return SER_OPEN;
    SetupComm(h, kQueueSize, kQueueSize);  // a recommendation to the driver only
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) return SER_OPEN;
    SetRawLine(dcb, speed, true, DTR_CONTROL_DISABLE);
    if (!SetCommState(h, &dcb)) return SER_OPEN;
    // No driver time-outs: every limit is the wait in Transfer().
    COMMTIMEOUTS to = {};
    if (!SetCommTimeouts(h, &to)) return SER_OPEN;
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_openFault = PF_NONE;
    return SER_OK;
}

void CSerCom::Attach(int fd) {
    Close();
    if (fd < 0) return;
    m_fd = fd;
    m_ownsSettings = false;
}

void CSerCom::Close() {
    if (m_fd < 0) return;
    _close(m_fd);  // closes the handle too
    m_fd = -1;
    m_ownsSettings = false;
}

int CSerCom::Read(void* buf, uint32_t n, uint32_t timeoutMs) {
    return Transfer(Dir::Read, static_cast<uint8_t*>(buf), n, timeoutMs);
}

int CSerCom::Write(const void* buf, uint32_t n, uint32_t timeoutMs) {
    // The buffer is only read on this path.
    return Transfer(Dir::Write, static_cast<uint8_t*>(const_cast<void*>(buf)), n, timeoutMs);
}

int CSerCom::Transfer(Dir dir, uint8_t* buf, uint32_t n, uint32_t timeoutMs) {
    HANDLE h = PortHandle(m_fd);
    if (h == INVALID_HANDLE_VALUE) return SER_FAIL;
    if (n == 0) return SER_OK;
    const bool reading = dir == Dir::Read;
    CIoEvent ioEvent;
    if (!ioEvent.Get()) return SER_FAIL;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    const int cancelEv = m_cancelFd.load();
    uint32_t done = 0;

    while (done < n) {
        OVERLAPPED ov = {};
        ov.hEvent = ioEvent.Get();
        DWORD got = 0;
        BOOL ok =
            reading ? ReadFile(h, buf + done, n - done, &got, &ov) : WriteFile(h, buf + done, n - done, &got, &ov);
        DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            ULONGLONG now = GetTickCount64();
            DWORD wait = now < deadline ? DWORD(deadline - now) : 0;
            HANDLE objs[2] = {ioEvent.Get(), cancelEv >= 0 ? LongToHandle(cancelEv) : nullptr};
            // The transfer's own event comes first: when it is signalled with
            // the cancel, the transfer wins and the cancel stays pending.
            DWORD w = WaitForMultipleObjects(cancelEv >= 0 ? 2 : 1, objs, FALSE, wait);
            if (w != WAIT_OBJECT_0) {
                // Abort, then wait until the driver no longer uses `ov` and the buffer.
                CancelIo(h);
                PurgeComm(h, reading ? PURGE_RXABORT : PURGE_TXABORT | PURGE_TXCLEAR);
                GetOverlappedResult(h, &ov, &got, TRUE);
                if (w == WAIT_OBJECT_0 + 1) return SER_CANCEL;
                return w == WAIT_TIMEOUT ? SER_TIMEOUT : SER_FAIL;
            }
            ok = GetOverlappedResult(h, &ov, &got, FALSE);
            error = ok ? ERROR_SUCCESS : GetLastError();
        }
        if (reading && IsQuietTimeout(ok, got, error)) {
            // A driver that ends reads early: go on until our own deadline.
            if (GetTickCount64() >= deadline) return SER_TIMEOUT;
            continue;
        }
        if (!ok || got == 0) return SER_FAIL;
        done += got;
    }
    Log(dir, buf, n);
    return SER_OK;
}

void CSerCom::PurgeRx() {
    HANDLE h = PortHandle(m_fd);
    if (h != INVALID_HANDLE_VALUE) PurgeComm(h, PURGE_RXCLEAR);
}

void CSerCom::Cancel() {
    int ev = m_cancelFd.load();
    if (ev >= 0) SetEvent(LongToHandle(ev));
}

bool CSerCom::TakeCancel() {
    int ev = m_cancelFd.load();
    return ev >= 0 && WaitForSingleObject(LongToHandle(ev), 0) == WAIT_OBJECT_0;
}

bool CSerCom::IsCancelPending() { return TakeCancel(); }

void CSerCom::OpenLog(const std::string& path) {
    CloseLog();
    // A stream, not a document: it grows with the traffic, so it is written
    // in place and replaced at each connection.
    m_logFd = _wopen(WidePath(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    m_writeHeaderDue = m_readHeaderDue = m_logFd >= 0;
}

void CSerCom::CloseLog() {
    if (m_logFd >= 0) _close(m_logFd);
    m_logFd = -1;
    m_writeHeaderDue = m_readHeaderDue = false;
}
