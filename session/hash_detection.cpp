#include "session/hash_detection.h"

#include <vector>

#include "base/base64.h"
#include "base/install_log.h"
#include "base/text.h"

namespace lum {
namespace {

constexpr const char* kLog = "session";

// The "h1" and "h3" forms: "<name>.<form>.<base64 channel>.<base64 code>...".
struct NameForm {
  std::wstring first;   // token 2, decoded
  std::wstring second;  // token 3, decoded
};

// Pads to whole groups, decodes and widens the ANSI bytes (the text ends at
// the first NUL, as a C string would). Empty when it does not decode.
std::wstring DecodeToken(std::wstring token) {
  while (token.size() % 4 != 0) token += L'=';
  std::string bytes;
  if (!DecodeBase64(token, bytes)) return std::wstring();
  std::wstring text;
  for (char byte : bytes) {
    if (byte == '\0') break;
    text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  }
  return text;
}

// True when the file name carries `form` in token 1 and its tokens 2 and 3,
// where present, decode to something. A name of fewer than two tokens fits
// any form, with both values empty.
bool MatchNameForm(const std::wstring& ownPath, const wchar_t* form, NameForm& out) {
  const size_t slash = ownPath.rfind(L'\\');
  const std::wstring name = slash == std::wstring::npos ? ownPath : ownPath.substr(slash + 1);
  const std::vector<std::wstring> tokens = Split(name, L'.', true);
  if (tokens.size() > 1 && tokens[1] != form) return false;
  out = NameForm();
  if (tokens.size() > 2) {
    out.first = DecodeToken(tokens[2]);
    if (out.first.empty()) return false;
  }
  if (tokens.size() > 3) {
    out.second = DecodeToken(tokens[3]);
    if (out.second.empty()) return false;
  }
  return true;
}

// The "h2" form: "...h2.<channel>.<sub-channel>.<hash>.<anything>" anywhere
// in the path, plain text.
bool MatchPathForm(const std::wstring& ownPath, std::vector<std::wstring>& collected) {
  const std::vector<std::wstring> tokens = Split(ownPath, L'.', true);
  collected.clear();
  for (const std::wstring& token : tokens) {
    if (collected.empty() && token != L"h2") continue;
    collected.push_back(token);
  }
  return collected.size() >= 5;
}

void SetChannelIfGiven(SessionSettings& session, const std::wstring& channel) {
  if (!channel.empty()) session.channel = channel;
}

}  // namespace

HashForm DetectHashForms(const std::wstring& ownPath, const CommandLineOptions& options,
                         SessionSettings& session) {
  NameForm name;
  if (MatchNameForm(ownPath, L"h1", name)) {
    SetChannelIfGiven(session, name.first);
    session.SetSubChannel(name.second);
    log::Note(kLog,
              L"h1 file name: channel " + session.channel + L", sub-channel " + session.subChannel);
    return HashForm::kH1;
  }

  std::vector<std::wstring> collected;
  if (MatchPathForm(ownPath, collected)) {
    session.hashValue = collected[3];
    SetChannelIfGiven(session, collected[1]);
    session.SetSubChannel(collected[2]);
    session.hashKind = 1;
    session.syncId = 1;
    log::Note(kLog, L"h2 path: channel " + session.channel + L", sub-channel " +
                        session.subChannel + L", hash " + session.hashValue);
    return HashForm::kH2;
  }

  std::wstring value;
  if (options.Get(L"h2_hash", value)) {
    session.hashKind = 1;
    session.hashValue = value;
    session.syncId = 1;
    log::Note(kLog, L"h2 hash option: " + value);
    return HashForm::kH2Option;
  }

  if (MatchNameForm(ownPath, L"h3", name)) {
    SetChannelIfGiven(session, name.first);
    session.hashValue = name.second;
    session.hashKind = 2;
    log::Note(kLog, L"h3 file name: channel " + session.channel + L", hash " + session.hashValue);
    return HashForm::kH3;
  }

  if (options.Get(L"h3_hash", value)) {
    session.hashKind = 2;
    session.hashValue = value;
    log::Note(kLog, L"h3 hash option: " + value);
    return HashForm::kH3Option;
  }
  return HashForm::kNone;
}

}  // namespace lum
