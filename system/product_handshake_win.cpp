#include "system/product_handshake_win.h"

#include <windows.h>

#include "system/win_handle_win.h"

namespace lum {

bool IsActiveDefenseReady() {
  UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kActiveDefenseReadyMutex));
  if (mutex) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_ALREADY_EXISTS;
}

}  // namespace lum
