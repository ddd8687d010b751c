#include "sms/SMS.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "app/Bytes.h"
#include "app/FileIO.h"

namespace {

// Length fields of SMS.dat include the terminator.
constexpr uint32_t kMaxTextField = SMS_TEXT_MAX + 1;
constexpr uint32_t kMaxNumberField = SMS_NUMBER_LEN + 1;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A text ends at its first NUL.
std::string_view UpToNul(std::string_view s) {
    size_t z = s.find('\0');
    return z == std::string_view::npos ? s : s.substr(0, z);
}

// A field of `size` bytes read from a file: up to its terminator, and when it
// has none the last byte gives way to one.
std::string_view FileField(const char* p, size_t size) {
    if (size == 0) return {};
    size_t len = bytes::FieldLen(p, size);
    return std::string_view(p, len == size ? size - 1 : len);
}

void PutLE32(std::string& out, uint32_t v) {
    uint8_t b[4];
    bytes::PutLE32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

bool ReadLE32(CInFile& f, uint32_t& v) {
    uint8_t b[4];
    if (!f.ReadExact(b, 4)) return false;
    v = bytes::GetLE32(b);
    return true;
}

}  // namespace

void CSMS::CopyFrom(const CSMS& other) {
    if (this == &other) return;
    std::memcpy(m_Time, other.m_Time, sizeof m_Time);
    m_dwState = other.m_dwState;
    if (other.m_pszText)
        SetText(std::string_view(other.m_pszText.get()));
    else
        DropText();
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i) m_pszNumber[i] = other.m_pszNumber[i];
}

bool CSMS::FromDevice(const uint8_t* payload, size_t n) {
    *this = CSMS();
    if (!payload || n < 10) return false;
    std::memcpy(m_Time, payload + 4, sizeof m_Time);
    if (n <= 11) return true;

    const char* p = reinterpret_cast<const char*>(payload);
    std::string_view rest(p + 11, n - 11);
    size_t numEnd = rest.find('\0');
    std::string_view number = rest.substr(0, numEnd);
    AddNumber(number.substr(0, SMS_NUMBER_LEN));
    // Without the number's terminator there is no text in the payload.
    if (numEnd == std::string_view::npos) return true;
    std::string_view text = UpToNul(rest.substr(numEnd + 1));
    SetText(text.substr(0, SMS_TEXT_MAX));
    return true;
}

void CSMS::SetTime(const SysTime& t) {
    m_Time[0] = uint8_t(t.wDay);
    m_Time[1] = uint8_t(t.wMonth);
    m_Time[2] = uint8_t(t.wYear - 2000);
    m_Time[3] = uint8_t(t.wHour);
    m_Time[4] = uint8_t(t.wMinute);
    m_Time[5] = uint8_t(t.wSecond);
}

void CSMS::DropText() {
    m_pszText.reset();
    m_nTextSize = 0;
}

void CSMS::SetText(const char* text) {
    if (!text)
        DropText();
    else
        SetText(std::string_view(text));
}

void CSMS::SetText(std::string_view text) {
    text = UpToNul(text);
    // The buffer grows in steps of 160 and only shrinks when it is more than a
    // segment too big, so typing does not reallocate on every character.
    const size_t n = text.size() + 1;
    const size_t c = size_t(m_nTextSize);
    if (!m_pszText || n > c || n + SMS_SEGMENT_LEN < c) {
        const size_t size = n / SMS_SEGMENT_LEN * SMS_SEGMENT_LEN + SMS_SEGMENT_LEN + 1;
        DropText();
        char* buf = new (std::nothrow) char[size];
        if (!buf) return;
        m_pszText.reset(buf);
        m_nTextSize = int(size);
    }
    std::memcpy(m_pszText.get(), text.data(), text.size());
    m_pszText[text.size()] = 0;
}

size_t CSMS::GetTextLen() const { return m_pszText ? std::strlen(m_pszText.get()) : 0; }

int CSMS::GetNumberCount() const {
    int n = 0;
    while (n < SMS_MAX_NUMBERS && !m_pszNumber[n].empty()) ++n;
    return n;
}

const char* CSMS::GetNumber(int slot) const {
    if (slot < 0 || slot >= SMS_MAX_NUMBERS || m_pszNumber[slot].empty()) return nullptr;
    return m_pszNumber[slot].c_str();
}

int CSMS::AddNumber(std::string_view number) {
    number = UpToNul(number).substr(0, SMS_NUMBER_LEN);
    if (number.empty()) return -1;
    int slot = GetNumberCount();
    if (slot >= SMS_MAX_NUMBERS) return -1;
    m_pszNumber[slot].assign(number);
    return slot;
}

void CSMS::SetNumber(std::string_view number, int slot) {
    if (slot < 0 || slot >= SMS_MAX_NUMBERS) return;
    if (m_pszNumber[slot].empty()) {
        AddNumber(number);
        return;
    }
    number = UpToNul(number).substr(0, SMS_NUMBER_LEN);
    if (number.empty())
        RemoveNumber(slot);
    else
        m_pszNumber[slot].assign(number);
}

void CSMS::RemoveNumber(int slot) {
    if (slot < 0 || slot >= SMS_MAX_NUMBERS) return;
    for (int i = slot; i + 1 < SMS_MAX_NUMBERS; ++i) m_pszNumber[i] = std::move(m_pszNumber[i + 1]);
    m_pszNumber[SMS_MAX_NUMBERS - 1].clear();
}

void CSMS::ParseNumbers(std::string_view text) {
    const int oldCount = GetNumberCount();
    int k = 0;
    size_t i = 0;
    while (k < SMS_MAX_NUMBERS) {
        while (i < text.size() && !IsDigit(text[i]) && text[i] != '+') ++i;
        if (i >= text.size()) break;
        // A run starts with a digit or '+' and goes on over digits only, so a
        // second '+' starts the next number.
        const size_t start = i++;
        while (i < text.size() && IsDigit(text[i])) ++i;
        const size_t len = i - start < size_t(SMS_NUMBER_LEN) ? i - start : size_t(SMS_NUMBER_LEN);
        SetNumber(text.substr(start, len), k);
        ++k;
    }
    for (int n = oldCount - k; n > 0; --n) RemoveNumber(k);
}

std::string CSMS::JoinNumbers() const {
    std::string s;
    for (int i = 0; i < SMS_MAX_NUMBERS && !m_pszNumber[i].empty(); ++i) {
        if (i) s += ", ";
        s += m_pszNumber[i];
    }
    return s;
}

int CSMS::LastSegmentLen(size_t len) {
    if (len == 0) return 0;
    const int rest = int(len % SMS_SEGMENT_LEN);
    return rest ? rest : SMS_SEGMENT_LEN;
}

std::string CSMS::CounterText(size_t len) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d", LastSegmentLen(len), SegmentCount(len));
    return buf;
}

std::string CSMS::TimeText() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d  %d.%d.%d", m_Time[3], m_Time[4], m_Time[5], m_Time[0], m_Time[1],
                  m_Time[2] + 2000);
    return buf;
}

bool CSMS::ReadRecord(CInFile& f) {
    uint8_t head[10];
    if (!f.ReadExact(head, sizeof head)) return false;
    std::memcpy(m_Time, head, sizeof m_Time);
    m_dwState = bytes::GetLE32(head + 6);

    uint32_t t = 0;
    if (!ReadLE32(f, t) || t > kMaxTextField) return false;
    char text[kMaxTextField];
    if (!f.ReadExact(text, t)) return false;
    if (t > 0)
        SetText(FileField(text, t));
    else
        DropText();

    uint32_t count = 0;
    if (!ReadLE32(f, count)) return false;
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i) m_pszNumber[i].clear();
    // Numbers beyond the fourth are read and dropped; every one stays within
    // the number limit, so a bad count ends at the end of the file.
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t k = 0;
        if (!ReadLE32(f, k) || k > kMaxNumberField) return false;
        char number[kMaxNumberField];
        if (!f.ReadExact(number, k)) return false;
        if (i < uint32_t(SMS_MAX_NUMBERS)) AddNumber(FileField(number, k));
    }
    return true;
}

void CSMS::WriteRecord(std::string& out) const {
    out.append(reinterpret_cast<const char*>(m_Time), sizeof m_Time);
    PutLE32(out, m_dwState);
    const size_t len = GetTextLen();
    PutLE32(out, uint32_t(len + 1));
    out.append(GetText(), len + 1);
    const int count = GetNumberCount();
    PutLE32(out, uint32_t(count));
    for (int i = 0; i < count; ++i) {
        PutLE32(out, uint32_t(m_pszNumber[i].size() + 1));
        out.append(m_pszNumber[i].c_str(), m_pszNumber[i].size() + 1);
    }
}

void CSMS::ExportLine(std::string& out) const {
    out += TimeText();
    out += '\t';
    out += JoinNumbers();
    out += '\t';
    out.append(GetText(), GetTextLen());
    out += "\r\n";
}
