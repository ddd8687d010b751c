// SMS.dat (layout, list sections, limits, damaged and random files) and the
// text export.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "sms/SMSMng.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Strs = std::vector<std::string>;

void Le32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void Str(Bytes& b, const std::string& s) {
    Le32(b, uint32_t(s.size() + 1));
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

// One record as the store holds it.
Bytes Record(const Bytes& time, uint32_t state, const std::string& text, const Strs& numbers) {
    Bytes b(time);
    b.resize(6);  // an empty stamp is all zero
    Le32(b, state);
    Str(b, text);
    Le32(b, uint32_t(numbers.size()));
    for (const auto& n : numbers) Str(b, n);
    return b;
}

Bytes Header(uint32_t n0, uint32_t n1, uint32_t n2, uint32_t version = 1) {
    Bytes b;
    for (uint32_t v : {version, n0, n1, n2}) Le32(b, v);
    return b;
}

void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

struct SmsStore : ::testing::Test {
    TempDir dir;
    FakeUI ui;
    std::string path = dir.File("SMS.dat");
    CSMSMng mng{ui, path};

    Strs Texts(const CSMSMng& m, int list) const {
        Strs v;
        for (int i = 0; i < m.GetCount(list); ++i) v.emplace_back(m.Get(i, list)->GetText());
        return v;
    }
    Bytes Simple(const std::string& text) const { return Record({1, 2, 3, 4, 5, 6}, 0, text, {"1"}); }
};

}  // namespace

TEST_F(SmsStore, FileRoundTripIsByteExact) {
    Bytes file = Header(2, 0, 1);
    Append(file, Record({31, 12, 8, 23, 59, 58}, 0x80000000,
                        "Ahoj\r\n\xE8"
                        "au",
                        {"+420603111222"}));
    Append(file, Record({1, 1, 0, 0, 0, 0}, 0, "", {}));
    Append(file, Record({2, 3, 9, 4, 5, 6}, 0x80000002, std::string(640, 'x'), {"1", "1234567890123456", "3", "4"}));
    WriteAll(path, file);

    EXPECT_EQ(mng.Load(), 1);
    ASSERT_EQ(mng.GetCount(0), 2);
    ASSERT_EQ(mng.GetCount(2), 1);
    const CSMS* first = mng.Get(0, 0);
    EXPECT_TRUE(first->IsNew());
    EXPECT_EQ(first->m_Time[0], 31);
    EXPECT_STREQ(first->GetNumber(0), "+420603111222");
    EXPECT_FALSE(mng.Get(1, 0)->IsNew());
    EXPECT_EQ(mng.Get(0, 2)->GetNumberCount(), 4);

    std::remove(path.c_str());
    EXPECT_EQ(mng.Save(), 1);
    EXPECT_EQ(ReadAll(path), file);
}

TEST_F(SmsStore, OverfullListKeepsItsFirstFiveAndTheNextListsStillLoad) {
    Bytes file = Header(7, 1, 2);
    for (int i = 0; i < 7; ++i) Append(file, Simple("r" + std::to_string(i)));
    Append(file, Simple("s0"));
    Append(file, Simple("t0"));
    Append(file, Simple("t1"));
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 1);
    EXPECT_EQ(Texts(mng, 0), (Strs{"r0", "r1", "r2", "r3", "r4"}));
    EXPECT_EQ(Texts(mng, 1), (Strs{"s0"}));
    EXPECT_EQ(Texts(mng, 2), (Strs{"t0", "t1"}));
}

TEST_F(SmsStore, SectionDecidesTheListNumberAndTheNewFlagStays) {
    Bytes file = Header(1, 1, 0);
    Append(file, Record({1, 1, 1, 1, 1, 1}, 0x80000002, "to-send in received", {"1"}));
    Append(file, Record({1, 1, 1, 1, 1, 1}, 0x7FFFFFFF, "garbage list", {"1"}));
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 1);
    EXPECT_EQ(mng.Get(0, 0)->m_dwState, 0x80000000u);
    EXPECT_EQ(mng.Get(0, 1)->m_dwState, 1u);
}

TEST_F(SmsStore, ExtraNumbersAreDroppedAndOversizedFieldsStopTheLoad) {
    Bytes file = Header(3, 0, 0);
    Append(file, Record({}, 0, "six", {"1", "2", "3", "4", "5", "6"}));
    // An unterminated text and number are cut within their fields.
    Bytes odd(10, 0);
    Le32(odd, 3);
    odd.insert(odd.end(), {'a', 'b', 'c'});
    Le32(odd, 1);
    Le32(odd, 2);
    odd.insert(odd.end(), {'7', '8'});
    Append(file, odd);
    Append(file, Record({}, 0, std::string(641, 'y'), {}));  // T = 642
    Append(file, Simple("never reached"));
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 0);
    ASSERT_EQ(mng.GetCount(0), 2);
    EXPECT_EQ(mng.Get(0, 0)->GetNumberCount(), 4);
    EXPECT_STREQ(mng.Get(0, 0)->GetNumber(3), "4");
    EXPECT_STREQ(mng.Get(1, 0)->GetText(), "ab");
    EXPECT_STREQ(mng.Get(1, 0)->GetNumber(0), "7");

    file = Header(2, 0, 0);
    Append(file, Simple("ok"));
    Append(file, Record({}, 0, "x", {"12345678901234567"}));  // K = 18
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 0);
    EXPECT_EQ(Texts(mng, 0), (Strs{"ok"}));

    file = Header(1, 0, 0);
    Append(file, Record({}, 0, "x", {"1234567890123456"}));  // K = 17 is the limit
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 1);
}

TEST_F(SmsStore, DamagedFilesKeepWhatWasReadAndNeverInvent) {
    mng.Add(new CSMS, 1, true);
    EXPECT_EQ(mng.Load(), 0);  // missing: lists unchanged
    EXPECT_EQ(mng.GetCount(1), 1);

    WriteAll(path, Header(0, 0, 0, 2));
    EXPECT_EQ(mng.Load(), 0);  // foreign version: unchanged
    EXPECT_EQ(mng.GetCount(1), 1);
    Bytes shortHead = Header(0, 0, 0);
    shortHead.pop_back();
    WriteAll(path, shortHead);
    EXPECT_EQ(mng.Load(), 0);
    EXPECT_EQ(mng.GetCount(1), 1);

    Bytes file = Header(1, 2, 0);
    Append(file, Simple("r"));
    Append(file, Simple("s"));
    Bytes cut = Simple("cut");
    cut.resize(cut.size() - 3);
    Append(file, cut);
    WriteAll(path, file);
    EXPECT_EQ(mng.Load(), 0);
    EXPECT_EQ(Texts(mng, 0), (Strs{"r"}));
    EXPECT_EQ(Texts(mng, 1), (Strs{"s"}));
}

TEST_F(SmsStore, SaveNeedsAPriorLoadAndReplacesTheFileWhole) {
    mng.Add(new CSMS, 0, true);
    EXPECT_EQ(mng.Save(), 0);  // the start never loaded the store: keep the old file
    EXPECT_FALSE(FileExists(path));

    EXPECT_EQ(mng.Load(), 0);  // missing file
    EXPECT_EQ(mng.Save(), 1);
    Bytes expect = Header(1, 0, 0);
    Append(expect, Record({0, 0, 0, 0, 0, 0}, 0x80000000, "", {}));
    EXPECT_EQ(ReadAll(path), expect);

    CSMSMng noDir(ui, dir.File("missing/SMS.dat"));
    noDir.Load();
    EXPECT_EQ(noDir.Save(), 0);
}

// Unreadable files, links and file size limits are POSIX notions.
#ifndef _WIN32
// A store the program could not read was replaced at exit by empty lists.
TEST_F(SmsStore, UnreadableFileIsNeverWrittenOver) {
    Bytes file = Header(1, 0, 0);
    Append(file, Simple("keep"));
    WriteAll(path, file);
    if (::geteuid() != 0) {  // the superuser reads any file
        ASSERT_EQ(::chmod(path.c_str(), 0), 0);
        EXPECT_EQ(mng.Load(), 0);
        mng.Add(new CSMS, 0, true);
        EXPECT_EQ(mng.Save(), 0);
        mng.OnSmsReceived(new CSMS);
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        EXPECT_EQ(ReadAll(path), file);
        EXPECT_FALSE(FileExists(path + ".bak"));
    }
    // A link that leads round in a circle cannot be opened by anyone.
    const std::string loop = dir.File("loop.dat");
    ASSERT_EQ(::symlink("loop.dat", loop.c_str()), 0);
    CSMSMng looped(ui, loop);
    EXPECT_EQ(looped.Load(), 0);
    EXPECT_EQ(looped.Save(), 0);
    struct stat st;
    ASSERT_EQ(::lstat(loop.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
#endif

// A damaged or foreign store was overwritten with the part that loaded: what
// the user had is kept as SMS.dat.bak before the first write, once.
TEST_F(SmsStore, PartlyLoadedFileIsKeptAsBakBeforeTheFirstWrite) {
    for (bool overfull : {false, true}) {
        Bytes file = Header(overfull ? 6 : 2, 0, 0);
        for (int i = 0; i < (overfull ? 6 : 2); ++i) Append(file, Simple("r" + std::to_string(i)));
        if (!overfull) file.resize(file.size() - 2);
        WriteAll(path, file);
        WriteAll(path + ".bak", "older", 5);
        CSMSMng m(ui, path);
        m.Load();
        EXPECT_EQ(ReadAll(path), file);
        ASSERT_EQ(m.Save(), 1);
        EXPECT_EQ(ReadAll(path + ".bak"), file) << overfull;
        Bytes saved = ReadAll(path);
        EXPECT_NE(saved, file);
        m.OnSmsReceived(new CSMS);  // a later write leaves the copy alone
        EXPECT_EQ(ReadAll(path + ".bak"), file);
        EXPECT_NE(ReadAll(path), saved);
    }
    // A foreign file is kept whole too.
    WriteAll(path, Header(0, 0, 0, 7));
    std::remove((path + ".bak").c_str());
    CSMSMng foreign(ui, path);
    EXPECT_EQ(foreign.Load(), 0);
    ASSERT_EQ(foreign.Save(), 1);
    EXPECT_EQ(ReadAll(path + ".bak"), Header(0, 0, 0, 7));
    // A whole file gets no copy.
    CSMSMng whole(ui, path);
    std::remove((path + ".bak").c_str());
    EXPECT_EQ(whole.Load(), 1);
    ASSERT_EQ(whole.Save(), 1);
    EXPECT_FALSE(FileExists(path + ".bak"));
}

// Received SMS were kept in memory only: a crash after hours online lost
// every one the device had already deleted.
TEST_F(SmsStore, ReceivedSmsIsOnDiskAtOnce) {
    ASSERT_EQ(mng.Load(), 0);  // no store yet
    auto* sms = new CSMS;
    sms->SetText("přišla");
    sms->AddNumber("603111222");
    mng.OnSmsReceived(sms);
    CSMSMng after(ui, path);
    ASSERT_EQ(after.Load(), 1);
    ASSERT_EQ(after.GetCount(SMS_LIST_RECEIVED), 1);
    EXPECT_STREQ(after.Get(0, SMS_LIST_RECEIVED)->GetText(), "přišla");
}

// The to-send list changed by the user and the sent moves were written only
// at exit: after a crash a sent SMS went out again, a deleted one came back.
TEST_F(SmsStore, ChangesOfTheListsAreOnDiskAtOnce) {
    ASSERT_EQ(mng.Load(), 0);
    CSMS draft;
    draft.AddNumber("603111222");
    draft.SetText("k odeslání");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(mng.AddSMS(&draft, SMS_LIST_TOSEND, false), i);
    mng.OnSmsSent(0);
    mng.m_anIndex[0] = 1;
    mng.RemoveSMS(SMS_LIST_TOSEND, 1);
    CSMSMng after(ui, path);
    ASSERT_EQ(after.Load(), 1);
    EXPECT_EQ(after.GetCount(SMS_LIST_TOSEND), 1);
    EXPECT_EQ(after.GetCount(SMS_LIST_SENT), 1);
}

#ifndef _WIN32
// A received SMS that cannot be written to SMS.dat is not kept: the device
// keeps it, and a full list keeps its oldest record, which it would have
// given up for the new one.
TEST_F(SmsStore, ReceivedSmsThatCannotBeWrittenIsGivenBack) {
    Bytes file = Header(SMS_LIST_CAPACITY, 0, 0);
    for (int i = 0; i < SMS_LIST_CAPACITY; ++i) Append(file, Simple("r" + std::to_string(i)));
    WriteAll(path, file);
    ASSERT_EQ(mng.Load(), 1);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);  // nothing can be renamed over it
    auto* sms = new CSMS;
    sms->SetText("nová");
    const size_t rows = ui.rowOps.size();
    EXPECT_FALSE(mng.OnSmsReceived(sms));
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), SMS_LIST_CAPACITY);
    EXPECT_STREQ(mng.Get(0, SMS_LIST_RECEIVED)->GetText(), "r0");
    EXPECT_EQ(mng.Get(SMS_LIST_CAPACITY - 1, SMS_LIST_RECEIVED)->GetText(),
              "r" + std::to_string(SMS_LIST_CAPACITY - 1));
    EXPECT_EQ(ui.rowOps.size(), rows);  // the view never saw it
    ASSERT_EQ(::rmdir(path.c_str()), 0);
    sms = new CSMS;
    sms->SetText("nová");
    EXPECT_TRUE(mng.OnSmsReceived(sms));
    EXPECT_STREQ(mng.Get(0, SMS_LIST_RECEIVED)->GetText(), "r1");
    EXPECT_STREQ(mng.Get(SMS_LIST_CAPACITY - 1, SMS_LIST_RECEIVED)->GetText(), "nová");
}
#endif

// Random and mutated files: the load ends cleanly and the lists keep their
// limits (run under AddressSanitizer to catch reads past a buffer and leaks).
TEST_F(SmsStore, RandomAndMutatedFilesLoadWithinLimits) {
    std::mt19937 rng(20081202);
    Bytes valid = Header(2, 1, 3);
    Append(valid, Record({1, 2, 3, 4, 5, 6}, 0x80000000, "hello", {"1", "22"}));
    Append(valid, Record({1, 2, 3, 4, 5, 6}, 0, std::string(200, 'q'), {}));
    Append(valid, Record({1, 2, 3, 4, 5, 6}, 1, "x", {"123"}));
    for (int i = 0; i < 3; ++i) Append(valid, Record({}, 2, "t", {"1", "2", "3", "4", "5"}));

    int recordsLoaded = 0;
    for (int round = 0; round < 10000; ++round) {
        Bytes file;
        if (round % 2) {
            file = valid;
            const int flips = 1 + int(rng() % 8);
            for (int f = 0; f < flips; ++f) file[rng() % file.size()] = uint8_t(rng());
            if (rng() % 4 == 0) file.resize(rng() % file.size());
        } else {
            file = Header(rng() % 8, rng() % 8, rng() % 8, rng() % 4 ? 1 : rng());
            const size_t n = rng() % 600;
            for (size_t k = 0; k < n; ++k) {
                // Small values are likelier, so that the lengths sometimes fit.
                file.push_back(uint8_t(rng() % 3 ? rng() % 24 : rng()));
            }
        }
        WriteAll(path, file);
        CSMSMng m(ui, path);
        m.Load();
        for (int list = 0; list < SMS_LIST_COUNT; ++list) {
            ASSERT_LE(m.GetCount(list), SMS_LIST_CAPACITY);
            recordsLoaded += m.GetCount(list);
            for (int i = 0; i < m.GetCount(list); ++i) {
                const CSMS* s = m.Get(i, list);
                ASSERT_EQ(s->GetList(), list);
                ASSERT_LE(s->GetTextLen(), size_t(SMS_TEXT_MAX));
                ASSERT_LE(s->GetNumberCount(), SMS_MAX_NUMBERS);
                for (int k = 0; k < s->GetNumberCount(); ++k)
                    ASSERT_LE(std::strlen(s->GetNumber(k)), size_t(SMS_NUMBER_LEN));
            }
        }
    }
    EXPECT_GT(recordsLoaded, 10000);  // the mutations reach past the header
}

// --- Text export ----------------------------------------------------------------

namespace {

struct SmsExport : SmsStore {
    // A Czech name: on Windows a narrow open() missed the file that exists
    // and replaced it without the question.
    std::string out = dir.File("zprávy-čtvrtek.txt");

    SmsExport() {
        auto* a = new CSMS;
        const uint8_t t[6] = {2, 12, 8, 14, 3, 9};
        std::memcpy(a->m_Time, t, 6);
        a->SetText("Ahoj\r\nsvete");
        a->AddNumber("+420603111222");
        a->AddNumber("604");
        mng.Add(a, SMS_LIST_SENT, true);
        auto* b = new CSMS;
        b->SetText("bez cisla");
        mng.Add(b, SMS_LIST_SENT, true);
        ui.currentPane = PANE_SMSLIST;
        ui.shownList = SMS_LIST_SENT;
    }

    static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
};

const char kLines[] =
    "14:03:09  2.12.2008\t+420603111222, 604\tAhoj\r\nsvete\r\n"
    "00:00:00  0.0.2000\t\tbez cisla\r\n";

}  // namespace

TEST_F(SmsExport, WritesOneLinePerRecordOldestFirst) {
    ui.savePaths = {out};
    mng.ExportSMS(SMS_ALL);
    EXPECT_EQ(Text(ReadAll(out)), kLines);
    EXPECT_TRUE(ui.boxes.empty());  // a new file: no question
    ASSERT_EQ(ui.saveFilters.size(), 1u);
    EXPECT_EQ(ui.saveFilters[0], "Textové dokumenty (*.txt)|*.txt|Všechny soubory|*.*");
    EXPECT_EQ(ui.saveExts[0], "txt");
}

TEST_F(SmsExport, ExistingFileIsCutOnYesAndContinuedOnNo) {
    WriteAll(out, "old line\r\n", 10);
    ui.savePaths = {out};
    ui.answers = {IDNO};
    ui.selection = {1};
    mng.ExportSMS(SMS_SELECTED);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, LoadStr(110));
    EXPECT_EQ(ui.boxes[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(Text(ReadAll(out)), "old line\r\n00:00:00  0.0.2000\t\tbez cisla\r\n");

    ui.savePaths = {out};
    ui.answers = {IDYES};
    mng.ExportSMS(SMS_ALL);
    EXPECT_EQ(Text(ReadAll(out)), kLines);
}

TEST_F(SmsExport, NothingToWriteOrCancelledDoesNothingAndFailureIsReported) {
    mng.ExportSMS(SMS_SELECTED);  // no selection: not even the dialog
    EXPECT_TRUE(ui.saveFilters.empty());
    mng.ExportSMS(SMS_ALL);  // dialog cancelled
    EXPECT_EQ(ui.saveFilters.size(), 1u);
    EXPECT_FALSE(FileExists(out));

    ui.savePaths = {dir.File("missing/out.txt")};
    mng.ExportSMS(SMS_ALL);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, LoadStr(103));
    EXPECT_EQ(ui.boxes[0].icon, MbIcon::Error);

    ui.shownList = -1;
    ui.savePaths = {out};
    mng.ExportSMS(SMS_ALL);
    EXPECT_EQ(ui.saveFilters.size(), 2u);
}

// Unreadable files, links and file size limits are POSIX notions.
#ifndef _WIN32
// A failed append left the half-written lines behind, and a failed overwrite
// had already cut the old export away.
TEST_F(SmsExport, FailedWriteLeavesTheFileAsItWas) {
    const std::string old = "old line\r\n";
    WriteAll(out, old.data(), old.size());
    // A file size limit makes the write stop part way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = old.size() + 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int answer : {IDNO, IDYES}) {
        ui.boxes.clear();
        ui.savePaths = {out};
        ui.answers = {answer};
        mng.ExportSMS(SMS_ALL);
        ASSERT_EQ(ui.boxes.size(), 2u);
        EXPECT_EQ(ui.boxes[1].text, LoadStr(103));
        EXPECT_EQ(Text(ReadAll(out)), old) << answer;
    }
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
    std::signal(SIGXFSZ, SIG_DFL);
    ui.boxes.clear();
    ui.savePaths = {out};
    ui.answers = {IDNO};
    mng.ExportSMS(SMS_ALL);
    EXPECT_EQ(Text(ReadAll(out)), old + kLines);
}
#endif
