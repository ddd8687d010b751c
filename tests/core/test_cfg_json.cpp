// The image as JSON: what cfg-dump prints, cfg-load must turn back into the
// same bytes, and every field it refuses names its key.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

#include "config/VantrixCfg.h"
#include "tests/support/ImageBytes.h"
#include "tools/vantrixctl/CfgJson.h"

namespace {

using json = nlohmann::ordered_json;

CfgImage Defaults() {
    CfgImage img;
    SetDefaults(img);
    return img;
}

// The dump as text and back, onto the defaults, as the pipe between the two
// commands carries it.
CfgImage ThroughText(const CfgImage& img) {
    json j = json::parse(CfgToJson(img).dump(2));
    CfgImage back = Defaults();
    std::string error;
    EXPECT_TRUE(CfgFromJson(j, back, error)) << error;
    return back;
}

std::string Refusal(const std::string& text) {
    CfgImage img = Defaults();
    std::string error;
    EXPECT_FALSE(CfgFromJson(json::parse(text), img, error)) << text;
    EXPECT_EQ(ImageBytes(img), ImageBytes(Defaults())) << "a refused input changed the image: " << text;
    return error;
}

}  // namespace

TEST(CfgJson, EverySeedFileRoundTripsByteForByte) {
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(VANTRIX_CFG_CORPUS)) {
        CfgImage img;
        if (!ReadCfgFile(e.path().string(), img)) continue;
        ++files;
        EXPECT_EQ(ImageBytes(ThroughText(img)), ImageBytes(img)) << e.path();
    }
    EXPECT_GE(files, 4);
}

// Random bytes in every layout hold texts with CR, LF, bytes after the
// terminator and bytes without a character, and credits that are not numbers.
TEST(CfgJson, RandomImagesOfEveryLayoutRoundTrip) {
    std::mt19937 rng(18);
    for (const LayoutDesc& layout : kLayouts) {
        for (int round = 0; round < 50; ++round) {
            std::vector<uint8_t> buf(layout.size);
            for (auto& b : buf) b = uint8_t(rng());
            CfgImage img = Defaults();
            layout.importImage(buf.data(), img);
            if (round == 0) img.credit[0].min_value = std::nanf("");
            if (round == 1) img.credit[1].min_value = -0.0f;
            EXPECT_EQ(ImageBytes(ThroughText(img)), ImageBytes(img)) << "layout " << layout.id << " round " << round;
        }
    }
}

TEST(CfgJson, TextsKeepTheirBytesInAFormThatReadsBack) {
    CfgImage img = Defaults();
    std::memcpy(img.sim_pin[0], "1\r\n\x81\0z\0\0", 9);
    std::memcpy(img.sms_forward_number, "\x8A\xE8", 3);  // Š č
    img.credit[1].min_value = std::bit_cast<float>(uint32_t(0xFF800000));
    json j = CfgToJson(img);
    EXPECT_EQ(j["sim1_pin"], std::string("1\r\n\u0081") + '\0' + "z");
    EXPECT_EQ(j["sms_forward_number"], "Šč");
    EXPECT_EQ(j["sim2_credit"]["min_value"], "0xFF800000");
    EXPECT_EQ(j["sim1_credit"]["min_value"], 0.0);
    EXPECT_EQ(ImageBytes(ThroughText(img)), ImageBytes(img));
}

TEST(CfgJson, MissingKeysAndEmptyElementsKeepWhatTheImageHolds) {
    CfgImage img = Defaults();
    std::string error;
    ASSERT_TRUE(CfgFromJson(
        json::parse(R"({"sim1_pin": "1234", "alarms": [{}, {"call_number": "+420603123456"}], "call": {}})"), img,
        error))
        << error;
    CfgImage expected = Defaults();
    std::strcpy(expected.sim_pin[0], "1234");
    std::strcpy(expected.alarms[1].call_number, "+420603123456");
    EXPECT_EQ(ImageBytes(img), ImageBytes(expected));
}

TEST(CfgJson, RefusalsNameTheKeyAndChangeNothing) {
    EXPECT_EQ(Refusal(R"({"alarms": [{}, {}, {}, {"call_number": "123456789012345678901"}]})"),
              "alarms[3].call_number: 21 characters, at most 20");
    // The later field is wrong: the earlier one must not have been applied either.
    EXPECT_EQ(Refusal(R"({"sim1_pin": "1", "sim2_pin": "1234567890"})"), "sim2_pin: 10 characters, at most 8");
    EXPECT_EQ(Refusal(R"({"rs232_speed": 256})"), "rs232_speed: 256 out of range 0 to 255");
    EXPECT_EQ(Refusal(R"({"renum": {"entries": [{"mode": -1}]}})"), "renum.entries[0].mode: -1 out of range 0 to 255");
    EXPECT_EQ(Refusal(R"({"call": {"reserved2": [1, 2, 3]}})"), "call.reserved2: 3 elements, at most 2");
    EXPECT_EQ(Refusal(R"({"call": {"reserved1": [1, 2.5]}})"), "call.reserved1[1]: a whole number expected");
    EXPECT_EQ(Refusal(R"({"audio_in_level": true})"), "audio_in_level: a whole number expected");
    EXPECT_EQ(Refusal(R"({"sim1_pin": 1234})"), "sim1_pin: a text expected");
    EXPECT_EQ(Refusal(R"({"call": []})"), "call: an object expected");
    EXPECT_EQ(Refusal(R"({"alarms": {}})"), "alarms: an array expected");
    EXPECT_EQ(Refusal(R"({"alarms": [1]})"), "alarms[0]: an object expected");
    EXPECT_EQ(Refusal(R"({"alarms": [{},{},{},{},{},{},{},{},{}]})"), "alarms: 9 elements, at most 8");
    EXPECT_EQ(Refusal(R"({"sim1_pin_": "1"})"), "sim1_pin_: unknown key");
    EXPECT_EQ(Refusal(R"({"call": {"directions": [{"prefix": "1", "simm": 1}]}})"),
              "call.directions[0].simm: unknown key");
    EXPECT_EQ(Refusal(R"({"info_sms_number": "€€ 中"})"),
              "info_sms_number: the character U+4E2D is not in Windows-1250");
    EXPECT_EQ(Refusal(R"({"sim1_credit": {"min_value": 1e39}})"),
              "sim1_credit.min_value: 1e+39 out of the range of a single-precision number");
    EXPECT_EQ(Refusal(R"({"sim1_credit": {"min_value": "0x7FC0000"}})"),
              "sim1_credit.min_value: a number expected (or its bits as \"0x7FC00000\")");
    EXPECT_EQ(Refusal("[]"), "configuration: an object expected");
}

TEST(CfgJson, ATextMayFillItsFieldOnlyWhenItHoldsATerminator) {
    CfgImage img = Defaults();
    std::string error;
    EXPECT_TRUE(CfgFromJson(json::parse(R"({"sim1_pin": "12345678"})"), img, error)) << error;
    EXPECT_TRUE(CfgFromJson(json::parse(R"({"sim1_pin": "1234\u0000678"})"), img, error)) << error;
    EXPECT_EQ(std::memcmp(img.sim_pin[0],
                          "1234\0"
                          "678\0",
                          9),
              0);
    EXPECT_EQ(Refusal(R"({"sim1_pin": "123456789"})"), "sim1_pin: 9 characters, at most 8");
}

namespace {

// ParseCfgJson's refusal of `text`: never an exception, always a message.
std::string ParseRefusal(const std::string& text) {
    json j;
    std::string error;
    bool parsed = true;
    EXPECT_NO_THROW(parsed = ParseCfgJson(text, "in.json", j, error)) << text.substr(0, 80);
    EXPECT_FALSE(parsed) << text.substr(0, 80);
    return error;
}

std::string Nested(int depth) { return std::string(size_t(depth), '[') + std::string(size_t(depth), ']'); }

float MinValueOf(const std::string& number) {
    CfgImage img = Defaults();
    std::string error;
    EXPECT_TRUE(CfgFromJson(json::parse(R"({"sim1_credit": {"min_value": )" + number + "}}"), img, error))
        << number << ": " << error;
    return img.credit[0].min_value;
}

}  // namespace

// The edges the end-to-end refusals do not reach: the path inside arrays
// and at the top, the limits themselves, which are still taken.
TEST(CfgJson, ParseRefusesPastItsLimitsAndTakesWhatIsWithin) {
    EXPECT_EQ(ParseRefusal("[1, [2, 1E+999]]"), "[1][1]: 1E+999 out of the range of a double-precision number");
    EXPECT_EQ(ParseRefusal("1e400"), "configuration: 1e400 out of the range of a double-precision number");
    EXPECT_EQ(ParseRefusal(R"({"renum": {"entries": [{}, {"mode": 1, "result": "", "mode": 2}]}})"),
              "renum.entries[1].mode: duplicate key");
    json j;
    std::string error;
    EXPECT_TRUE(ParseCfgJson(Nested(kCfgJsonMaxDepth), "in.json", j, error)) << error;
    // Equal keys in different objects, a zero written with an exponent, a small double.
    EXPECT_TRUE(ParseCfgJson(R"({"a": {"x": 0e5}, "b": {"x": 1e-300}})", "in.json", j, error)) << error;
    std::string text = R"({"sim1_pin": "1"})";
    text.resize(kCfgJsonMaxBytes, ' ');
    EXPECT_TRUE(ParseCfgJson(text, "in.json", j, error)) << error;
    EXPECT_EQ(ParseRefusal(text + ' '),
              "in.json: more than 1048576 bytes, larger than the JSON of a configuration can be");
}

// Near the float's extremes: the negative side, the first value past the
// rounding to FLT_MAX, the subnormals that the dump writes and that a
// shorter form would change.
TEST(CfgJson, CreditMinimumAtTheEdgesOfSinglePrecision) {
    EXPECT_EQ(MinValueOf("-3.4028235e38"), -FLT_MAX);
    EXPECT_EQ(Refusal(R"({"sim1_credit": {"min_value": 3.4028236e38}})"),
              "sim1_credit.min_value: 3.4028236e+38 out of the range of a single-precision number");
    // The smallest subnormal is 1.4e-45: 1e-45 would be 40 % off.
    EXPECT_EQ(Refusal(R"({"sim2_credit": {"min_value": -1e-45}})"),
              "sim2_credit.min_value: -1e-45 too close to zero for a single-precision number");
    CfgImage img = Defaults();
    for (uint32_t bits : {0x00000001u, 0x007FFFFFu, 0x80400001u, 0x00800000u, 0x7F7FFFFFu}) {
        img.credit[0].min_value = std::bit_cast<float>(bits);
        const float back = ThroughText(img).credit[0].min_value;  // a copy: the packed field is not aligned
        EXPECT_EQ(std::bit_cast<uint32_t>(back), bits) << std::hex << bits;
    }
}

// Lines and messages reach a terminal: nothing in them may act on it or
// look like something it is not, and what prints stays as it is.
TEST(CfgJson, PrintableEscapesEveryCharacterThatDoesNotPrint) {
    EXPECT_EQ(Printable("\t\x1B[2J\x7F"), "\\u0009\\u001b[2J\\u007f");
    EXPECT_EQ(Printable("\u0080\u009F\u00A0\u00AD\u200B\u202E\u2028\uFEFF\u3000"),
              "\\u0080\\u009f\\u00a0\\u00ad\\u200b\\u202e\\u2028\\ufeff\\u3000");
    EXPECT_EQ(Printable("\U000E0001"), "\\udb40\\udc01");  // past U+FFFF as JSON writes it
    EXPECT_EQ(Printable("~ \u00A1Žluťoučký kůň €\U0001F600"), "~ \u00A1Žluťoučký kůň €\U0001F600");
    // Bytes that are not UTF-8, overlong forms and surrogates pass as their numbers.
    EXPECT_EQ(Printable("\x9B\xC2"), "\\x9b\\xc2");
    EXPECT_EQ(Printable("\xC0\x80\xED\xA0\x80"), "\\xc0\\x80\\xed\\xa0\\x80");
    const json j = {{"k\u0085", "1\u007F\u00A0\U000E0001\\\""}};
    EXPECT_EQ(json::parse(Printable(j.dump())), j);
}
