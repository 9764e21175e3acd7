// The product's configuration cipher: the records the product reads back
// (the promotion tips) are stored as text that only the product and the
// installer, sharing the key, turn back into JSON.
//
// Format: Base64 (standard alphabet, '=' padding) of the bytes of the plain
// text XORed with the RC4 key stream of the key; the first 256 key-stream
// bytes are dropped, as they leak most about the key.
#pragma once
#include <string>

namespace lum {

std::string EncipherConfig(const std::string& plain, const std::string& key);
// False when `text` is not Base64 or the key is empty.
bool DecipherConfig(const std::string& text, const std::string& key, std::string* plain);

}  // namespace lum
