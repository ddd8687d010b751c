// The configuration commands that work on text: cfg-load writes a .cfg from
// JSON, cfg-diff compares two configurations field by field.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "config/CfgImage.h"

// Exit statuses of cfg-diff besides 0 (equal) and 1 (different), as diff has them.
inline constexpr int kDiffTrouble = 2;

// A configuration as cfg-load takes it: JSON from a file or "-" for stdin,
// applied to the default image. 0, 65 on bad JSON or a refused field, 66 when
// it cannot be read; the message is on stderr.
int ReadCfgJson(const std::string& path, CfgImage& img);
int CfgLoad(const std::string& jsonPath, const std::string& outPath);

// A .cfg of any layout or a JSON file, told apart by the first byte; 0 or the
// status that ReadCfgJson or cfg-dump would give.
int ReadCfgSource(const std::string& path, CfgImage& img);
// The fields that differ, in the order of the dump. Texts end at their first
// zero byte unless `allBytes`.
struct CfgChange {
    std::string key;
    nlohmann::ordered_json a, b;
};
std::vector<CfgChange> CfgChanges(const CfgImage& a, const CfgImage& b, bool allBytes);

// One line "key.path: a -> b" per differing field, or a JSON array of
// {"key", "a", "b"}, with the characters that do not print escaped; 0 when
// equal, 1 when not, 74 when the output cannot be written. Texts end at their
// first zero byte unless `allBytes`.
int CfgDiff(const CfgImage& a, const CfgImage& b, bool asJson, bool allBytes);
