// The machine as the session record sees it: resources of the running
// module, memory, the installed product's registry entry and configuration,
// and the system's language facts.
#pragma once
#include <string>

#include "app/session_settings.h"

namespace lum {

// HKLM App Paths entry of the product's main program (32-bit view).
constexpr const wchar_t* kAppPathsKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ZVSafeMain.exe";

class WinSessionEnvironment : public SessionEnvironment {
 public:
  ConflictInfo FindConflictingProduct() override;
  bool LoadLanguageTable(IniTable& table) override;
  bool ActionScriptHasSection(const std::wstring& name) override;
  uint64_t PhysicalMemoryBytes() override;
  std::wstring ProductFolder() override;
  SystemLanguageFacts SystemLanguage() override;
  std::wstring InstalledProductLanguage(const std::wstring& installDir) override;
  std::wstring InstalledVersion(const std::wstring& installDir) override;

 private:
  bool memoryRead_ = false;
  uint64_t memoryBytes_ = 0;
};

// The product's folder from App Paths when it exists (no trailing
// backslash is added or removed), else empty.
std::wstring ReadProductFolder();

// Program Files (the x86 one under WOW64) + "\Lum\Bastion".
std::wstring DefaultInstallDir();

}  // namespace lum
