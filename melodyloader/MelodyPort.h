// The serial line of melodyloader: its own small termios port, since the tool
// links nothing of the control panel's engine, only the frame encoder and receiver.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "comm/PortFault.h"
#include "melodyloader/MelodyProtocol.h"

namespace melody {

inline constexpr uint32_t kCheckReadTimeoutMs = 2000;
inline constexpr uint32_t kDownloadReadTimeoutMs = 6000;
inline constexpr uint32_t kWriteTimeoutMs = 6000;

// What the check and the download need of a line: one request frame out, one
// reply frame in.
class IMelodyLink {
public:
    enum Rx { kFrame, kTimeout, kBadFrame, kIoError };

    virtual ~IMelodyLink() = default;
    // Frames the payload and writes it; true when the whole frame went out
    // within the write time-out.
    virtual bool Send(const uint8_t* payload, size_t n) = 0;
    // Reads the next reply frame. Bytes before the start byte are skipped; on
    // kFrame `len` is the payload length, of which at most `capacity` bytes
    // are kept in `buf`.
    virtual Rx Receive(uint8_t* buf, size_t capacity, size_t& len) = 0;
    // The longest wait for a reply frame, from the start of Receive().
    virtual void SetReadTimeout(uint32_t ms) = 0;
    // Reads and drops what the line still brings (a reply come late or
    // twice) until it is quiet, so that it cannot answer the next request.
    virtual void Drain() = 0;
};

// 57600 Bd, 8N1, raw, no flow control, DTR and RTS inactive, not shared.
class CMelodyPort : public IMelodyLink {
public:
    CMelodyPort() = default;
    ~CMelodyPort() override;
    CMelodyPort(const CMelodyPort&) = delete;
    CMelodyPort& operator=(const CMelodyPort&) = delete;

    // False when the port cannot be opened or configured; OpenFault() tells why.
    bool Open(const std::string& name);
    PortFault OpenFault() const { return m_openFault; }
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    bool Send(const uint8_t* payload, size_t n) override;
    Rx Receive(uint8_t* buf, size_t capacity, size_t& len) override;
    void SetReadTimeout(uint32_t ms) override { m_readTimeoutMs = ms; }
    void Drain() override;

private:
    using Clock = std::chrono::steady_clock;
    // 1: a byte in `b`; 0: time-out; -1: the line failed.
    int NextByte(uint8_t& b, Clock::time_point deadline);

    int m_fd = -1;
    PortFault m_openFault = PF_NONE;  // of the last Open()
    uint32_t m_readTimeoutMs = kCheckReadTimeoutMs;
    uint8_t m_rx[kMaxFrameLen];
    size_t m_rxPos = 0;
    size_t m_rxLen = 0;
};

}  // namespace melody
