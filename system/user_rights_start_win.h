// Starting a program for the user although the installer runs elevated: the
// product's main program after the install, browsers and links. Whatever is
// started this way runs in the installer's own session with the user's
// rights, never with the installer's administrator token.
#pragma once
#include <string>

namespace lum {

// Starts `commandLine` in `folder` (a folder the program may keep open: never
// the installer's own, which is deleted after the run), shown normally, with
// the installer's token duplicated as a primary token at integrity
// "S-1-16-8192", the Administrators group deny-only and no privileges beyond
// the change-notify one. Before Windows 6.0 there are no integrity levels
// and the installer runs with the user's own token: the label is left out.
// Logged under `logTag` as "start at medium integrity". False, with
// GetLastError, when nothing was started.
bool LaunchAtMediumIntegrity(const std::wstring& commandLine, const std::wstring& folder,
                             const char* logTag);

// A folder a started program may hold as its current folder: the folder of
// `program` when it exists, else the system folder.
std::wstring NeutralFolderFor(const std::wstring& program);

}  // namespace lum
