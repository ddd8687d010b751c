// Byte-level helpers shared by the file formats, the configuration layouts and
// the device link: fixed-width integers in either byte order, and the
// fixed-size, zero-terminated text fields that records and frames carry.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "files and the image are little-endian as they lie in memory");

namespace bytes {

inline uint16_t GetBE16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t GetBE32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void PutBE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void PutBE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}
inline uint32_t GetLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Reverses n bytes in place: the link's big-endian fields are turned around
// where they lie.
inline void Reverse(uint8_t* p, size_t n) {
    for (size_t i = 0, j = n - 1; i < j; ++i, --j) std::swap(p[i], p[j]);
}

// A big-endian IEEE single from the wire.
inline float GetBEFloat(const uint8_t* p) { return std::bit_cast<float>(GetBE32(p)); }

// Length of a text field: up to its terminator, or the whole field when it has none.
inline size_t FieldLen(const char* field, size_t size) {
    const void* z = std::memchr(field, 0, size);
    return z ? size_t(static_cast<const char*>(z) - field) : size;
}

// The text of a field as a string, never reading past the field.
inline std::string FieldStr(const char* field, size_t size) { return std::string(field, FieldLen(field, size)); }
template <size_t N> std::string FieldStr(const char (&field)[N]) { return FieldStr(field, N); }

// Stores text into a field of `size` bytes: at most size - 1 characters, always
// terminated, the rest of the field zero.
inline void SetField(char* field, size_t size, std::string_view text) {
    size_t n = text.size() < size ? text.size() : size - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, size - n);
}
template <size_t N> void SetField(char (&field)[N], std::string_view text) { SetField(field, N, text); }

// A field that arrived full, without a terminator, loses its last byte so that
// it is terminated; a field that already holds a terminator is left as it is.
inline void Terminate(char* field, size_t size) {
    if (!std::memchr(field, 0, size)) field[size - 1] = 0;
}
template <size_t N> void Terminate(char (&field)[N]) { Terminate(field, N); }

}  // namespace bytes
