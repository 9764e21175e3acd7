// Splitting the command-line tail the Windows entry point receives.
#pragma once
#include <string>
#include <vector>

#include "session/command_line.h"

namespace lum {

// The tail split with the shell's rules (CommandLineToArgvW), every argument
// under the ordinary rules (the first one too). An empty or blank tail gives
// no arguments: CommandLineToArgvW("") would answer the program's own path
// instead. False only when splitting fails.
bool SplitCommandLineTail(const std::wstring& tail, std::vector<std::wstring>* args);

// Splits the tail and parses it with `separator`; false when there is
// nothing to parse (empty tail or splitting failed).
bool ParseCommandLineTail(const std::wstring& tail, wchar_t separator, CommandLineOptions& options);

}  // namespace lum

namespace lum {

// "/post:wait": returns once the system looks quiet after a restart (low
// processor load or a stable process count), bounded by those rules only.
void WaitUntilSystemQuiet();

}  // namespace lum
