// Text helpers shared by every subsystem. Portable: wide strings are UTF-16
// on Windows and UTF-32 on Linux, so byte-level UTF-16LE is converted
// explicitly and behaves the same on both.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lum {

std::wstring Utf8ToWide(const std::string& utf8);
std::string WideToUtf8(const std::wstring& wide);
// Decodes the UTF-8 sequence at `p` (`left` > 0 bytes available). True with
// its code point when it is well-formed; false for a bad lead byte, a missing
// continuation, an overlong form, a surrogate or a value above U+10FFFF.
// `consumed` is the sequence's length, or on failure how many bytes belong to
// the bad sequence (at least 1), so that decoding resumes after them.
bool DecodeUtf8(const uint8_t* p, size_t left, char32_t* cp, size_t* consumed);
// UTF-16LE bytes (no BOM handling) to a wide string; an odd last byte is dropped.
std::wstring Utf16LeToWide(const uint8_t* data, size_t size);
std::vector<uint8_t> WideToUtf16Le(const std::wstring& wide, bool withBom);

// A-Z to a-z only, as the installer's switches and codes are ASCII.
std::wstring ToLowerAscii(std::wstring text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix);
bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix);
bool ContainsNoCase(const std::wstring& text, const std::wstring& needle);
std::wstring TrimBlanks(const std::wstring& text);  // blanks, tabs, CR, LF
std::vector<std::wstring> Split(const std::wstring& text, wchar_t sep, bool skipEmpty);
// "<folder>\<relative>", with exactly one backslash between them ('/' counts
// as a separator at the seam); the relative path alone when the folder is
// empty.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& relative);

}  // namespace lum
