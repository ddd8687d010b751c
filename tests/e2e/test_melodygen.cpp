// melodygen, the build step that makes the built-in melody image: it accepts
// the real melody source and refuses sources that break a rule of the image,
// writing nothing then.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "melodyloader/MelodyImage.h"
#include "tests/e2e/MelodyPeer.h"
#include "tests/support/TempDir.h"

namespace {

std::string Source() {
    std::ifstream f(MELODY_SOURCE);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// The real source with lines put in right after the first melody's header,
// or with one text replaced.
std::string WithLines(const std::string& lines) {
    std::string s = Source();
    const std::string header = "melody Mary Had a Little Lamb\n";
    size_t at = s.find(header);
    EXPECT_NE(at, std::string::npos);
    return s.insert(at + header.size(), lines + "\n");
}

std::string Replaced(const std::string& from, const std::string& to) {
    std::string s = Source();
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return s.replace(at, from.size(), to);
}

struct GenRun {
    int status;
    std::string messages;
    bool wrote;
};

GenRun Generate(const std::string& source) {
    TempDir dir;
    WriteAll(dir.File("melodies.txt"), source.data(), source.size());
    ProgramRun run = RunProgram(
        {MELODYGEN, dir.File("melodies.txt"), dir.File("image.cpp"), "--bin", dir.File("image.bin")}, "", 30, true);
    std::ifstream cpp(dir.File("image.cpp")), bin(dir.File("image.bin"));
    return {run.status, run.output, cpp.good() || bin.good()};
}

void ExpectRefused(const GenRun& r, const std::string& message) {
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.messages.find(message), std::string::npos) << "wanted: " << message << "\ngot:\n" << r.messages;
    EXPECT_FALSE(r.wrote) << "nothing is written when a rule is broken";
}

}  // namespace

TEST(MelodyGen, TheRealSourceMakesTheBuiltInImage) {
    TempDir dir;
    ProgramRun run =
        RunProgram({MELODYGEN, MELODY_SOURCE, dir.File("image.cpp"), "--bin", dir.File("image.bin")}, "", 30, true);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ReadAll(dir.File("image.bin")),
              std::vector<unsigned char>(melody::kMelodyImage, melody::kMelodyImage + melody::kMelodyImageSize));

    // The longest delay allowed is accepted.
    EXPECT_EQ(Generate(WithLines("v1 r:384")).status, 0);
}

TEST(MelodyGen, RefusesBrokenNoteRules) {
    ExpectRefused(Generate(WithLines("v2 C4/1\nv3 G3/1")),
                  "melody 0 (Mary Had a Little Lamb), event 2 at tick 0: 3 notes sound at once: G3 C4 E5");
    ExpectRefused(Generate(WithLines("v2 C4/4~")),
                  "melody 0 (Mary Had a Little Lamb): C4 started at tick 0 is never ended");
    ExpectRefused(Generate(WithLines("v1 r:385")),
                  "melody 0 (Mary Had a Little Lamb), event 0 at tick 385: a delay of 385 ticks, more than 384");
    ExpectRefused(Generate(WithLines("v2 E5/8")), "E5 starts again while it sounds");
    ExpectRefused(Generate(WithLines("v2 A5/8")), "A5 (81) is outside 55-80");
    ExpectRefused(Generate(WithLines("v2 F#3/8")), "F#3 (54) is outside 55-80");
    ExpectRefused(Generate(WithLines("v2 C4/8")), "4 melodies have notes sounding together; the image has them in 3");
}

TEST(MelodyGen, RefusesAWrongSlotTable) {
    // One note less in the first melody: its count and every later offset are off.
    GenRun r = Generate(Replaced("D5 D5 E5 D5 | C5/1 |", "D5 D5 E5 D5 | r/1 |"));
    ExpectRefused(r, "melody 0 (Mary Had a Little Lamb) has 50 events; its slot needs 52");
    ExpectRefused(r, "melody 1 (Symphony No. 5, opening (Beethoven)) starts at byte 268; its slot says 276");
    ExpectRefused(r, "the image takes 4396 bytes, not 4404");

    ExpectRefused(Generate(Source() + "melody One too many\nv1 C5/4\n"), "12 melodies; the image holds 11");
}

TEST(MelodyGen, RefusesBadSyntaxWithTheLine) {
    std::string s = WithLines("v1 H4/4");
    size_t line = size_t(std::count(s.begin(), s.begin() + long(s.find("v1 H4/4")), '\n')) + 1;
    ExpectRefused(Generate(s), "melodies.txt:" + std::to_string(line) + ": 'H4/4' is neither a note nor a rest");
    ExpectRefused(Generate(WithLines("v1 C5/4~ D5/4")), "a tie joins notes of one pitch, not C5 and D5");
    ExpectRefused(Generate(WithLines("v1 C5/5")), "/5 is not a note length");
    ExpectRefused(Generate(WithLines("tempo 80")), "unknown line 'tempo'");
}
