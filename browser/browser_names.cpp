#include "browser/browser_names.h"

#include "base/text.h"
#include "browser/browser_config.h"

namespace lum {

std::wstring BrowserShortName(int kind, const std::wstring& path) {
  switch (kind) {
    case kBrowserIe:
      return L"ie";
    case kBrowserLumse6:
      return L"Lumse6";
    case kBrowserLumse:
      return L"Lumse";
    case kBrowserLumChrome:
      return L"Lumchrome";
    case kBrowserChrome:
      return L"googlechrome";
    case kBrowserOpera:
      return L"opera";
    case kBrowserYandex:
      return L"yandex";
    case kBrowserFirefox:
      return L"firefox";
    case kBrowserEdge:
      return L"microsoftedge";
    case kBrowserAmigo:
      return L"amigo";
    case kBrowserPartnerOpera:
      return L"operaLume";
    default:
      break;
  }
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of(L'.');
  if (name.empty() || dot == std::wstring::npos || dot == 0 || dot + 1 == name.size())
    return L"unkn";
  return L"unkn_" + name;
}

std::wstring ExecutableOfCommand(const std::wstring& command) {
  const std::wstring text = TrimBlanks(command);
  if (text.empty()) return std::wstring();
  if (text[0] == L'"') {
    const size_t close = text.find(L'"', 1);
    return close == std::wstring::npos ? text.substr(1) : text.substr(1, close - 1);
  }
  const size_t exe = ToLowerAscii(text).find(L".exe");
  if (exe != std::wstring::npos) return text.substr(0, exe + 4);
  const size_t blank = text.find(L' ');
  return blank == std::wstring::npos ? text : text.substr(0, blank);
}

LaunchRule LaunchRuleFor(const std::wstring& executable) {
  struct Entry {
    const wchar_t* name;
    StartMode mode;
    int signer;
    const wchar_t* running;
  };
  static const Entry kTable[] = {
      {L"launchwinapp.exe", StartMode::kMediumIntegrity, kSignerNone, L""},
      {L"lumchrome.exe", StartMode::kMediumIntegrity, kSignerMaker, L""},
      {L"chrome.exe", StartMode::kChromeRule, kSignerGoogle, L""},
      {L"lumse.exe", StartMode::kMediumIntegrity, kSignerMaker, L""},
      {L"iexplore.exe", StartMode::kMediumIntegrity, kSignerNone, L""},
      {L"lumbrowser.exe", StartMode::kRunningOrMedium, kSignerMaker, L"lumbrowser.exe"},
      {L"browser.exe", StartMode::kRunningOrMedium, kSignerYandex, L"browser.exe"},
      {L"launcher.exe", StartMode::kRunningOrMedium, kSignerOpera, L"opera.exe"},
      {L"firefox.exe", StartMode::kRunningOrMedium, kSignerMozilla, L"firefox.exe"},
  };
  // The whole file name must match: "mybrowser.exe" is no Yandex browser
  // and must not be held to Yandex's signature.
  std::wstring lower = ToLowerAscii(executable);
  while (!lower.empty() && (lower.back() == L'"' || lower.back() == L' ')) lower.pop_back();
  const size_t slash = lower.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? lower : lower.substr(slash + 1);
  if (!name.empty() && name[0] == L'"') name.erase(0, 1);
  for (const Entry& entry : kTable)
    if (name == entry.name) return LaunchRule{entry.mode, entry.signer, entry.running};
  return LaunchRule{};
}

const std::vector<std::wstring>& SignerPublishers(int signerKind) {
  static const std::vector<std::wstring> kNone;
  static const std::vector<std::wstring> kGoogle{L"Google"};
  static const std::vector<std::wstring> kOpera{L"Opera"};
  static const std::vector<std::wstring> kYandex{L"Yandex"};
  static const std::vector<std::wstring> kMicrosoft{L"Microsoft"};
  static const std::vector<std::wstring> kMaker(std::begin(kMakerPublishers),
                                                std::end(kMakerPublishers));
  static const std::vector<std::wstring> kMozilla{L"Mozilla"};
  static const std::vector<std::wstring> kMailRu{L"Mail.Ru"};
  switch (signerKind) {
    case kSignerGoogle:
      return kGoogle;
    case kSignerOpera:
      return kOpera;
    case kSignerYandex:
      return kYandex;
    case kSignerMicrosoft:
      return kMicrosoft;
    case kSignerMaker:
      return kMaker;
    case kSignerMozilla:
      return kMozilla;
    case kSignerMailRu:
      return kMailRu;
    default:
      return kNone;
  }
}

bool SignerNameMatches(int signerKind, const std::wstring& subjectName) {
  if (subjectName.empty()) return false;
  // "Mozilla Corporation" names Mozilla; "Mozillaz" or "Not Mozilla" does not.
  for (const std::wstring& publisher : SignerPublishers(signerKind)) {
    if (!StartsWithNoCase(subjectName, publisher)) continue;
    if (subjectName.size() == publisher.size()) return true;
    const wchar_t next = subjectName[publisher.size()];
    if (next == L' ' || next == L',') return true;
  }
  return false;
}

std::wstring BrowserCommandLine(const std::wstring& executable, const std::wstring& url) {
  const std::wstring exe =
      !executable.empty() && executable[0] == L'"' ? executable : L"\"" + executable + L"\"";
  const std::wstring quotedUrl = url.empty() ? std::wstring() : L"\"" + url + L"\"";
  return exe + L" " + quotedUrl;
}

}  // namespace lum
