#include "comm/AtChannel.h"

#include <cstring>

#include "comm/SerCom.h"

int CAtChannel::Send(std::string_view text) {
    if (!m_io) return 1;
    return m_io->Write(text.data(), uint32_t(text.size()), kWriteTimeoutMs);
}

int CAtChannel::Receive() {
    m_len = 0;
    m_buf[0] = 0;
    if (!m_io) return 1;
    uint8_t c = 0;
    // The echo of the command, or the empty line in front of an answer
    // without echo, ends at the first line feed.
    do {
        int r = m_io->Read(&c, 1, kByteTimeoutMs);
        if (r != 0) return r;
    } while (c != '\n');

    // The final line is recognised by its first bytes, also when the buffer
    // is full and the line itself is no longer kept.
    char head[5];
    size_t headLen = 0;
    size_t lineStart = 0;
    for (;;) {
        int r = m_io->Read(&c, 1, kByteTimeoutMs);
        if (r != 0) return r;
        if (c == '\n') {
            std::string_view line(head, headLen);
            if (line.substr(0, 2) == "OK") {
                m_len = lineStart;
                m_buf[m_len] = 0;
                return 0;
            }
            if (line.substr(0, 5) == "ERROR") {
                m_len = lineStart;
                m_buf[m_len] = 0;
                return AT_ERROR;
            }
            headLen = 0;
            if (m_len < kBufferSize - 1) m_buf[m_len++] = char(c);
            lineStart = m_len;
            m_buf[m_len] = 0;
            continue;
        }
        if (headLen < sizeof head) head[headLen++] = char(c);
        if (m_len < kBufferSize - 1) {
            m_buf[m_len++] = char(c);
            m_buf[m_len] = 0;
        }
    }
}

int CAtChannel::ParseFields(std::string_view answer, std::string_view prefix, std::string_view (&fields)[kMaxFields]) {
    if (answer.substr(0, prefix.size()) != prefix) return -1;
    for (auto& f : fields) f = {};
    int index = 0;
    bool inField = false, quoted = false;
    size_t start = 0;
    auto close = [&](size_t end) {
        if (inField) fields[index] = answer.substr(start, end - start);
        inField = false;
    };
    size_t i = prefix.size();
    for (; index < kMaxFields; ++i) {
        unsigned char c = i < answer.size() ? static_cast<unsigned char>(answer[i]) : 0;
        if (c < 0x20) {
            close(i);
            break;
        }
        if (c == ',') {
            close(i);
            ++index;
            continue;
        }
        if (!inField) {
            if (c == '"') {
                inField = quoted = true;
                start = i + 1;
                fields[index] = answer.substr(start, 0);  // present, even if it stays empty
            } else if (c > 0x20) {
                inField = true;
                quoted = false;
                start = i;
            }
        } else if ((!quoted && c == ' ') || (quoted && c == '"')) {
            close(i);
        }
    }
    return index + 1;
}
