// Which folders in the shared places are an earlier run's: every run makes
// its own, under fresh names, and a run that was ended from outside (or
// whose folder was in use at its end) leaves them behind.
#pragma once
#include <string>

namespace lum {

enum class EarlierRunFolder {
  kNone,
  kWork,        // the install procedure's work folder: "Lum_install_<time>_<ticks>[_<n>]"
  kBaseModule,  // the base module's folder: "<seconds>_<ticks>_base[_<n>]"
  kRelocation,  // the relocated copy's folder under Program Files: "<seconds>_<counter>"
};

// What the folder `name` (a single name) is. `inProgramFiles` says where it
// lies: relocation folders are only ever there, the others only in the
// Windows temporary folder.
EarlierRunFolder KindOfEarlierRunFolder(const std::wstring& name, bool inProgramFiles);

}  // namespace lum
