// CSMS: text buffer sizing, recipients parsing, number slots, segment
// arithmetic and the device reply.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sms/SMS.h"

namespace {

std::vector<std::string> Numbers(const CSMS& s) {
    std::vector<std::string> v;
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i)
        if (const char* n = s.GetNumber(i)) v.emplace_back(n);
    return v;
}

using Strs = std::vector<std::string>;

}  // namespace

TEST(SmsRecord, FreshRecordIsNewInListZeroWithoutTextOrNumbers) {
    CSMS s;
    EXPECT_EQ(s.m_dwState, 0x80000000u);
    EXPECT_TRUE(s.IsNew());
    EXPECT_EQ(s.GetList(), SMS_LIST_RECEIVED);
    EXPECT_FALSE(s.HasText());
    EXPECT_STREQ(s.GetText(), "");
    EXPECT_EQ(s.GetTextSize(), 0);
    EXPECT_EQ(s.GetNumberCount(), 0);
    EXPECT_EQ(s.GetSegmentCount(), 0);
}

TEST(SmsRecord, TextBufferGrowsInSegmentStepsAndShrinksOnlyWhenASegmentTooBig) {
    // Sizes chosen on reallocation: the next multiple of 160 above n, plus 1.
    for (auto [len, size] : {std::pair{0, 161}, {158, 161}, {159, 321}, {160, 321}, {319, 481}}) {
        CSMS fresh;
        fresh.SetText(std::string(size_t(len), 'a'));
        EXPECT_EQ(fresh.GetTextSize(), size) << len;
    }

    CSMS s;
    s.SetText("");
    EXPECT_EQ(s.GetTextSize(), 161);  // n = 1
    s.SetText(std::string(160, 'a'));
    EXPECT_EQ(s.GetTextSize(), 161);  // n = 161 still fits
    s.SetText(std::string(161, 'a'));
    EXPECT_EQ(s.GetTextSize(), 321);  // n = 162 grows
    s.SetText(std::string(321, 'a'));
    EXPECT_EQ(s.GetTextSize(), 481);  // n = 322
    s.SetText(std::string(320, 'b'));
    EXPECT_EQ(s.GetTextSize(), 481);  // n = 321 is not below 481 - 160
    s.SetText(std::string(159, 'b'));
    EXPECT_EQ(s.GetTextSize(), 321);  // n = 160 < 321: shrinks
    s.SetText(std::string(1, 'b'));
    EXPECT_EQ(s.GetTextSize(), 161);  // n = 2 < 321 - 160
    EXPECT_STREQ(s.GetText(), "b");
    s.SetText(std::string(640, 'c'));
    EXPECT_EQ(s.GetTextSize(), 801);
    EXPECT_EQ(s.GetTextLen(), 640u);
    s.SetText(nullptr);
    EXPECT_FALSE(s.HasText());
    EXPECT_EQ(s.GetTextSize(), 0);
}

TEST(SmsRecord, TextEndsAtItsFirstNulAndKeepsBytesAsTyped) {
    CSMS s;
    s.SetText(std::string("ab\0cd", 5));
    EXPECT_STREQ(s.GetText(), "ab");
    const std::string cp1250 = "\xE8\x9A\r\n\xFD";  // č š CR LF ý: five characters
    s.SetText(cp1250);
    EXPECT_EQ(std::string(s.GetText()), cp1250);
    EXPECT_EQ(s.GetTextLen(), 5u);
}

TEST(SmsRecord, SegmentsAndCounterPairs) {
    struct Case {
        size_t len;
        int segments;
        const char* counter;
    } cases[] = {{0, 0, "0/0"},   {1, 1, "1/1"},     {159, 1, "159/1"}, {160, 1, "160/1"},
                 {161, 2, "1/2"}, {320, 2, "160/2"}, {640, 4, "160/4"}};
    for (const auto& c : cases) {
        CSMS s;
        s.SetText(std::string(c.len, 'x'));
        EXPECT_EQ(s.GetSegmentCount(), c.segments) << c.len;
        EXPECT_EQ(CSMS::CounterText(c.len), c.counter) << c.len;
    }
}

TEST(SmsRecord, ParseNumbersExamples) {
    struct Case {
        const char* text;
        Strs numbers;
    } cases[] = {
        {"+420123456789, 603123456", {"+420123456789", "603123456"}},
        {"111 222 333", {"111", "222", "333"}},
        {"++12", {"+", "+12"}},
        {"12345678901234567890", {"1234567890123456"}},
        {"1,2;3-4 5", {"1", "2", "3", "4"}},
        {"jan a petr", {}},
        {"", {}},
        {"602+603", {"602", "+603"}},
        {"\xE8"
         "603",
         {"603"}},  // a letter with a diacritic is a separator
    };
    for (const auto& c : cases) {
        CSMS s;
        s.ParseNumbers(c.text);
        EXPECT_EQ(Numbers(s), c.numbers) << c.text;
        EXPECT_EQ(s.GetNumberCount(), int(c.numbers.size())) << c.text;
    }
}

TEST(SmsRecord, ReparsingAShorterListLeavesOnlyTheNewNumbers) {
    CSMS s;
    s.ParseNumbers("1 2 3 4");
    ASSERT_EQ(s.GetNumberCount(), 4);
    s.ParseNumbers("77, 88");
    EXPECT_EQ(Numbers(s), (Strs{"77", "88"}));
    s.ParseNumbers("none");
    EXPECT_EQ(s.GetNumberCount(), 0);
    EXPECT_EQ(s.GetNumber(0), nullptr);
}

TEST(SmsRecord, NumberSlotsStayPacked) {
    CSMS s;
    EXPECT_EQ(s.AddNumber("1"), 0);
    EXPECT_EQ(s.AddNumber("2"), 1);
    EXPECT_EQ(s.AddNumber("3"), 2);
    EXPECT_EQ(s.AddNumber("4"), 3);
    EXPECT_EQ(s.AddNumber("5"), -1);
    s.RemoveNumber(1);
    EXPECT_EQ(Numbers(s), (Strs{"1", "3", "4"}));
    EXPECT_EQ(s.GetNumber(3), nullptr);
    EXPECT_EQ(s.GetNumberCount(), 3);

    s.RemoveNumber(4);
    s.RemoveNumber(-1);
    s.SetNumber("9", 7);
    EXPECT_EQ(s.GetNumber(4), nullptr);
    EXPECT_EQ(s.GetNumber(-1), nullptr);
    EXPECT_EQ(Numbers(s), (Strs{"1", "3", "4"}));

    s.SetNumber("33", 1);  // replaces
    s.SetNumber("55", 3);  // empty slot: first empty one
    EXPECT_EQ(Numbers(s), (Strs{"1", "33", "4", "55"}));
    s.SetNumber("", 1);  // an empty number does not leave a gap
    EXPECT_EQ(Numbers(s), (Strs{"1", "4", "55"}));
    EXPECT_EQ(s.AddNumber(""), -1);
    EXPECT_EQ(s.AddNumber("12345678901234567890"), 3);
    EXPECT_STREQ(s.GetNumber(3), "1234567890123456");
    EXPECT_EQ(s.JoinNumbers(), "1, 4, 55, 1234567890123456");
}

TEST(SmsRecord, CopyIsDeepAndKeepsStateWord) {
    CSMS a;
    a.SetText("hello");
    a.AddNumber("111");
    a.AddNumber("222");
    a.SetList(SMS_LIST_TOSEND);
    EXPECT_TRUE(a.IsNew());  // SetList keeps the new flag
    a.m_Time[0] = 3;
    a.m_Time[5] = 59;

    CSMS b(a);
    EXPECT_EQ(b.m_dwState, 0x80000002u);
    EXPECT_EQ(std::memcmp(b.m_Time, a.m_Time, 6), 0);
    EXPECT_STREQ(b.GetText(), "hello");
    EXPECT_NE(b.GetText(), a.GetText());
    a.SetText("changed");
    a.SetNumber("999", 0);
    EXPECT_STREQ(b.GetText(), "hello");
    EXPECT_STREQ(b.GetNumber(0), "111");

    CSMS c;
    c.AddNumber("1");
    c.AddNumber("2");
    c.AddNumber("3");
    c.SetText("x");
    CSMS empty;
    empty.SetNew(false);
    c.CopyFrom(empty);
    EXPECT_EQ(c.GetNumberCount(), 0);  // slots the source lacks are emptied
    EXPECT_FALSE(c.HasText());
    EXPECT_FALSE(c.IsNew());
    c.SetList(SMS_LIST_SENT);
    EXPECT_EQ(c.m_dwState, 1u);
}

TEST(SmsRecord, TimeStampFromLocalTimeAndItsTexts) {
    CSMS s;
    SysTime t;
    t.wYear = 2008;
    t.wMonth = 4;
    t.wDay = 3;
    t.wHour = 9;
    t.wMinute = 5;
    t.wSecond = 7;
    s.SetTime(t);
    EXPECT_EQ(s.m_Time[0], 3);
    EXPECT_EQ(s.m_Time[1], 4);
    EXPECT_EQ(s.m_Time[2], 8);
    EXPECT_EQ(s.TimeText(), "09:05:07  3.4.2008");
    t.wYear = 2300;  // modulo 256
    s.SetTime(t);
    EXPECT_EQ(s.m_Time[2], 44);
}

TEST(SmsRecord, FromDeviceReadsTheReply) {
    uint8_t reply[188] = {};
    const uint8_t stamp[6] = {2, 12, 8, 14, 3, 9};
    std::memcpy(reply + 4, stamp, 6);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the zeroed reply ends it
    std::memcpy(reply + 11, "+420603111222\0Ahoj", 18);
    CSMS s;
    s.SetText("old");
    s.AddNumber("old");
    s.SetList(SMS_LIST_SENT);
    ASSERT_TRUE(s.FromDevice(reply, sizeof reply));
    EXPECT_EQ(std::memcmp(s.m_Time, stamp, 6), 0);
    EXPECT_EQ(s.m_dwState, 0x80000000u);
    EXPECT_EQ(Numbers(s), (Strs{"+420603111222"}));
    EXPECT_STREQ(s.GetText(), "Ahoj");
}

TEST(SmsRecord, FromDeviceStaysInsideThePayload) {
    // A sender number of 20 characters is cut to 16; the text after it is
    // still found.
    std::vector<uint8_t> reply(188, 0);
    std::memcpy(reply.data() + 11, "12345678901234567890\0text", 25);
    CSMS s;
    ASSERT_TRUE(s.FromDevice(reply.data(), reply.size()));
    EXPECT_EQ(Numbers(s), (Strs{"1234567890123456"}));
    EXPECT_STREQ(s.GetText(), "text");

    // No terminator anywhere: the number runs to the end of the payload, there
    // is no text, and nothing past the payload is read (ASan checks the
    // exactly sized heap buffer).
    std::vector<uint8_t> full(40, '7');
    auto* heap = new uint8_t[full.size()];
    std::memcpy(heap, full.data(), full.size());
    ASSERT_TRUE(s.FromDevice(heap, full.size()));
    EXPECT_EQ(Numbers(s), (Strs{"7777777777777777"}));
    EXPECT_FALSE(s.HasText());

    // A terminated number and an unterminated text: the text ends with the payload.
    std::memcpy(heap + 11, "5\0", 2);  // NOLINT(bugprone-not-null-terminated-result): the text is unterminated
    ASSERT_TRUE(s.FromDevice(heap, full.size()));
    EXPECT_EQ(Numbers(s), (Strs{"5"}));
    EXPECT_EQ(std::string(s.GetText()), std::string(40 - 13, '7'));
    delete[] heap;

    // Too short for the time stamp: an empty record.
    EXPECT_FALSE(s.FromDevice(reply.data(), 9));
    EXPECT_EQ(s.GetNumberCount(), 0);
    EXPECT_FALSE(s.HasText());
    EXPECT_TRUE(s.FromDevice(reply.data(), 11));
    EXPECT_EQ(s.GetNumberCount(), 0);
}
