// The tray service link's entry points that start-up and the install run
// call. Not built yet: each logs so and answers as a missing tray service
// does (no link, nothing started).
#pragma once
#include <string>

namespace lum {

bool StartTrayLink();
void StopTrayLink();
// Starts the installed product as the interactive user (after a successful run).
bool StartInstalledProduct(const std::wstring& installDir);

}  // namespace lum
