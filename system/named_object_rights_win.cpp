#include "system/named_object_rights_win.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "base/install_log.h"
#include "system/win_handle_win.h"

namespace lum {

namespace {

std::wstring OwnerText(PSID owner) {
  wchar_t* text = nullptr;
  if (!owner || !::ConvertSidToStringSidW(owner, &text)) return L"?";
  std::wstring out = text;
  ::LocalFree(text);
  return out;
}

// The owner's SID as text ("" when unreadable) and whether it may own a
// shared object.
bool JudgeOwner(HANDLE object, std::wstring* ownerText) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    if (ownerText) ownerText->clear();
    return false;
  }
  UniqueLocal owned(descriptor);
  if (ownerText) *ownerText = OwnerText(owner);
  return ::IsWellKnownSid(owner, WinLocalSystemSid) ||
         ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
}

void LogRefused(const char* logTag, const wchar_t* name, const std::wstring& owner) {
  log::Action(logTag,
              L"named object refused: not owned by SYSTEM or the Administrators (owner " +
                  (owner.empty() ? std::wstring(L"unreadable") : owner) + L")",
              name, ERROR_ACCESS_DENIED);
}

}  // namespace

bool OwnedBySystemOrAdministrators(HANDLE object) { return JudgeOwner(object, nullptr); }

namespace {

// Creates the event or mutex `name` with kSharedObjectSddl; one that exists
// already is kept only when SYSTEM or the Administrators own it.
HANDLE CreateShared(SharedObjectKind kind, const wchar_t* name, bool manualReset, bool* existed,
                    const char* logTag) {
  *existed = false;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kSharedObjectSddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
    return nullptr;
  UniqueLocal owned(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor, FALSE};
  const bool event = kind == SharedObjectKind::kEvent;
  UniqueHandle object(event ? ::CreateEventW(&attributes, manualReset ? TRUE : FALSE, FALSE, name)
                            : ::CreateMutexW(&attributes, FALSE, name));
  const DWORD error = ::GetLastError();
  if (!object) {
    log::Action(logTag, event ? L"create named event" : L"create named mutex", name,
                static_cast<long>(error));
    ::SetLastError(error);
    return nullptr;
  }
  if (error != ERROR_ALREADY_EXISTS) return object.Release();
  *existed = true;
  std::wstring owner;
  if (!JudgeOwner(object.Get(), &owner)) {
    LogRefused(logTag, name, owner);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return object.Release();
}

}  // namespace

HANDLE CreateSharedEvent(const wchar_t* name, bool manualReset, bool* existed, const char* logTag) {
  return CreateShared(SharedObjectKind::kEvent, name, manualReset, existed, logTag);
}

HANDLE CreateSharedMutex(const wchar_t* name, const char* logTag) {
  bool existed = false;
  return CreateShared(SharedObjectKind::kMutex, name, false, &existed, logTag);
}

HANDLE OpenSharedObject(SharedObjectKind kind, const wchar_t* name, DWORD access,
                        const char* logTag, bool logRefusal) {
  access |= READ_CONTROL;
  UniqueHandle object(kind == SharedObjectKind::kEvent ? ::OpenEventW(access, FALSE, name)
                                                       : ::OpenMutexW(access, FALSE, name));
  if (!object) return nullptr;
  std::wstring owner;
  if (!JudgeOwner(object.Get(), &owner)) {
    if (logRefusal) LogRefused(logTag, name, owner);
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return object.Release();
}

}  // namespace lum
