// What the stand-in product's programs share with the installer: the named
// kernel objects of the service handshakes (the installer spells the same
// names in system/product_handshake_win.h), and the stand-in's own record of
// the calls it receives and the switches through which a test changes its
// answers.
#pragma once
#include <windows.h>

namespace lum {
namespace product {

constexpr wchar_t kReadyMutex[] = L"Global\\080F7E03-AC50-4949-AACA-E79F82D3099F__";
constexpr wchar_t kProtectedFinishedEvent[] = L"Global\\5D605A2B-ACDE-49cd-9642-7B268923ACD9__";
constexpr wchar_t kProtectedStoppedEvent[] = L"Global\\72B4B28B-9DF6-4e69-9E00-F1EE51001ADD__";

// The contract on these names, the same on both sides: whoever creates one
// gives it the Administrators as owner and a DACL of SYSTEM and the
// Administrators alone; an existing one is used only when its owner is
// SYSTEM or the Administrators (anyone may create a name first).
// CreateSharedMutex/CreateSharedEvent: nullptr when refused or not made.
HANDLE CreateSharedMutex(const wchar_t* name);
HANDLE CreateSharedEvent(const wchar_t* name, bool manualReset);
// OpenEvent for `access`, refused (nullptr) when the owner is someone else.
HANDLE OpenSharedEvent(const wchar_t* name, DWORD access);

// HKLM (32-bit view) "SOFTWARE\LumBastion\StandIn": switches a test sets.
//   "ActiveDefenseWithoutReadiness" (DWORD 1): the active-defense service
//       runs but never creates its readiness mutex.
//   "SelfProtectionToolExit" (DWORD): the exit code of "LumSPTool.exe
//       /disablesp"; kSelfProtectionRefused makes it refuse.
//   "ProtectedServiceFinishDelayMs" (DWORD): the protected service signals
//       the installer's finish event only after that many milliseconds.
//   "SelfProtectionToolDelayMs" (DWORD): "LumSPTool.exe /disablesp" answers
//       only after that many milliseconds.
// Its subkey "Calls" holds one REG_SZ value per program switch or module
// entry ("ipc\DrvUtility.dll!InstallDriverForLumSafeSetup"), whose data gets
// one "<argument>;" per call ("-" for a call without argument).
constexpr wchar_t kStandInKey[] = L"SOFTWARE\\LumBastion\\StandIn";
constexpr wchar_t kCallsKey[] = L"SOFTWARE\\LumBastion\\StandIn\\Calls";

// The self-protection tool's refusal exit code (agreed with the installer).
constexpr DWORD kSelfProtectionRefused = 47114;

// Appends one call of `who` with `argument` (null: none) to its record.
void RecordCall(const wchar_t* who, const wchar_t* argument);
// A DWORD switch under kStandInKey; `missing` when it is not set.
DWORD StandInSwitch(const wchar_t* name, DWORD missing);

// Makes the service control manager learn of a service whose key was
// written directly (it reads the keys only when it starts): creates the
// service from the key's values, or brings an existing registration in line
// with them. 0 or the system error.
DWORD RegisterServiceFromKey(const wchar_t* name);

}  // namespace product
}  // namespace lum
