// cfg-load: the inverse of cfg-dump, through the same document that the
// control panel saves with.
#include <cstdio>
#include <iostream>

#include "app/ConsoleOut.h"
#include "app/FileIO.h"
#include "config/VantrixCfg.h"
#include "tools/vantrixctl/CfgCommands.h"
#include "tools/vantrixctl/CfgJson.h"
#include "tools/vantrixctl/ConsoleUI.h"

namespace {

constexpr int kExitDataErr = 65;
constexpr int kExitNoInput = 66;
constexpr int kExitCantCreate = 73;

// Reads on until the text is larger than any configuration's JSON, so that
// a larger input is told without being held.
template <class Read> void ReadUpTo(Read read, std::string& out) {
    char buf[4096];
    size_t n;
    while (out.size() <= kCfgJsonMaxBytes && (n = read(buf, sizeof buf)) > 0) out.append(buf, n);
}

bool ReadAll(const std::string& path, std::string& out) {
    if (path == "-") {
        ReadUpTo(
            [](char* buf, size_t n) {
                std::cin.read(buf, std::streamsize(n));
                return size_t(std::cin.gcount());
            },
            out);
        return !std::cin.bad();
    }
    CInFile f(path);
    if (!f.IsOpen()) return false;
    ReadUpTo([&f](char* buf, size_t n) { return f.Read(buf, n); }, out);
    return !f.Failed();
}

}  // namespace

int ReadCfgJson(const std::string& path, CfgImage& img) {
    std::string text;
    if (!ReadAll(path, text)) {
        ConsolePrintf(stderr, "%s: cannot be read\n", path.c_str());
        return kExitNoInput;
    }
    nlohmann::ordered_json j;
    std::string error;
    if (!ParseCfgJson(text, path, j, error)) {
        ConsolePrintf(stderr, "%s\n", error.c_str());
        return kExitDataErr;
    }
    SetDefaults(img);
    if (!CfgFromJson(j, img, error)) {
        ConsolePrintf(stderr, "%s\n", error.c_str());
        return kExitDataErr;
    }
    return 0;
}

int CfgLoad(const std::string& jsonPath, const std::string& outPath) {
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    if (int r = ReadCfgJson(jsonPath, *doc.GetData())) return r;
    return doc.StoreFile(outPath) ? 0 : kExitCantCreate;
}
