// The AT channel: reading an answer to its final line, and the field parser.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "comm/AtChannel.h"
#include "comm/SerCom.h"

namespace {

// Hands out the bytes of a prepared answer, then times out.
class TextIO : public IByteIO {
public:
    explicit TextIO(std::string text) : m_rx(text.begin(), text.end()) {}
    int Read(void* buf, uint32_t n, uint32_t) override {
        if (m_rx.size() < n) return SER_TIMEOUT;
        for (uint32_t i = 0; i < n; ++i) {
            static_cast<char*>(buf)[i] = m_rx.front();
            m_rx.pop_front();
        }
        return SER_OK;
    }
    int Write(const void* buf, uint32_t n, uint32_t) override {
        written.append(static_cast<const char*>(buf), n);
        return SER_OK;
    }
    void PurgeRx() override {}
    bool IsCancelPending() override { return false; }
    std::string written;

private:
    std::deque<char> m_rx;
};

int Parse(std::string_view answer, const char* prefix, std::string_view (&f)[6]) {
    return CAtChannel::ParseFields(answer, prefix, f);
}

}  // namespace

TEST(AtChannel, ReceiveKeepsTheLinesBeforeTheFinalOne) {
    for (std::string echo : {"AT+CGQREQ?\r\r\n", "\r\n"}) {
        TextIO io(echo + "+CGQREQ: 1,0,0,0,0,0\r\n\r\nOK\r\n");
        CAtChannel at;
        at.SetIO(&io);
        EXPECT_EQ(at.Receive(), 0);
        EXPECT_EQ(at.Answer(), "+CGQREQ: 1,0,0,0,0,0\r\n\r\n");
    }
    TextIO err("\r\nERROR\r\n");
    CAtChannel at;
    at.SetIO(&err);
    EXPECT_EQ(at.Receive(), AT_ERROR);
    TextIO cut("\r\n+CGQREQ: 1,0");
    at.SetIO(&cut);
    EXPECT_EQ(at.Receive(), SER_TIMEOUT);
}

TEST(AtChannel, OverlongAnswerKeepsItsStartAndStillEndsAtOk) {
    std::string longLine(3000, 'x');
    TextIO io("\r\n+CGDCONT: " + longLine + "\r\n\r\nOK\r\n");
    CAtChannel at;
    at.SetIO(&io);
    EXPECT_EQ(at.Receive(), 0);
    EXPECT_EQ(at.Answer().size(), CAtChannel::kBufferSize - 1);
    EXPECT_EQ(at.Answer().substr(0, 10), "+CGDCONT: ");
}

TEST(AtChannel, FieldsOfTheAnswers) {
    std::string_view f[6];
    EXPECT_EQ(Parse("+CGDCONT: 1,\"IP\",\"internet\",\"0.0.0.0\",0,1\r\n", "+CGDCONT:", f), 6);
    EXPECT_EQ(f[2], "internet");
    EXPECT_EQ(f[3], "0.0.0.0");
    EXPECT_EQ(f[5], "1");
    EXPECT_EQ(Parse("+CGDCONT: 1,\"IP\",\"my apn\",,0,0\r\n", "+CGDCONT:", f), 6);
    EXPECT_EQ(f[2], "my apn");
    EXPECT_EQ(f[3].data(), nullptr);  // the empty address is absent
    EXPECT_EQ(Parse("+CGDCONT: 1,\"IP\",\"\",\"\",0,0\r\n", "+CGDCONT:", f), 6);
    EXPECT_NE(f[2].data(), nullptr);  // an empty quoted field is present
    EXPECT_TRUE(f[2].empty());
    EXPECT_EQ(Parse("+CGQREQ: 1,0,0,0,0\r\n", "+CGQREQ: ", f), 5);
    EXPECT_EQ(Parse("+CGQREQ: 1,0,0,0,0,0,0\r\n", "+CGQREQ: ", f), 7);
    EXPECT_EQ(Parse("", "+CGQREQ: ", f), -1);
    EXPECT_EQ(Parse("+CGQREQ:1,2", "+CGQREQ: ", f), -1);
    EXPECT_EQ(Parse("+CGQREQ: 1, 2 ,3,4,5,6", "+CGQREQ: ", f), 6);
    EXPECT_EQ(f[1], "2");
}
