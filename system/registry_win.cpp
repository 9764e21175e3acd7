#include "system/registry_win.h"

#include <vector>

#include "system/registry_roots.h"

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

bool RegKey::DeleteTree(HKEY root, const std::wstring& subkey, RegView view) {
  RegKey key;
  if (!key.Open(root, subkey, KEY_ALL_ACCESS, view)) return key.LastError() == ERROR_FILE_NOT_FOUND;
  if (::RegDeleteTreeW(key.Get(), nullptr) != ERROR_SUCCESS) return false;
  key.key_.Reset();
  return ::RegDeleteKeyExW(root, subkey.c_str(), ViewFlagFor(root, subkey, view), 0) == ERROR_SUCCESS;
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
