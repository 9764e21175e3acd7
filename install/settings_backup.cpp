#include "install/settings_backup.h"

#include "base/text.h"

namespace lum {

RelativePathSet ReinstallIgnoredFrom(const IniTable& actionScript) {
  RelativePathSet paths;
  IniTable::KeyMap entries;
  if (!actionScript.Section(kReinstallIgnoredSection, entries)) return paths;
  for (const auto& entry : entries) paths.insert(entry.second);
  return paths;
}

bool IsPlainRelativePath(const std::wstring& path) {
  if (path.empty() || path.find(L':') != std::wstring::npos) return false;
  for (const std::wstring& part : Split(path, L'\\', false)) {
    for (const std::wstring& piece : Split(part, L'/', false)) {
      if (piece.empty() || piece == L"." || piece == L"..") return false;
    }
  }
  return true;
}

std::vector<std::wstring> BackupSettingsFrom(const IniTable& actionScript) {
  std::vector<std::wstring> paths;
  IniTable::KeyMap entries;
  if (!actionScript.Section(kBackupSettingsSection, entries)) return paths;
  for (const auto& entry : entries) {
    if (IsPlainRelativePath(entry.second)) paths.push_back(entry.second);
  }
  return paths;
}

}  // namespace lum
