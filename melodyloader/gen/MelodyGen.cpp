// melodygen: turns the melody source (note names, octaves and lengths, see the
// top of melodyloader/melodies.txt) into the built-in melody image, and fails
// when the image would break one of its rules:
//   - 11 melodies whose event counts and offsets are the slot table below, the
//     image exactly 4404 bytes, format word 1;
//   - note numbers 55 to 80, delays 0 to 384 ticks;
//   - every started note ended later by the same note with level 0, no note
//     started again while it sounds, at most two notes at a time (two at all
//     in exactly three melodies), nothing sounding at the end of a melody.
//
//   melodygen SOURCE OUT.cpp [--bin OUT.bin] [--dump]
//
// Writes nothing unless every rule holds; errors go to stderr, exit status 1.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/Bytes.h"

namespace {

struct Slot {
    uint16_t offset;
    uint16_t events;
};

constexpr Slot kSlots[] = {
    {68, 52},    {276, 40},  {436, 192},  {1204, 208}, {2036, 38},  {2188, 78},
    {2500, 104}, {2916, 34}, {3052, 122}, {3540, 84},  {3876, 132},
};
constexpr size_t kMelodies = sizeof kSlots / sizeof kSlots[0];
constexpr size_t kSlotCount = 16;
constexpr size_t kHeaderSize = 4 + 4 * kSlotCount;  // 68
constexpr size_t kEventSize = 4;
constexpr size_t kImageSize = 4404;
constexpr uint16_t kFormat = 1;
constexpr int kMinNote = 55;
constexpr int kMaxNote = 80;
constexpr uint32_t kMaxDelay = 384;
constexpr size_t kMaxSounding = 2;
constexpr size_t kOverlapping = 3;  // melodies in which two notes sound together

std::vector<std::string> g_errors;

void Error(const std::string& text) { g_errors.push_back(text); }

std::string NoteName(int note) {
    static const char* const kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return std::string(kNames[note % 12]) + std::to_string(note / 12 - 1);
}

// ---- Source -----------------------------------------------------------------

struct Length {
    bool ticks = false;  // value is ticks, else the divisor of a whole note
    uint32_t value = 4;
    bool dotted = false;
};

struct RawEvent {
    uint32_t tick;
    bool end;
    uint8_t note;
    uint8_t level;
    uint32_t seq;  // order of writing, for a stable sort
};

struct Voice {
    uint32_t time = 0;
    Length length;
    bool tied = false;  // the open note continues into the next token
    uint8_t tieNote = 0;
    uint32_t tieStart = 0;
    uint32_t tieLength = 0;
};

struct Melody {
    std::string title;
    std::map<int, Voice> voices;
    std::vector<RawEvent> events;
    uint32_t seq = 0;
};

struct Event {
    uint32_t tick;
    uint32_t delay;
    uint8_t note;
    uint8_t level;
};

class CParser {
public:
    explicit CParser(std::string path) : m_path(std::move(path)) {}

    bool Parse(std::istream& in, std::vector<Melody>& melodies);

private:
    void Fail(const std::string& text) { Error(m_path + ":" + std::to_string(m_line) + ": " + text); }
    bool Number(const std::string& word, uint32_t lo, uint32_t hi, uint32_t& value);
    bool Directive(const std::string& key, std::istringstream& rest);
    bool Token(Voice& voice, const std::string& token);
    bool Ticks(const Length& length, uint32_t& ticks);
    void AddNote(Voice& voice, uint8_t note, uint32_t ticks, bool tie);

    std::string m_path;
    int m_line = 0;
    Melody* m_melody = nullptr;
    uint32_t m_quarter = 96;
    uint32_t m_gap = 6;
    uint32_t m_level = 100;
};

bool CParser::Number(const std::string& word, uint32_t lo, uint32_t hi, uint32_t& value) {
    if (word.empty() || word.size() > 9 || word.find_first_not_of("0123456789") != std::string::npos) {
        Fail("'" + word + "' is not a number");
        return false;
    }
    value = uint32_t(std::stoul(word));
    if (value < lo || value > hi) {
        Fail(word + " is outside " + std::to_string(lo) + "-" + std::to_string(hi));
        return false;
    }
    return true;
}

bool CParser::Ticks(const Length& length, uint32_t& ticks) {
    if (length.ticks) {
        ticks = length.value;
    } else {
        uint32_t whole = 4 * m_quarter;
        if (whole % length.value != 0) {
            Fail("1/" + std::to_string(length.value) + " of a whole note is not a whole number of ticks at quarter " +
                 std::to_string(m_quarter));
            return false;
        }
        ticks = whole / length.value;
    }
    if (length.dotted) {
        if (ticks % 2 != 0) {
            Fail("a dotted length of " + std::to_string(ticks) + " ticks is not a whole number of ticks");
            return false;
        }
        ticks += ticks / 2;
    }
    if (ticks == 0) {
        Fail("a length of 0 ticks");
        return false;
    }
    return true;
}

void CParser::AddNote(Voice& voice, uint8_t note, uint32_t ticks, bool tie) {
    if (voice.tied) {
        if (note != voice.tieNote) {
            Fail("a tie joins notes of one pitch, not " + NoteName(voice.tieNote) + " and " + NoteName(note));
            voice.tied = false;
            return;
        }
        voice.tieLength += ticks;
    } else {
        voice.tieNote = note;
        voice.tieStart = voice.time;
        voice.tieLength = ticks;
        m_melody->events.push_back({voice.time, false, note, uint8_t(m_level), m_melody->seq++});
    }
    voice.time += ticks;
    voice.tied = tie;
    if (tie) return;  // a tie left open at the end of the voice leaves the note sounding
    if (voice.tieLength <= m_gap) {
        Fail(NoteName(note) + " of " + std::to_string(voice.tieLength) + " ticks is not longer than the gap of " +
             std::to_string(m_gap));
        return;
    }
    m_melody->events.push_back({voice.tieStart + voice.tieLength - m_gap, true, note, 0, m_melody->seq++});
}

bool CParser::Token(Voice& voice, const std::string& token) {
    if (token == "|") return true;
    size_t i = 0;
    bool rest = false;
    int note = 0;
    if (token[0] == 'r') {
        rest = true;
        i = 1;
    } else {
        static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
        if (token[0] < 'A' || token[0] > 'G') {
            Fail("'" + token + "' is neither a note nor a rest");
            return false;
        }
        note = kSemitone[token[0] - 'A'];
        i = 1;
        if (i < token.size() && token[i] == '#')
            ++note, ++i;
        else if (i < token.size() && token[i] == 'b')
            --note, ++i;
        if (i >= token.size() || !std::isdigit(static_cast<unsigned char>(token[i]))) {
            Fail("'" + token + "' has no octave");
            return false;
        }
        note += 12 * (token[i] - '0' + 1);
        ++i;
    }

    Length length = voice.length;
    bool explicitLength = false;
    if (i < token.size() && (token[i] == '/' || token[i] == ':')) {
        bool ticks = token[i] == ':';
        size_t j = ++i;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
        uint32_t value;
        if (!Number(token.substr(j, i - j), 1, ticks ? 100000 : 64, value)) return false;
        if (!ticks && 64 % value != 0 && 96 % value != 0) {
            Fail("/" + std::to_string(value) + " is not a note length");
            return false;
        }
        length = {ticks, value, false};
        explicitLength = true;
    }
    if (i < token.size() && token[i] == '.') {
        if (!explicitLength) {
            Fail("'" + token + "': a dot needs a length");
            return false;
        }
        length.dotted = true;
        ++i;
    }
    uint32_t repeat = 1;
    if (i < token.size() && token[i] == '*') {
        size_t j = ++i;
        while (i < token.size() && std::isdigit(static_cast<unsigned char>(token[i]))) ++i;
        if (!Number(token.substr(j, i - j), 1, 64, repeat)) return false;
    }
    bool tie = false;
    if (i < token.size() && token[i] == '~') {
        tie = true;
        ++i;
    }
    if (i != token.size()) {
        Fail("'" + token + "' has something left over");
        return false;
    }
    if (tie && (rest || repeat > 1)) {
        Fail("'" + token + "': only a single note can be tied");
        return false;
    }
    voice.length = length;

    uint32_t ticks;
    if (!Ticks(length, ticks)) return false;
    for (uint32_t k = 0; k < repeat; ++k) {
        if (rest) {
            if (voice.tied) {
                Fail("a tie must lead to a note, not to a rest");
                voice.tied = false;
            }
            voice.time += ticks;
        } else {
            if (note < 0 || note > 127) {
                Fail("'" + token + "' is no note number");
                return false;
            }
            AddNote(voice, uint8_t(note), ticks, tie);
        }
    }
    return true;
}

bool CParser::Directive(const std::string& key, std::istringstream& rest) {
    std::string word, extra;
    rest >> word;
    if (rest >> extra) {
        Fail("'" + key + "' takes one value");
        return false;
    }
    if (key == "quarter") return Number(word, 1, 10000, m_quarter);
    if (key == "gap") return Number(word, 0, 10000, m_gap);
    if (key == "level") return Number(word, 1, 255, m_level);
    Fail("unknown line '" + key + "'");
    return false;
}

bool CParser::Parse(std::istream& in, std::vector<Melody>& melodies) {
    size_t before = g_errors.size();
    std::string text;
    while (std::getline(in, text)) {
        ++m_line;
        // A comment starts with '#' at the start of a word; C#4 is a note.
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(text[i - 1])))) {
                text.resize(i);
                break;
            }
        }
        std::istringstream line(text);
        std::string key;
        if (!(line >> key)) continue;
        if (key == "melody") {
            std::string title;
            std::getline(line >> std::ws, title);
            while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) title.pop_back();
            melodies.push_back({});
            m_melody = &melodies.back();
            m_melody->title = title.empty() ? "untitled" : title;
            m_quarter = 96;
            m_gap = 6;
            m_level = 100;
            continue;
        }
        if (!m_melody) {
            Fail("'" + key + "' before the first melody");
            continue;
        }
        if (key.size() == 2 && key[0] == 'v' && key[1] >= '1' && key[1] <= '9') {
            Voice& voice = m_melody->voices[key[1] - '0'];
            std::string token;
            while (line >> token)
                if (!Token(voice, token)) break;
            continue;
        }
        Directive(key, line);
    }
    return g_errors.size() == before;
}

// ---- Rules ------------------------------------------------------------------

std::vector<Event> Sequence(Melody& m) {
    // At one tick note ends come first, so a note may follow another at once.
    std::stable_sort(m.events.begin(), m.events.end(), [](const RawEvent& a, const RawEvent& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        if (a.end != b.end) return a.end;
        return a.seq < b.seq;
    });
    std::vector<Event> out;
    uint32_t last = 0;
    for (const RawEvent& e : m.events) {
        out.push_back({e.tick, e.tick - last, e.note, e.level});
        last = e.tick;
    }
    return out;
}

// Returns whether two notes sound together somewhere in the melody.
bool Check(size_t index, const std::string& title, const std::vector<Event>& events) {
    bool overlap = false;
    std::string where = "melody " + std::to_string(index) + " (" + title + ")";
    std::map<uint8_t, uint32_t> sounding;  // note -> tick it started
    for (size_t i = 0; i < events.size(); ++i) {
        const Event& e = events[i];
        std::string at = where + ", event " + std::to_string(i) + " at tick " + std::to_string(e.tick) + ": ";
        if (e.delay > kMaxDelay)
            Error(at + "a delay of " + std::to_string(e.delay) + " ticks, more than " + std::to_string(kMaxDelay));
        if (e.note < kMinNote || e.note > kMaxNote)
            Error(at + NoteName(e.note) + " (" + std::to_string(e.note) + ") is outside " + std::to_string(kMinNote) +
                  "-" + std::to_string(kMaxNote));
        if (e.level == 0) {
            if (!sounding.erase(e.note)) Error(at + NoteName(e.note) + " ends but does not sound");
            continue;
        }
        if (sounding.count(e.note)) {
            Error(at + NoteName(e.note) + " starts again while it sounds");
            continue;
        }
        sounding[e.note] = e.tick;
        overlap |= sounding.size() > 1;
        if (sounding.size() > kMaxSounding) {
            std::string notes;
            for (const auto& s : sounding) notes += " " + NoteName(s.first);
            Error(at + std::to_string(sounding.size()) + " notes sound at once:" + notes);
        }
    }
    for (const auto& s : sounding)
        Error(where + ": " + NoteName(s.first) + " started at tick " + std::to_string(s.second) + " is never ended");
    return overlap;
}

std::vector<uint8_t> BuildImage(const std::vector<std::vector<Event>>& melodies,
                                const std::vector<std::string>& titles) {
    if (melodies.size() != kMelodies) {
        Error(std::to_string(melodies.size()) + " melodies; the image holds " + std::to_string(kMelodies));
        return {};
    }
    size_t offset = kHeaderSize;
    for (size_t i = 0; i < kMelodies; ++i) {
        std::string where = "melody " + std::to_string(i) + " (" + titles[i] + ")";
        if (melodies[i].size() != kSlots[i].events)
            Error(where + " has " + std::to_string(melodies[i].size()) + " events; its slot needs " +
                  std::to_string(kSlots[i].events));
        if (offset != kSlots[i].offset)
            Error(where + " starts at byte " + std::to_string(offset) + "; its slot says " +
                  std::to_string(kSlots[i].offset));
        offset += kEventSize * melodies[i].size();
    }
    if (offset != kImageSize)
        Error("the image takes " + std::to_string(offset) + " bytes, not " + std::to_string(kImageSize));
    if (!g_errors.empty()) return {};

    std::vector<uint8_t> image(kImageSize, 0);
    bytes::PutBE16(&image[0], kFormat);
    bytes::PutBE16(&image[2], uint16_t(kMelodies));
    size_t at = kHeaderSize;
    for (size_t i = 0; i < kMelodies; ++i) {
        bytes::PutBE16(&image[4 + 4 * i], uint16_t(at));
        bytes::PutBE16(&image[6 + 4 * i], uint16_t(melodies[i].size()));
        for (const Event& e : melodies[i]) {
            bytes::PutBE16(&image[at], uint16_t(e.delay));
            image[at + 2] = e.note;
            image[at + 3] = e.level;
            at += kEventSize;
        }
    }
    return image;
}

// ---- Output -----------------------------------------------------------------

bool WriteFile(const std::string& path, const std::string& data) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        f.write(data.data(), std::streamsize(data.size()));
        f.close();
        if (!f) {
            std::remove(tmp.c_str());
            Error(path + ": cannot be written");
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        Error(path + ": cannot be written (" + std::strerror(errno) + ")");
        return false;
    }
    return true;
}

std::string CppSource(const std::vector<uint8_t>& image, const std::string& source) {
    std::string s = "// Generated by melodygen from " + source + ". Do not edit.\n";
    s += "#include \"melodyloader/MelodyImage.h\"\n\nnamespace melody {\n\n";
    s += "const uint8_t kMelodyImage[" + std::to_string(image.size()) + "] = {\n";
    char hex[8];
    for (size_t i = 0; i < image.size(); ++i) {
        if (i % 16 == 0) s += "   ";
        std::snprintf(hex, sizeof hex, " 0x%02X,", image[i]);
        s += hex;
        if (i % 16 == 15 || i + 1 == image.size()) s += "\n";
    }
    s += "};\nconst size_t kMelodyImageSize = sizeof kMelodyImage;\n\n}  // namespace melody\n";
    return s;
}

void Dump(const std::vector<std::vector<Event>>& melodies, const std::vector<std::string>& titles) {
    for (size_t i = 0; i < melodies.size(); ++i) {
        std::printf("melody %zu (%s): %zu events\n", i, titles[i].c_str(), melodies[i].size());
        for (const Event& e : melodies[i])
            std::printf("  tick %6u  delay %3u  %-4s %3u\n", e.tick, e.delay, NoteName(e.note).c_str(), e.level);
    }
}

int Usage() {
    std::fputs("usage: melodygen SOURCE OUT.cpp [--bin OUT.bin] [--dump]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string source, cpp, bin;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--dump")
            dump = true;
        else if (a == "--bin" && i + 1 < argc)
            bin = argv[++i];
        else if (a.rfind("--", 0) == 0 || !cpp.empty())
            return Usage();
        else if (source.empty())
            source = a;
        else
            cpp = a;
    }
    if (source.empty() || cpp.empty()) return Usage();

    std::ifstream in(source);
    if (!in) {
        std::fprintf(stderr, "melodygen: %s: cannot be read\n", source.c_str());
        return 1;
    }
    std::vector<Melody> parsed;
    CParser(source).Parse(in, parsed);

    std::vector<std::vector<Event>> melodies;
    std::vector<std::string> titles;
    size_t overlapping = 0;
    for (size_t i = 0; i < parsed.size(); ++i) {
        melodies.push_back(Sequence(parsed[i]));
        titles.push_back(parsed[i].title);
        overlapping += Check(i, titles.back(), melodies.back());
    }
    if (overlapping != kOverlapping)
        Error(std::to_string(overlapping) + " melodies have notes sounding together; the image has them in " +
              std::to_string(kOverlapping));
    if (dump) Dump(melodies, titles);
    std::vector<uint8_t> image = BuildImage(melodies, titles);
    if (g_errors.empty()) {
        std::string name = source.substr(source.find_last_of('/') + 1);
        if (WriteFile(cpp, CppSource(image, name)) && !bin.empty())
            WriteFile(bin, std::string(image.begin(), image.end()));
    }
    for (const std::string& e : g_errors) std::fprintf(stderr, "melodygen: %s\n", e.c_str());
    return g_errors.empty() ? 0 : 1;
}
