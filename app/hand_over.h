// What a run that handed its work to another copy of the installer (the copy
// relocated under Program Files, the restart without a compatibility layer)
// may report: only what it has evidence for. A copy that died, or whose
// outcome cannot be read, is a failure, never "installed".
// Portable: the evidence arrives in structs.
#pragma once
#include <cstdint>
#include <string>

#include "app/result_file.h"

namespace lum {

// The child's exit as the parent saw it.
struct ChildExit {
  bool codeRead = false;  // GetExitCodeProcess answered
  uint32_t code = 0;
};

// The child's exit code, or kExitHandOverLost when it could not be read, is
// the "still running" marker, is an exception code (the child died), or is
// 1 to 99, which no run of the installer ends with (it was killed or aborted).
// `why` says what was missing, for the log (empty when the code stands).
int CodeFromChildExit(const ChildExit& exit, std::wstring* why);

// The result a run reports at its end. `code` is the run's exit code so far.
// After a hand-over the child's own result file (`childResult`, null when it
// left none or it could not be read; the child is always asked for one)
// carries the facts; a child that returns 0 without it has no evidence and
// the run ends with kExitHandOverLost. Whatever the source, a silent run
// never reports "installed" without an install folder and a product version
// there: the facts win and the code becomes kExitHandOverLost. (An
// interactive run closed before installing keeps its 0.) `why` says what
// decided a changed code.
RunResult FinalRunResult(int code, bool handedOver, const RunResult* childResult,
                         const RunResult& ownFacts, bool silent, std::wstring* why);

}  // namespace lum
