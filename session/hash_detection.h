// Channel, sub-channel and hash codes carried in the installer's own file
// name ("h1", "h2", "h3" forms) or in the options "h2_hash" / "h3_hash".
// Start-up runs it in interactive mode only, after the command line; the
// first form that applies wins.
//
// Portable: `ownPath` is the installer's full path as GetModuleFileName gives
// it. Base64 tokens decode to ANSI bytes, widened here as Latin-1.
#pragma once
#include <string>

#include "session/command_line.h"
#include "session/session_settings.h"

namespace lum {

enum class HashForm {
  kNone,      // nothing applied
  kH1,        // channel/sub-channel from the file name
  kH2,        // channel/sub-channel/hash from the path
  kH2Option,  // "/h2_hash:<hash>"
  kH3,        // channel/hash from the file name
  kH3Option,  // "/h3_hash:<hash>"
};

// Applies the first form that fits to `session` and tells which one it was.
HashForm DetectHashForms(const std::wstring& ownPath, const CommandLineOptions& options,
                         SessionSettings& session);

}  // namespace lum
