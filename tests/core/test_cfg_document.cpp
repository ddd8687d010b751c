// The configuration document: the .cfg file, its failures, and the questions
// before changes could be lost.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <random>

#include "app/Strings.h"
#include "config/VantrixCfg.h"
#include "tests/support/FakeUI.h"
#include "tests/support/ImageBytes.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Header(int32_t version, int32_t layout) {
    Bytes b(8);
    std::memcpy(&b[0], &version, 4);
    std::memcpy(&b[4], &layout, 4);
    return b;
}

struct CfgDocument : ::testing::Test {
    TempDir dir;
    FakeUI ui;
    CVantrixCfg doc{ui};

    int Count101() const {
        int n = 0;
        for (const auto& b : ui.boxes) n += b.text == LoadStr(101);
        return n;
    }
};

}  // namespace

TEST_F(CfgDocument, NewConfigurationSavesAs2070BytesAndReopensExactly) {
    doc.GetData()->alarms[0].melody = 9;
    ASSERT_TRUE(doc.StoreFile(dir.File("a.cfg")));
    Bytes file = ReadAll(dir.File("a.cfg"));
    ASSERT_EQ(file.size(), 2070u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 8), (Bytes{1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(file.begin() + 8, file.end()), ImageBytes(*doc.GetData()));

    FakeUI ui2;
    CVantrixCfg other(ui2);
    other.SetModified();
    ASSERT_TRUE(other.LoadFile(dir.File("a.cfg")));
    EXPECT_FALSE(other.IsModified());
    EXPECT_EQ(other.GetFileName(), dir.File("a.cfg"));
    EXPECT_EQ(ImageBytes(*other.GetData()), ImageBytes(*doc.GetData()));
}

TEST_F(CfgDocument, ForeignVersionsAndLayoutsAreRefusedAndChangeNothing) {
    doc.GetData()->audio_in_level = 11;
    ASSERT_TRUE(doc.StoreFile(dir.File("mine.cfg")));
    doc.SetModified();
    Bytes before = ImageBytes(*doc.GetData());

    Bytes block(2062, 0);
    for (const auto& head : {Header(2, -2), Header(1, 0), Header(1, 3)}) {
        Bytes f = head;
        f.insert(f.end(), block.begin(), block.end());
        WriteAll(dir.File("bad.cfg"), f);
        EXPECT_FALSE(doc.LoadFile(dir.File("bad.cfg")));
    }
    EXPECT_FALSE(doc.LoadFile(dir.File("missing.cfg")));
    EXPECT_EQ(Count101(), 4);
    EXPECT_EQ(ui.boxes.back().icon, MbIcon::Error);
    EXPECT_EQ(ImageBytes(*doc.GetData()), before);
    EXPECT_EQ(doc.GetFileName(), dir.File("mine.cfg"));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(CfgDocument, DeviceLayoutFileOpensWithDefaultRenumberingAndSavesNative) {
    CfgImage src;
    SetDefaults(src);
    src.audio_out_level = 100;
    Bytes block(1850);
    FindLayout(1)->exportImage(src, block.data());
    Bytes f = Header(1, 1);
    f.insert(f.end(), block.begin(), block.end());
    f.insert(f.end(), 100, 0xAB);  // trailing bytes are ignored
    WriteAll(dir.File("dev.cfg"), f);

    doc.GetData()->renum.dtmf_delay = 99;
    ASSERT_TRUE(doc.LoadFile(dir.File("dev.cfg")));
    EXPECT_EQ(doc.GetData()->audio_out_level, 100);
    EXPECT_EQ(doc.GetData()->renum.dtmf_delay, 5);
    ASSERT_TRUE(doc.StoreFile(dir.File("dev.cfg")));
    Bytes saved = ReadAll(dir.File("dev.cfg"));
    EXPECT_EQ(saved.size(), 2070u);
    EXPECT_EQ(saved[4], 0xFE);
}

TEST_F(CfgDocument, LegacyFileOpens) {
    CfgImage src;
    SetDefaults(src);
    src.rs232_speed = 5;
    Bytes f = Header(1, -1);
    Bytes all = ImageBytes(src);
    f.insert(f.end(), all.begin(), all.begin() + 1844);
    WriteAll(dir.File("old.cfg"), f);
    ASSERT_TRUE(doc.LoadFile(dir.File("old.cfg")));
    EXPECT_EQ(doc.GetData()->rs232_speed, 5);
    EXPECT_EQ(doc.GetData()->renum.entries[0].mode, 255);
}

TEST_F(CfgDocument, FailedSaveKeepsThePreviousFileAndTheDocumentState) {
    const std::string keep = dir.File("keep.cfg");
    ASSERT_TRUE(doc.StoreFile(keep));
    Bytes before = ReadAll(keep);
    doc.GetData()->audio_in_level = 1;
    doc.SetModified();
#ifdef _WIN32
    // A read-only file is to stay as it is (a folder's read-only mark keeps
    // no file out on Windows).
    chmod(keep.c_str(), 0444);
    bool stored = doc.StoreFile(keep);
    chmod(keep.c_str(), 0666);
    const bool refused = true;
#else
    chmod(dir.Path().c_str(), 0500);  // no temporary file can be created
    bool stored = doc.StoreFile(keep);
    chmod(dir.Path().c_str(), 0700);
    const bool refused = geteuid() != 0;  // root writes anyway
#endif
    if (refused) {
        EXPECT_FALSE(stored);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(ReadAll(keep), before);
        EXPECT_EQ(ui.boxes.back().text, LoadStr(102));
    }
    EXPECT_FALSE(doc.StoreFile(dir.File("no/such/dir/x.cfg")));
    EXPECT_EQ(ui.boxes.back().text, LoadStr(102));
    EXPECT_EQ(doc.GetFileName(), keep);
}

TEST_F(CfgDocument, SaveQuestionAnswers) {
    // Not modified: nothing is asked.
    doc.NewCfg();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.events.back().first, AE_CFG_REPLACED);

    // Cancel keeps everything.
    doc.GetData()->audio_in_level = 1;
    doc.SetModified();
    ui.answers = {IDCANCEL};
    doc.NewCfg();
    EXPECT_EQ(ui.boxes.back().text, LoadStr(104));
    EXPECT_EQ(ui.boxes.back().buttons, MbButtons::YesNoCancel);
    EXPECT_EQ(doc.GetData()->audio_in_level, 1);
    EXPECT_TRUE(doc.IsModified());

    // Yes and a cancelled save dialog stop as Cancel does: the edits stay.
    ui.answers = {IDYES};
    doc.NewCfg();
    EXPECT_EQ(ui.saveFilters.back(), "Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*");
    EXPECT_EQ(ui.saveExts.back(), "cfg");
    EXPECT_EQ(doc.GetData()->audio_in_level, 1);
    EXPECT_TRUE(doc.IsModified());

    // No discards the changes; the open dialog cancelled leaves the image.
    doc.GetData()->audio_in_level = 2;
    doc.SetModified();
    ui.answers = {IDNO};
    doc.OpenCfg();
    EXPECT_EQ(doc.GetData()->audio_in_level, 2);
    EXPECT_EQ(ui.openFilters.size(), 1u);
}

TEST_F(CfgDocument, SaveUsesTheFileNameAndSaveAsAlwaysAsks) {
    ui.savePaths = {dir.File("first.cfg")};
    doc.SaveCfg(false);
    EXPECT_EQ(doc.GetFileName(), dir.File("first.cfg"));
    EXPECT_EQ(ui.commits, 1);
    int titles = ui.titleUpdates;
    doc.SaveCfg(false);
    EXPECT_EQ(ui.saveFilters.size(), 1u);
    EXPECT_EQ(ui.titleUpdates, titles + 1);
    doc.SaveCfg(true);  // dialog cancelled
    EXPECT_EQ(ui.saveFilters.size(), 2u);
    EXPECT_EQ(doc.GetFileName(), dir.File("first.cfg"));
}

TEST_F(CfgDocument, SetModifiedUpdatesTheTitleOnlyWhenTurningOn) {
    EXPECT_FALSE(doc.SetModified());
    EXPECT_TRUE(doc.SetModified());
    EXPECT_EQ(ui.titleUpdates, 1);
}

TEST_F(CfgDocument, RandomAndTruncatedFilesAreRefusedWithoutHarm) {
    ASSERT_TRUE(doc.StoreFile(dir.File("good.cfg")));
    Bytes good = ReadAll(dir.File("good.cfg"));
    doc.GetData()->audio_in_level = 3;
    Bytes image = ImageBytes(*doc.GetData());
    std::mt19937 rng(2062);
    int refused = 0;
    for (int i = 0; i < 10000; ++i) {
        Bytes f;
        switch (i % 4) {
        case 0:  // a good file cut short
            f.assign(good.begin(), good.begin() + rng() % good.size());
            break;
        case 1: {  // a valid header with a random layout id and random bytes
            int32_t layouts[] = {-2, -1, 1, 2, 0, 3, int32_t(rng())};
            f = Header(1, layouts[rng() % 7]);
            f.resize(8 + rng() % 2200);
            for (size_t k = 8; k < f.size(); ++k) f[k] = uint8_t(rng());
            // Mostly too short; a full block is a valid file and is accepted.
            break;
        }
        default:
            f.resize(rng() % 64);
            for (auto& c : f) c = uint8_t(rng());
        }
        WriteAll(dir.File("r.cfg"), f);
        size_t boxesBefore = ui.boxes.size();
        if (!doc.LoadFile(dir.File("r.cfg"))) {
            ++refused;
            ASSERT_EQ(ui.boxes.size(), boxesBefore + 1);
            ASSERT_EQ(ui.boxes.back().text, LoadStr(101));
            ASSERT_EQ(ImageBytes(*doc.GetData()), image);
            ASSERT_EQ(doc.GetFileName(), dir.File("good.cfg"));
        } else {
            // Accepted: every text of the image is terminated.
            const CfgImage& img = *doc.GetData();
            ASSERT_NE(std::memchr(img.reset_sms_text, 0, sizeof img.reset_sms_text), nullptr);
            ASSERT_NE(std::memchr(img.renum.entries[4].result, 0, 21), nullptr);
            image = ImageBytes(img);
            ASSERT_TRUE(doc.LoadFile(dir.File("good.cfg")));
            image = ImageBytes(*doc.GetData());
        }
    }
    EXPECT_GT(refused, 9000);
}
