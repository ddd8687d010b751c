// A fresh directory per test, removed with everything in it afterwards.
#pragma once

#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<unsigned char> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const void* data, size_t n);
inline void WriteAll(const std::string& path, const std::vector<unsigned char>& data) {
    WriteAll(path, data.data(), data.size());
}
