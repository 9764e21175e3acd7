#include "install/restart_offer_win.h"

#include "app/session_settings.h"
#include "base/install_log.h"
#include "install/install_placeholders_win.h"
#include "system/reboot_flags.h"
#include "tray/product_start_win.h"

namespace lum {

namespace {
constexpr const char* kLog = "restart";
}  // namespace

void OfferRestart(HWND window, int) {
  const SessionSettings& session = Session();
  if (RebootNeeded()) {
    if (!session.silent) {
      if (AskRestartNow(window)) {
        SetRestartOnExit();
        log::Note(kLog, L"restart chosen: Windows restarts when the installer exits");
        return;
      }
    } else {
      log::Note(kLog, L"a restart is needed to complete the installation");
    }
  }
  if (window) ::ShowWindow(window, SW_HIDE);
  if (!session.showProduct) return;
  if (DoNotStartProduct()) {
    log::Note(kLog, L"product not started: its main program is replaced at the restart");
    return;
  }
  StartInstalledProduct(session.installDir);
}

}  // namespace lum
