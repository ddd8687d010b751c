// The serial line of melodyloader on Windows: a COM port with overlapped
// reads and writes, each waited for with its own time limit.
#include <windows.h>

#include <chrono>
#include <string>

#include "comm/Frame.h"
#include "comm/PortName.h"
#include "comm/PortOpen_win32.h"
#include "comm/RawLine_win32.h"
#include "melodyloader/MelodyPort.h"

namespace melody {

namespace {

constexpr DWORD kQueueSize = 4096;

// One overlapped transfer of up to n bytes within ms: the count moved, or -1
// when the line failed. A read that gets nothing in time moves 0 bytes
// (Windows reports that as success, Wine as ERROR_TIMEOUT).
long Transfer(HANDLE h, bool reading, uint8_t* buf, DWORD n, DWORD ms) {
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ev) return -1;
    OVERLAPPED ov = {};
    ov.hEvent = ev;
    DWORD got = 0;
    BOOL ok = reading ? ReadFile(h, buf, n, &got, &ov) : WriteFile(h, buf, n, &got, &ov);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!ok && error == ERROR_IO_PENDING) {
        if (WaitForSingleObject(ev, ms) != WAIT_OBJECT_0) {
            CancelIo(h);
            // Until the driver lets go of `ov` and the buffer.
            GetOverlappedResult(h, &ov, &got, TRUE);
            CloseHandle(ev);
            return 0;
        }
        ok = GetOverlappedResult(h, &ov, &got, FALSE);
        error = ok ? ERROR_SUCCESS : GetLastError();
    }
    CloseHandle(ev);
    if (ok) return long(got);
    return reading && error == ERROR_TIMEOUT ? 0 : -1;
}

}  // namespace

CMelodyPort::~CMelodyPort() { Close(); }

bool CMelodyPort::Open(const std::string& name) {
    Close();
    m_openFault = PF_OTHER;  // until the port is open or tells why not
    HANDLE h = OpenPortAlone(MapPortName(name));
    if (h == INVALID_HANDLE_VALUE) {
        m_openFault = PortFaultOf(int(GetLastError()));
        return false;
    }
    SetupComm(h, kQueueSize, kQueueSize);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS to = {};  // no driver time-outs: the waits below are the limits
    bool ok = GetCommState(h, &dcb);
    if (ok) {
        SetRawLine(dcb, CBR_57600, false, DTR_CONTROL_DISABLE);
        ok = SetCommState(h, &dcb) && SetCommTimeouts(h, &to);
    }
    if (!ok) {
        CloseHandle(h);
        return false;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_fd = int(HandleToLong(h));
    m_rxPos = m_rxLen = 0;
    m_openFault = PF_NONE;
    return true;
}

void CMelodyPort::Close() {
    if (m_fd < 0) return;
    CloseHandle(LongToHandle(m_fd));
    m_fd = -1;
    m_rxPos = m_rxLen = 0;
}

bool CMelodyPort::Send(const uint8_t* payload, size_t n) {
    if (m_fd < 0 || n > kMaxRequestLen) return false;
    uint8_t line[frame::MaxEncodedSize(kMaxRequestLen)];
    static_assert(sizeof line <= kMaxFrameLen);
    size_t len = frame::Encode(payload, n, line);
    const ULONGLONG deadline = GetTickCount64() + kWriteTimeoutMs;
    size_t done = 0;
    while (done < len) {
        ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        long w = Transfer(LongToHandle(m_fd), false, line + done, DWORD(len - done), DWORD(deadline - now));
        if (w <= 0) return false;
        done += size_t(w);
    }
    return true;
}

int CMelodyPort::NextByte(uint8_t& b, Clock::time_point deadline) {
    if (m_rxPos == m_rxLen) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        // One byte per read: with no driver time-outs a longer read would
        // wait for all of its bytes.
        long r = Transfer(LongToHandle(m_fd), true, m_rx, 1, DWORD(left));
        if (r < 0) return -1;
        if (r == 0) return 0;
        m_rxPos = 0;
        m_rxLen = size_t(r);
    }
    b = m_rx[m_rxPos++];
    return 1;
}

}  // namespace melody
