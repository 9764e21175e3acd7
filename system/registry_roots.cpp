#include "system/registry_roots.h"

#include "base/text.h"

namespace lum {
namespace {

struct RootName {
  const wchar_t* name;
  RegRoot root;
};

// Searched in this order; the short names come first so NameFromRoot finds them.
constexpr RootName kRootNames[] = {
    {L"HKCR", RegRoot::kClassesRoot},
    {L"HKCU", RegRoot::kCurrentUser},
    {L"HKLM", RegRoot::kLocalMachine},
    {L"HKU", RegRoot::kUsers},
    {L"HKPD", RegRoot::kPerformanceData},
    {L"HKDD", RegRoot::kDynData},
    {L"HKCC", RegRoot::kCurrentConfig},
    {L"HKEY_CLASSES_ROOT", RegRoot::kClassesRoot},
    {L"HKEY_CURRENT_USER", RegRoot::kCurrentUser},
    {L"HKEY_LOCAL_MACHINE", RegRoot::kLocalMachine},
    {L"HKEY_USERS", RegRoot::kUsers},
    {L"HKEY_PERFORMANCE_DATA", RegRoot::kPerformanceData},
    {L"HKEY_DYN_DATA", RegRoot::kDynData},
    {L"HKEY_CURRENT_CONFIG", RegRoot::kCurrentConfig},
};

const wchar_t kMachinePrefix[] = L"\\REGISTRY\\MACHINE\\";
const wchar_t kUserPrefix[] = L"\\REGISTRY\\USER\\";
const wchar_t kClassesPath[] = L"Software\\Classes";

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring StripTrailingSeparators(std::wstring path) {
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  return path;
}

struct FolderName {
  int id;
  const wchar_t* valueName;
};

constexpr FolderName kUserFolders[] = {
    {0, L"Desktop"},      {2, L"Programs"},  {5, L"Personal"},         {6, L"Favorites"},
    {7, L"Startup"},      {8, L"Recent"},    {9, L"SendTo"},           {11, L"Start Menu"},
    {16, L"Desktop"},     {20, L"Fonts"},    {26, L"AppData"},         {28, L"Local AppData"},
    {33, L"Cookies"},     {34, L"History"},  {39, L"My Pictures"},
};

constexpr FolderName kCommonFolders[] = {
    {22, L"Common Start Menu"}, {23, L"Common Programs"},  {24, L"Common Startup"},
    {25, L"Common Desktop"},    {35, L"Common AppData"},   {46, L"Common Documents"},
};

}  // namespace

RegRoot RootFromName(const std::wstring& name) {
  for (const RootName& entry : kRootNames) {
    if (EqualsNoCase(name, entry.name)) return entry.root;
  }
  return RegRoot::kNone;
}

std::wstring NameFromRoot(RegRoot root) {
  for (const RootName& entry : kRootNames) {
    if (entry.root == root) return entry.name;
  }
  return std::wstring();
}

std::wstring SecurityObjectPrefix(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot:
      return L"CLASSES_ROOT";
    case RegRoot::kCurrentUser:
      return L"CURRENT_USER";
    case RegRoot::kLocalMachine:
      return L"MACHINE";
    case RegRoot::kUsers:
      return L"USERS";
    default:
      return std::wstring();
  }
}

std::wstring RegistryObjectName(RegRoot root, const std::wstring& path) {
  std::wstring prefix = SecurityObjectPrefix(root);
  if (prefix.empty() || path.empty()) return prefix;
  return prefix + L"\\" + path;
}

std::wstring CurrentUserPrefixFromSoftwareName(const std::wstring& nativeSoftwareName) {
  if (nativeSoftwareName.size() <= 9) return std::wstring();
  return nativeSoftwareName.substr(0, nativeSoftwareName.size() - 8);
}

bool ResolveNativeKeyName(const std::wstring& nativeName, const std::wstring& currentUserPrefix,
                          RegRoot* root, std::wstring* path) {
  auto take = [&](RegRoot r, size_t prefixLength) {
    *root = r;
    *path = nativeName.substr(prefixLength);
    return true;
  };
  if (StartsWithNoCase(nativeName, kMachinePrefix)) {
    return take(RegRoot::kLocalMachine, std::wstring(kMachinePrefix).size());
  }
  if (!currentUserPrefix.empty() && StartsWithNoCase(nativeName, currentUserPrefix)) {
    return take(RegRoot::kCurrentUser, currentUserPrefix.size());
  }
  if (StartsWithNoCase(nativeName, kUserPrefix)) {
    return take(RegRoot::kUsers, std::wstring(kUserPrefix).size());
  }
  return false;
}

bool MapUserKeyPath(RegRoot root, const std::wstring& path, const std::wstring& sid,
                    RegRoot* outRoot, std::wstring* outPath) {
  *outRoot = root;
  *outPath = path;
  if (root != RegRoot::kCurrentUser || path.empty()) return false;
  *outRoot = RegRoot::kUsers;
  const std::wstring classes = kClassesPath;
  const bool underClasses =
      StartsWithNoCase(path, classes) &&
      (path.size() == classes.size() || IsSeparator(path[classes.size()]));
  if (underClasses) {
    std::wstring rest = path.substr(classes.size());
    while (!rest.empty() && IsSeparator(rest.front())) rest.erase(0, 1);
    *outPath = sid + L"_Classes";
    if (!rest.empty()) *outPath += L"\\" + rest;
  } else {
    *outPath = sid + L"\\" + path;
  }
  return true;
}

bool SharedBetweenRegistryViews(RegRoot root, const std::wstring& path) {
  std::wstring rest = path;
  if (root == RegRoot::kLocalMachine || root == RegRoot::kCurrentUser) {
    static const std::wstring kClasses = L"Software\\Classes";
    if (!StartsWithNoCase(rest, kClasses)) return false;
    rest = rest.substr(kClasses.size());
    if (rest.empty()) return true;
    if (rest[0] != L'\\') return false;
    rest = rest.substr(1);
  } else if (root != RegRoot::kClassesRoot) {
    return false;
  }
  const std::wstring first = rest.substr(0, rest.find(L'\\'));
  for (const wchar_t* kept : {L"CLSID", L"Interface", L"DirectShow", L"Media Type",
                              L"MediaFoundation", L"Wow6432Node"}) {
    if (EqualsNoCase(first, kept)) return false;
  }
  return true;
}

bool IsShortSid(const std::wstring& sid) {
  size_t parts = 1;
  for (wchar_t c : sid) parts += c == L'-' ? 1 : 0;
  return parts < 5;
}

std::vector<std::wstring> AncestorChain(const std::wstring& path, size_t limit) {
  std::vector<std::wstring> chain;
  std::wstring current = StripTrailingSeparators(path);
  while (!current.empty() && current.back() != L':') {
    if (limit != 0 && chain.size() >= limit) break;
    chain.push_back(current);
    size_t cut = current.find_last_of(L"\\/");
    current = cut == std::wstring::npos ? std::wstring()
                                        : StripTrailingSeparators(current.substr(0, cut));
  }
  return chain;
}

std::wstring UserShellFolderValueName(int folderId) {
  for (const FolderName& entry : kUserFolders) {
    if (entry.id == folderId) return entry.valueName;
  }
  return std::wstring();
}

std::wstring CommonShellFolderValueName(int folderId) {
  for (const FolderName& entry : kCommonFolders) {
    if (entry.id == folderId) return entry.valueName;
  }
  return std::wstring();
}

}  // namespace lum
