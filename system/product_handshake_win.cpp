#include "system/product_handshake_win.h"

#include <windows.h>

#include "system/named_object_rights_win.h"
#include "system/win_handle_win.h"

namespace lum {

bool IsActiveDefenseReady() {
  // Asked again and again while the service starts: a refusal is logged once.
  static bool refusalLogged = false;
  UniqueHandle mutex(OpenSharedObject(SharedObjectKind::kMutex, kActiveDefenseReadyMutex,
                                      SYNCHRONIZE, "handshake", !refusalLogged));
  if (mutex) return true;
  if (::GetLastError() == ERROR_ACCESS_DENIED) refusalLogged = true;
  return false;
}

}  // namespace lum
