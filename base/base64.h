// Standard Base64 (A-Z a-z 0-9 + /, '=' padding) as the installer's switches
// and file names carry it.
#pragma once
#include <string>

namespace lum {

// Decodes `text` into bytes; white space is skipped. False (and `bytes`
// cleared) for a character outside the alphabet, padding anywhere but at the
// end, or a lone last sextet. A last group may omit its '=' padding.
bool DecodeBase64(const std::wstring& text, std::string& bytes);

// Encodes bytes with the standard alphabet, padded with '='.
std::string EncodeBase64(const std::string& bytes);

}  // namespace lum
