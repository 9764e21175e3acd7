// A run that fails after it stopped the installed product starts it again,
// so that a failed install leaves the machine protected as before.
//
// Threading: the install worker (or the silent body thread) only.
#pragma once
#include <string>

namespace lum {

// What of the installed product ran before the run began to stop it.
struct RunningProduct {
  bool installed = false;    // the run stops (and marks for removal) its services
  bool mainProgram = false;  // "ZVSafeMain.exe" ran
};
RunningProduct NoteRunningProduct(bool productInstalled);

// Starts again what the run stopped, the way the end of a run starts the
// product: the protected service where the system has it, the
// active-defense bring-up, and the main program for the interactive user.
// Every start is logged; failures are only logged.
void RestartStoppedProduct(const RunningProduct& before, const std::wstring& installDir);

}  // namespace lum
