#include "app/missing_program_win.h"

#include "base/install_log.h"
#include "browser/open_link_win.h"
#include "i18n/damaged_file_message_win.h"
#include "report/damaged_file_report_win.h"
#include "session/session_settings.h"
#include "system/product_location_win.h"
#include "ui/msg_box_win.h"

namespace lum {

void OnMissingProgram(const std::wstring& program) {
  const SessionSettings& session = Session();
  const DamagedFilePrompt reporting = DamagedFilePromptWithReport();
  if (session.silent) {
    log::Note("install", L"damaged-file message not shown in a silent run: " + program);
    if (UserExperienceEnabled()) reporting.report(program, false);
    return;
  }
  DamagedFilePrompt prompt = SkinnedDamagedFilePrompt();
  prompt.report = reporting.report;
  // The download page opens in the user's browser with the user's rights.
  prompt.openAddress = [](const std::wstring& address) {
    return OpenLink(address, kOpenLinkDefaultBrowser);
  };
  std::wstring folder = ReadProductFolder();
  if (folder.empty()) folder = session.installDir;
  // No owner: the start may come from the install worker, whose thread owns
  // no window; the box is a window of its own.
  ShowDamagedFileMessage(nullptr, folder, program, prompt);
}

}  // namespace lum
