// The result file of "/result:path": one small JSON object that a deployment
// tool reads after the run instead of guessing from the exit code alone.
// Portable: the facts arrive in a struct.
#pragma once
#include <cstdint>
#include <string>

#include "base/exit_codes.h"

namespace lum {

struct RunResult {
  int exitCode = 0;
  ZeroExit zeroExit = ZeroExit::kInstalled;  // what a 0 means (ignored for other codes)
  bool rebootRequired = false;  // a restart is needed to complete the install
  bool wasInstalled = false;    // the product was installed before this run
  std::wstring productVersion;
  std::wstring installDir;
  std::wstring logFile;  // empty when the run wrote no log
  std::wstring language;
  uint64_t durationMs = 0;
};

// The object with exactly the members exitCode, meaning, rebootRequired,
// wasInstalled, productVersion, installDir, logFile, language, durationMs
// (UTF-8, one line). `meaning` is ExitCodeMeaning(exitCode, zeroExit).
std::string FormatRunResult(const RunResult& result);
// Reads back what FormatRunResult wrote (zeroExit from the meaning); false
// when `json` is not such an object (any member missing or of the wrong type).
bool ParseRunResult(const std::string& json, RunResult* result);

}  // namespace lum
