// The installer's registry writes, each written to the log with what was
// written, where, and the result, so that every step logs them alike.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "system/registry_win.h"

namespace lum {

// "HKLM\<key> <name>" (or HKCU, HKU, HKCR) as the log shows a value's place.
std::wstring RegistryPlace(HKEY root, const std::wstring& key, const std::wstring& name);

// Create the key when missing, write the value, log it under `topic`.
bool LoggedWriteDword(const char* topic, HKEY root, const std::wstring& key,
                      const std::wstring& name, DWORD value, RegView view = RegView::kDefault);
bool LoggedWriteString(const char* topic, HKEY root, const std::wstring& key,
                       const std::wstring& name, const std::wstring& value,
                       RegView view = RegView::kDefault);
bool LoggedWriteQword(const char* topic, HKEY root, const std::wstring& key,
                      const std::wstring& name, uint64_t value, RegView view = RegView::kDefault);

}  // namespace lum
