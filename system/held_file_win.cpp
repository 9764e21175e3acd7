#include "system/held_file_win.h"

#include <sddl.h>
#include <winternl.h>

#include <vector>

#include "base/text.h"

namespace lum {

namespace {

#ifndef FILE_CREATE
#define FILE_CREATE 0x00000002
#endif
#ifndef FILE_DIRECTORY_FILE
#define FILE_DIRECTORY_FILE 0x00000001
#endif
#ifndef FILE_SYNCHRONOUS_IO_NONALERT
#define FILE_SYNCHRONOUS_IO_NONALERT 0x00000020
#endif
#ifndef FILE_OPEN_REPARSE_POINT
#define FILE_OPEN_REPARSE_POINT 0x00200000
#endif
#ifndef OBJ_CASE_INSENSITIVE
#define OBJ_CASE_INSENSITIVE 0x00000040
#endif

using NtCreateFileFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(LONG);
using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

FARPROC NtdllEntry(const char* name) {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll ? ::GetProcAddress(ntdll, name) : nullptr;
}

// "X:\a\b" -> "x:\a\b": no trailing backslash, no "\\?\" prefix, ASCII
// lower case, long names where the system knows them.
std::wstring Comparable(std::wstring path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
    path = L"\\\\" + path.substr(8);
  else if (path.compare(0, 4, L"\\\\?\\") == 0)
    path = path.substr(4);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  wchar_t longName[MAX_PATH * 2] = {};
  const DWORD length = ::GetLongPathNameW(path.c_str(), longName, MAX_PATH * 2);
  if (length > 0 && length < MAX_PATH * 2) path.assign(longName, length);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return ToLowerAscii(path);
}

// True when the system cannot name the handle's file, or names `path`.
bool FinalPathIs(HANDLE handle, const std::wstring& path) {
  const std::wstring final = HandleFinalPath(handle);
  return final.empty() || Comparable(final) == Comparable(path);
}

bool IsLinkOrMissing(HANDLE handle, BY_HANDLE_FILE_INFORMATION* info) {
  return !::GetFileInformationByHandle(handle, info) ||
         (info->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring NtPath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return L"\\??\\" + path.substr(4);
  if (path.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + path.substr(2);
  return L"\\??\\" + path;
}

// The parent of `path` is not a link (read by handle).
bool ParentIsNoLink(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return false;
  std::wstring parent = path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  UniqueFileHandle handle(::CreateFileW(parent.c_str(), FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  return handle && !IsLinkOrMissing(handle.Get(), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring HandleFinalPath(HANDLE handle) {
  static const auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (!finalPath) return std::wstring();
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = finalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = finalPath(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
  }
  if (length == 0 || length >= buffer.size()) return std::wstring();
  std::wstring path(buffer.data(), length);
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

bool OpenHeldFile(const std::wstring& path, UniqueFileHandle* file) {
  file->Reset();
  UniqueFileHandle handle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (IsLinkOrMissing(handle.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  if (!FinalPathIs(handle.Get(), path)) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  *file = std::move(handle);
  return true;
}

bool CreateHeldFolder(const std::wstring& path, const wchar_t* sddl, UniqueFileHandle* folder) {
  folder->Reset();
  auto create = reinterpret_cast<NtCreateFileFn>(NtdllEntry("NtCreateFile"));
  auto toError = reinterpret_cast<StatusToErrorFn>(NtdllEntry("RtlNtStatusToDosError"));
  if (!create || !toError) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  std::wstring clean = path;
  while (clean.size() > 3 && (clean.back() == L'\\' || clean.back() == L'/')) clean.pop_back();
  if (!ParentIsNoLink(clean)) {
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
    return false;
  UniqueLocal descriptorOwner(descriptor);
  std::wstring ntPath = NtPath(clean);
  UNICODE_STRING name;
  name.Buffer = &ntPath[0];
  name.Length = static_cast<USHORT>(ntPath.size() * sizeof(wchar_t));
  name.MaximumLength = name.Length;
  OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof(attributes);
  attributes.ObjectName = &name;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  attributes.SecurityDescriptor = descriptor;
  IO_STATUS_BLOCK status = {};
  HANDLE raw = INVALID_HANDLE_VALUE;
  // Listing access makes the share mode count: without FILE_SHARE_DELETE no
  // one can open the folder to rename or delete it. No DELETE access of our
  // own: listings that share everything but deletion stay possible.
  const LONG result =
      create(&raw, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL |
                       SYNCHRONIZE,
             &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
             FILE_CREATE, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT,
             nullptr, 0);
  if (result < 0) {
    ::SetLastError(toError(result));
    return false;
  }
  UniqueFileHandle handle(raw);
  BY_HANDLE_FILE_INFORMATION info = {};
  if (IsLinkOrMissing(handle.Get(), &info) || !FinalPathIs(handle.Get(), clean)) {
    // Made somewhere else than asked (a link on the way): not ours to keep.
    // It is empty, so removing it can remove nothing else.
    const std::wstring made = HandleFinalPath(handle.Get());
    handle.Reset();
    ::RemoveDirectoryW((made.empty() ? clean : made).c_str());
    ::SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  *folder = std::move(handle);
  return true;
}

bool PathLeadsTo(HANDLE held, const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION heldInfo = {};
  if (IsLinkOrMissing(held, &heldInfo)) return false;
  UniqueFileHandle now(::CreateFileW(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
  BY_HANDLE_FILE_INFORMATION nowInfo = {};
  if (!now || IsLinkOrMissing(now.Get(), &nowInfo)) return false;
  return nowInfo.dwVolumeSerialNumber == heldInfo.dwVolumeSerialNumber &&
         nowInfo.nFileIndexHigh == heldInfo.nFileIndexHigh &&
         nowInfo.nFileIndexLow == heldInfo.nFileIndexLow && FinalPathIs(now.Get(), path);
}

}  // namespace lum
