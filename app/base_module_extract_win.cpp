// Writing the vendor base module out of the installer and loading it.
//
// The module is loaded into this process, so the folder it is loaded from must
// be one that nobody else could have prepared: the folder is always freshly
// created (CreateDirectory fails on an existing one) with a protected DACL.
// An unelevated run writes under its own %TEMP% (user, SYSTEM and the
// Administrators). An elevated run never does: an unelevated process of the
// same user owns %TEMP% and could rename a folder in it and put its own in
// its place between the write and the load. It writes under the Windows
// temporary folder (named by the system, never by %TEMP% or %windir%), where
// standard users may add entries but never rename or delete ours, into a
// folder that only SYSTEM and the Administrators can write to.
#include <windows.h>
// These headers build on windows.h.
#include <shlobj.h>

#include <ctime>

#include "app/startup_win.h"
#include "base/install_log.h"
#include "payload/resource_file_win.h"
#include "system/file_ops_win.h"
#include "system/windows_version_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr int kFreshFolderTries = 16;
constexpr const wchar_t* kBaseModuleName = L"Lumbase.dll";

std::wstring FreshBaseFolderName() {
  return FormBaseFolderName(static_cast<uint32_t>(std::time(nullptr)), ::GetTickCount());
}

// Creates a fresh folder under `parent` (protected for SYSTEM and the
// Administrators when `elevated`, else private to the user) and writes the
// module there. Returns the folder, or empty (nothing left behind) on failure.
std::wstring WriteModuleUnder(const std::wstring& parent, bool elevated) {
  const std::wstring folder = elevated ? CreateFreshProtectedFolder(parent, FreshBaseFolderName())
                                       : CreateFreshPrivateFolder(parent, FreshBaseFolderName());
  if (folder.empty()) {
    log::Action("startup", L"create base module folder", parent,
                static_cast<long>(::GetLastError()));
    return std::wstring();
  }
  const std::wstring path = folder + L"\\" + kBaseModuleName;
  if (!WriteResourceToFile(kFileResourceType, kResBaseModule, path)) {
    log::Action("startup", L"write base module", path, 1);
    ReleaseProtectedFolder(folder);
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

namespace {

template <typename Create>
std::wstring CreateFreshFolder(const std::wstring& parent, const std::wstring& name,
                               Create create) {
  const std::wstring base = WithTrailingSlash(parent) + name;
  for (int attempt = 0; attempt < kFreshFolderTries; ++attempt) {
    const std::wstring candidate = attempt == 0 ? base : base + L"_" + std::to_wstring(attempt);
    if (create(candidate)) return candidate;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return std::wstring();
    log::Note("startup", L"folder exists already, not used: " + candidate);
  }
  ::SetLastError(ERROR_ALREADY_EXISTS);
  return std::wstring();
}

}  // namespace

std::wstring CreateFreshPrivateFolder(const std::wstring& parent, const std::wstring& name) {
  return CreateFreshFolder(parent, name, CreatePrivateFolder);
}

std::wstring CreateFreshProtectedFolder(const std::wstring& parent, const std::wstring& name) {
  return CreateFreshFolder(parent, name, CreateProtectedFolder);
}

BaseModuleResult ExtractBaseModule(std::wstring* baseFolder) {
  baseFolder->clear();
  const bool elevated = TokenIsElevated();
  std::wstring temp;
  if (elevated) {
    temp = WindowsTempFolder();
  } else {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
    if (length != 0 && length <= MAX_PATH) temp.assign(buffer, length);
  }
  if (temp.empty()) {
    log::Note("startup",
              L"no temporary folder: base module, relocation and session set-up skipped");
    return BaseModuleResult::kNoTempPath;
  }

  std::wstring folder = WriteModuleUnder(temp, elevated);
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
    folder = WriteModuleUnder(common, elevated);
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
