#include "app/hand_over.h"

#include "base/exit_codes.h"

namespace lum {

namespace {
constexpr uint32_t kStillActive = 259;           // STILL_ACTIVE
constexpr uint32_t kStatusBreakpoint = 0x80000003;  // an unhandled breakpoint
}  // namespace

int CodeFromChildExit(const ChildExit& exit, std::wstring* why) {
  why->clear();
  if (!exit.codeRead) {
    *why = L"the copy's exit code could not be read";
  } else if (exit.code == kStillActive) {
    *why = L"the copy ended without an exit code (it was still marked as running)";
  } else if ((exit.code & 0xC0000000u) == 0xC0000000u || exit.code == kStatusBreakpoint) {
    wchar_t hex[16] = {};
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) hex[i] = kDigits[(exit.code >> (28 - 4 * i)) & 0xF];
    *why = std::wstring(L"the copy died with exception code 0x") + hex;
  } else if (exit.code > 0 && exit.code < 100) {
    // The installer never ends with these: 1 is what a kill from outside
    // leaves (a task manager, a job object), 3 what abort() leaves.
    *why = L"the copy was killed from outside or aborted (exit code " +
           std::to_wstring(exit.code) + L")";
  } else {
    return static_cast<int>(exit.code);
  }
  return kExitHandOverLost;
}

RunResult FinalRunResult(int code, bool handedOver, const RunResult* childResult,
                         const RunResult& ownFacts, bool silent, std::wstring* why) {
  why->clear();
  RunResult result = ownFacts;
  if (handedOver && code != kExitHandOverLost) {
    if (childResult != nullptr && childResult->exitCode == code) {
      result = *childResult;
    } else if (code == kExitInstalled) {
      *why = childResult == nullptr
                 ? L"the copy returned 0 but left no result file of its own"
                 : L"the copy's result file says another exit code than the copy returned";
      code = kExitHandOverLost;
    }
  }
  if (code == kExitInstalled && silent &&
      (result.installDir.empty() || result.productVersion.empty())) {
    *why = result.installDir.empty() ? L"\"installed\", but the run knows no install folder"
                                     : L"\"installed\", but no product version is in " +
                                           result.installDir;
    code = kExitHandOverLost;
  }
  result.exitCode = code;
  return result;
}

}  // namespace lum
