// A run that fails after it stopped the installed product starts it again,
// so that a failed install leaves the machine protected as before.
//
// Threading: the install worker (or the silent body thread) only.
#pragma once
#include <string>
#include <vector>

namespace lum {

// A program of the user's session that the run ends (the action script's
// list and the product's own closing), as it ran before: its file in the
// install folder and the switches it is started with again.
struct StoppedProgram {
  std::wstring path;
  std::wstring arguments;
};

// What of the installed product ran before the run began to stop it.
struct RunningProduct {
  bool installed = false;    // the run stops (and marks for removal) its services
  bool mainProgram = false;  // "ZVSafeMain.exe" ran
  // The tray, the game booster, the power saver and the instant setup, each
  // running from `installDir` (one entry per file, however many ran).
  std::vector<StoppedProgram> userPrograms;
};
RunningProduct NoteRunningProduct(bool productInstalled, const std::wstring& installDir);

// Starts again what the run stopped, the way the end of a run starts the
// product: the protected service where the system has it, the
// active-defense bring-up, the main program and the other programs of the
// user's session that ran before, with the user's rights, never the
// installer's. Every start is logged; failures are only logged.
void RestartStoppedProduct(const RunningProduct& before, const std::wstring& installDir);

}  // namespace lum
