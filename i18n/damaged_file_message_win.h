// Shows the built-in "files damaged" message for a missing program, opens the
// download page when the user agrees and records the statistics event.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "i18n/damaged_file_message.h"

namespace lum {

// The two user-facing effects, replaceable so that a test can answer the box
// and see the address without a person or a browser.
struct DamagedFilePrompt {
  // Returns the MessageBox answer (IDYES, IDNO) or 0 when no box was shown.
  std::function<int(HWND owner, const DamagedFileText& message)> showBox;
  // Opens the address with the shell's "open" verb; false when that failed.
  std::function<bool(const std::wstring& address)> openAddress;
  // Sends the statistics event for the answer; the reporting folder, which
  // this one cannot see, provides it (DamagedFilePromptWithReport). Left
  // empty, the event is only logged.
  std::function<void(const std::wstring& missingFile, bool answeredYes)> report;
};

// MessageBoxW with MB_YESNO | MB_ICONSTOP, and ShellExecuteW "open" SW_SHOW.
DamagedFilePrompt SystemDamagedFilePrompt();

// Reads "UI" "language" and "channel" from the installed product's
// config.ini (see ConfigIniCandidates), shows the message naming
// `missingFile` (a second box without owner when the first cannot be shown),
// opens the download page on Yes and records the event unless the user left
// the experience programme. Returns true when the user answered Yes.
bool ShowDamagedFileMessage(HWND owner, const std::wstring& productFolder,
                            const std::wstring& missingFile,
                            const DamagedFilePrompt& prompt = SystemDamagedFilePrompt());

// False only when HKLM "SOFTWARE\LumBastion\Experience" "UserExperience" is 0.
bool UserExperienceEnabled();

}  // namespace lum
