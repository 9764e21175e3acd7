// The driver and module pass of the install run, after the files are in
// place: the six installer modules (driver_pass.h), their driver service
// keys, the software-manager record, the sandbox defaults, the browser
// extension refresh and the behaviour-monitor record. Every step is best
// effort; nothing here fails the install.
//
// Threading: the install worker only.
#pragma once
#include <string>

namespace lum {

// `afterEntry(i)` runs after each of the first six entries (0-based), so
// the caller can report progress. True when every module step succeeded.
bool RunDriverPass(const std::wstring& installDir, void (*afterEntry)(int index, void* context),
                   void* context);

}  // namespace lum
