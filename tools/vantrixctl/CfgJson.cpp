// One table of the image's fields, walked by the dump and by the load alike,
// so that the text form always covers the same bytes in both directions.
#include "tools/vantrixctl/CfgJson.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "app/TextCodec.h"

namespace {

using json = nlohmann::ordered_json;

// ---------------------------------------------------------------- texts

std::string Utf8Of(uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += char(cp);
    } else if (cp < 0x800) {
        s += char(0xC0 | cp >> 6);
        s += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += char(0xE0 | cp >> 12);
        s += char(0x80 | (cp >> 6 & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    } else {
        s += char(0xF0 | cp >> 18);
        s += char(0x80 | (cp >> 12 & 0x3F));
        s += char(0x80 | (cp >> 6 & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    }
    return s;
}

// The code point at `pos`; false on a broken sequence.
bool NextCodePoint(std::string_view s, size_t& pos, uint32_t& cp) {
    const auto c = uint8_t(s[pos]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || pos + n > s.size()) return false;
    cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (size_t i = 1; i < n; ++i) {
        const auto t = uint8_t(s[pos + i]);
        if ((t & 0xC0) != 0x80) return false;
        cp = cp << 6 | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are broken too.
    const size_t shortest = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
    if (n != shortest || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
    pos += n;
    return true;
}

// Windows-1250 one byte to one character and back, without loss: the bytes
// that have no character are the C1 controls of their own number, which no
// other byte decodes to.
class StrictCp1250 {
public:
    StrictCp1250() {
        for (int b = 0; b < 256; ++b) {
            std::string s = b < 0x80 ? std::string(1, char(b)) : cp1250::ToUtf8(std::string(1, char(b)));
            if (s == "\xEF\xBF\xBD") s = Utf8Of(uint32_t(b));
            size_t pos = 0;
            uint32_t cp = 0;
            NextCodePoint(s, pos, cp);
            m_utf8[b] = s;
            m_byte.emplace(cp, uint8_t(b));
        }
    }

    std::string Decode(std::string_view ansi) const {
        std::string out;
        for (char c : ansi) out += m_utf8[uint8_t(c)];
        return out;
    }

    // False with the reason when a character has no byte.
    bool Encode(std::string_view utf8, std::string& out, std::string& why) const {
        out.clear();
        for (size_t pos = 0; pos < utf8.size();) {
            uint32_t cp = 0;
            if (!NextCodePoint(utf8, pos, cp)) {
                why = "not valid UTF-8";
                return false;
            }
            auto it = m_byte.find(cp);
            if (it == m_byte.end()) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "the character U+%04X is not in Windows-1250", unsigned(cp));
                why = buf;
                return false;
            }
            out += char(it->second);
        }
        return true;
    }

private:
    std::string m_utf8[256];
    std::map<uint32_t, uint8_t> m_byte;
};

const StrictCp1250& Codec() {
    static const StrictCp1250 codec;
    return codec;
}

// What a terminal shows as nothing, as a plain space or acts on: the
// controls, the format characters, the separators, the spaces other than
// U+0020 and the other code points that render invisibly.
constexpr std::pair<uint32_t, uint32_t> kNonPrinting[] = {
    {0x0000, 0x001F},   {0x007F, 0x00A0},   {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},   {0x08E2, 0x08E2},
    {0x115F, 0x1160},   {0x1680, 0x1680},   {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x2000, 0x200F},
    {0x2028, 0x202F},   {0x205F, 0x206F},   {0x3000, 0x3000},   {0x3164, 0x3164},   {0xFE00, 0xFE0F},
    {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},   {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD},
    {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

bool Prints(uint32_t cp) {
    return std::none_of(std::begin(kNonPrinting), std::end(kNonPrinting),
                        [cp](const auto& r) { return cp >= r.first && cp <= r.second; });
}

void AppendEscape(std::string& out, uint32_t unit) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(unit));
    out += buf;
}

// ---------------------------------------------------------------- the table

template <class V, class C> void CreditFields(V& v, C& c) {
    v.Byte("mode", c.mode);
    v.Text("code", c.code);
    v.Float("min_value", c);  // the float lies unaligned: read and set through its record
}

template <class V, class I> void Fields(V& v, I& img) {
    v.Byte("rs232_speed", img.rs232_speed);
    v.Byte("rs232_flow_control", img.rs232_flow_control);
    v.Byte("ring_indication", img.ring_indication);
    v.Text("sim1_pin", img.sim_pin[0]);
    v.Text("sim2_pin", img.sim_pin[1]);
    v.Byte("remote_access", img.remote_access);
    v.Byte("sms_handling", img.sms_handling);
    v.Text("sms_forward_number", img.sms_forward_number);
    v.Object("sim1_credit", [&] { CreditFields(v, img.credit[0]); });
    v.Object("sim2_credit", [&] { CreditFields(v, img.credit[1]); });
    v.Text("info_sms_number", img.info_sms_number);
    v.Text("reset_sms_text", img.reset_sms_text);
    v.Text("low_credit_sms_text", img.low_credit_sms_text);
    v.Array("alarms", 8, [&](int k) {
        auto& a = img.alarms[k];
        v.Text("call_number", a.call_number);
        v.Text("sms1_number", a.sms1_number);
        v.Text("sms2_number", a.sms2_number);
        v.Text("sms_text", a.sms_text);
        v.Byte("melody", a.melody);
    });
    v.Byte("audio_in_level", img.audio_in_level);
    v.Byte("audio_out_level", img.audio_out_level);
    v.Object("call", [&] {
        auto& c = img.call;
        v.Text("direction_completion", c.direction_completion);
        v.Text("denied_code", c.denied_code);
        v.Array("directions", 16, [&](int d) {
            v.Text("prefix", c.directions[d]);
            v.Byte("sim", c.direction_sim[d]);
        });
        v.Bytes("reserved1", c.reserved1);
        v.Byte("sim1_flags", c.sim_flags[0]);
        v.Byte("sim2_flags", c.sim_flags[1]);
        v.Byte("sim1_melody", c.sim_melody[0]);
        v.Byte("sim2_melody", c.sim_melody[1]);
        v.Byte("ring_after_init", c.ring_after_init);
        v.Byte("dial_delay", c.dial_delay);
        v.Byte("dial_wait", c.dial_wait);
        v.Byte("lookup_time", c.lookup_time);
        v.Byte("max_digits", c.max_digits);
        v.Byte("sim1_dial_tone", c.dial_tone[0]);
        v.Byte("sim2_dial_tone", c.dial_tone[1]);
        v.Byte("programming_char", c.programming_char);
        v.Byte("tariff", c.tariff);
        v.Bytes("reserved2", c.reserved2);
    });
    for (int s = 0; s < 2; ++s) {
        v.Object(s == 0 ? "sim1_monthly_call" : "sim2_monthly_call", [&] {
            v.Text("number", img.monthly_call[s].number);
            v.Byte("melody", img.monthly_call[s].melody);
        });
    }
    v.Object("renum", [&] {
        v.Byte("enabled", img.renum.enabled);
        v.Byte("dtmf_delay", img.renum.dtmf_delay);
        v.Byte("dtmf_length", img.renum.dtmf_length);
        v.Array("entries", 5, [&](int e) {
            auto& r = img.renum.entries[e];
            v.Text("input_prefix", r.input_prefix);
            v.Text("result", r.result);
            v.Byte("mode", r.mode);
        });
    });
}

// ---------------------------------------------------------------- dump

class Dumper {
public:
    explicit Dumper(json& root) : m_node(&root) {}

    void Byte(const char* key, uint8_t f) { (*m_node)[key] = f; }

    template <size_t N> void Text(const char* key, const char (&f)[N]) {
        size_t n = N;
        while (n > 0 && f[n - 1] == 0) --n;
        (*m_node)[key] = Codec().Decode(std::string_view(f, n));
    }

    void Float(const char* key, const CreditRec& c) {
        const float f = c.min_value;
        if (std::isfinite(f)) {
            (*m_node)[key] = double(f);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "0x%08X", unsigned(std::bit_cast<uint32_t>(f)));
            (*m_node)[key] = buf;
        }
    }

    template <size_t N> void Bytes(const char* key, const uint8_t (&f)[N]) {
        json a = json::array();
        for (uint8_t b : f) a.push_back(b);
        (*m_node)[key] = std::move(a);
    }

    template <class Fn> void Object(const char* key, Fn fn) {
        json* parent = m_node;
        m_node = &((*parent)[key] = json::object());
        fn();
        m_node = parent;
    }

    template <class Fn> void Array(const char* key, int n, Fn fn) {
        json* parent = m_node;
        json& a = (*parent)[key] = json::array();
        for (int i = 0; i < n; ++i) {
            a.push_back(json::object());
            m_node = &a.back();
            fn(i);
        }
        m_node = parent;
    }

private:
    json* m_node;
};

// ---------------------------------------------------------------- parse

// A number the parser cannot hold: its exception id.
constexpr int kNumberOverflow = 406;

// What a document cannot show once parsed: how deep it went, a key given
// twice (the document keeps one of them), the key of a number beyond a
// double. Stops at the first.
class Checker final : public nlohmann::json_sax<json> {
public:
    explicit Checker(const std::string& source) : m_source(source) {}

    const std::string& Error() const { return m_error; }

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t v, const string_t& text) override {
        // Below the smallest double the parser gives 0, which would be stored without a word.
        if (v == 0 && text.find_first_of("123456789") < text.find_first_of("eE"))
            return Fail(text + " too close to zero for a double-precision number");
        return Value();
    }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(false); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }

    bool key(string_t& k) override {
        Level& l = m_levels.back();
        l.key = k;
        return l.keys.insert(k).second || Fail("duplicate key");
    }

    bool parse_error(std::size_t, const std::string& token, const json::exception& e) override {
        if (e.id == kNumberOverflow) return Fail(token + " out of the range of a double-precision number");
        m_error = Printable(m_source + ": not JSON, " + e.what());
        return false;
    }

private:
    struct Level {
        bool array = false;
        size_t index = 0;  // of the element being read
        std::string key;
        std::set<std::string> keys;
    };

    bool Value() {
        if (!m_levels.empty() && m_levels.back().array) ++m_levels.back().index;
        return true;
    }

    bool Open(bool array) {
        if (m_levels.size() == size_t(kCfgJsonMaxDepth))
            return Fail("nested deeper than " + std::to_string(kCfgJsonMaxDepth) + " levels");
        m_levels.emplace_back().array = array;
        return true;
    }

    bool Close() {
        m_levels.pop_back();
        return Value();
    }

    bool Fail(const std::string& why) {
        std::string path;
        for (const Level& l : m_levels) {
            if (l.array)
                path += "[" + std::to_string(l.index) + "]";
            else
                path += (path.empty() ? "" : ".") + Printable(l.key);
        }
        m_error = (path.empty() ? "configuration" : path) + ": " + why;
        return false;
    }

    const std::string& m_source;
    std::vector<Level> m_levels;
    std::string m_error;
};

// ---------------------------------------------------------------- load

// A JSON number as the credit minimum's float: false with the reason after
// the number. Everything that rounds to a finite float is taken, so is the
// shortest form of the largest one; near zero, where single precision holds
// fewer digits, a value it would change beyond a rounding is refused.
bool SingleOf(const json& v, float& out, std::string& why) {
    const double d = v.get<double>();
    // The parser holds "-0" as a signed integer and "0" as an unsigned one.
    if (v.is_number_integer() && !v.is_number_unsigned() && d == 0) {
        out = -0.0f;
        return true;
    }
    // Half a unit in the last place above FLT_MAX: below it a value rounds to FLT_MAX.
    constexpr double kRoundsToInfinity = 0x1.ffffffp127;
    if (std::fabs(d) >= kRoundsToInfinity) {
        why = " out of the range of a single-precision number";
        return false;
    }
    const float f = float(std::fabs(d) > double(FLT_MAX) ? std::copysign(double(FLT_MAX), d) : d);
    // A normal float is within 2^-24 of the value, relatively.
    if (std::fabs(double(f) - d) > std::fabs(d) * 0x1p-24) {
        why = " too close to zero for a single-precision number";
        return false;
    }
    out = f;
    return true;
}

class Loader {
public:
    explicit Loader(const json& root) : m_node(&root) {}

    const std::string& Error() const { return m_error; }

    void Byte(const char* key, uint8_t& f) {
        if (const json* v = Find(key)) SetByte(*v, Path(key), f);
    }

    template <size_t N> void Text(const char* key, char (&f)[N]) {
        const json* v = Find(key);
        if (!v) return;
        if (!v->is_string()) {
            Fail(Path(key), "a text expected");
            return;
        }
        std::string ansi, why;
        if (!Codec().Encode(v->get_ref<const std::string&>(), ansi, why)) {
            Fail(Path(key), why);
            return;
        }
        // A text that fills its field still needs a zero byte somewhere in it.
        if (ansi.size() > N || (ansi.size() == N && ansi.find('\0') == std::string::npos)) {
            Fail(Path(key), std::to_string(ansi.size()) + " characters, at most " + std::to_string(N - 1));
            return;
        }
        std::memset(f, 0, N);
        std::memcpy(f, ansi.data(), ansi.size());
    }

    void Float(const char* key, CreditRec& c) {
        const json* v = Find(key);
        if (!v) return;
        if (v->is_number()) {
            float f = 0;
            std::string why;
            if (SingleOf(*v, f, why))
                c.min_value = f;
            else
                Fail(Path(key), v->dump() + why);
            return;
        }
        unsigned bits = 0;
        int used = 0;
        if (v->is_string()) {
            const std::string& s = v->get_ref<const std::string&>();
            if (s.size() == 10 && std::sscanf(s.c_str(), "0x%8x%n", &bits, &used) == 1 && used == 10 &&
                std::all_of(s.begin() + 2, s.end(), [](char c) { return std::isxdigit(uint8_t(c)); })) {
                c.min_value = std::bit_cast<float>(uint32_t(bits));
                return;
            }
        }
        Fail(Path(key), "a number expected (or its bits as \"0x7FC00000\")");
    }

    template <size_t N> void Bytes(const char* key, uint8_t (&f)[N]) {
        const json* v = Find(key);
        if (!v) return;
        if (!v->is_array()) {
            Fail(Path(key), "an array expected");
            return;
        }
        if (v->size() > N) {
            Fail(Path(key), std::to_string(v->size()) + " elements, at most " + std::to_string(N));
            return;
        }
        for (size_t i = 0; i < v->size(); ++i) SetByte((*v)[i], Path(key) + "[" + std::to_string(i) + "]", f[i]);
    }

    template <class Fn> void Object(const char* key, Fn fn) {
        const json* v = Find(key);
        if (!v) return;
        if (!v->is_object()) {
            Fail(Path(key), "an object expected");
            return;
        }
        Enter(*v, Path(key), fn);
    }

    template <class Fn> void Array(const char* key, int n, Fn fn) {
        const json* v = Find(key);
        if (!v) return;
        if (!v->is_array()) {
            Fail(Path(key), "an array expected");
            return;
        }
        if (v->size() > size_t(n)) {
            Fail(Path(key), std::to_string(v->size()) + " elements, at most " + std::to_string(n));
            return;
        }
        for (int i = 0; i < int(v->size()); ++i) {
            const json& e = (*v)[size_t(i)];
            const std::string p = Path(key) + "[" + std::to_string(i) + "]";
            if (!e.is_object()) {
                Fail(p, "an object expected");
                return;
            }
            Enter(e, p, [&] { fn(i); });
        }
    }

    // The keys of the current object that no field took.
    void CheckUnknown() {
        if (!m_error.empty()) return;
        for (auto it = m_node->begin(); it != m_node->end(); ++it) {
            if (std::find(m_seen.begin(), m_seen.end(), it.key()) == m_seen.end()) {
                Fail(Path(Printable(it.key()).c_str()), "unknown key");
                return;
            }
        }
    }

private:
    std::string Path(const char* key) const { return m_path.empty() ? key : m_path + "." + key; }

    const json* Find(const char* key) {
        m_seen.push_back(key);
        if (!m_error.empty()) return nullptr;
        auto it = m_node->find(key);
        return it == m_node->end() ? nullptr : &*it;
    }

    void Fail(const std::string& path, const std::string& why) {
        if (m_error.empty()) m_error = path + ": " + why;
    }

    void SetByte(const json& v, const std::string& path, uint8_t& f) {
        if (!v.is_number_integer()) {
            Fail(path, "a whole number expected");
        } else if (v.is_number_unsigned() ? v.get<uint64_t>() > 255
                                          : (v.get<int64_t>() < 0 || v.get<int64_t>() > 255)) {
            Fail(path, v.dump() + " out of range 0 to 255");
        } else {
            f = uint8_t(v.get<int64_t>());
        }
    }

    template <class Fn> void Enter(const json& node, const std::string& path, Fn fn) {
        const json* node0 = m_node;
        std::string path0 = std::move(m_path);
        std::vector<std::string> seen0 = std::move(m_seen);
        m_node = &node;
        m_path = path;
        m_seen.clear();
        fn();
        CheckUnknown();
        m_node = node0;
        m_path = std::move(path0);
        m_seen = std::move(seen0);
    }

    const json* m_node;
    std::string m_path;
    std::vector<std::string> m_seen;
    std::string m_error;
};

void AddLeaves(const json& j, const std::string& path, std::vector<std::pair<std::string, json>>& out) {
    if (j.is_object()) {
        for (auto it = j.begin(); it != j.end(); ++it)
            AddLeaves(*it, path.empty() ? it.key() : path + "." + it.key(), out);
    } else if (j.is_array()) {
        for (size_t i = 0; i < j.size(); ++i) AddLeaves(j[i], path + "[" + std::to_string(i) + "]", out);
    } else {
        out.emplace_back(path, j);
    }
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        const size_t start = pos;
        uint32_t cp = 0;
        if (!NextCodePoint(text, pos, cp)) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(uint8_t(text[pos++])));
            out += buf;
        } else if (Prints(cp)) {
            out.append(text, start, pos - start);
        } else if (cp < 0x10000) {
            AppendEscape(out, cp);
        } else {
            AppendEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
            AppendEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    return out;
}

bool ParseCfgJson(std::string_view text, const std::string& source, nlohmann::ordered_json& j, std::string& error) {
    if (text.size() > kCfgJsonMaxBytes) {
        error = Printable(source) + ": more than " + std::to_string(kCfgJsonMaxBytes) +
                " bytes, larger than the JSON of a configuration can be";
        return false;
    }
    Checker checker(source);
    if (!json::sax_parse(text.begin(), text.end(), &checker)) {
        error = checker.Error();
        return false;
    }
    j = json::parse(text.begin(), text.end(), nullptr, false);
    if (j.is_discarded()) {
        error = Printable(source) + ": not JSON";
        return false;
    }
    return true;
}

nlohmann::ordered_json CfgToJson(const CfgImage& img) {
    json j = json::object();
    Dumper d(j);
    Fields(d, img);
    return j;
}

bool CfgFromJson(const nlohmann::ordered_json& j, CfgImage& img, std::string& error) {
    if (!j.is_object()) {
        error = "configuration: an object expected";
        return false;
    }
    CfgImage work = img;
    Loader l(j);
    Fields(l, work);
    l.CheckUnknown();
    if (!l.Error().empty()) {
        error = l.Error();
        return false;
    }
    img = work;
    return true;
}

std::vector<std::pair<std::string, nlohmann::ordered_json>> CfgLeaves(const nlohmann::ordered_json& j) {
    std::vector<std::pair<std::string, json>> out;
    AddLeaves(j, "", out);
    return out;
}
