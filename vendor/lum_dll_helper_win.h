// Binding of one vendor module: load it once, fill its export table, hand
// out its entries and objects.
//
// Threading: Load may be called from any thread; the first call decides and
// later calls return the cached answer (also for another path). Entry and
// CreateObject may be called from any thread once Load has returned true.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "system/win_handle_win.h"
#include "vendor/lum_module_abi_win.h"

namespace lum {

// Tags of the three vendor modules; each has one process-wide binding.
struct CLumBaseExportFuncs {
  static constexpr const wchar_t* kModuleName = L"Lumbase.dll";
};
struct CLumUtilExportFuncs {
  static constexpr const wchar_t* kModuleName = L"Lumutil.dll";
};
struct CLumConfExportFuncs {
  static constexpr const wchar_t* kModuleName = L"Lumconf.dll";
};

template <typename T>
class CLumPublicDLLHelper {
 public:
  // The process-wide binding keeps its module for the life of the process;
  // other instances (tests) free theirs when they go.
  CLumPublicDLLHelper() = default;
  CLumPublicDLLHelper(const CLumPublicDLLHelper&) = delete;
  CLumPublicDLLHelper& operator=(const CLumPublicDLLHelper&) = delete;

  static CLumPublicDLLHelper& Instance() {
    static CLumPublicDLLHelper* instance = new CLumPublicDLLHelper();  // never unloaded
    return *instance;
  }

  // `decidedNow` (optional) tells whether this call made the decision.
  bool Load(const std::wstring& path, bool* decidedNow = nullptr) {
    std::lock_guard<std::mutex> hold(lock_);
    if (decidedNow) *decidedNow = !tried_;
    if (tried_) return loaded_.load(std::memory_order_acquire);
    tried_ = true;
    UniqueModule module(LoadLibraryW(path.c_str()));
    if (!module) return false;
    auto init = reinterpret_cast<InitLibsFn>(GetProcAddress(module.Get(), "InitLibs"));
    auto create = reinterpret_cast<CreateObjectFn>(GetProcAddress(module.Get(), "CreateObject"));
    table_.capacity = kExportTableCapacity;
    table_.count = 0;
    bool bound = false;
    if (init) {
      bound = init(&table_) == 0;
      if (table_.count > kExportTableCapacity) table_.count = kExportTableCapacity;
    } else {
      bound = create != nullptr;
    }
    if (!bound) {
      table_.count = 0;
      return false;  // the module is freed on the way out
    }
    module_ = std::move(module);
    create_ = create;
    loaded_.store(true, std::memory_order_release);
    return true;
  }

  bool Loaded() const { return loaded_.load(std::memory_order_acquire); }
  // The full path of the bound module's file as the loader has it; empty when
  // not loaded.
  std::wstring ModuleFileName() const {
    if (!Loaded()) return std::wstring();
    wchar_t name[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(module_.Get(), name, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(name, length);
  }
  uint32_t EntryCount() const { return Loaded() ? table_.count : 0; }

  // The table's pointer for `index`, or nullptr when not loaded or the index
  // is not below the module's count.
  void* Entry(uint32_t index) const {
    if (!Loaded() || index >= table_.count || index >= kExportTableCapacity) return nullptr;
    return table_.entries[index];
  }

  // The module's CreateObject: 0 and an object in *out on success.
  int CreateObject(const GUID& iid, void** out) const {
    if (!out) return 1;
    *out = nullptr;
    if (!Loaded() || !create_) return 1;
    const int result = create_(&iid, out);
    if (result != 0) *out = nullptr;
    return result;
  }

 private:
  std::mutex lock_;
  bool tried_ = false;
  std::atomic<bool> loaded_{false};
  UniqueModule module_;
  CreateObjectFn create_ = nullptr;
  LumExportTable table_ = {};
};

}  // namespace lum
