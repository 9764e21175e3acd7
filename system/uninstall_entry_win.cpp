#include "system/uninstall_entry_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "register";
constexpr DWORD kEstimatedSizeKb = 102400;

}  // namespace

long WriteUninstallEntry(const UninstallEntryTexts& texts) {
  const RegView view = Is64BitWindows() ? RegView::k64 : RegView::kDefault;
  const std::wstring where = std::wstring(L"HKLM\\") + kUninstallKey;
  RegKey key;
  if (!key.Create(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_SET_VALUE, view)) {
    log::Action(kLog, L"create uninstall entry", where, key.LastError());
    return key.LastError();
  }
  std::wstring folder = texts.installFolder;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  const std::wstring base = WithTrailingSlash(folder);
  bool ok = key.WriteString(L"Edition", L"Professional");
  ok = key.WriteString(L"DisplayIcon", base + L"ZVSafeMain.exe") && ok;
  // Quoted: unquoted, "C:\Program Files\..." would start "C:\Program.exe"
  // wherever someone could place one.
  ok = key.WriteString(L"UninstallString", L"\"" + base + L"Uninstall.exe\"") && ok;
  ok = key.WriteString(L"DisplayName", texts.displayName) && ok;
  ok = key.WriteString(L"InstallLocation", folder) && ok;
  ok = key.WriteString(L"Publisher", texts.publisher) && ok;
  if (!texts.version.empty()) ok = key.WriteString(L"DisplayVersion", texts.version) && ok;
  ok = key.WriteDword(L"EstimatedSize", kEstimatedSizeKb) && ok;
  log::Action(kLog,
              L"write uninstall entry (" + texts.displayName +
                  (texts.version.empty() ? L", no version" : L", " + texts.version) + L")",
              where, ok ? 0 : key.LastError());
  return 0;
}

}  // namespace lum
