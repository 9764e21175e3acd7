// Process-wide flags about the restart at the end of the run. Any thread may
// set or read them (the install worker sets, the main window reads).
#pragma once

namespace lum {

// A restart is needed to complete the installation.
bool RebootNeeded();
void SetRebootNeeded(bool value = true);

// The main program could only be scheduled for replacement, so the product
// must not be started at the end of this run.
bool DoNotStartProduct();
void SetDoNotStartProduct(bool value = true);

// The user chose to restart now: Windows is restarted as the very last step
// of the installer process, after every window and thread is gone.
bool RestartOnExit();
void SetRestartOnExit(bool value = true);

}  // namespace lum
