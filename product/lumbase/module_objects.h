// The objects that the base module's CreateObject hands out.
#pragma once
#include <windows.h>

#include <string>

namespace lum {

// Base entry 10; also behind the file-signature verifier object.
int __stdcall VerifyVendorFile(const wchar_t* path, int* kind);

// A new object for `iid` (reference count 1) in *out; false for unknown ids.
bool CreateModuleObject(const GUID& iid, void** out);

// Upper-case hex of the first 16 bytes of SHA-256(volume serial, 4 bytes
// little-endian, then the computer name as UTF-16LE): stable per machine.
std::wstring MachineIdentityText(DWORD volumeSerial, const std::wstring& machineName);

}  // namespace lum
