// JSON text that another program wrote, parsed without letting jsoncpp's
// exceptions out.
#pragma once
#include <json/json.h>

#include <string>

namespace lum {

// False for text that is not JSON (or nests beyond the parser's limit).
bool ReadJson(const std::string& text, Json::Value* root);

}  // namespace lum
