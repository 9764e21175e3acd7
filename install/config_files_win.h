// Writes the product's configuration files into the install folder from the
// plan of config_files.h: new files hold only the UTF-16 byte-order mark and
// are then filled key by key through the private-profile API.
#pragma once
#include <string>

#include "session/session_settings.h"

namespace lum {

// Writes "config.ini" (language, title, channel and sub-channel, enterprise
// channel), "i18n\i18n.ini" and "softmgr\AdvUtils.ini". Creates the folders
// as needed. False when a file could not be created or a key could not be
// written (every step is logged).
bool WriteProductConfigFiles(const std::wstring& installDir, const SessionSettings& session,
                             int baseEdition);

}  // namespace lum
