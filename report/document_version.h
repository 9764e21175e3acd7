// The version texts of the licence agreement and the privacy policy the user
// agreed to, as the statistics service names them: where they are asked for
// and what of an answer is taken.
#pragma once
#include <string>

namespace lum {

constexpr size_t kDocumentVersionLimit = 64;  // bytes of an answer read at most

// "<statsBase>legal/version?doc=<document>&lang=<language>&ch=<channel>";
// `document` is "license" or "privacy".
std::wstring DocumentVersionUrl(const std::wstring& statsBase, const wchar_t* document,
                                const std::wstring& language, const std::wstring& channel);

// The answer's text without surrounding blanks when it is 1 to 32 characters
// of letters, digits, ' ', '.', '-', '_', ':' and '/' (a date or a version
// number); empty for anything else (an error page, a binary blob), which the
// registry then records as "-".
std::wstring DocumentVersionFromAnswer(const std::string& body);

}  // namespace lum
