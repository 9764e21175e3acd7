// The folder context-menu module of the product ("SDLum"): registered unless
// the same module is already registered, and the user's menu switch set on a
// first install. Logged.
#pragma once
#include <string>

namespace lum {

constexpr const wchar_t* kContextMenuClsidKey = L"CLSID\\{871D8DC2-84A4-4D1F-99D5-2A4E3BE2E87C}";
constexpr const wchar_t* kContextMenuHandlerKey = L"Directory\\shellex\\ContextMenuHandlers\\SDLum";

// "MenuEx64.dll" under WOW64, else "MenuEx.dll", in the install folder.
std::wstring ContextMenuModulePath(const std::wstring& installFolder);

// True when the module was registered now or already was; "MenuScan" = 1 is
// written only when `productInstalled` is clear (a reinstall keeps the
// user's choice).
bool RegisterContextMenu(const std::wstring& installFolder, bool productInstalled);

}  // namespace lum
