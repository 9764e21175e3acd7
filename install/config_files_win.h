// Writes the product's configuration files into the install folder from the
// plan of config_files.h: new files hold only the UTF-16 byte-order mark and
// are then filled key by key through the private-profile API.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "session/session_settings.h"

namespace lum {

// Writes "config.ini" (language, title, channel and sub-channel, enterprise
// channel), "i18n\i18n.ini" and "softmgr\AdvUtils.ini". Creates the folders
// as needed. False when a file could not be created or a key could not be
// written (every step is logged).
bool WriteProductConfigFiles(const std::wstring& installDir, const SessionSettings& session,
                             int baseEdition);

// The three files as they were before WriteProductConfigFiles, for a run
// whose file placement is rolled back: the product put back reads its own
// configuration again, not the failed run's language and channel.
struct ConfigFilesBefore {
  struct File {
    std::wstring path;
    bool existed = false;
    bool read = false;  // its bytes are known (an unreadable one is left as it is)
    std::vector<uint8_t> bytes;
  };
  std::vector<File> files;
};
ConfigFilesBefore NoteProductConfigFiles(const std::wstring& installDir);
// Writes each noted file back and deletes the ones that did not exist.
// Logged; true when every file is as it was.
bool RestoreProductConfigFiles(const ConfigFilesBefore& before);

}  // namespace lum
