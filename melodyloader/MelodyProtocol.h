// The melody download protocol of the Vantrix, shared by melodyloader and the
// simulator's melody server: request and reply payloads (framed on the line by
// comm/Frame.h), the address range of the melody memory and the scrambling of
// the data bytes. Header only, so the simulator needs no melodyloader code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace melody {

inline constexpr uint8_t MELCMD_WRITE = 0x01;
inline constexpr uint8_t MELCMD_CHECK = 0x04;

inline constexpr uint8_t kRequestTag = 0x80;  // byte 0 of every request
inline constexpr uint8_t kReplyTag = 0xC0;    // byte 0 of every reply

inline constexpr uint32_t MELODY_BASE_ADDRESS = 0xD000;
// The address is 16 bits wide: no image may run past 0xFFFF.
inline constexpr size_t kMaxImageSize = 0x10000 - MELODY_BASE_ADDRESS;  // 12288
inline constexpr size_t kBlockSize = 128;

inline constexpr size_t kCheckRequestLen = 4;
inline constexpr size_t kWriteHeaderLen = 7;  // 80 01 00 00, address LE16, n
inline constexpr size_t kMaxRequestLen = kWriteHeaderLen + kBlockSize;
inline constexpr size_t kReplyLen = 4;         // C0, command, (not examined), acknowledge
inline constexpr size_t kMaxFrameLen = 516;    // an encoded frame never takes more
inline constexpr size_t kReplyCapacity = 256;  // reply bytes kept; the rest is only summed

// Constants of the device protocol: the device undoes the scrambling with the
// same two tables.
inline constexpr uint8_t ScrambleTable16[16] = {
    0x5A, 0xC3, 0x1E, 0x87, 0x3D, 0xF0, 0x69, 0xB2, 0x04, 0x9F, 0x76, 0xE1, 0x2B, 0x48, 0xD5, 0x6C,
};
inline constexpr uint8_t ScrambleTable7[7] = {0xA7, 0x13, 0x5E, 0xC9, 0x30, 0x8B, 0xF4};

// The key of the byte at a 16-bit device address; the lowest 256 addresses
// are not scrambled.
constexpr uint8_t ScrambleKey(uint32_t address) {
    address &= 0xFFFF;
    if (address <= 0xFF) return 0;
    return uint8_t(ScrambleTable16[address % 16] ^ ScrambleTable7[(address % 256) % 7]);
}

// XOR with a key of the address alone: the same call scrambles and descrambles.
inline void Scramble(uint8_t* data, size_t n, uint32_t address) {
    for (size_t i = 0; i < n; ++i) data[i] ^= ScrambleKey(address + uint32_t(i));
}

inline size_t BuildCheckRequest(uint8_t* out) {
    out[0] = kRequestTag;
    out[1] = MELCMD_CHECK;
    out[2] = 0x00;
    out[3] = 0x00;
    return kCheckRequestLen;
}

// `out` holds kWriteHeaderLen + n bytes; n is 1 to kBlockSize. The plain data
// is copied and scrambled in the request, never in place.
inline size_t BuildWriteRequest(uint16_t address, const uint8_t* data, size_t n, uint8_t* out) {
    out[0] = kRequestTag;
    out[1] = MELCMD_WRITE;
    out[2] = 0x00;
    out[3] = 0x00;
    out[4] = uint8_t(address);  // low byte first, unlike the control panel's link
    out[5] = uint8_t(address >> 8);
    out[6] = uint8_t(n);
    std::memcpy(out + kWriteHeaderLen, data, n);
    Scramble(out + kWriteHeaderLen, n, address);
    return kWriteHeaderLen + n;
}

enum class Reply {
    Foreign,   // bytes 0-1 are not C0 <command>: not an answer to this request
    Accepted,  // C0 <command> .. 00
    Refused,   // C0 <command> with a non-zero acknowledge, or too short to carry one
};

// Byte 2 is not examined. Bytes a short reply lacks never count as a match.
inline Reply ClassifyReply(const uint8_t* p, size_t n, uint8_t command) {
    if (n < 2 || p[0] != kReplyTag || p[1] != command) return Reply::Foreign;
    if (n < kReplyLen || p[3] != 0) return Reply::Refused;
    return Reply::Accepted;
}

}  // namespace melody
