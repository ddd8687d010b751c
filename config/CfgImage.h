// The configuration image: every setting of one Vantrix device in one block of
// 2062 bytes, the native layout that memory and every written file hold.
// Texts are Windows-1250, zero-terminated in fixed fields; the credit minimum
// is a little-endian IEEE single.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct CreditRec {  // 14 bytes
    uint8_t mode;   // 0 do not check, 1 credit on the SIM, 2 query by calling `code`
    char code[9];
    float min_value;
};

struct AlarmRec {  // 165 bytes
    char call_number[21];
    char sms1_number[21];
    char sms2_number[21];
    char sms_text[101];
    uint8_t melody;
};

struct CallRec {  // 183 bytes
    char direction_completion[8];
    char denied_code[8];        // code used for directions that are not allowed
    char directions[16][8];     // allowed directions, an empty text leaves the slot free
    uint8_t direction_sim[16];  // 0 any SIM, 1 SIM 1, 2 SIM 2
    uint8_t reserved1[8];
    uint8_t sim_flags[2];      // bit 0 active, bit 1 default
    uint8_t sim_melody[2];     // melody when switching to the SIM
    uint8_t ring_after_init;   // 0.1 s
    uint8_t dial_delay;        // 0.1 s
    uint8_t dial_wait;         // 1 s
    uint8_t lookup_time;       // 1 s
    uint8_t max_digits;        // 3..24
    uint8_t dial_tone[2];      // 0 none, 1 continuous, 2 K+D, 3 K+K+D, 4 K+K+K+D
    uint8_t programming_char;  // 0 '#', 1 '*'
    uint8_t tariff;            // 0 none, 1..60 interval, 61 polarity reversal, 63 one pulse
    uint8_t reserved2[2];
};

struct MonthlyCallRec {  // 22 bytes
    char number[21];
    uint8_t melody;
};

struct RenumEntry {  // 43 bytes
    char input_prefix[21];
    char result[21];
    uint8_t mode;  // 0 substitute, 1 additional, 255 empty entry
};

struct RenumBlock {   // 218 bytes
    uint8_t enabled;  // 1 enabled
    uint8_t dtmf_delay;
    uint8_t dtmf_length;  // 3..10
    RenumEntry entries[5];
};

struct CfgImage {         // 2062 bytes
    uint8_t rs232_speed;  // index into 300..115200 Bd
    uint8_t rs232_flow_control;
    uint8_t ring_indication;  // bit 0 voice, 1 data, 2 fax, 3 "+CRING" format, 4 CLIP
    char sim_pin[2][9];
    uint8_t remote_access;
    uint8_t sms_handling;  // 0 delete, 1 pass to RS232, 2 forward
    char sms_forward_number[21];
    CreditRec credit[2];
    char info_sms_number[21];
    char reset_sms_text[101];
    char low_credit_sms_text[101];
    AlarmRec alarms[8];
    uint8_t audio_in_level;
    uint8_t audio_out_level;
    CallRec call;
    MonthlyCallRec monthly_call[2];
    RenumBlock renum;
};

#pragma pack(pop)

static_assert(sizeof(CreditRec) == 14 && offsetof(CreditRec, code) == 1 && offsetof(CreditRec, min_value) == 10);
static_assert(sizeof(AlarmRec) == 165 && offsetof(AlarmRec, sms1_number) == 21 &&
              offsetof(AlarmRec, sms2_number) == 42 && offsetof(AlarmRec, sms_text) == 63 &&
              offsetof(AlarmRec, melody) == 164);
static_assert(sizeof(CallRec) == 183 && offsetof(CallRec, denied_code) == 8 && offsetof(CallRec, directions) == 16 &&
              offsetof(CallRec, direction_sim) == 144 && offsetof(CallRec, reserved1) == 160 &&
              offsetof(CallRec, sim_flags) == 168 && offsetof(CallRec, sim_melody) == 170 &&
              offsetof(CallRec, ring_after_init) == 172 && offsetof(CallRec, dial_delay) == 173 &&
              offsetof(CallRec, dial_wait) == 174 && offsetof(CallRec, lookup_time) == 175 &&
              offsetof(CallRec, max_digits) == 176 && offsetof(CallRec, dial_tone) == 177 &&
              offsetof(CallRec, programming_char) == 179 && offsetof(CallRec, tariff) == 180 &&
              offsetof(CallRec, reserved2) == 181);
static_assert(sizeof(MonthlyCallRec) == 22 && offsetof(MonthlyCallRec, melody) == 21);
static_assert(sizeof(RenumEntry) == 43 && offsetof(RenumEntry, result) == 21 && offsetof(RenumEntry, mode) == 42);
static_assert(sizeof(RenumBlock) == 218 && offsetof(RenumBlock, dtmf_delay) == 1 &&
              offsetof(RenumBlock, dtmf_length) == 2 && offsetof(RenumBlock, entries) == 3);
static_assert(sizeof(CfgImage) == 2062);
static_assert(offsetof(CfgImage, rs232_flow_control) == 1 && offsetof(CfgImage, ring_indication) == 2 &&
              offsetof(CfgImage, sim_pin) == 3 && offsetof(CfgImage, remote_access) == 21 &&
              offsetof(CfgImage, sms_handling) == 22 && offsetof(CfgImage, sms_forward_number) == 23 &&
              offsetof(CfgImage, credit) == 44 && offsetof(CfgImage, info_sms_number) == 72 &&
              offsetof(CfgImage, reset_sms_text) == 93 && offsetof(CfgImage, low_credit_sms_text) == 194 &&
              offsetof(CfgImage, alarms) == 295 && offsetof(CfgImage, audio_in_level) == 1615 &&
              offsetof(CfgImage, audio_out_level) == 1616 && offsetof(CfgImage, call) == 1617 &&
              offsetof(CfgImage, monthly_call) == 1800 && offsetof(CfgImage, renum) == 1844);

// Layout ids: -2 native, -1 legacy file, 1 and 2 device layouts.
enum CfgLayoutId : int32_t {
    LAYOUT_NATIVE = -2,
    LAYOUT_LEGACY = -1,
    LAYOUT_DEVICE1 = 1,
    LAYOUT_DEVICE2 = 2,
};

inline constexpr uint32_t kNativeSize = 2062;
inline constexpr uint32_t kLegacySize = 1844;
inline constexpr uint32_t kDevice1Size = 1850;
inline constexpr uint32_t kDevice2Size = 1708;

// One row of the layout table. The export is absent for the layouts that are
// only read from files.
struct LayoutDesc {
    int32_t id;
    uint32_t size;
    void (*exportImage)(const CfgImage& img, uint8_t* buf);
    void (*importImage)(uint8_t* buf, CfgImage& img);  // may turn the buffer's byte order around
};

// The table in its search order: -2, 1, 2, -1.
extern const LayoutDesc kLayouts[4];
const LayoutDesc* FindLayout(int32_t id);

void SetDefaults(CfgImage& img);
void SetRenumDefaults(RenumBlock& renum);
// Terminates every text field that arrived without a terminator.
void TerminateTexts(CfgImage& img);
