// The damaged-file message with its statistics event: the system's box and
// shell, and "nosign.htm?" sent to the statistics base with the common
// parameters of the run.
#pragma once
#include "i18n/damaged_file_message_win.h"

namespace lum {

DamagedFilePrompt DamagedFilePromptWithReport();

}  // namespace lum
