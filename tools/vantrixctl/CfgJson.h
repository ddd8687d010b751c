// The configuration image as JSON and back: the text form that technicians
// keep in version control, edit by script and compare.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/CfgImage.h"

// Far more than the JSON of any configuration needs, even written with every
// byte escaped: a larger input is refused before it is read into memory.
inline constexpr size_t kCfgJsonMaxBytes = size_t(1) << 20;
// The image's fields lie at most four deep.
inline constexpr int kCfgJsonMaxDepth = 32;

// `text` as cfg-load takes it, without exceptions. False with the message in
// `error` on text that is not JSON ("source: not JSON, ..."), is larger than
// kCfgJsonMaxBytes or nests deeper than kCfgJsonMaxDepth, gives a key twice in
// one object or holds a number beyond a double, too large or too close to
// zero ("key.path: reason").
bool ParseCfgJson(std::string_view text, const std::string& source, nlohmann::ordered_json& j, std::string& error);

// `text` with every character that does not print (controls, format
// characters, spaces other than U+0020) as \uXXXX and every byte that is not
// UTF-8 as \xNN, so that the terminal shows each byte for what it is and
// receives no control from a file. JSON stays JSON with the same value.
std::string Printable(std::string_view text);

// Every byte of the image, keys in lower snake case, texts in UTF-8. A text
// holds its field up to the last byte that is not zero, so bytes after the
// terminator follow a "\u0000"; a byte without a Windows-1250 character is the
// C1 control of the same number (0x81 is U+0081). A credit minimum that is not
// finite is its bits as a string, "0x7FC00000".
nlohmann::ordered_json CfgToJson(const CfgImage& img);

// Sets the fields that `j` names; the others keep what `img` holds. Every key
// and value is checked before `img` is touched: on a refusal `error` is
// "key.path: reason", printable, and `img` is unchanged.
bool CfgFromJson(const nlohmann::ordered_json& j, CfgImage& img, std::string& error);

// The leaves of a dump, in its order: ("alarms[3].call_number", value).
std::vector<std::pair<std::string, nlohmann::ordered_json>> CfgLeaves(const nlohmann::ordered_json& j);
