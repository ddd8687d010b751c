// melodyloader's file source and download: a melody file of any content and
// size, sent to a device whose answers come from the input. Oversized files
// are refused; every block goes to its own address inside the melody memory
// carrying exactly the file's bytes, and success means every byte arrived.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "melodyloader/MelodyLoader.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace melody;

namespace {

// A device that answers each request as the script says and checks every
// write request against the file.
class CScriptedDevice : public IMelodyLink {
public:
    CScriptedDevice(const std::vector<uint8_t>& file, std::vector<uint8_t> script)
        : m_file(file), m_script(std::move(script)) {}

    bool Send(const uint8_t* p, size_t n) override {
        FUZZ_CHECK(n >= kWriteHeaderLen && n <= kMaxRequestLen);
        FUZZ_CHECK(p[0] == kRequestTag && p[1] == MELCMD_WRITE && p[2] == 0 && p[3] == 0);
        const size_t len = p[6];
        FUZZ_CHECK(len >= 1 && len <= kBlockSize && n == kWriteHeaderLen + len);
        const uint32_t address = p[4] | uint32_t(p[5]) << 8;
        // Each block starts where the acknowledged bytes end, and it is a
        // whole block unless the file ends.
        FUZZ_CHECK(address == MELODY_BASE_ADDRESS + acked);
        FUZZ_CHECK(len == std::min(kBlockSize, m_file.size() - acked));
        FUZZ_CHECK(address + len <= 0x10000);
        std::vector<uint8_t> plain(p + kWriteHeaderLen, p + n);
        Scramble(plain.data(), plain.size(), address);
        FUZZ_CHECK(std::equal(plain.begin(), plain.end(), m_file.begin() + long(acked)));
        m_pending = len;
        ++sends;
        return true;
    }

    void Drain() override {}

    Rx Receive(uint8_t* buf, size_t capacity, size_t& len) override {
        FUZZ_CHECK(capacity >= kReplyLen);
        const uint8_t what = m_next < m_script.size() ? m_script[m_next++] % 6 : 0;
        uint8_t reply[kReplyLen] = {kReplyTag, MELCMD_WRITE, 0x01, 0x00};
        switch (what) {
        case 1: reply[3] = 1; break;  // refused
        case 2: return kTimeout;
        case 3: return kBadFrame;
        case 4: reply[1] = MELCMD_CHECK; break;  // someone else's answer
        case 5:
            len = 2;
            std::memcpy(buf, reply, 2);
            return kFrame;  // too short to acknowledge
        default: break;
        }
        std::memcpy(buf, reply, kReplyLen);
        len = kReplyLen;
        if (what == 0) {
            acked += m_pending;
            m_pending = 0;
        }
        return kFrame;
    }

    void SetReadTimeout(uint32_t) override {}

    size_t acked = 0;
    int sends = 0;

private:
    const std::vector<uint8_t>& m_file;
    std::vector<uint8_t> m_script;
    size_t m_next = 0;
    size_t m_pending = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<uint8_t> script = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 16));
    const size_t fileSize = in.ConsumeIntegralInRange<size_t>(0, kMaxImageSize + 64);
    std::vector<uint8_t> file = in.ConsumeBytes<uint8_t>(fileSize);
    // Short inputs still make large files: the rest repeats what there is.
    const size_t given = file.size();
    for (size_t i = given; i < fileSize && given > 0; ++i) file.push_back(uint8_t(file[i % given] + i));

    const std::string path = fuzz::ScratchPath("melody.bin");
    fuzz::WriteFile(path, file.data(), file.size());
    CFileSource source;
    const CFileSource::OpenResult opened = source.Open(path);
    if (file.size() > kMaxImageSize) {
        FUZZ_CHECK(opened == CFileSource::kTooLarge);
        return 0;
    }
    FUZZ_CHECK(opened == CFileSource::kOpened);

    // The source gives the file's bytes at any offset, and nothing past its end.
    uint8_t probe[kBlockSize + 1];
    const size_t at = file.empty() ? 0 : data[0] % file.size();
    const long got = source.Read(at, probe, sizeof probe);
    FUZZ_CHECK(got == long(std::min(sizeof probe, file.size() - at)));
    FUZZ_CHECK(std::equal(probe, probe + got, file.begin() + long(at)));
    FUZZ_CHECK(source.Read(file.size(), probe, sizeof probe) == 0);

    CScriptedDevice device(file, std::move(script));
    int blocks = 0;
    const bool ok = Download(device, source, [&] { ++blocks; });
    FUZZ_CHECK(ok == (device.acked == file.size()));
    FUZZ_CHECK(size_t(blocks) == (device.acked + kBlockSize - 1) / kBlockSize);
    // Three tries for the first block, two for each later one: the script
    // holds at most 16 answers, so a failure comes early.
    if (!ok) FUZZ_CHECK(device.sends <= 16);
    return 0;
}
