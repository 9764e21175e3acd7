// The shortcut pass of the install run: the start-menu folder and its
// shortcuts, the desktop shortcuts and the uninstall entry, with the names of
// the chosen language after the names of every other language are removed.
// Runs on the install worker (COM initialised); every change is logged.
#pragma once
#include <string>

#include "payload/ini_table.h"

namespace lum {

// Deletes folder\<text of `key`> for every listed language whose text is a
// plain file name. True when each deletion worked (an absent file counts).
bool RemoveLanguageShortcuts(const IniTable& table, const std::wstring& folder,
                             const std::wstring& key);
// Deletes programsFolder\<"lnkpath" of every listed language> with the
// script's tree deleter (files named for the repair tool are kept).
bool RemoveLanguageMenuFolders(const IniTable& table, const std::wstring& installFolder,
                               const std::wstring& programsFolder);

// The whole pass; 0, or the registry error of the uninstall entry (the
// shortcuts stay then).
long CreateShortcuts(const std::wstring& installDir);

}  // namespace lum
