#include "install/config_files_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "install/config_files.h"
#include "install/pre_install_checks_win.h"
#include "system/file_bytes_win.h"
#include "system/file_ops_win.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "config";

bool HasValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[100] = {};
  ::GetPrivateProfileStringW(section, key, L"", value, 100, file.c_str());
  return value[0] != L'\0';
}

bool CreateWithByteOrderMark(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) CreateFolderTree(path.substr(0, slash));
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  static const BYTE kMark[2] = {0xFF, 0xFE};
  const bool ok = file && ::WriteFile(file.Get(), kMark, 2, &written, nullptr) && written == 2;
  log::Action(kLog, L"create UTF-16 file", path, ok ? 0 : static_cast<long>(::GetLastError()));
  return ok;
}

}  // namespace

bool WriteProductConfigFiles(const std::wstring& installDir, const SessionSettings& session,
                             int baseEdition) {
  const std::wstring folder = WithTrailingSlash(installDir);
  CreateFolderTree(installDir);
  const std::wstring config = folder + kConfigIni;

  ConfigFacts facts;
  facts.productInstalled = session.productInstalled;
  facts.configExists = FileExists(config);
  facts.i18nExists = FileExists(folder + kI18nIni);
  facts.advUtilsExists = FileExists(folder + kAdvUtilsIni);
  facts.configHasChannel = facts.configExists && HasValue(config, L"UI", L"channel");
  facts.configHasSubChannel = facts.configExists && HasValue(config, L"UI", L"schannel");
  facts.language = session.language;
  facts.title = session.Text(L"title");
  facts.channel = session.channel;
  facts.subChannel = session.subChannel;
  facts.enterprise = session.enterprise;
  facts.hashKind = session.hashKind;
  facts.baseEdition = baseEdition;

  const ConfigPlan plan = PlanConfigFiles(facts);
  bool ok = true;
  for (const std::wstring& file : plan.createAnew) ok = CreateWithByteOrderMark(folder + file) && ok;
  for (const IniWrite& w : plan.writes) {
    const std::wstring path = folder + w.file;
    const bool written = ::WritePrivateProfileStringW(w.section.c_str(), w.key.c_str(),
                                                      w.value.c_str(), path.c_str()) != FALSE;
    log::Action(kLog, L"[" + w.section + L"] " + w.key + L"=" + w.value, path,
                written ? 0 : static_cast<long>(::GetLastError()));
    ok = written && ok;
  }
  return ok;
}

ConfigFilesBefore NoteProductConfigFiles(const std::wstring& installDir) {
  ConfigFilesBefore before;
  const std::wstring folder = WithTrailingSlash(installDir);
  for (const wchar_t* name : {kConfigIni, kI18nIni, kAdvUtilsIni}) {
    ConfigFilesBefore::File file;
    file.path = folder + name;
    file.existed = FileExists(file.path);
    file.read = !file.existed || ReadFileBytes(file.path, &file.bytes);
    if (!file.read)
      log::Action(kLog, L"configuration file cannot be read to keep", file.path,
                  static_cast<long>(::GetLastError()));
    before.files.push_back(std::move(file));
  }
  return before;
}

bool RestoreProductConfigFiles(const ConfigFilesBefore& before) {
  bool all = true;
  for (const ConfigFilesBefore::File& file : before.files) {
    if (!file.read) {
      all = false;
      continue;
    }
    bool ok = true;
    if (file.existed) {
      ok = WriteFileBytes(file.path, file.bytes);
    } else if (FileExists(file.path)) {
      ok = ::DeleteFileW(file.path.c_str()) != FALSE;
    }
    log::Action(kLog, file.existed ? L"configuration file put back" : L"new configuration file removed",
                file.path, ok ? 0 : static_cast<long>(::GetLastError()));
    all = ok && all;
  }
  return all;
}

}  // namespace lum
