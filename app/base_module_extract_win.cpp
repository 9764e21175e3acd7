// Writing the vendor base module out of the installer and loading it.
//
// The module is loaded into this (administrator) process, so the folder it is
// loaded from must be one that nobody else could have prepared: the folder is
// always freshly created (CreateDirectory fails on an existing one) and
// carries a protected DACL that lets only the user, SYSTEM and the
// Administrators write to it.
#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <ctime>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr int kFreshFolderTries = 16;
constexpr const wchar_t* kBaseModuleName = L"Lumbase.dll";

std::wstring FreshBaseFolderName() {
  return FormBaseFolderName(static_cast<uint32_t>(std::time(nullptr)), ::GetTickCount());
}

// Creates a fresh private folder under `parent` and writes the module there.
// Returns the folder, or empty (nothing left behind) on failure.
std::wstring WriteModuleUnder(const std::wstring& parent) {
  const std::wstring folder = CreateFreshPrivateFolder(parent, FreshBaseFolderName());
  if (folder.empty()) {
    log::Action("startup", L"create base module folder", parent,
                static_cast<long>(::GetLastError()));
    return std::wstring();
  }
  const std::wstring path = folder + L"\\" + kBaseModuleName;
  if (!WriteResourceToFile(kFileResourceType, kResBaseModule, path)) {
    log::Action("startup", L"write base module", path, 1);
    DeleteFolderTree(folder);
    return std::wstring();
  }
  log::Action("startup", L"write base module", path, 0);
  return folder;
}

}  // namespace

std::wstring FormBaseFolderName(uint32_t seconds, uint32_t ticks) {
  wchar_t name[64] = {};
  _snwprintf(name, 63, L"%08d_%08d_base", static_cast<int>(seconds), static_cast<int>(ticks));
  return name;
}

std::wstring CreateFreshPrivateFolder(const std::wstring& parent, const std::wstring& name) {
  const std::wstring base = WithTrailingSlash(parent) + name;
  for (int attempt = 0; attempt < kFreshFolderTries; ++attempt) {
    const std::wstring candidate = attempt == 0 ? base : base + L"_" + std::to_wstring(attempt);
    if (CreatePrivateFolder(candidate)) return candidate;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return std::wstring();
    log::Note("startup", L"folder exists already, not used: " + candidate);
  }
  ::SetLastError(ERROR_ALREADY_EXISTS);
  return std::wstring();
}

BaseModuleResult ExtractBaseModule(std::wstring* baseFolder) {
  baseFolder->clear();
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length > MAX_PATH) {
    log::Note("startup",
              L"no temporary folder: base module, relocation and session set-up skipped");
    return BaseModuleResult::kNoTempPath;
  }

  std::wstring folder = WriteModuleUnder(std::wstring(temp, length));
  if (!folder.empty()) {
    const int scheduled = ScheduleDeleteAtReboot(folder);
    log::Action("startup",
                L"schedule base module folder removal at restart (" + std::to_wstring(scheduled) +
                    L" entries)",
                folder, scheduled > 0 ? 0 : 1);
  } else {
    wchar_t common[MAX_PATH + 1] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, common, CSIDL_COMMON_APPDATA, TRUE)) {
      log::Action("startup", L"base module: no common application data folder", L"", 103);
      return BaseModuleResult::kFailed;
    }
    folder = WriteModuleUnder(common);
    if (folder.empty()) {
      log::Action("startup", L"base module could not be written", common, 103);
      return BaseModuleResult::kFailed;
    }
  }

  *baseFolder = folder;
  const std::wstring path = folder + L"\\" + kBaseModuleName;
  const bool loaded = LoadBaseModule(path);
  log::Action("startup", L"load base module", path, loaded ? 0 : 1);
  return BaseModuleResult::kWritten;
}

}  // namespace lum
