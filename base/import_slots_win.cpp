// Import slots the installer fills itself ("__imp_<name>", which the import
// libraries would otherwise have the loader fill): every call, ours and the
// static libraries' alike, goes through the slot.
//  - Functions that Windows XP lacks, bound at run time with the older way
//    where they are missing, so that the loader never refuses the program
//    before its first instruction (the thread library asks for GetTickCount64).
//  - The byte-order functions of the sockets library, which the tray link's
//    protocol calls: arithmetic, so no library (and no DLL that Windows might
//    take from the download folder) is needed for them. A slot first holds its resolver,
// which looks the function up once and stores what it found (or the fallback)
// in the slot. Linked into the installer as an object, never from an archive,
// so that its slots are defined before any import library is searched.
#include <windows.h>

#include <string>

#include "base/system_dll_win.h"

// The slot's symbol: i686 names imports of __stdcall functions with the size
// of their arguments, x86_64 by the bare name.
#if defined(__i386__)
#define LUM_IMPORT_SLOT(name, argumentBytes) __asm__("__imp__" #name "@" #argumentBytes)
#else
#define LUM_IMPORT_SLOT(name, argumentBytes) __asm__("__imp_" #name)
#endif

static FARPROC Lookup(const wchar_t* dll, const char* name) {
  return ::GetProcAddress(::GetModuleHandleW(dll), name);
}

template <typename Fn>
static Fn Publish(Fn* slot, Fn found) {
  __atomic_store_n(slot, found, __ATOMIC_RELEASE);
  return found;
}

// --- GetTickCount64: the 32-bit count with its wraps counted (one every 49.7
// days), kept monotonic across threads by one compare-and-swap.
static ULONGLONG WINAPI TickCount64Compat() {
  static ULONGLONG last = 0;
  ULONGLONG seen = __atomic_load_n(&last, __ATOMIC_ACQUIRE);
  for (;;) {
    const DWORD now = ::GetTickCount();
    ULONGLONG value = (seen & ~0xFFFFFFFFull) | now;
    if (value < seen) value += 0x100000000ull;
    if (__atomic_compare_exchange_n(&last, &seen, value, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE))
      return value;
  }
}

using TickCount64Fn = ULONGLONG(WINAPI*)();
static ULONGLONG WINAPI ResolveTickCount64();
extern "C" TickCount64Fn tickCount64Slot LUM_IMPORT_SLOT(GetTickCount64, 0);
TickCount64Fn tickCount64Slot = ResolveTickCount64;
static ULONGLONG WINAPI ResolveTickCount64() {
  auto found = reinterpret_cast<TickCount64Fn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "GetTickCount64")));
  return Publish(&tickCount64Slot, found ? found : TickCount64Compat)();
}

// --- QueryFullProcessImageNameW: the process's main module by the process
// status library (needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ there).
static BOOL WINAPI ProcessImageNameCompat(HANDLE process, DWORD flags, LPWSTR name, PDWORD size) {
  using ModuleNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  static const auto moduleName =
      lum::SystemExport<ModuleNameFn>(L"psapi.dll", "GetModuleFileNameExW");
  if (flags != 0 || !moduleName || !size || *size == 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD length = moduleName(process, nullptr, name, *size);
  if (length == 0 || length >= *size) return FALSE;
  *size = length;
  return TRUE;
}

using ImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
static BOOL WINAPI ResolveImageName(HANDLE, DWORD, LPWSTR, PDWORD);
extern "C" ImageNameFn imageNameSlot LUM_IMPORT_SLOT(QueryFullProcessImageNameW, 16);
ImageNameFn imageNameSlot = ResolveImageName;
static BOOL WINAPI ResolveImageName(HANDLE process, DWORD flags, LPWSTR name, PDWORD size) {
  auto found = reinterpret_cast<ImageNameFn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "QueryFullProcessImageNameW")));
  return Publish(&imageNameSlot, found ? found : ProcessImageNameCompat)(process, flags, name,
                                                                         size);
}

// --- RegDeleteKeyExW: 32-bit XP has one registry view, so the view asked for
// is the only one there is.
static LONG WINAPI DeleteKeyExCompat(HKEY key, LPCWSTR subkey, REGSAM, DWORD) {
  return ::RegDeleteKeyW(key, subkey);
}

using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
static LONG WINAPI ResolveDeleteKeyEx(HKEY, LPCWSTR, REGSAM, DWORD);
extern "C" DeleteKeyExFn deleteKeyExSlot LUM_IMPORT_SLOT(RegDeleteKeyExW, 16);
DeleteKeyExFn deleteKeyExSlot = ResolveDeleteKeyEx;
static LONG WINAPI ResolveDeleteKeyEx(HKEY key, LPCWSTR subkey, REGSAM view, DWORD reserved) {
  auto found = reinterpret_cast<DeleteKeyExFn>(
      reinterpret_cast<void*>(Lookup(L"advapi32.dll", "RegDeleteKeyExW")));
  return Publish(&deleteKeyExSlot, found ? found : DeleteKeyExCompat)(key, subkey, view, reserved);
}

// --- RegDeleteTreeW: subkeys depth first, then the values; the key named by
// `subkey` itself goes too, as the system's own function does.
static LONG WINAPI DeleteTreeCompat(HKEY key, LPCWSTR subkey) {
  HKEY opened = nullptr;
  if (subkey && *subkey) {
    const LONG result = ::RegOpenKeyExW(key, subkey, 0, KEY_READ | KEY_SET_VALUE | DELETE, &opened);
    if (result != ERROR_SUCCESS) return result;
  }
  const HKEY target = opened ? opened : key;
  LONG result = ERROR_SUCCESS;
  wchar_t name[256];
  for (;;) {
    DWORD length = 256;
    result = ::RegEnumKeyExW(target, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) {
      result = ERROR_SUCCESS;
      break;
    }
    if (result == ERROR_SUCCESS) result = DeleteTreeCompat(target, name);
    if (result != ERROR_SUCCESS) break;
  }
  // Value names are at most 16383 characters.
  std::wstring value(16384, L'\0');
  while (result == ERROR_SUCCESS) {
    DWORD length = 16384;
    result = ::RegEnumValueW(target, 0, &value[0], &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) {
      result = ERROR_SUCCESS;
      break;
    }
    if (result == ERROR_SUCCESS) result = ::RegDeleteValueW(target, value.c_str());
  }
  if (opened) {
    ::RegCloseKey(opened);
    if (result == ERROR_SUCCESS) result = ::RegDeleteKeyW(key, subkey);
  }
  return result;
}

using DeleteTreeFn = LONG(WINAPI*)(HKEY, LPCWSTR);
static LONG WINAPI ResolveDeleteTree(HKEY, LPCWSTR);
extern "C" DeleteTreeFn deleteTreeSlot LUM_IMPORT_SLOT(RegDeleteTreeW, 8);
DeleteTreeFn deleteTreeSlot = ResolveDeleteTree;
static LONG WINAPI ResolveDeleteTree(HKEY key, LPCWSTR subkey) {
  auto found = reinterpret_cast<DeleteTreeFn>(
      reinterpret_cast<void*>(Lookup(L"advapi32.dll", "RegDeleteTreeW")));
  return Publish(&deleteTreeSlot, found ? found : DeleteTreeCompat)(key, subkey);
}

// --- The file-system view of a 32-bit process on 64-bit Windows: where the
// calls are missing there is no other view to turn off.
static BOOL WINAPI NoFileSystemView(PVOID*) {
  ::SetLastError(ERROR_INVALID_FUNCTION);
  return FALSE;
}

using FsViewFn = BOOL(WINAPI*)(PVOID*);
static BOOL WINAPI ResolveDisableView(PVOID*);
extern "C" FsViewFn disableViewSlot LUM_IMPORT_SLOT(Wow64DisableWow64FsRedirection, 4);
FsViewFn disableViewSlot = ResolveDisableView;
static BOOL WINAPI ResolveDisableView(PVOID* old) {
  auto found = reinterpret_cast<FsViewFn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "Wow64DisableWow64FsRedirection")));
  return Publish(&disableViewSlot, found ? found : NoFileSystemView)(old);
}

using FsRevertFn = BOOL(WINAPI*)(PVOID);
static BOOL WINAPI NoFileSystemViewRevert(PVOID) {
  ::SetLastError(ERROR_INVALID_FUNCTION);
  return FALSE;
}
static BOOL WINAPI ResolveRevertView(PVOID);
extern "C" FsRevertFn revertViewSlot LUM_IMPORT_SLOT(Wow64RevertWow64FsRedirection, 4);
FsRevertFn revertViewSlot = ResolveRevertView;
static BOOL WINAPI ResolveRevertView(PVOID old) {
  auto found = reinterpret_cast<FsRevertFn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "Wow64RevertWow64FsRedirection")));
  return Publish(&revertViewSlot, found ? found : NoFileSystemViewRevert)(old);
}

// --- SetFileInformationByHandle: the classes that have a native twin of the
// same layout go to NtSetInformationFile, which XP has.
static BOOL WINAPI FileInformationCompat(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID data,
                                         DWORD size) {
  struct IoStatus {
    union {
      LONG status;
      PVOID pointer;
    };
    ULONG_PTR information;
  };
  using NtSetFn = LONG(WINAPI*)(HANDLE, IoStatus*, PVOID, ULONG, int);
  static const auto ntSet = reinterpret_cast<NtSetFn>(
      reinterpret_cast<void*>(Lookup(L"ntdll.dll", "NtSetInformationFile")));
  // FileBasicInfo, FileRenameInfo, FileDispositionInfo, FileAllocationInfo,
  // FileEndOfFileInfo and their native classes.
  static const int kNative[] = {4, -1, -1, 10, 13, 19, 20};
  const int native = static_cast<unsigned>(type) < 7 ? kNative[type] : -1;
  if (!ntSet || native < 0) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  IoStatus io = {};
  const LONG status = ntSet(file, &io, data, size, native);
  if (status >= 0) return TRUE;
  using ToErrorFn = ULONG(WINAPI*)(LONG);
  static const auto toError = reinterpret_cast<ToErrorFn>(
      reinterpret_cast<void*>(Lookup(L"ntdll.dll", "RtlNtStatusToDosError")));
  ::SetLastError(toError ? toError(status) : ERROR_GEN_FAILURE);
  return FALSE;
}

using FileInformationFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
static BOOL WINAPI ResolveFileInformation(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
extern "C" FileInformationFn fileInformationSlot LUM_IMPORT_SLOT(SetFileInformationByHandle, 16);
FileInformationFn fileInformationSlot = ResolveFileInformation;
static BOOL WINAPI ResolveFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS type, LPVOID data,
                                          DWORD size) {
  auto found = reinterpret_cast<FileInformationFn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "SetFileInformationByHandle")));
  return Publish(&fileInformationSlot, found ? found : FileInformationCompat)(file, type, data,
                                                                              size);
}

// --- CancelIoEx: XP cannot cancel another thread's I/O; a bounded call there
// waits for its peer's answer.
static BOOL WINAPI CancelIoCompat(HANDLE, LPOVERLAPPED) {
  ::SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

using CancelIoExFn = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
static BOOL WINAPI ResolveCancelIoEx(HANDLE, LPOVERLAPPED);
extern "C" CancelIoExFn cancelIoExSlot LUM_IMPORT_SLOT(CancelIoEx, 8);
CancelIoExFn cancelIoExSlot = ResolveCancelIoEx;
static BOOL WINAPI ResolveCancelIoEx(HANDLE file, LPOVERLAPPED overlapped) {
  auto found = reinterpret_cast<CancelIoExFn>(
      reinterpret_cast<void*>(Lookup(L"kernel32.dll", "CancelIoEx")));
  return Publish(&cancelIoExSlot, found ? found : CancelIoCompat)(file, overlapped);
}

// --- Byte order: the network's is big-endian, every Windows machine's little.
static unsigned long WINAPI SwapLong(unsigned long value) { return __builtin_bswap32(value); }
static unsigned short WINAPI SwapShort(unsigned short value) { return __builtin_bswap16(value); }

using SwapLongFn = unsigned long(WINAPI*)(unsigned long);
using SwapShortFn = unsigned short(WINAPI*)(unsigned short);
extern "C" SwapLongFn htonlSlot LUM_IMPORT_SLOT(htonl, 4);
extern "C" SwapLongFn ntohlSlot LUM_IMPORT_SLOT(ntohl, 4);
extern "C" SwapShortFn htonsSlot LUM_IMPORT_SLOT(htons, 4);
extern "C" SwapShortFn ntohsSlot LUM_IMPORT_SLOT(ntohs, 4);
SwapLongFn htonlSlot = SwapLong;
SwapLongFn ntohlSlot = SwapLong;
SwapShortFn htonsSlot = SwapShort;
SwapShortFn ntohsSlot = SwapShort;
