#include <windows.h>

#include <vector>

#include "base/install_log.h"
#include "i18n/font_rules.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {
namespace {

constexpr const char* kLog = "fonts";

// Writes the new theme beside the old one, inside the product's folder
// (which only administrators may change; the user's %TEMP% is his to swap
// under us), then puts it in the theme's place in one rename, so a failed
// write never leaves a half-written theme.
bool ReplaceBesideTheTheme(const std::wstring& themePath, const std::string& content) {
  const std::wstring fresh = themePath + L".new";
  const std::vector<uint8_t> bytes(content.begin(), content.end());
  bool ok = WriteFileBytes(fresh, bytes);
  long code = ok ? 0 : static_cast<long>(::GetLastError());
  if (ok) {
    ok = ::MoveFileExW(fresh.c_str(), themePath.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    code = ok ? 0 : static_cast<long>(::GetLastError());
  }
  if (!ok) ::DeleteFileW(fresh.c_str());
  log::Action(kLog, L"write font faces into theme", themePath, code);
  return ok;
}

}  // namespace

FontSystemFacts CurrentFontSystemFacts() {
  const WindowsVersion version = GetWindowsVersion();
  FontSystemFacts facts;
  facts.os = FontOsClassFromVersion(version.major, version.minor);
  facts.uiLanguage = ::GetUserDefaultUILanguage();
  return facts;
}

std::wstring ThemeProductFolder() {
  RegKey key;
  std::wstring folder;
  if (!key.Open(HKEY_LOCAL_MACHINE, kMainProgramAppPathsKey, KEY_QUERY_VALUE, RegView::k32) ||
      !key.ReadString(L"Path", &folder))
    return std::wstring();
  const bool slash = !folder.empty() && folder.back() == L'\\';
  if (folder.size() >= MAX_PATH || (folder.size() == MAX_PATH - 1 && !slash)) return std::wstring();
  if (!slash) folder += L'\\';
  return folder;
}

bool ApplyFontRulesTo(const IniTable& languageTable, const FontSystemFacts& facts,
                      const std::wstring& themePath) {
  FontFaceTable faces;
  if (!ChooseFontFaces(languageTable, facts, &faces)) {
    log::Note(kLog, L"no language list; theme fonts left as they are");
    return false;
  }
  std::vector<uint8_t> bytes;
  if (!FileExists(themePath) || !ReadFileBytes(themePath, &bytes)) {
    log::Action(kLog, L"read theme", themePath, static_cast<long>(::GetLastError()));
    return false;
  }
  std::string rewritten;
  if (!ReplaceFontBlock(std::string(bytes.begin(), bytes.end()), BuildFontBlock(faces),
                        &rewritten)) {
    log::Note(kLog, L"theme has no font face block: " + themePath);
    return false;
  }
  return ReplaceBesideTheTheme(themePath, rewritten);
}

bool ApplyFontRules(const IniTable& languageTable) {
  const std::wstring folder = ThemeProductFolder();
  if (folder.empty()) {
    log::Note(kLog, L"product folder unknown; theme fonts not written");
    return false;
  }
  return ApplyFontRulesTo(languageTable, CurrentFontSystemFacts(), folder + kThemeRelativePath);
}

}  // namespace lum
