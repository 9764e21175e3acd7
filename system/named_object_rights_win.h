// Named kernel objects shared with the product's service programs (a global
// event, a readiness mutex). Any local user can create an object of such a
// name first, with a DACL of his own: he could then signal the installer's
// wait early, or make it believe a service is ready. So an object the
// installer creates gets a descriptor of SYSTEM and the Administrators only,
// and one that exists already is used only when its owner, read through the
// handle, is SYSTEM or the Administrators; otherwise it is refused, logged.
// The product's programs create the same names the same way
// (product/apps/handshake.h).
#pragma once
#include <windows.h>

namespace lum {

// The descriptor of a shared named object: the Administrators as owner,
// all access for SYSTEM and the Administrators, no one else.
constexpr const wchar_t* kSharedObjectSddl = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// Whether the object's owner (read through `object`, which needs
// READ_CONTROL) is SYSTEM or the Administrators.
bool OwnedBySystemOrAdministrators(HANDLE object);

// Creates the manual- or auto-reset event `name` with kSharedObjectSddl.
// When it exists already (`existed` true) it is kept only when owned by
// SYSTEM or the Administrators; else nullptr (ERROR_ACCESS_DENIED), logged
// under `logTag`.
HANDLE CreateSharedEvent(const wchar_t* name, bool manualReset, bool* existed, const char* logTag);

// Creates the mutex `name` (not owned) with kSharedObjectSddl, under the same
// rule as CreateSharedEvent for one that exists already.
HANDLE CreateSharedMutex(const wchar_t* name, const char* logTag);

enum class SharedObjectKind { kEvent, kMutex };
// Opens an existing event or mutex `name` for `access` (READ_CONTROL is
// added); nullptr when it is not there, cannot be opened, or is refused for
// its owner (ERROR_ACCESS_DENIED, logged under `logTag` when `logRefusal`).
HANDLE OpenSharedObject(SharedObjectKind kind, const wchar_t* name, DWORD access,
                        const char* logTag, bool logRefusal = true);

}  // namespace lum
