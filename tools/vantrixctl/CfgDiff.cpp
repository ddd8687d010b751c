// cfg-diff: what differs between two configurations, compared on their dumps
// so that the keys are the ones cfg-dump and cfg-load use.
#include <cstdio>
#include <cstring>

#include "app/ConsoleOut.h"
#include "app/FileIO.h"
#include "config/VantrixCfg.h"
#include "tools/vantrixctl/CfgCommands.h"
#include "tools/vantrixctl/CfgJson.h"
#include "tools/vantrixctl/ConsoleUI.h"
#include "tools/vantrixctl/StdOut.h"

int ReadCfgSource(const std::string& path, CfgImage& img) {
    // JSON starts with a bracket, white space or a byte order mark; a .cfg
    // with its version number, little-endian.
    uint8_t first = '{';
    if (path != "-") {
        CInFile f(path);
        if (!f.IsOpen() || !f.ReadExact(&first, 1)) {
            ConsolePrintf(stderr, "%s: cannot be read\n", path.c_str());
            return 66;
        }
    }
    if (first != 0 && std::strchr("{[ \t\r\n\xEF", first)) return ReadCfgJson(path, img);
    ConsoleUI ui;
    CVantrixCfg doc(ui);
    if (!doc.LoadFile(path)) return 66;
    img = *doc.GetData();
    return 0;
}

std::vector<CfgChange> CfgChanges(const CfgImage& a, const CfgImage& b, bool allBytes) {
    auto la = CfgLeaves(CfgToJson(a));
    auto lb = CfgLeaves(CfgToJson(b));
    // What follows a text's terminator never reaches the device's logic, and
    // the device does not keep it.
    auto significant = [allBytes](nlohmann::ordered_json& v) {
        if (allBytes || !v.is_string()) return;
        const std::string& text = v.get_ref<const std::string&>();
        v = text.substr(0, text.find('\0'));
    };
    std::vector<CfgChange> changes;
    for (size_t i = 0; i < la.size() && i < lb.size(); ++i) {
        significant(la[i].second);
        significant(lb[i].second);
        // Compared as text: -0.0 and 0.0 are different bytes.
        if (la[i].second.dump() == lb[i].second.dump()) continue;
        changes.push_back({la[i].first, std::move(la[i].second), std::move(lb[i].second)});
    }
    return changes;
}

int CfgDiff(const CfgImage& a, const CfgImage& b, bool asJson, bool allBytes) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    std::string lines;
    for (const CfgChange& c : CfgChanges(a, b, allBytes)) {
        out.push_back({{"key", c.key}, {"a", c.a}, {"b", c.b}});
        lines += c.key + ": " + Printable(c.a.dump()) + " -> " + Printable(c.b.dump()) + '\n';
    }
    if (int r = PrintStdout("cfg-diff", asJson ? Printable(out.dump()) + '\n' : lines)) return r;
    return out.empty() ? 0 : 1;
}
