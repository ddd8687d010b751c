// One short message: time stamp, state word (new flag and list number), up to
// four phone numbers and the text. Texts and numbers are single-byte
// Windows-1250 as typed; nothing is converted, so every byte counts as one
// character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/LocalTime.h"

class CInFile;

inline constexpr int SMS_MAX_NUMBERS = 4;
inline constexpr int SMS_NUMBER_LEN = 16;    // characters per number, without the terminator
inline constexpr int SMS_SEGMENT_LEN = 160;  // characters per SMS segment
inline constexpr int SMS_TEXT_MAX = 640;     // longest text (four segments)

inline constexpr int SMS_LIST_RECEIVED = 0;
inline constexpr int SMS_LIST_SENT = 1;
inline constexpr int SMS_LIST_TOSEND = 2;
inline constexpr int SMS_LIST_COUNT = 3;
inline constexpr int SMS_LIST_CAPACITY = 5;

inline constexpr uint32_t SMS_STATE_NEW = 0x80000000u;  // not yet opened by the user
inline constexpr uint32_t SMS_STATE_LIST = 0x7FFFFFFFu;

class CSMS {
public:
    CSMS() = default;
    CSMS(const CSMS& other) { CopyFrom(other); }
    CSMS& operator=(const CSMS& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    ~CSMS() = default;

    // Time stamp, state word and a deep copy of the text and the numbers.
    void CopyFrom(const CSMS& other);

    // Fills the record from the reply payload of the device's read-SMS command:
    // time stamp in bytes 4-9, sender number from byte 11 (cut to 16
    // characters), the text right after the number's terminator. Nothing past
    // payload[n - 1] is read; a number or text without a terminator ends at the
    // end of the payload. Returns false when the payload is too short to hold
    // the time stamp (the record is then left empty).
    bool FromDevice(const uint8_t* payload, size_t n);

    // Year byte = year - 2000, modulo 256.
    void SetTime(const SysTime& t);

    // Replaces the text; a text ends at its first NUL. nullptr drops the text.
    void SetText(std::string_view text);
    void SetText(const char* text);
    // The stored text; an empty text when the record has none.
    const char* GetText() const { return m_pszText ? m_pszText.get() : ""; }
    bool HasText() const { return m_pszText != nullptr; }
    size_t GetTextLen() const;
    // Allocated size of the text buffer (0 without a text).
    int GetTextSize() const { return m_nTextSize; }

    int GetNumberCount() const;
    // nullptr for an empty slot and for slots outside 0..3.
    const char* GetNumber(int slot) const;
    // Stores a copy (at most 16 characters) in the first empty slot; -1 when
    // all four are filled or the number is empty.
    int AddNumber(std::string_view number);
    // Outside 0..3: nothing. Empty slot: AddNumber. Filled slot: replaced; an
    // empty number removes the slot so that the filled slots stay packed.
    void SetNumber(std::string_view number, int slot);
    // Frees the slot and moves the following slots down; outside 0..3: nothing.
    void RemoveNumber(int slot);
    // Parses the free recipients text into the slots (runs of digits, each
    // starting with a digit or '+'), at most four numbers of 16 characters.
    void ParseNumbers(std::string_view text);
    // All numbers joined by ", ".
    std::string JoinNumbers() const;

    int GetSegmentCount() const { return SegmentCount(GetTextLen()); }

    bool IsNew() const { return (m_dwState & SMS_STATE_NEW) != 0; }
    void SetNew(bool isNew) { m_dwState = isNew ? (m_dwState | SMS_STATE_NEW) : (m_dwState & ~SMS_STATE_NEW); }
    int GetList() const { return int(m_dwState & SMS_STATE_LIST); }
    void SetList(int list) { m_dwState = (m_dwState & SMS_STATE_NEW) | (uint32_t(list) & SMS_STATE_LIST); }

    // One record of SMS.dat. Reading fails on a short file and on length
    // fields beyond the store's limits (text 641, number 17 bytes with the
    // terminator); the record then holds what was read so far.
    bool ReadRecord(CInFile& f);
    // Appends the record's SMS.dat bytes.
    void WriteRecord(std::string& out) const;
    // Appends one line of the text export:
    // "hh:mm:ss  d.m.yyyy" TAB numbers TAB text CR LF.
    void ExportLine(std::string& out) const;

    // "hh:mm:ss  d.m.yyyy", as the lists show the stamp.
    std::string TimeText() const;

    // Segment arithmetic of a text of `len` characters: segments needed, and
    // the editor counter "last segment length/segments".
    static int SegmentCount(size_t len) { return int((len + SMS_SEGMENT_LEN - 1) / SMS_SEGMENT_LEN); }
    static int LastSegmentLen(size_t len);
    static std::string CounterText(size_t len);

    // Day, month, year - 2000, hour, minute, second.
    uint8_t m_Time[6] = {};
    // Bit 31 new flag, bits 0-30 list number.
    uint32_t m_dwState = SMS_STATE_NEW;

private:
    void DropText();

    // Empty string = empty slot; filled slots are packed from slot 0.
    std::string m_pszNumber[SMS_MAX_NUMBERS];
    std::unique_ptr<char[]> m_pszText;
    int m_nTextSize = 0;
};
