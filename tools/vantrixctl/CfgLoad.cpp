// cfg-load: the inverse of cfg-dump, through the same document that the
// control panel saves with.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <sstream>

#include "app/FileIO.h"
#include "config/VantrixCfg.h"
#include "tools/vantrixctl/CfgCommands.h"
#include "tools/vantrixctl/CfgJson.h"
#include "tools/vantrixctl/ConsoleUI.h"

namespace {

constexpr int kExitDataErr = 65;
constexpr int kExitNoInput = 66;
constexpr int kExitCantCreate = 73;

bool ReadAll(const std::string& path, std::string& out) {
    if (path == "-") {
        std::ostringstream ss;
        ss << std::cin.rdbuf();
        out = ss.str();
        return !std::cin.bad();
    }
    CInFile f(path);
    if (!f.IsOpen()) return false;
    char buf[4096];
    size_t n;
    while ((n = f.Read(buf, sizeof buf)) > 0) out.append(buf, n);
    return !f.Failed();
}

}  // namespace

int ReadCfgJson(const std::string& path, CfgImage& img) {
    std::string text;
    if (!ReadAll(path, text)) {
        std::fprintf(stderr, "%s: cannot be read\n", path.c_str());
        return kExitNoInput;
    }
    nlohmann::ordered_json j;
    try {
        j = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        std::fprintf(stderr, "%s: not JSON, %s\n", path.c_str(), e.what());
        return kExitDataErr;
    }
    SetDefaults(img);
    std::string error;
    if (!CfgFromJson(j, img, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
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
