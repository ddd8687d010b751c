// The byte transport under the link frames and the AT channel: a serial port
// (termios, or a Windows COM port) or the data channel of a modem call, with
// transfers of exactly n bytes inside a total time limit that a cancel from
// another thread can end early, and an optional traffic log.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "comm/PortFault.h"
#include "comm/PortName.h"

enum SerResult : int { SER_OK = 0, SER_FAIL = 1, SER_OPEN = 2, SER_TIMEOUT = 3, SER_CANCEL = 4 };

// What the link and the AT channel need of a transport.
class IByteIO {
public:
    virtual ~IByteIO() = default;
    // Exactly n bytes within timeoutMs in all: 0, 1, 3 or 4.
    virtual int Read(void* buf, uint32_t n, uint32_t timeoutMs) = 0;
    virtual int Write(const void* buf, uint32_t n, uint32_t timeoutMs) = 0;
    // Drops everything received and not read yet.
    virtual void PurgeRx() = 0;
    // True when a cancel is pending; the test consumes it.
    virtual bool IsCancelPending() = 0;
};

// Only the worker thread uses a CSerCom, except Cancel(), which any thread may
// call. The cancel works like an auto-reset event: one Cancel() ends exactly
// one wait, the one in progress or the next one that has to wait.
class CSerCom : public IByteIO {
public:
    CSerCom();
    ~CSerCom() override;
    CSerCom(const CSerCom&) = delete;
    CSerCom& operator=(const CSerCom&) = delete;

    // Creates the cancel event; false on failure.
    bool Create();
    // Closes any port still held, opens `name` (mapped with MapPortName) and
    // applies 8N1 raw, CTS/RTS handshake, DTR low and the speed.
    // 0, or 2 when the open or the settings fail; OpenFault() then tells why.
    int Open(const std::string& name, uint32_t baud);
    PortFault OpenFault() const { return m_openFault; }
    // Takes over the data channel of a modem call; no settings are applied.
    void Attach(int fd);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    int Read(void* buf, uint32_t n, uint32_t timeoutMs) override;
    int Write(const void* buf, uint32_t n, uint32_t timeoutMs) override;
    void PurgeRx() override;
    void Cancel();
    bool IsCancelPending() override;

    // Starts a new traffic log at `path` (an old file is replaced). When the
    // file cannot be created, logging stays off without a word.
    void OpenLog(const std::string& path);
    void CloseLog();
    bool LogEnabled() const { return m_logFd >= 0; }

private:
    enum class Dir { Read, Write };
    int Transfer(Dir dir, uint8_t* buf, uint32_t n, uint32_t timeoutMs);
    bool TakeCancel();
    void Log(Dir dir, const uint8_t* buf, uint32_t n);

    // On Windows the port and the log are C runtime descriptors of their
    // handles, and the cancel is an event handle (HandleToLong).
    int m_fd = -1;
    bool m_ownsSettings = false;      // opened here (not attached): exclusivity to release
    PortFault m_openFault = PF_NONE;  // of the last Open()
    std::atomic<int> m_cancelFd{-1};  // eventfd, read by Cancel() on any thread
    int m_logFd = -1;
    bool m_writeHeaderDue = false;
    bool m_readHeaderDue = false;
};

// The speed constant for a line speed in Bd (300..115200); 0 when unsupported.
// On Windows the constant is the speed itself.
uint32_t BaudConstant(uint32_t baud);
// The line speed in Bd for a speed constant; 0 when unknown.
uint32_t BaudFromConstant(uint32_t speed);
