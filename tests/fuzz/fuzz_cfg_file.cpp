// .cfg files of any content, through the plain reader and the document: a
// refused file changes nothing, an accepted one gives an image with every text
// terminated that saves in the native layout and reads back the same.
#include <cstring>

#include "app/Bytes.h"
#include "config/VantrixCfg.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool TextsTerminated(const CfgImage& img) {
    CfgImage copy = img;
    TerminateTexts(copy);
    return std::memcmp(&copy, &img, sizeof img) == 0;
}

bool RenumIsDefault(const CfgImage& img) {
    RenumBlock renum;
    std::memset(&renum, 0xEE, sizeof renum);
    SetRenumDefaults(renum);
    return std::memcmp(&renum, &img.renum, sizeof renum) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("in.cfg");
    fuzz::WriteFile(path, data, size);

    // The reader touches the image only on success.
    CfgImage img;
    std::memset(&img, 0xA5, sizeof img);
    const CfgImage before = img;
    const bool ok = ReadCfgFile(path, img);
    const LayoutDesc* layout = size >= 8 ? FindLayout(int32_t(bytes::GetLE32(data + 4))) : nullptr;
    const bool expectOk =
        size >= 8 && bytes::GetLE32(data) == uint32_t(CVantrixCfg::kFileVersion) && layout && size >= 8 + layout->size;
    FUZZ_CHECK(ok == expectOk);
    if (!ok) {
        FUZZ_CHECK(std::memcmp(&img, &before, sizeof img) == 0);
    } else {
        FUZZ_CHECK(TextsTerminated(img));
        if (layout->id == LAYOUT_DEVICE1 || layout->id == LAYOUT_LEGACY) FUZZ_CHECK(RenumIsDefault(img));
    }

    // The document: a refusal keeps image, name and modified flag and says so once.
    fuzz::CQuietUI ui;
    CVantrixCfg doc(ui);
    const std::string keptName = fuzz::ScratchPath("kept.cfg");
    doc.GetData()->audio_in_level = 17;
    FUZZ_CHECK(doc.StoreFile(keptName));
    doc.SetModified();
    const CfgImage docBefore = *doc.GetData();
    const bool loaded = doc.LoadFile(path);
    FUZZ_CHECK(loaded == ok);
    if (!loaded) {
        FUZZ_CHECK(std::memcmp(doc.GetData(), &docBefore, sizeof docBefore) == 0);
        FUZZ_CHECK(doc.GetFileName() == keptName && doc.IsModified());
        FUZZ_CHECK(ui.boxes.size() == 1 && ui.boxes[0] == LoadStr(IDS_CFG_LOAD_ERROR));
        return 0;
    }
    FUZZ_CHECK(ui.boxes.empty() && !doc.IsModified() && doc.GetFileName() == path);
    FUZZ_CHECK(std::memcmp(doc.GetData(), &img, sizeof img) == 0);

    // Saved again it is the native layout, 2070 bytes, and reads back unchanged.
    const std::string saved = fuzz::ScratchPath("saved.cfg");
    FUZZ_CHECK(doc.StoreFile(saved));
    const std::vector<uint8_t> file = fuzz::ReadFile(saved);
    FUZZ_CHECK(file.size() == CVantrixCfg::kFileSize);
    FUZZ_CHECK(int32_t(bytes::GetLE32(file.data() + 4)) == LAYOUT_NATIVE);
    CfgImage again;
    FUZZ_CHECK(ReadCfgFile(saved, again));
    FUZZ_CHECK(std::memcmp(&again, &img, sizeof img) == 0);
    return 0;
}
