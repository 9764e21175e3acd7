// `CBAPIHelper`: the product's kernel-assisted file module "BAPI.dll",
// loaded once per process and used to delete engine files that the running
// product holds. It runs with the installer's rights, so it is loaded only
// when the vendor base module vouches for the file, which is held open
// (sharing reading only, a link refused) from that check until it is mapped;
// the install run loads it only after it has secured the install folder.
//
// Threading: any thread may call Load(); the first one loads while the
// others poll every millisecond until it has finished, and a call made on
// the loading thread itself (from inside the module) answers false. After
// loading, DeleteFile may be called from any thread. The process-wide
// instance unloads the module (UninitEngine, UninitRegEngine) when the
// process ends.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "install/bapi_exports.h"

namespace lum {

class CBAPIHelper {
 public:
  enum State : int { kNotTried = 0, kLoading = 1, kLoaded = 2, kFailed = 3 };
  // Failure codes, left as the loading thread's last error.
  enum Failure : DWORD {
    kNoFailure = 0,
    kModuleNotLoaded = 2,
    kRequiredExportMissing = 3,
    kInstallRefused = 4,
    kVersionRefused = 5,
    kEngineInitFailed = 6,
    // The base module does not vouch for the file (or the check could not
    // be made): never loaded, as if it were missing.
    kModuleUntrusted = 7,
  };

  explicit CBAPIHelper(std::wstring modulePath);
  ~CBAPIHelper();
  CBAPIHelper(const CBAPIHelper&) = delete;
  CBAPIHelper& operator=(const CBAPIHelper&) = delete;

  // The process-wide helper for "<product folder>\deepscan\BAPI.dll".
  static CBAPIHelper& Instance();

  // True when the module is loaded (now or before). Sets the thread's last
  // error to the failure code.
  bool Load();
  // The module's "FSDeleteFileW"; false when it is not loaded or lacks it.
  bool DeleteFile(const std::wstring& path);
  void Unload();

  int state() const { return state_.load(); }
  const std::wstring& modulePath() const { return modulePath_; }
  // The module's file version is at most 2.0.0.1007.
  bool oldModule() const { return oldModule_; }

 private:
  DWORD LoadNow();
  FARPROC Entry(size_t index) const { return entries_[index]; }

  std::wstring modulePath_;
  std::atomic<int> state_{kNotTried};
  std::atomic<DWORD> loadingThread_{0};
  DWORD failure_ = kNoFailure;
  bool oldModule_ = false;
  HMODULE module_ = nullptr;
  FARPROC entries_[kBapiExportCount] = {};
};

}  // namespace lum
