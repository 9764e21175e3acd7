// Names that the language table gives to shortcuts and start-menu folders,
// checked before they are joined to a folder that the installer deletes in:
// a name must stay inside that folder.
#pragma once
#include <string>

namespace lum {

// A shortcut file name ("lnk1" ...): not empty, no '\\', '/', ':' and not
// "." or "..".
bool IsPlainShortcutName(const std::wstring& name);
// A start-menu folder ("lnkpath"): one or more plain names joined by '\\';
// never empty, absolute, or climbing out with "..".
bool IsMenuSubPath(const std::wstring& path);

}  // namespace lum
