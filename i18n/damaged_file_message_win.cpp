#include "i18n/damaged_file_message_win.h"

#include <shellapi.h>

#include "base/install_log.h"
#include "i18n/damaged_file_message.h"
#include "system/registry_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "damaged";
constexpr DWORD kValueChars = 100;

bool IsFile(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ReadUiValue(const std::wstring& iniPath, const wchar_t* key) {
  wchar_t buffer[kValueChars + 1] = {};
  ::GetPrivateProfileStringW(L"UI", key, L"", buffer, kValueChars, iniPath.c_str());
  return buffer;
}

}  // namespace

DamagedFilePrompt SystemDamagedFilePrompt() {
  DamagedFilePrompt prompt;
  prompt.showBox = [](HWND owner, const DamagedFileText& message) {
    return ::MessageBoxW(owner, message.text.c_str(), message.caption.c_str(),
                         MB_YESNO | MB_ICONSTOP);
  };
  prompt.openAddress = [](const std::wstring& address) {
    const HINSTANCE result =
        ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOW);
    return reinterpret_cast<INT_PTR>(result) > 32;
  };
  return prompt;
}

bool UserExperienceEnabled() {
  RegKey key;
  DWORD value = 1;
  if (key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\Experience", KEY_QUERY_VALUE) &&
      key.ReadDword(L"UserExperience", &value)) {
    return value != 0;
  }
  return true;  // an absent value counts as taking part
}

bool ShowDamagedFileMessage(HWND owner, const std::wstring& productFolder,
                            const std::wstring& missingFile, const DamagedFilePrompt& prompt) {
  std::wstring language;
  std::wstring channel;
  for (const std::wstring& candidate : ConfigIniCandidates(productFolder)) {
    if (!IsFile(candidate)) continue;
    language = ReadUiValue(candidate, L"language");
    channel = ReadUiValue(candidate, L"channel");
    break;
  }
  const DamagedFileText message =
      DamagedFileMessage(language.empty() ? std::wstring(L"en") : language, missingFile);
  int answer = prompt.showBox(owner, message);
  // The owner may be a window that is going away; a box of its own still asks.
  if (answer == 0) answer = prompt.showBox(nullptr, message);
  const bool yes = answer == IDYES;
  log::Action(kLog,
              yes ? L"damaged-file message answered yes" : L"damaged-file message answered no",
              missingFile, answer == 0 ? 1 : 0);

  if (yes) {
    const std::wstring address = DamagedFileDownloadAddress(language, channel);
    if (address.empty()) {
      log::Note(kLog, L"no download page: the product's language or channel is unknown");
    } else {
      log::Action(kLog, L"open download page", address, prompt.openAddress(address) ? 0 : 1);
    }
  }

  if (UserExperienceEnabled()) {
    if (prompt.report) {
      prompt.report(missingFile, yes);
    } else {
      ReportCommon common;
      common.lan = language;
      common.ch = channel;
      log::Note(kLog, L"statistics event not sent: " + DamagedFileReportQuery(missingFile, yes, common));
    }
  }
  return yes;
}

}  // namespace lum
