// RAII owners for the Win32 handle kinds the installer uses, so that logic
// never closes a handle by hand and every early return releases what it took.
#pragma once
#include <windows.h>
// These headers build on windows.h.
#include <objbase.h>
#include <ole2.h>

#include <utility>

namespace lum {

// One owner template per handle kind: `Traits` names the invalid value and the
// close call.
template <typename Traits>
class UniqueWinHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueWinHandle() = default;
  explicit UniqueWinHandle(Handle handle) : handle_(handle) {}
  ~UniqueWinHandle() { Reset(); }
  UniqueWinHandle(const UniqueWinHandle&) = delete;
  UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;
  UniqueWinHandle(UniqueWinHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueWinHandle& operator=(UniqueWinHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const { return handle_; }
  bool Valid() const { return handle_ != Traits::Invalid(); }
  explicit operator bool() const { return Valid(); }

  // Closes the held handle (if any) and takes `handle`.
  void Reset(Handle handle = Traits::Invalid()) {
    if (Valid()) Traits::Close(handle_);
    handle_ = handle;
  }
  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  // For out-parameters of Win32 calls; closes what was held first.
  Handle* Put() {
    Reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {  // processes, threads, mutexes, events (null = none)
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile answers INVALID_HANDLE_VALUE
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::FreeLibrary(h); }
};
struct HkeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};
struct LocalMemoryTraits {  // buffers handed out with LocalAlloc (argv, SIDs as text)
  using Handle = HLOCAL;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { ::LocalFree(h); }
};

using UniqueHandle = UniqueWinHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueWinHandle<FileHandleTraits>;
using UniqueModule = UniqueWinHandle<ModuleTraits>;
using UniqueHkey = UniqueWinHandle<HkeyTraits>;
using UniqueFindHandle = UniqueWinHandle<FindHandleTraits>;
using UniqueLocal = UniqueWinHandle<LocalMemoryTraits>;

// COM for this thread for the guard's lifetime; uninitialised only when the
// initialisation succeeded (S_FALSE counts: it must be balanced too).
class CoInit {
 public:
  CoInit() : hr_(::CoInitialize(nullptr)) {}
  ~CoInit() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  CoInit(const CoInit&) = delete;
  CoInit& operator=(const CoInit&) = delete;
  bool Ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

class OleInit {
 public:
  OleInit() : hr_(::OleInitialize(nullptr)) {}
  ~OleInit() {
    if (SUCCEEDED(hr_)) ::OleUninitialize();
  }
  OleInit(const OleInit&) = delete;
  OleInit& operator=(const OleInit&) = delete;
  bool Ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

}  // namespace lum
