#include "tests/support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

TempDir::TempDir() {
    // A fresh name that nobody else holds: create_directory fails on an existing one.
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "vantrix-test-%08x", unsigned(rd()));
        std::error_code ec;
        if (std::filesystem::create_directory(base / name, ec)) {
            std::filesystem::permissions(base / name, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, ec);
            m_path = (base / name).string();
            return;
        }
    }
    m_path = (base / "vantrix-test").string();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

namespace {

// Names are UTF-8, as in the programs; on Windows a narrow name would be read
// in the ANSI code page.
std::filesystem::path Utf8(const std::string& name) { return std::u8string(name.begin(), name.end()); }

}  // namespace

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream f(Utf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const void* data, size_t n) {
    std::ofstream f(Utf8(path), std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(data), std::streamsize(n));
}
