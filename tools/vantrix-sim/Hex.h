// Byte blocks of the simulator's state file as lower-case hex text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace simhex {

inline std::string ToHex(const std::vector<uint8_t>& v) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(v.size() * 2);
    for (uint8_t b : v) {
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

// False, and `out` untouched, for a text of odd length or with a non-hex digit.
inline bool FromHex(std::string_view s, std::vector<uint8_t>& out) {
    if (s.size() % 2) return false;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<uint8_t> v(s.size() / 2);
    for (size_t i = 0; i < v.size(); ++i) {
        const int hi = nibble(s[2 * i]), lo = nibble(s[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        v[i] = uint8_t(hi << 4 | lo);
    }
    out = std::move(v);
    return true;
}

// The bytes of hex text that a test or benchmark knows to be well-formed.
inline std::vector<uint8_t> Bytes(std::string_view s) {
    std::vector<uint8_t> v;
    FromHex(s, v);
    return v;
}

}  // namespace simhex
