// The process-wide record of this installer run. Start-up builds it (language
// table defaults, machine, own file name, command line, in that order); later
// code only reads it, except the few writers named at each field.
//
// Portable: everything the record needs from the machine comes through
// SessionEnvironment, which the Win32 build implements with the real calls
// (session_environment_win.cpp) and tests implement with fixed facts.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "i18n/language_choice.h"
#include "payload/ini_table.h"

namespace lum {

// A conflicting product found by the pre-install checks.
struct ConflictInfo {
  bool present = false;
  int exitCode = 0;          // 504-510
  std::wstring messageKey;   // language key of its message
};

class SessionEnvironment {
 public:
  virtual ~SessionEnvironment() = default;
  virtual ConflictInfo FindConflictingProduct() = 0;
  // Resource FILE 502 parsed; false when it cannot be loaded.
  virtual bool LoadLanguageTable(IniTable& table) = 0;
  // Whether resource FILE 503 has a section of that name.
  virtual bool ActionScriptHasSection(const std::wstring& name) = 0;
  // Physical memory in bytes; 0 when it cannot be read.
  virtual uint64_t PhysicalMemoryBytes() = 0;
  // App Paths "ZVSafeMain.exe" "Path" when that folder exists, else empty.
  virtual std::wstring ProductFolder() = 0;
  // A first install into that folder began and never finished: the product
  // is not taken for installed.
  virtual bool FirstInstallUnfinished() { return false; }
  virtual SystemLanguageFacts SystemLanguage() = 0;
  // "UI" "language" of <installDir>\config.ini, at most 100 characters.
  virtual std::wstring InstalledProductLanguage(const std::wstring& installDir) = 0;
  // File version text of <installDir>\ZVVer.dll, empty when unreadable.
  virtual std::wstring InstalledVersion(const std::wstring& installDir) = 0;
};

struct SessionSettings {
  std::map<std::wstring, std::wstring> texts;  // chosen language's section
  std::vector<std::wstring> offeredLanguages;
  bool languageFound = false;
  bool installDirExplicit = false;
  IniTable table;                              // resource FILE 502
  std::wstring requestedLanguage;
  std::wstring language;
  std::wstring installDir;
  std::wstring channel;
  std::wstring subChannel = L"0";              // never empty
  std::wstring errLink;
  std::wstring regMode;
  std::wstring campaign;
  std::wstring installedVersion;
  bool productInstalled = false;
  bool silent = false;
  bool showProduct = false;
  bool forcedLanguage = false;
  int32_t pmode = 1;                           // 1, 2 or 254
  int32_t conflictPresent = 0;
  int32_t conflictExitCode = 0;
  std::wstring conflictMessageKey;
  bool languageUnknown = false;
  bool postRun = false;
  bool postWait = false;
  bool enterprise = false;
  bool autoDeploy = false;
  int32_t offerMode = 0;
  int32_t offerValueA = 0;
  int32_t offerValueB = 0;
  bool offerChecked = false;
  int32_t syncId = 0;
  bool olderThan10 = false;
  std::wstring promoOptions;                   // compact JSON object
  int32_t hashKind = 0;                        // 0 none, 1 "h2", 2 "h3"
  std::wstring hashValue;
  std::wstring clientId;

  // Fills the record from the table defaults and the machine. False when the
  // language table is unusable (the installer then exits with 101).
  bool Setup(SessionEnvironment& env);

  std::wstring Text(const std::wstring& key) const;
  int TextInt(const std::wstring& key) const;
  int IntValue(const std::wstring& section, const std::wstring& key, int def) const;
  std::wstring StringValue(const std::wstring& section, const std::wstring& key) const;

  void SetInstallDir(const std::wstring& folder, bool explicitFolder);
  void SetSubChannel(const std::wstring& value);  // empty or " " gives "0"
  // Channel from a file name ending in "._ab.0101.2020_.exe"; true when applied.
  // A full path is accepted too: only the part after the last '\' or '/' counts.
  bool ApplyChannelFromFileName(const std::wstring& fileName);

  // Stores `entries` as the compact JSON of `promoOptions`; in silent mode the
  // entry "desktop_plus" is dropped first.
  void SetPromoOptions(std::map<std::wstring, std::wstring> entries);
  // Only while `promoOptions` is empty: the table's "promo" section.
  void FillPromoOptionsFromTable();

 private:
  // Set-up steps: [default] pmode/regmode checked against the action script;
  // the language from the installed product or the system.
  void ReadProtectionMode(SessionEnvironment& env);
  void ChooseLanguage(SessionEnvironment& env);
};

// 2 with more than 2 GiB of physical memory, else 1.
int DefaultProtectionMode(uint64_t physicalMemoryBytes);

// Process-wide values beside the record.
SessionSettings& Session();
extern std::wstring languageCode;      // copy of Session().language
extern std::wstring reportChannel;     // filled once after the command line
extern std::wstring reportSubChannel;
extern bool installedBuild1133;        // installed ZVVer.dll is exactly 8.2.0.1133

// The process-wide language code for code that does not see the record;
// "en" while it is empty (before start-up chose a language).
std::wstring LanguageCode();

}  // namespace lum
