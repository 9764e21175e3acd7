#include "browser/json_read.h"

#include <exception>
#include <memory>

namespace lum {

bool ReadJson(const std::string& text, Json::Value* root) {
  try {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return reader->parse(text.data(), text.data() + text.size(), root, &errors);
  } catch (const std::exception&) {
    return false;  // jsoncpp throws on nesting beyond its limit
  }
}

}  // namespace lum
