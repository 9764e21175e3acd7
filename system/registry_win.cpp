#include "system/registry_win.h"

#include <vector>

#include "system/registry_roots.h"
#include "system/win_handle_win.h"

namespace lum {

REGSAM ViewFlag(RegView view) {
  switch (view) {
    case RegView::k32:
      return KEY_WOW64_32KEY;
    case RegView::k64:
      return KEY_WOW64_64KEY;
    default:
#ifdef _WIN64
      // The product is a 32-bit one and its programs read the 32-bit view: a
      // 64-bit build of the installer keeps its keys where the 32-bit one,
      // redirected by WOW64, puts them.
      return KEY_WOW64_32KEY;
#else
      return 0;
#endif
  }
}

REGSAM ViewFlagFor(HKEY root, const std::wstring& subkey, RegView view) {
  if (view == RegView::kDefault) {
    const RegRoot named = root == HKEY_CLASSES_ROOT    ? RegRoot::kClassesRoot
                          : root == HKEY_LOCAL_MACHINE ? RegRoot::kLocalMachine
                          : root == HKEY_CURRENT_USER  ? RegRoot::kCurrentUser
                                                       : RegRoot::kNone;
    // What a 32-bit process on Windows 7 would see as one key is one key.
    if (SharedBetweenRegistryViews(named, subkey)) return 0;
  }
  return ViewFlag(view);
}

bool RegKey::Open(HKEY root, const std::wstring& subkey, REGSAM access, RegView view) {
  HKEY opened = nullptr;
  lastError_ = ::RegOpenKeyExW(root, subkey.c_str(), 0, access | ViewFlagFor(root, subkey, view), &opened);
  key_.Reset(lastError_ == ERROR_SUCCESS ? opened : nullptr);
  return lastError_ == ERROR_SUCCESS;
}

bool RegKey::Create(HKEY root, const std::wstring& subkey, REGSAM access, RegView view) {
  HKEY created = nullptr;
  lastError_ = ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access | ViewFlagFor(root, subkey, view), nullptr, &created, nullptr);
  key_.Reset(lastError_ == ERROR_SUCCESS ? created : nullptr);
  return lastError_ == ERROR_SUCCESS;
}

bool RegKey::Exists(HKEY root, const std::wstring& subkey, RegView view) {
  RegKey key;
  return key.Open(root, subkey, KEY_QUERY_VALUE, view);
}

namespace {

// Deeper than any key the installer removes; a deeper tree is not removed.
constexpr int kMaxKeyDepth = 64;
constexpr DWORD kRegLinkType = 6;  // REG_LINK

// The key object itself, whatever its name resolves to by then.
LONG DeleteOpenKey(HKEY key) {
  using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
  static const NtDeleteKeyFn remove = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  if (remove == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  return remove(key) >= 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool IsRegistryLink(HKEY key) {
  DWORD type = 0;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         type == kRegLinkType;
}

// Removes `name` below `parent`: every key is opened as itself (a registry
// link is never followed), a link is removed as a link and not entered, and
// each key is deleted through its own handle, never by a name that could be
// re-pointed meanwhile. ERROR_FILE_NOT_FOUND when there is nothing.
LONG DeleteKeyTreeNoLinks(HKEY parent, const std::wstring& name, REGSAM view, int depth) {
  if (depth > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  HKEY opened = nullptr;
  LONG rc = ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK,
                            KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE | view, &opened);
  if (rc != ERROR_SUCCESS) return rc;
  UniqueHkey key(opened);
  if (!IsRegistryLink(key.Get())) {
    std::vector<std::wstring> children;
    wchar_t child[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (::RegEnumKeyExW(key.Get(), i, child, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      children.emplace_back(child, length);
    }
    for (const std::wstring& each : children) {
      rc = DeleteKeyTreeNoLinks(key.Get(), each, view, depth + 1);
      if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    }
  }
  return DeleteOpenKey(key.Get());
}

}  // namespace

bool RegKey::DeleteTree(HKEY root, const std::wstring& subkey, RegView view) {
  if (subkey.empty()) return false;
  const LONG rc = DeleteKeyTreeNoLinks(root, subkey, ViewFlagFor(root, subkey, view), 0);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool RegKey::ReadDword(const std::wstring& name, DWORD* value) {
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  lastError_ = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(&data), &size);
  if (lastError_ != ERROR_SUCCESS || type != REG_DWORD || size != sizeof(data)) return false;
  *value = data;
  return true;
}

bool RegKey::ReadString(const std::wstring& name, std::wstring* value) {
  DWORD type = 0;
  DWORD size = 0;
  lastError_ = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (lastError_ != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  // The value may grow between the two calls; retry a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    lastError_ = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (lastError_ == ERROR_MORE_DATA) {
      size = bytes;
      continue;
    }
    if (lastError_ != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    size_t chars = bytes / sizeof(wchar_t);
    while (chars > 0 && buffer[chars - 1] == L'\0') --chars;
    value->assign(buffer.data(), chars);
    return true;
  }
  return false;
}

bool RegKey::HasValue(const std::wstring& name) {
  lastError_ = ::RegQueryValueExW(key_.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr);
  return lastError_ == ERROR_SUCCESS;
}

bool RegKey::WriteDword(const std::wstring& name, DWORD value) {
  lastError_ = ::RegSetValueExW(key_.Get(), name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&value), sizeof(value));
  return lastError_ == ERROR_SUCCESS;
}

bool RegKey::WriteString(const std::wstring& name, const std::wstring& value) {
  lastError_ = ::RegSetValueExW(key_.Get(), name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return lastError_ == ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const std::wstring& name) {
  lastError_ = ::RegDeleteValueW(key_.Get(), name.c_str());
  return lastError_ == ERROR_SUCCESS;
}

}  // namespace lum
