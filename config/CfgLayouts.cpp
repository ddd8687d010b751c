// Defaults of the image and its conversions to and from the device and legacy
// layouts.
#include <cstring>
#include <string>

#include "app/Bytes.h"
#include "config/CfgImage.h"

void SetRenumDefaults(RenumBlock& renum) {
    renum.enabled = 1;
    renum.dtmf_delay = 5;
    renum.dtmf_length = 4;
    for (auto& e : renum.entries) {
        std::memset(e.input_prefix, 0, sizeof e.input_prefix);
        std::memset(e.result, 0, sizeof e.result);
        e.mode = 255;
    }
}

void SetDefaults(CfgImage& img) {
    std::memset(&img, 0, sizeof img);
    img.rs232_speed = 8;
    img.ring_indication = 6;
    bytes::SetField(img.sim_pin[0], "8365");
    bytes::SetField(img.sim_pin[1], "8365");
    for (int k = 0; k < 8; ++k) {
        bytes::SetField(img.alarms[k].sms_text, "Alarm " + std::to_string(k + 1));
    }
    img.audio_in_level = 64;
    img.audio_out_level = 64;
    CallRec& c = img.call;
    for (int d = 0; d < 9; ++d) {
        bytes::SetField(c.directions[d], std::to_string(d + 1));
    }
    bytes::SetField(c.directions[9], "0");
    c.sim_flags[0] = 3;
    c.ring_after_init = 8;
    c.dial_delay = 3;
    c.dial_wait = 60;
    c.lookup_time = 5;
    c.max_digits = 9;
    c.dial_tone[0] = 2;
    c.dial_tone[1] = 3;
    SetRenumDefaults(img.renum);
}

void TerminateTexts(CfgImage& img) {
    using bytes::Terminate;
    for (auto& pin : img.sim_pin) Terminate(pin);
    Terminate(img.sms_forward_number);
    for (auto& cr : img.credit) Terminate(cr.code);
    Terminate(img.info_sms_number);
    Terminate(img.reset_sms_text);
    Terminate(img.low_credit_sms_text);
    for (auto& a : img.alarms) {
        Terminate(a.call_number);
        Terminate(a.sms1_number);
        Terminate(a.sms2_number);
        Terminate(a.sms_text);
    }
    Terminate(img.call.direction_completion);
    Terminate(img.call.denied_code);
    for (auto& d : img.call.directions) Terminate(d);
    for (auto& m : img.monthly_call) Terminate(m.number);
    for (auto& e : img.renum.entries) {
        Terminate(e.input_prefix);
        Terminate(e.result);
    }
}

namespace {

// One field of the native layout and where a device layout keeps it. Text
// fields move up to their terminator and are cut to the device field's size;
// the others move as raw bytes.
struct FieldMap {
    uint16_t native;
    uint16_t device;
    uint16_t nativeSize;
    uint16_t deviceSize;
    bool text;
};

constexpr uint16_t kHeader = 6;
constexpr uint16_t kCredit1 = 44 + 10;  // native offsets of the two credit minimum values
constexpr uint16_t kCredit2 = 58 + 10;

// The tables keep their columns.
// clang-format off
// Fields common to both device layouts up to the alarms.
#define VTX_FIELDS_HEAD(resetDev, resetSize, lowDev, lowSize)                                  \
    {0, 6, 3, 3, false}, {3, 9, 9, 9, true}, {12, 18, 9, 9, true}, {21, 27, 1, 1, false},       \
        {22, 28, 1, 1, false}, {23, 29, 21, 21, true}, {44, 50, 14, 14, false},                \
        {58, 64, 14, 14, false}, {72, 78, 21, 21, true}, {93, resetDev, 101, resetSize, true}, \
        {194, lowDev, 101, lowSize, true}

constexpr FieldMap kLayout1[] = {
    VTX_FIELDS_HEAD(99, 101, 200, 101),
    {295, 295 + kHeader, 8 * 165, 8 * 165, false},  // the alarms, whole
    {1615, 1615 + kHeader, 2, 2, false},
    {1617, 1617 + kHeader, 183, 183, false},
    {1800, 1800 + kHeader, 22, 22, false},
    {1822, 1822 + kHeader, 22, 22, false},
};

#define VTX_ALARM2(k)                                                       \
    {uint16_t(295 + 165 * (k)), uint16_t(229 + 129 * (k)), 63, 63, false},      \
        {uint16_t(295 + 165 * (k) + 63), uint16_t(229 + 129 * (k) + 63), 101, 65, true}, \
        {uint16_t(295 + 165 * (k) + 164), uint16_t(229 + 129 * (k) + 128), 1, 1, false}

constexpr FieldMap kLayout2[] = {
    VTX_FIELDS_HEAD(99, 65, 164, 65),
    VTX_ALARM2(0), VTX_ALARM2(1), VTX_ALARM2(2), VTX_ALARM2(3),
    VTX_ALARM2(4), VTX_ALARM2(5), VTX_ALARM2(6), VTX_ALARM2(7),
    {1615, 1261, 2, 2, false},
    {1617, 1263, 183, 183, false},
    {1800, 1446, 22, 22, false},
    {1822, 1468, 22, 22, false},
    {1844, 1490, 218, 218, false},
};

#undef VTX_ALARM2
#undef VTX_FIELDS_HEAD
// clang-format on

// The big-endian fields of a device buffer: the layout number and both
// credit minimum values.
void SwapDeviceFields(uint8_t* buf) {
    bytes::Reverse(buf, 2);
    bytes::Reverse(buf + kCredit1 + kHeader, 4);
    bytes::Reverse(buf + kCredit2 + kHeader, 4);
}

template <size_t N>
void ExportFields(const FieldMap (&map)[N], int16_t layout, uint32_t size, const CfgImage& img, uint8_t* buf) {
    auto src = reinterpret_cast<const uint8_t*>(&img);
    std::memset(buf, 0, size);
    std::memcpy(buf, &layout, 2);  // little-endian here, turned around below
    for (const auto& f : map) {
        if (f.text) {
            size_t n = bytes::FieldLen(reinterpret_cast<const char*>(src + f.native), f.nativeSize);
            if (n > f.deviceSize - 1u) n = f.deviceSize - 1u;
            std::memcpy(buf + f.device, src + f.native, n);
        } else {
            std::memcpy(buf + f.device, src + f.native, f.nativeSize);
        }
    }
    SwapDeviceFields(buf);
}

template <size_t N> void ImportFields(const FieldMap (&map)[N], uint8_t* buf, CfgImage& img) {
    SwapDeviceFields(buf);
    auto dst = reinterpret_cast<uint8_t*>(&img);
    for (const auto& f : map) {
        if (f.text) {
            // A field that arrives full loses its last byte to the terminator.
            size_t n = bytes::FieldLen(reinterpret_cast<const char*>(buf + f.device), f.deviceSize - 1u);
            if (n > f.nativeSize - 1u) n = f.nativeSize - 1u;
            std::memset(dst + f.native, 0, f.nativeSize);
            std::memcpy(dst + f.native, buf + f.device, n);
        } else {
            std::memcpy(dst + f.native, buf + f.device, f.nativeSize);
        }
    }
    TerminateTexts(img);
}

void Export1(const CfgImage& img, uint8_t* buf) { ExportFields(kLayout1, 1, kDevice1Size, img, buf); }
void Export2(const CfgImage& img, uint8_t* buf) { ExportFields(kLayout2, 2, kDevice2Size, img, buf); }

void Import1(uint8_t* buf, CfgImage& img) {
    ImportFields(kLayout1, buf, img);
    SetRenumDefaults(img.renum);
}
void Import2(uint8_t* buf, CfgImage& img) { ImportFields(kLayout2, buf, img); }

void ImportNative(uint8_t* buf, CfgImage& img) {
    std::memcpy(&img, buf, kNativeSize);
    TerminateTexts(img);
}

void ImportLegacy(uint8_t* buf, CfgImage& img) {
    std::memcpy(&img, buf, kLegacySize);
    SetRenumDefaults(img.renum);
    TerminateTexts(img);
}

}  // namespace

const LayoutDesc kLayouts[4] = {
    {LAYOUT_NATIVE, kNativeSize, nullptr, ImportNative},
    {LAYOUT_DEVICE1, kDevice1Size, Export1, Import1},
    {LAYOUT_DEVICE2, kDevice2Size, Export2, Import2},
    {LAYOUT_LEGACY, kLegacySize, nullptr, ImportLegacy},
};

const LayoutDesc* FindLayout(int32_t id) {
    for (const auto& l : kLayouts)
        if (l.id == id) return &l;
    return nullptr;
}
