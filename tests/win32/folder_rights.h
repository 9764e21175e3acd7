// What a folder's DACL lets others do, read back as the system keeps it.
#pragma once
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "base/text.h"
#include "system/win_handle_win.h"

namespace lum {

// Who a descriptor's DACL lets write: "" when only SYSTEM and the
// Administrators may, with nothing inherited and the DACL protected;
// otherwise what is wrong, with the descriptor as SDDL.
inline std::string WritersOtherThanSystemAndAdministrators(PSECURITY_DESCRIPTOR descriptor) {
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  if (!descriptor || !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
    return "DACL unreadable";
  if (!present || !dacl) return "no DACL: everyone may write";
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  GetSecurityDescriptorControl(descriptor, &control, &revision);
  std::string wrong = (control & SE_DACL_PROTECTED) ? "" : "DACL not protected; ";
  const DWORD kWrite = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                       FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                       GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return wrong + "ACE unreadable";
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceFlags & INHERITED_ACE) wrong += "inherited ACE; ";
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    if (!(allowed->Mask & kWrite)) continue;
    if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
      continue;
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(sid, &text);
    wrong += "write for " + WideToUtf8(text ? text : L"?") + "; ";
    LocalFree(text);
  }
  if (!wrong.empty()) {
    wchar_t* text = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
            &text, nullptr)) {
      wrong += "(" + WideToUtf8(text) + ")";
      LocalFree(text);
    }
  }
  return wrong;
}

// The same for a folder's descriptor as the file system keeps it.
inline std::string FolderWritersOtherThanSystemAndAdministrators(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return "descriptor unreadable";
  UniqueLocal owned(descriptor);
  return WritersOtherThanSystemAndAdministrators(descriptor);
}

// Wine keeps no descriptor for files and folders: it makes one up from the
// Unix mode bits (the user and SYSTEM with full control), whatever was set.
// There a folder's rights cannot be read back, only the descriptor asked for.
inline bool FolderRightsAreKept() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
}

// What CreateProtectedFolder asks CreateDirectory for.
inline std::string ProtectedFolderRequestWriters(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr))
    return "SDDL not converted";
  UniqueLocal owned(descriptor);
  return WritersOtherThanSystemAndAdministrators(descriptor);
}

}  // namespace lum
