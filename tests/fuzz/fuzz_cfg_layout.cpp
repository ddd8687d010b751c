// The layout imports on arbitrary buffers: every import gives an image with
// its texts terminated, determined by the buffer alone, and for the device
// layouts the export of that image imports to the same image again.
#include <cstring>
#include <memory>
#include <vector>

#include "config/CfgImage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool TextsTerminated(const CfgImage& img) {
    CfgImage copy = img;
    TerminateTexts(copy);
    return std::memcmp(&copy, &img, sizeof img) == 0;
}

// Imports a copy of `buf` (an import may turn bytes around in its buffer)
// into an image that starts out as `fill`.
CfgImage Import(const LayoutDesc& l, const std::vector<uint8_t>& buf, uint8_t fill) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[l.size]);
    std::memcpy(copy.get(), buf.data(), l.size);
    CfgImage img;
    std::memset(&img, fill, sizeof img);
    l.importImage(copy.get(), img);
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const LayoutDesc& l = kLayouts[data[0] % 4];
    std::vector<uint8_t> buf(data + 1, data + size);
    buf.resize(l.size, 0);

    const CfgImage a = Import(l, buf, 0x00);
    const CfgImage b = Import(l, buf, 0xFF);
    FUZZ_CHECK(std::memcmp(&a, &b, sizeof a) == 0);  // no field is left as it was
    FUZZ_CHECK(TextsTerminated(a));
    if (!l.exportImage) return 0;

    // Exactly the layout's size: an export that writes past it is caught.
    std::unique_ptr<uint8_t[]> out(new uint8_t[l.size]);
    l.exportImage(a, out.get());
    FUZZ_CHECK(out[0] == 0 && out[1] == uint8_t(l.id));  // the layout number, big-endian
    std::vector<uint8_t> exported(out.get(), out.get() + l.size);
    const CfgImage c = Import(l, exported, 0x33);
    FUZZ_CHECK(std::memcmp(&a, &c, sizeof a) == 0);
    return 0;
}
