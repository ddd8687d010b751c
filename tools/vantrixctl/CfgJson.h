// The configuration image as JSON and back: the text form that technicians
// keep in version control, edit by script and compare.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/CfgImage.h"

// Every byte of the image, keys in lower snake case, texts in UTF-8. A text
// holds its field up to the last byte that is not zero, so bytes after the
// terminator follow a "\u0000"; a byte without a Windows-1250 character is the
// C1 control of the same number (0x81 is U+0081). A credit minimum that is not
// finite is its bits as a string, "0x7FC00000".
nlohmann::ordered_json CfgToJson(const CfgImage& img);

// Sets the fields that `j` names; the others keep what `img` holds. Every key
// and value is checked before `img` is touched: on a refusal `error` is
// "key.path: reason" and `img` is unchanged.
bool CfgFromJson(const nlohmann::ordered_json& j, CfgImage& img, std::string& error);

// The leaves of a dump, in its order: ("alarms[3].call_number", value).
std::vector<std::pair<std::string, nlohmann::ordered_json>> CfgLeaves(const nlohmann::ordered_json& j);
