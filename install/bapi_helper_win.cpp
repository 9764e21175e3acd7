#include "install/bapi_helper_win.h"

#include "base/install_log.h"
#include "system/file_ops_win.h"
#include "system/held_file_win.h"
#include "system/product_location_win.h"
#include "system/win_handle_win.h"
#include "vendor/base_module_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "engine";

using IntEntry = int(WINAPI*)();
using InstallEntry = int(WINAPI*)(int);
using DeleteEntry = BOOL(WINAPI*)(const wchar_t*);

// Empty when the product is not installed: a module must never be looked for
// relative to the current folder or the drive root.
std::wstring InstalledModulePath() {
  const std::wstring folder = ReadProductFolder();
  if (folder.empty() || folder.size() >= MAX_PATH) return std::wstring();
  return WithTrailingSlash(folder) + L"deepscan\\BAPI.dll";
}

bool AtMost2_0_0_1007(const FileVersion& v) {
  const uint64_t packed = (uint64_t{v.major} << 48) | (uint64_t{v.minor} << 32) |
                          (uint64_t{v.build} << 16) | v.revision;
  return packed <= ((uint64_t{2} << 48) | 1007);
}

}  // namespace

CBAPIHelper::CBAPIHelper(std::wstring modulePath) : modulePath_(std::move(modulePath)) {}

CBAPIHelper::~CBAPIHelper() { Unload(); }

CBAPIHelper& CBAPIHelper::Instance() {
  static CBAPIHelper helper(InstalledModulePath());
  return helper;
}

bool CBAPIHelper::Load() {
  int expected = kNotTried;
  if (state_.compare_exchange_strong(expected, kLoading)) {
    loadingThread_ = ::GetCurrentThreadId();
    const DWORD code = LoadNow();
    failure_ = code;
    state_ = module_ ? kLoaded : kFailed;
    loadingThread_ = 0;
    log::Action(kLog, module_ ? L"load file module" : L"file module not loaded", modulePath_,
                static_cast<long>(code));
    ::SetLastError(code);
    return module_ != nullptr;
  }
  if (expected == kLoading && loadingThread_.load() == ::GetCurrentThreadId()) return false;
  while (state_.load() == kLoading) ::Sleep(1);
  ::SetLastError(failure_);
  return state_.load() == kLoaded;
}

DWORD CBAPIHelper::LoadNow() {
  FileVersion version;
  oldModule_ = ReadFileVersion(modulePath_, &version) && AtMost2_0_0_1007(version);
  if (modulePath_.empty()) return kModuleNotLoaded;
  // The module runs with the installer's rights: it is held open (sharing
  // reading only) from before the base module vouches for it until it is
  // mapped, so the file checked is the file loaded.
  UniqueFileHandle held;
  if (!OpenHeldFile(modulePath_, &held)) {
    const DWORD error = ::GetLastError();
    log::Action(kLog,
                error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                    ? L"file module missing"
                    : L"file module refused: cannot be held (a link, or being written)",
                modulePath_, static_cast<long>(error));
    return kModuleNotLoaded;
  }
  log::Action(kLog, L"file module held for its check", modulePath_, 0);
  int kind = -1;
  if (!VerifyFile(modulePath_, &kind)) {
    log::Action(kLog, L"file module refused: untrusted image, not loaded", modulePath_,
                kModuleUntrusted);
    return kModuleUntrusted;
  }
  HMODULE module = ::LoadLibraryExW(modulePath_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  held.Reset();
  if (!module) return kModuleNotLoaded;
  for (size_t i = 0; i < kBapiExportCount; ++i)
    entries_[i] = ::GetProcAddress(module, kBapiExportNames[i]);
  DWORD code = kNoFailure;
  for (size_t i = 0; i < kBapiRequiredCount && code == kNoFailure; ++i)
    if (!entries_[i]) code = kRequiredExportMissing;
  if (code == kNoFailure &&
      reinterpret_cast<InstallEntry>(reinterpret_cast<void*>(entries_[kBapiInstall]))(0) == 0)
    code = kInstallRefused;
  if (code == kNoFailure) {
    auto judge = reinterpret_cast<IntEntry>(
        reinterpret_cast<void*>(::GetProcAddress(module, "JudgeVersion")));
    if (!judge)
      code = kRequiredExportMissing;
    else if (judge() == 0)
      code = kVersionRefused;
  }
  if (code == kNoFailure) {
    // A failed file engine is recorded but the registry engine may still do.
    if (reinterpret_cast<IntEntry>(reinterpret_cast<void*>(entries_[kBapiInitEngine]))() == 0)
      code = kEngineInitFailed;
    if (reinterpret_cast<IntEntry>(reinterpret_cast<void*>(entries_[kBapiInitRegEngine]))() == 0) {
      code = kEngineInitFailed;
      ::FreeLibrary(module);
      for (FARPROC& entry : entries_) entry = nullptr;
      return code;
    }
  }
  if (code != kNoFailure && code != kEngineInitFailed) {
    ::FreeLibrary(module);
    for (FARPROC& entry : entries_) entry = nullptr;
    return code;
  }
  module_ = module;
  return code;
}

bool CBAPIHelper::DeleteFile(const std::wstring& path) {
  if (state_.load() != kLoaded || !entries_[kBapiDeleteFileIndex]) return false;
  auto remove =
      reinterpret_cast<DeleteEntry>(reinterpret_cast<void*>(entries_[kBapiDeleteFileIndex]));
  return remove(path.c_str()) != FALSE;
}

void CBAPIHelper::Unload() {
  if (state_.load() != kLoaded || !module_) return;
  reinterpret_cast<IntEntry>(reinterpret_cast<void*>(entries_[kBapiUninitEngine]))();
  reinterpret_cast<IntEntry>(reinterpret_cast<void*>(entries_[kBapiUninitRegEngine]))();
  ::FreeLibrary(module_);
  module_ = nullptr;
  for (FARPROC& entry : entries_) entry = nullptr;
  state_ = kNotTried;
}

}  // namespace lum
