#include "install/restart_offer_win.h"

#include <atomic>

#include "base/install_log.h"
#include "session/session_settings.h"
#include "system/reboot_flags.h"
#include "tray/product_start_win.h"

namespace lum {

namespace {
constexpr const char* kLog = "restart";
std::atomic<RestartPrompt> g_prompt{nullptr};
}  // namespace

void SetRestartPrompt(RestartPrompt prompt) { g_prompt.store(prompt); }

void OfferRestart(HWND window, int) {
  const SessionSettings& session = Session();
  if (RebootNeeded()) {
    if (!session.silent) {
      const RestartPrompt prompt = g_prompt.load();
      if (!prompt) log::Note(kLog, L"no restart prompt registered: the restart is left for later");
      if (prompt && prompt(window)) {
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
