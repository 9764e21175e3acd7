// The installed product's own modules, reached from the elevated installer:
// the utility module "Lumutil.dll" (link opening with lowered rights) and the
// common module "LumBNCommon.dll" (the installed edition, promotions). Both
// are loaded from the product folder only after the base module vouches for
// the file (a custom install folder may be one a standard user can write to),
// which is held open from before that check until the loader has mapped it
// (sharing reading only, a link refused), and every load, refusal, call and
// unload is logged. The install run reads the edition only after it has
// secured the install folder.
//
// Threads: any thread; the common module's state is guarded.
#pragma once
#include <string>

namespace lum {

// Opens `url` through the utility module's OpenLink ("open", shown normally);
// false when the module is missing, untrusted or unloadable, or it answers 32
// or less (the caller then opens the link itself, with the user's rights).
bool OpenLinkWithLoweredRights(const std::wstring& url);

// The installed product's edition from the common module's "GetEdition"; 0
// when the module or the export is missing. Read once per run: the first call
// loads the module (after VerifyFile) and remembers the answer, so a later
// call after UnloadCommonModule answers without loading the replaced file.
int CommonModuleEdition();

// The address of one of the common module's exports (the names the product
// publishes); nullptr when the module is not loaded or lacks it.
void* CommonModuleExport(const char* name);

// Unloads the common module when it is loaded, so its file can be replaced;
// true when it was loaded and is gone now.
bool UnloadCommonModule();

}  // namespace lum
