// Ending the product's programs before its files are replaced: process
// lookup by program file name, the termination primitive, the fixed sequence
// for the product's own programs and windows, and every process whose program
// lies in the install folder. (The script's [process] entries are read by
// install/action_script and carried out through these.)
//
// Threading: any thread. The active-defense worker, which the install run may
// abandon after its bounded wait, looks processes up while the install thread
// goes on doing the same; the shared table is filled and read under one lock.
// Every lookup takes a fresh snapshot, so a program started after a lookup is
// not seen by it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace lum {

// A process with that program file name (any case) runs: its id (the last of
// that name in snapshot order).
bool FindProcess(const std::wstring& name, DWORD* processId);
// Every process with that program file name; false when none runs.
bool FindAllProcesses(const std::wstring& name, std::vector<DWORD>* processIds);
// Opens the process with terminate access and ends it with exit code 0.
bool EndProcess(DWORD processId);
// Ends every process of that name; true when at least one ran.
bool EndAllProcesses(const std::wstring& name);

// The fixed sequence for the product's own programs: watchdog, monitor exit
// broadcast, patcher, the product family's windows, main program, tray icon,
// tray program, with their waits.
void CloseProductPrograms();

// Ends every process (the installer excepted) whose main module lies in
// `folder` and waits for all of them at most `waitMs`. 0, or -1 for an empty
// folder or a snapshot that cannot be taken.
int EndProcessesUnder(const std::wstring& folder, DWORD waitMs);

}  // namespace lum
