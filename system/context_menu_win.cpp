#include "system/context_menu_win.h"

#include <windows.h>

#include "base/install_log.h"
#include "base/text.h"
#include "system/com_server_win.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const char* kLog = "register";
constexpr const wchar_t* kUserProfileKey = L"software\\LumBastion\\UserProfile";

// The module registers itself in its own bitness: the 64-bit module of a
// 64-bit Windows writes the 64-bit classes, so that is where to look.
RegView ModuleView() { return Is64BitWindows() ? RegView::k64 : RegView::kDefault; }

bool AlreadyRegistered(const std::wstring& modulePath) {
  const RegView view = ModuleView();
  if (!RegKey::Exists(HKEY_CLASSES_ROOT, kContextMenuHandlerKey, view) ||
      !RegKey::Exists(HKEY_CLASSES_ROOT, kContextMenuClsidKey, view))
    return false;
  RegKey server;
  std::wstring registered;
  return server.Open(HKEY_CLASSES_ROOT, std::wstring(kContextMenuClsidKey) + L"\\InprocServer32",
                     KEY_QUERY_VALUE, view) &&
         server.ReadString(L"", &registered) && EqualsNoCase(registered, modulePath);
}

}  // namespace

std::wstring ContextMenuModulePath(const std::wstring& installFolder) {
  return WithTrailingSlash(installFolder) + (Is64BitWindows() ? L"MenuEx64.dll" : L"MenuEx.dll");
}

bool RegisterContextMenu(const std::wstring& installFolder, bool productInstalled) {
  const std::wstring module = ContextMenuModulePath(installFolder);
  bool ok = true;
  if (AlreadyRegistered(module))
    log::Note(kLog, L"context-menu module already registered: " + module);
  else
    ok = RegisterComServer(module, true);
  if (!productInstalled) {
    RegKey profile;
    const bool written = profile.Create(HKEY_LOCAL_MACHINE, kUserProfileKey, KEY_SET_VALUE) &&
                         profile.WriteDword(L"MenuScan", 1);
    log::Action(kLog, L"write DWORD 1", std::wstring(L"HKLM\\") + kUserProfileKey + L" MenuScan",
                written ? 0 : profile.LastError());
  }
  return ok;
}

}  // namespace lum
