#include "tests/fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzz {

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        // Memory-backed where there is one: the savers sync every file they write.
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                ? std::filesystem::path("/dev/shm")
                : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "vantrix-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

std::string ScratchPath(const std::string& name) {
    static Scratch scratch;
    return scratch.path + "/" + name;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    FUZZ_CHECK(f.good());
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

int CScriptIO::Read(void* buf, uint32_t n, uint32_t) {
    if (m_size - m_pos < n) {
        m_pos = m_size;
        return SER_TIMEOUT;
    }
    if (n) std::memcpy(buf, m_rx + m_pos, n);
    m_pos += n;
    return SER_OK;
}

int CScriptIO::Write(const void* buf, uint32_t n, uint32_t) {
    auto p = static_cast<const uint8_t*>(buf);
    writes.emplace_back(p, p + n);
    return SER_OK;
}

}  // namespace fuzz
