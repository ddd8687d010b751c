// Profile.dat of any content: a foreign file gives the defaults, a short one
// keeps the values of what it does not reach (the defaults of a new profile), the port name stays within
// its limit, and what was read writes and reads back the same.
#include <algorithm>
#include <cstring>

#include "app/Bytes.h"
#include "app/Profile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("Profile.dat");
    fuzz::WriteFile(path, data, size);

    const CProfile defaults(1280, 1024);
    CProfile p(1280, 1024);
    p.com.accessMode = 77;  // a foreign file sets every default again
    p.wnd.treeWidth = 77;   // a short file leaves what it does not reach
    const CProfile before = p;
    const int r = p.Read(path);
    FUZZ_CHECK(r == 1 || r == 96);
    FUZZ_CHECK(p.com.portName[CProfile::kPortNameMax] == 0);
    FUZZ_CHECK(p.PortName().size() <= CProfile::kPortNameMax);
    if (r == 96) {
        FUZZ_CHECK(size < 4 || bytes::GetLE32(data) != CProfile::kVersion);
        FUZZ_CHECK(fuzz::BytesOf(p.com) == fuzz::BytesOf(defaults.com));
        FUZZ_CHECK(fuzz::BytesOf(p.wnd) == fuzz::BytesOf(defaults.wnd));
        return 0;
    }

    // The file's bytes as far as they go, the values from before beyond.
    FUZZ_CHECK(size >= 4 && bytes::GetLE32(data) == CProfile::kVersion);
    uint8_t expected[sizeof(ProfileComBlock) + sizeof(ProfileWndBlock)];
    std::memcpy(expected, &before.com, sizeof before.com);
    std::memcpy(expected + sizeof before.com, &before.wnd, sizeof before.wnd);
    std::memcpy(expected, data + 4, std::min(size - 4, sizeof expected));
    expected[offsetof(ProfileComBlock, portName) + CProfile::kPortNameMax] = 0;
    FUZZ_CHECK(std::memcmp(expected, &p.com, sizeof p.com) == 0);
    FUZZ_CHECK(std::memcmp(expected + sizeof p.com, &p.wnd, sizeof p.wnd) == 0);

    const std::string again = fuzz::ScratchPath("Profile2.dat");
    FUZZ_CHECK(p.Write(again) == 1);
    FUZZ_CHECK(fuzz::ReadFile(again).size() == 4 + sizeof expected);
    CProfile q;
    FUZZ_CHECK(q.Read(again) == 1);
    FUZZ_CHECK(fuzz::BytesOf(q.com) == fuzz::BytesOf(p.com));
    FUZZ_CHECK(fuzz::BytesOf(q.wnd) == fuzz::BytesOf(p.wnd));
    return 0;
}
