// Writing and reading the "/result:path" file. The file is replaced in one
// rename, so a deployment tool that polls for it never reads half an object.
#pragma once
#include <string>

#include "app/result_file.h"

namespace lum {

// Deletes a result file left by an earlier run, so that what is read back
// after a hand-over can only be the copy's own. True when none is left.
bool ClearResultFile(const std::wstring& path);
// Writes `result` to a temporary file beside `path`, then renames it over
// `path`. Logged; false (and no temporary file left) on failure.
bool WriteResultFile(const std::wstring& path, const RunResult& result);
bool ReadResultFile(const std::wstring& path, RunResult* result);

}  // namespace lum
