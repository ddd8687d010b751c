// The device's side of the melody download: answers the check and write
// requests of melodyloader and keeps the written blocks, descrambled, as the
// melody memory from MELODY_BASE_ADDRESS. Works on payloads; framing is the
// caller's. Not thread-safe: the owner serialises every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <nlohmann/json.hpp>

class CMelodyServer {
public:
    // Acknowledge codes of refusals.
    static constexpr uint8_t kAckRefused = 0x01;     // fault hook
    static constexpr uint8_t kAckBadLength = 0x02;   // n of 0 or over 128, or not the payload's length
    static constexpr uint8_t kAckBadAddress = 0x03;  // outside the melody memory

    static constexpr uint8_t kNoAnswer = 0xFF;  // in Write::ack: the write got no reply

    struct Write {
        uint16_t address;
        uint8_t count;
        uint8_t ack;  // the acknowledge sent, or kNoAnswer
    };

    // A melody request payload (80 <cmd> 00 00 ..., cmd 0x04 check or 0x01
    // write) -> the reply payload C0 <cmd> 00 <ack>. False, with `reply` left
    // empty, when the payload is not a melody request or when the device
    // stays silent (a fault hook): then nothing is to be sent.
    bool Handle(const uint8_t* payload, size_t n, std::vector<uint8_t>& reply);

    // {"memory": "<hex>"}. SetState ignores what it cannot read.
    nlohmann::json State() const;
    void SetState(const nlohmann::json& state);

    // The descrambled bytes from MELODY_BASE_ADDRESS up to the highest byte
    // written; gaps read as 0xFF, as erased memory.
    const std::vector<uint8_t>& Memory() const { return m_memory; }
    void ClearMemory() { m_memory.clear(); }

    // Fault hooks. Writes: after `skip` more writes, the next `count` are
    // refused with `ack` (or get no answer at all).
    void RefuseWrites(int count, int skip = 0, uint8_t ack = kAckRefused);
    void SilenceWrites(int count, int skip = 0);
    void RefuseChecks(bool on, uint8_t ack = kAckRefused);
    void SilenceChecks(bool on);

    // What came in.
    int Checks() const { return m_checks; }
    const std::vector<Write>& Writes() const { return m_writes; }

private:
    struct Fault {
        int skip = 0;
        int count = 0;
        uint8_t ack = 0;
        // True when this write is hit; counts the write either way.
        bool Take();
    };

    uint8_t StoreWrite(const uint8_t* p, size_t n);

    std::vector<uint8_t> m_memory;
    Fault m_refuseWrites;
    Fault m_silentWrites;
    bool m_refuseChecks = false;
    uint8_t m_checkAck = kAckRefused;
    bool m_silentChecks = false;
    int m_checks = 0;
    std::vector<Write> m_writes;
};
