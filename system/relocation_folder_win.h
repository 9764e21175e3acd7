// The folders the installer makes under Program Files for copies of itself:
// the copy a download runs as (relocation), and the copy the RunOnce entry
// "Lumts" names for the run after a restart. Only administrators can create
// or change anything there. Logged.
#pragma once
#include <cstdint>
#include <string>

namespace lum {

// "<Windows root>Program Files (x86)", else "...Program Files"; empty if neither exists.
std::wstring RelocationParent();
// Creates the first of "<seconds>_0" ... "<seconds>_10" under `parent` that
// this call can create anew and answers its full path (no trailing
// backslash); empty when none could be created. A name that exists is never
// reused: the folder is deleted after the run, and what this run did not
// create is not its to delete.
std::wstring CreateRelocationFolder(const std::wstring& parent, uint64_t seconds);
// Whether `path` is a copy in such a folder under this machine's RelocationParent().
bool IsRelocationCopy(const std::wstring& path);

// The installer the RunOnce entry may name for `installerPath`: itself when
// it is a relocation copy already (its parent keeps it while the entry names
// it), else a copy made now in a fresh relocation folder. Empty (logged) when
// no such copy can be made: the entry must then not be written.
std::wstring RestartRerunCopy(const std::wstring& installerPath);

// Whether HKLM RunOnce "Lumts" starts `installerPath`.
bool RestartRerunEntryNames(const std::wstring& installerPath);

}  // namespace lum
