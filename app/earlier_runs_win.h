// Removing what earlier runs left outside the install folder: work folders
// and base-module folders in the Windows temporary folder, relocated copies
// under Program Files, and their entries in the restart-time list.
//
// A run ended from outside leaves all of these; a finished run leaves its
// base-module folders (the module stays loaded to the end, so their removal
// is scheduled for the restart). Each run clears what earlier ones left, so
// nothing piles up and the restart-time list holds the last run's entries
// only.
//
// Threading: the main thread, once this run holds the single-instance lock
// (no other run installs now). A run still starting or handing over holds
// its folders open without delete sharing, so they stay as they are.
#pragma once

namespace lum {

// Deletes, by handle, every earlier run's folder that is not in use and not
// this run's, then drops the restart-time entries inside the folders that
// are gone. A relocated copy that the restart re-run entry names is kept.
// Every removal and every folder left is logged.
void RemoveEarlierRunsLeftovers();

}  // namespace lum
