// The machine as the session record sees it: resources of the running
// module, memory, the installed product's registry entry and configuration,
// and the system's language facts.
#pragma once
#include <string>

#include "session/session_settings.h"

namespace lum {

class WinSessionEnvironment : public SessionEnvironment {
 public:
  ConflictInfo FindConflictingProduct() override;
  bool LoadLanguageTable(IniTable& table) override;
  bool ActionScriptHasSection(const std::wstring& name) override;
  uint64_t PhysicalMemoryBytes() override;
  std::wstring ProductFolder() override;
  bool FirstInstallUnfinished() override;
  SystemLanguageFacts SystemLanguage() override;
  std::wstring InstalledProductLanguage(const std::wstring& installDir) override;
  std::wstring InstalledVersion(const std::wstring& installDir) override;

 private:
  bool memoryRead_ = false;
  uint64_t memoryBytes_ = 0;
};

}  // namespace lum
