// cfg-load's JSON of any content, parsed as the program parses it: a refusal
// says why in printable text and leaves the image as it was; an accepted
// input gives an image whose dump loads back to the same image and dumps
// again to the same text.
#include <cstring>

#include "tests/fuzz/FuzzSupport.h"
#include "tools/vantrixctl/CfgJson.h"

namespace {

using json = nlohmann::ordered_json;

CfgImage Defaults() {
    CfgImage img;
    SetDefaults(img);
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Parsed as cfg-load parses: an exception here is a crash of the program.
    json j;
    std::string error;
    if (!ParseCfgJson(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz", j, error)) {
        FUZZ_CHECK(error.find(": ") != std::string::npos && Printable(error) == error);
        return 0;
    }

    const CfgImage defaults = Defaults();
    CfgImage img = defaults;
    if (!CfgFromJson(j, img, error)) {
        FUZZ_CHECK(Printable(error) == error);
        FUZZ_CHECK(!error.empty() && error.find(": ") != std::string::npos);
        FUZZ_CHECK(fuzz::BytesOf(img) == fuzz::BytesOf(defaults));
        return 0;
    }
    FUZZ_CHECK(std::memchr(img.sim_pin[0], 0, sizeof img.sim_pin[0]));

    const std::string dump = CfgToJson(img).dump(2);
    CfgImage again = Defaults();
    FUZZ_CHECK(CfgFromJson(json::parse(dump), again, error));
    FUZZ_CHECK(fuzz::BytesOf(again) == fuzz::BytesOf(img));
    FUZZ_CHECK(CfgToJson(again).dump(2) == dump);
    return 0;
}
