// The product's configuration files written by the install run, as a plan:
// which files start over (holding only the UTF-16 byte-order mark, so that
// the key-by-key writes that follow are UTF-16) and which keys are written,
// in order. Portable; config_files_win.cpp carries the plan out.
#pragma once
#include <string>
#include <vector>

namespace lum {

constexpr const wchar_t* kConfigIni = L"config.ini";
constexpr const wchar_t* kI18nIni = L"i18n\\i18n.ini";
constexpr const wchar_t* kAdvUtilsIni = L"softmgr\\AdvUtils.ini";

struct ConfigFacts {
  bool productInstalled = false;  // a reinstall: existing files and choices are kept
  bool configExists = false;
  bool i18nExists = false;
  bool advUtilsExists = false;
  bool configHasChannel = false;   // [UI] channel present and not empty
  bool configHasSubChannel = false;
  std::wstring language;
  std::wstring title;
  std::wstring channel;
  std::wstring subChannel;
  bool enterprise = false;
  int hashKind = 0;
  int baseEdition = 0;  // edition reported by the vendor base module
};

struct IniWrite {
  std::wstring file;  // relative to the install folder
  std::wstring section, key, value;
  bool operator==(const IniWrite& o) const {
    return file == o.file && section == o.section && key == o.key && value == o.value;
  }
};

struct ConfigPlan {
  std::vector<std::wstring> createAnew;  // relative paths, in order
  std::vector<IniWrite> writes;          // in order
};

ConfigPlan PlanConfigFiles(const ConfigFacts& facts);

// "0" for an empty or single-blank sub-channel.
std::wstring SubChannelText(const std::wstring& subChannel);

}  // namespace lum
