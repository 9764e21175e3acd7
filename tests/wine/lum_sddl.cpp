// Prints a registry key's owner, group and DACL as one SDDL line, so the demo
// can show that an install left the machine's rights as they were.
//
//   lum_sddl.exe HKLM|HKCU PATH [32|64]
#include <windows.h>
// These build on windows.h.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: lum_sddl HKLM|HKCU PATH [32|64]\n");
    return 2;
  }
  const std::wstring rootName = argv[1];
  const HKEY root = rootName == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  REGSAM view = 0;
  if (argc > 3) view = std::wstring(argv[3]) == L"64" ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  HKEY key = nullptr;
  const LONG opened = RegOpenKeyExW(root, argv[2], 0, READ_CONTROL | view, &key);
  if (opened != ERROR_SUCCESS) {
    std::printf("%ls\\%ls: (cannot open: %ld)\n", argv[1], argv[2], opened);
    return 1;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const SECURITY_INFORMATION what =
      OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  const DWORD read =
      GetSecurityInfo(key, SE_REGISTRY_KEY, what, nullptr, nullptr, nullptr, nullptr, &descriptor);
  RegCloseKey(key);
  wchar_t* text = nullptr;
  if (read != ERROR_SUCCESS || !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                   descriptor, SDDL_REVISION_1, what, &text, nullptr)) {
    std::printf("%ls\\%ls: (cannot read rights: %lu)\n", argv[1], argv[2], read);
    LocalFree(descriptor);
    return 1;
  }
  std::printf("%ls\\%ls%ls: %ls\n", argv[1], argv[2],
              argc > 3 ? (view == KEY_WOW64_64KEY ? L" (64-bit view)" : L" (32-bit view)") : L"",
              text);
  LocalFree(text);
  LocalFree(descriptor);
  return 0;
}
