// The configuration image: defaults byte for byte and the layout conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "config/CfgImage.h"
#include "tests/support/ImageBytes.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, size_t off, const char* text) { std::memcpy(&b[off], text, std::strlen(text)); }

// The default image written out from the field table by offset, independent of
// the structure that the product uses.
Bytes ExpectedDefaults() {
    Bytes b(2062, 0);
    b[0] = 8;  // 57600 Bd
    b[2] = 6;  // data and fax calls
    Put(b, 3, "8365");
    Put(b, 12, "8365");
    for (int k = 1; k <= 8; ++k) {
        std::string text = "Alarm " + std::to_string(k);
        Put(b, 295 + 165 * (k - 1) + 63, text.c_str());
    }
    b[1615] = 64;
    b[1616] = 64;
    for (int d = 1; d <= 9; ++d) Put(b, 1633 + 8 * (d - 1), std::to_string(d).c_str());
    Put(b, 1633 + 8 * 9, "0");
    b[1785] = 3;
    b[1789] = 8;
    b[1790] = 3;
    b[1791] = 60;
    b[1792] = 5;
    b[1793] = 9;
    b[1794] = 2;
    b[1795] = 3;
    b[1844] = 1;
    b[1845] = 5;
    b[1846] = 4;
    for (int e = 0; e < 5; ++e) b[1847 + 43 * e + 42] = 255;
    return b;
}

CfgImage Defaults() {
    CfgImage img;
    SetDefaults(img);
    return img;
}

Bytes Export(int32_t id, const CfgImage& img) {
    const LayoutDesc* l = FindLayout(id);
    Bytes buf(l->size, 0xEE);
    l->exportImage(img, buf.data());
    return buf;
}

CfgImage Import(int32_t id, Bytes buf, const CfgImage& before) {
    CfgImage img = before;
    FindLayout(id)->importImage(buf.data(), img);
    return img;
}

// An image with every text filled to its limit and distinctive bytes
// everywhere else, so that a misplaced field shows.
CfgImage Busy() {
    CfgImage img = Defaults();
    auto p = reinterpret_cast<uint8_t*>(&img);
    for (size_t i = 0; i < sizeof img; ++i) p[i] = uint8_t(0x21 + i % 90);
    TerminateTexts(img);
    img.credit[0].min_value = 12.5f;
    img.credit[1].min_value = -3.25f;
    return img;
}

}  // namespace

TEST(CfgImage, DefaultsAreByteExact) { EXPECT_EQ(ImageBytes(Defaults()), ExpectedDefaults()); }

TEST(CfgImage, LayoutTableSearchOrderAndSizes) {
    ASSERT_EQ(kLayouts[0].id, -2);
    ASSERT_EQ(kLayouts[1].id, 1);
    ASSERT_EQ(kLayouts[2].id, 2);
    ASSERT_EQ(kLayouts[3].id, -1);
    EXPECT_EQ(FindLayout(-2)->size, 2062u);
    EXPECT_EQ(FindLayout(1)->size, 1850u);
    EXPECT_EQ(FindLayout(2)->size, 1708u);
    EXPECT_EQ(FindLayout(-1)->size, 1844u);
    EXPECT_EQ(FindLayout(0), nullptr);
    EXPECT_EQ(FindLayout(3), nullptr);
    EXPECT_EQ(FindLayout(-2)->exportImage, nullptr);
    EXPECT_EQ(FindLayout(-1)->exportImage, nullptr);
}

TEST(CfgImage, CreditFloatIsLittleEndianInImageAndBigEndianOnTheWire) {
    CfgImage img = Defaults();
    img.credit[0].min_value = 12.5f;
    img.credit[1].min_value = 12.5f;
    Bytes image = ImageBytes(img);
    EXPECT_EQ(Bytes(image.begin() + 54, image.begin() + 58), (Bytes{0x00, 0x00, 0x48, 0x41}));
    for (int32_t id : {1, 2}) {
        Bytes wire = Export(id, img);
        EXPECT_EQ(Bytes(wire.begin() + 60, wire.begin() + 64), (Bytes{0x41, 0x48, 0x00, 0x00})) << id;
        EXPECT_EQ(Bytes(wire.begin() + 74, wire.begin() + 78), (Bytes{0x41, 0x48, 0x00, 0x00})) << id;
        EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 6), (Bytes{0, uint8_t(id), 0, 0, 0, 0}));
        EXPECT_EQ(Import(id, wire, Defaults()).credit[1].min_value, 12.5f);
    }
}

TEST(CfgImage, Layout1IsNativeShiftedBySixAndRoundTrips) {
    CfgImage img = Busy();
    Bytes wire = Export(1, img);
    Bytes native = ImageBytes(img);
    for (size_t i = 0; i < 1844; ++i) {
        if ((i >= 54 && i < 58) || (i >= 68 && i < 72)) continue;  // the floats
        // Bytes after a text terminator are not significant.
        if (native[i] != wire[i + 6] && wire[i + 6] != 0) FAIL() << "offset " << i;
    }
    CfgImage back = Import(1, wire, img);
    CfgImage expected = img;
    SetRenumDefaults(expected.renum);
    EXPECT_EQ(ImageBytes(back), ImageBytes(expected));
}

TEST(CfgImage, Layout2PlacesEveryFieldAndCutsLongTextsTo64) {
    CfgImage img = Defaults();
    std::memset(img.reset_sms_text, 'r', 100);
    std::memset(img.low_credit_sms_text, 'l', 100);
    std::memset(img.alarms[7].sms_text, 'a', 100);
    std::strcpy(img.alarms[7].call_number, "777");
    img.alarms[7].melody = 42;
    img.call.reserved1[0] = 0xA1;
    img.renum.entries[4].mode = 1;
    std::strcpy(img.renum.entries[4].result, "5555");
    Bytes wire = Export(2, img);

    auto text = [&](size_t off) { return std::string(reinterpret_cast<char*>(&wire[off])); };
    EXPECT_EQ(text(99), std::string(64, 'r'));
    EXPECT_EQ(text(164), std::string(64, 'l'));
    EXPECT_EQ(wire[99 + 64], 0);
    EXPECT_EQ(wire[164 + 64], 0);
    size_t alarm8 = 229 + 129 * 7;
    EXPECT_EQ(text(alarm8), "777");
    EXPECT_EQ(text(alarm8 + 63), std::string(64, 'a'));
    EXPECT_EQ(wire[alarm8 + 128], 42);
    EXPECT_EQ(text(9), "8365");
    EXPECT_EQ(wire[1261], 64);
    EXPECT_EQ(wire[1263 + 160], 0xA1);
    EXPECT_EQ(text(1490 + 3 + 43 * 4 + 21), "5555");
    EXPECT_EQ(wire[1707], 1);  // mode of entry 5, the last byte

    CfgImage back = Import(2, wire, Defaults());
    CfgImage expected = img;
    std::memset(expected.reset_sms_text + 64, 0, 37);
    std::memset(expected.low_credit_sms_text + 64, 0, 37);
    std::memset(expected.alarms[7].sms_text + 64, 0, 37);
    EXPECT_EQ(ImageBytes(back), ImageBytes(expected));
}

TEST(CfgImage, Layout2RoundTripOfShortTextsIsExact) {
    CfgImage img = Defaults();
    std::strcpy(img.reset_sms_text, "Restart");
    std::strcpy(img.alarms[2].sms_text, "Požár");
    img.credit[0].mode = 2;
    std::strcpy(img.credit[0].code, "*101#");
    img.credit[0].min_value = 99.75f;
    CfgImage back = Import(2, Export(2, img), Busy());
    EXPECT_EQ(ImageBytes(back), ImageBytes(img));
}

TEST(CfgImage, ReservedBytesSurviveEveryConversion) {
    CfgImage img = Defaults();
    const uint8_t r1[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::memcpy(img.call.reserved1, r1, 8);
    img.call.reserved2[0] = 0xFE;
    img.call.reserved2[1] = 0x7F;
    for (int32_t id : {1, 2}) {
        Bytes back = ImageBytes(Import(id, Export(id, img), Defaults()));
        EXPECT_EQ(Bytes(back.begin() + 1777, back.begin() + 1785), Bytes(r1, r1 + 8));
        EXPECT_EQ(back[1798], 0xFE);
        EXPECT_EQ(back[1799], 0x7F);
    }
    Bytes all = ImageBytes(img);
    Bytes legacy(all.begin(), all.begin() + 1844);
    CfgImage fromLegacy = Import(-1, legacy, Defaults());
    EXPECT_EQ(fromLegacy.call.reserved1[7], 8);
    EXPECT_EQ(fromLegacy.call.reserved2[0], 0xFE);
}

TEST(CfgImage, Layout1AndLegacyImportsResetTheRenumberingBlock) {
    CfgImage held = Defaults();
    held.renum.enabled = 0;
    held.renum.dtmf_delay = 77;
    held.renum.dtmf_length = 9;
    held.renum.entries[0].mode = 0;
    std::strcpy(held.renum.entries[0].input_prefix, "00420");

    Bytes wire = Export(1, Defaults());
    Bytes all = ImageBytes(Defaults());
    Bytes legacy(all.begin(), all.begin() + 1844);
    for (auto back : {Import(1, wire, held), Import(-1, legacy, held)}) {
        EXPECT_EQ(back.renum.enabled, 1);
        EXPECT_EQ(back.renum.dtmf_delay, 5);
        EXPECT_EQ(back.renum.dtmf_length, 4);
        for (const auto& e : back.renum.entries) {
            EXPECT_EQ(e.mode, 255);
            EXPECT_EQ(e.input_prefix[0], 0);
        }
    }
    // Layout 2 carries the block.
    CfgImage viaLayout2 = Import(2, Export(2, held), Defaults());
    EXPECT_EQ(viaLayout2.renum.dtmf_delay, 77);
}

TEST(CfgImage, UnterminatedTextsFromTheDeviceAreTerminated) {
    Bytes wire = Export(2, Defaults());
    std::memset(&wire[9], '7', 9);     // PIN of SIM 1, whole field
    std::memset(&wire[99], 'x', 65);   // reset text, whole field
    std::memset(&wire[1263], 'd', 8);  // direction completion inside CallRec
    CfgImage img = Import(2, wire, Defaults());
    EXPECT_STREQ(img.sim_pin[0], "77777777");
    EXPECT_EQ(std::string(img.reset_sms_text), std::string(64, 'x'));
    EXPECT_EQ(std::string(img.call.direction_completion), std::string(7, 'd'));
    EXPECT_STREQ(img.sim_pin[1], "8365");
}
