// Plain AT text to the device's GSM module over the open link, outside the
// frames: a command goes out as it is, the answer is read up to its final
// "OK" or "ERROR" line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class IByteIO;

enum AtResult : int { AT_ERROR = 13, AT_UNDEFINED = 14 };

class CAtChannel {
public:
    static constexpr size_t kBufferSize = 1024;
    static constexpr uint32_t kWriteTimeoutMs = 3000;
    static constexpr uint32_t kByteTimeoutMs = 5000;
    static constexpr int kMaxFields = 6;

    void SetIO(IByteIO* io) { m_io = io; }

    // 0, or the transport's result.
    int Send(std::string_view text);
    // 0 on "OK", 13 on "ERROR", else the transport's result. The answer lines
    // before the final line stay in the buffer; of a longer answer the first
    // 1023 bytes are kept.
    int Receive();
    std::string_view Answer() const { return {m_buf, m_len}; }

    // Splits the first answer line behind `prefix` into up to six fields; an
    // absent field stays empty-and-null (data() == nullptr). Returns -1 when the
    // answer does not start with the prefix, else the number of slots reached
    // (7 when a seventh field begins).
    static int ParseFields(std::string_view answer, std::string_view prefix, std::string_view (&fields)[kMaxFields]);

private:
    IByteIO* m_io = nullptr;
    char m_buf[kBufferSize] = {};
    size_t m_len = 0;
};
