#pragma once

#include <nlohmann/json.hpp>

#include "config/CfgImage.h"

// Every field of the image, texts in UTF-8, keys in lower snake case.
nlohmann::ordered_json CfgToJson(const CfgImage& img);
