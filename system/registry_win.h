// Typed registry access in an explicit registry view, so call sites never
// juggle byte buffers or forget which view (32-bit or 64-bit) they mean.
#pragma once
#include <windows.h>

#include <string>

#include "system/win_handle_win.h"

namespace lum {

// kDefault is what a 32-bit process sees without asking (the 32-bit view on
// a 64-bit Windows); k32/k64 add KEY_WOW64_32KEY / KEY_WOW64_64KEY.
enum class RegView { kDefault, k32, k64 };

REGSAM ViewFlag(RegView view);
// The flag RegKey adds for `view` on `root\subkey`: ViewFlag, except that a
// 64-bit build's default view is the 32-bit one (the product's programs are
// 32-bit) but for the classes both views share.
REGSAM ViewFlagFor(HKEY root, const std::wstring& subkey, RegView view);

class RegKey {
 public:
  RegKey() = default;
  RegKey(RegKey&&) = default;
  RegKey& operator=(RegKey&&) = default;

  // Opens an existing key; false (and LastError) when it does not open.
  bool Open(HKEY root, const std::wstring& subkey, REGSAM access, RegView view = RegView::kDefault);
  // Opens or creates the key (and its missing parents).
  bool Create(HKEY root, const std::wstring& subkey, REGSAM access,
              RegView view = RegView::kDefault);
  static bool Exists(HKEY root, const std::wstring& subkey, RegView view = RegView::kDefault);
  // Deletes the key with everything below it; true also when it was absent.
  // A registry link (the key itself or one below it) is removed as a link,
  // never followed: a user's hive may hold links to keys of the machine.
  static bool DeleteTree(HKEY root, const std::wstring& subkey, RegView view = RegView::kDefault);

  HKEY Get() const { return key_.Get(); }
  LONG LastError() const { return lastError_; }

  // False when the value is missing or of another type.
  bool ReadDword(const std::wstring& name, DWORD* value);
  // REG_SZ or REG_EXPAND_SZ (not expanded), without the terminating null.
  bool ReadString(const std::wstring& name, std::wstring* value);
  bool HasValue(const std::wstring& name);
  bool WriteDword(const std::wstring& name, DWORD value);
  bool WriteString(const std::wstring& name, const std::wstring& value);
  // True only when the value existed and was deleted.
  bool DeleteValue(const std::wstring& name);

 private:
  UniqueHkey key_;
  LONG lastError_ = ERROR_SUCCESS;
};

}  // namespace lum
