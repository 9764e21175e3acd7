#include "browser/browser_detect_win.h"

#include <windows.h>

#include <cwchar>

#include "base/text.h"
#include "browser/browser_names.h"
#include "browser/partner_opera_win.h"
#include "system/file_ops_win.h"
#include "system/registry_win.h"
#include "system/app_registration_win.h"
#include "system/windows_version_win.h"

namespace lum {

namespace {

constexpr const wchar_t* kChromeClientState =
    L"SOFTWARE\\Google\\Update\\ClientState\\{8A69D345-D564-463c-AFF1-A69D9E530F96}";
constexpr const wchar_t* kEdgePackages =
    L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\"
    L"Repository\\Packages";
constexpr const wchar_t* kUserChoice =
    L"Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\http\\UserChoice";

std::wstring Unquoted(const std::wstring& text) {
  std::wstring value = TrimBlanks(text);
  if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
    value = value.substr(1, value.size() - 2);
  return value;
}

std::wstring ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                           RegView view = RegView::kDefault) {
  RegKey reg;
  std::wstring value;
  if (!reg.Open(root, key, KEY_QUERY_VALUE, view) || !reg.ReadString(name, &value)) return L"";
  return value;
}

// The App Paths executable of `name` (32-bit view first, then the 64-bit one,
// where a 64-bit browser registers).
std::wstring AppPath(const std::wstring& name) {
  for (RegView view : {RegView::kDefault, RegView::k64}) {
    const std::wstring path =
        Unquoted(ReadRegString(HKEY_LOCAL_MACHINE, kAppPathsRoot + name, L"", view));
    if (!path.empty()) return path;
  }
  return std::wstring();
}

std::wstring Format(const wchar_t* format, const std::wstring& path) {
  std::wstring out;
  for (const wchar_t* p = format; *p; ++p) {
    if (p[0] == L'%' && p[1] == L's') {
      out += path;
      ++p;
    } else if (p[0] == L'%' && p[1] == L'%') {
      out += L'%';
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

bool Fill(int kind, const std::wstring& path, const wchar_t* progId, const wchar_t* openFormat,
          BrowserRecord* record) {
  if (path.empty() || !FileExists(path)) return false;
  BrowserRecord found;
  if (!ReadFileDescription(path, &found.description)) return false;
  found.kind = kind;
  found.path = path;
  found.progId = progId;
  found.openCommand = Format(openFormat, path);
  found.shortName = BrowserShortName(kind, path);
  *record = found;
  return true;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetFullPathNameW(path.c_str(), MAX_PATH, buffer, nullptr);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// "InstallLocation" of the first Uninstall subkey whose name contains `part`
// (machine-wide, then the user's own).
std::wstring UninstallLocationContaining(const std::wstring& part) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    RegKey uninstall;
    if (!uninstall.Open(root, kUninstallRoot, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE)) continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256] = {};
      DWORD length = 255;
      if (::RegEnumKeyExW(uninstall.Get(), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
        break;
      if (std::wstring(name, length).find(part) == std::wstring::npos) continue;
      const std::wstring location = Unquoted(
          ReadRegString(root, std::wstring(kUninstallRoot) + name, L"InstallLocation"));
      if (!location.empty()) return location;
    }
  }
  return std::wstring();
}

void DetectIe(std::vector<BrowserRecord>* out) {
  BrowserRecord record;
  if (Fill(kBrowserIe, AppPath(L"IEXPLORE.EXE"), L"IE.HTTP", L"\"%s\" -nohome", &record))
    out->push_back(record);
}

// The maker's browsers: each Uninstall key names a folder ("InstallLocation",
// else the folder of "DisplayIcon") holding one of its executables.
void DetectMakerBrowsers(std::vector<BrowserRecord>* out) {
  struct Candidate {
    const wchar_t* key;
    int kind;
    const wchar_t* exe;
    const wchar_t* progId;
  };
  static const Candidate kCandidates[] = {
      {L"Lumse6", kBrowserLumse6, L"Lumse6.exe", L"LumseURL"},
      {L"{E16C6003-9217-4626-83B0-757C9EA47E53}", kBrowserLumse, L"Lumse.exe", L"LumseURL"},
      {L"{E16C6003-9217-4626-83B0-757C9EA47E53}", kBrowserLumse, L"Lumse 3.exe", L"LumseURL"},
      {L"LumChrome", kBrowserLumChrome, L"Lumchrome.exe", L"LumChromeURL"},
      {L"LumChrome", kBrowserLumChrome, L"Lumbrowser.exe", L"LumBrowserURL"},
  };
  std::wstring lastKey;
  for (const Candidate& c : kCandidates) {
    if (c.key == lastKey) continue;  // one record per Uninstall key
    const std::wstring key = std::wstring(kUninstallRoot) + c.key;
    RegKey reg;
    if (!reg.Open(HKEY_LOCAL_MACHINE, key, KEY_QUERY_VALUE)) continue;
    std::wstring icon, location, version;
    reg.ReadString(L"DisplayIcon", &icon);
    reg.ReadString(L"InstallLocation", &location);
    reg.ReadString(L"DisplayVersion", &version);
    std::wstring iconFile = Unquoted(icon);
    const size_t comma = iconFile.find_last_of(L',');
    if (comma != std::wstring::npos && comma > iconFile.find_last_of(L'\\'))
      iconFile = Unquoted(iconFile.substr(0, comma));
    const std::wstring folder =
        !Unquoted(location).empty() ? Unquoted(location) : FolderOf(iconFile);
    if (folder.empty()) continue;
    BrowserRecord record;
    if (!Fill(c.kind, WithTrailingSlash(folder) + c.exe, c.progId, L"\"%s\" -- \"%%1\"", &record))
      continue;
    record.version = version;
    record.iconPath = icon;
    record.installFolder = location;
    out->push_back(record);
    lastKey = c.key;
  }
}

// The program its App Paths record names, or else `program` in the folder of
// the first uninstall entry whose name contains `uninstallName`.
std::wstring ProgramFromAppPathOrUninstall(const wchar_t* appPath, const wchar_t* uninstallName,
                                           const wchar_t* program) {
  const std::wstring exe = AppPath(appPath);
  if (!exe.empty() && FileExists(exe)) return exe;
  const std::wstring location = UninstallLocationContaining(uninstallName);
  return location.empty() ? std::wstring() : WithTrailingSlash(location) + program;
}

void DetectOpera(std::vector<BrowserRecord>* out) {
  const std::wstring exe = ProgramFromAppPathOrUninstall(L"Opera.exe", L"Opera", L"launcher.exe");
  BrowserRecord record;
  if (!Fill(kBrowserOpera, exe, L"OperaStable", L"\"%s\" -noautoupdate -- \"%%1\"", &record))
    return;
  if (IsPartnerOpera(FolderOf(exe))) {
    record.kind = kBrowserPartnerOpera;
    record.shortName = BrowserShortName(record.kind, record.path);
  }
  out->push_back(record);
}

void DetectSimple(int kind, const wchar_t* appPath, const wchar_t* progId, const wchar_t* format,
                  std::vector<BrowserRecord>* out) {
  BrowserRecord record;
  if (Fill(kind, AppPath(appPath), progId, format, &record)) out->push_back(record);
}

void DetectFirefox(std::vector<BrowserRecord>* out) {
  const std::wstring exe =
      ProgramFromAppPathOrUninstall(L"firefox.exe", L"Firefox", L"firefox.exe");
  BrowserRecord record;
  if (Fill(kBrowserFirefox, exe, L"FirefoxURL", L"\"%s\" -osint -url \"%%1\"", &record))
    out->push_back(record);
}

// The command of a ProgId's open verb, and its "FriendlyTypeName". The
// user's own classes come first, as in the merged view of HKCR (which not
// every system merges for a process that runs elevated).
std::wstring OpenCommandOf(const std::wstring& progId, std::wstring* friendlyName) {
  if (progId.empty()) return std::wstring();
  // Value by value, as the merged view does: a user key that names only one
  // of them leaves the other to the machine's classes.
  const std::wstring userKey = L"Software\\Classes\\" + progId;
  auto read = [&](const std::wstring& sub, const wchar_t* name) {
    const std::wstring mine = ReadRegString(HKEY_CURRENT_USER, userKey + sub, name);
    return mine.empty() ? ReadRegString(HKEY_CLASSES_ROOT, progId + sub, name) : mine;
  };
  if (friendlyName) *friendlyName = read(L"", L"FriendlyTypeName");
  return read(L"\\shell\\open\\command", L"");
}

std::wstring UserChoiceProgId() {
  RegKey key;
  std::wstring progId;
  if (!key.Open(HKEY_CURRENT_USER, kUserChoice, KEY_QUERY_VALUE) ||
      !key.ReadString(L"Progid", &progId))
    return std::wstring();
  // Windows keeps ProgIds far shorter; a longer value is not one.
  return progId.size() * sizeof(wchar_t) < 520 ? progId : std::wstring();
}

}  // namespace

bool ReadFileDescription(const std::wstring& path, std::wstring* description) {
  *description = ReadVersionString(path, L"FileDescription");
  return !description->empty();
}

bool DetectChrome(BrowserRecord* record) {
  // The user's own Chrome wins when its setup program is still there.
  std::wstring setup =
      Unquoted(ReadRegString(HKEY_CURRENT_USER, kChromeClientState, L"UninstallString"));
  if (setup.empty() || !FileExists(setup))
    setup = Unquoted(ReadRegString(HKEY_LOCAL_MACHINE, kChromeClientState, L"UninstallString"));
  if (setup.empty()) return false;
  const std::wstring exe = FullPath(setup + L"\\..\\..\\..\\chrome.exe");
  return Fill(kBrowserChrome, exe, L"ChromeHTML", L"\"%s\" -- \"%%1\"", record);
}

bool DetectEdge(BrowserRecord* record) {
  RegKey packages;
  if (!packages.Open(HKEY_CURRENT_USER, kEdgePackages, KEY_ENUMERATE_SUB_KEYS)) return false;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};
    DWORD length = 255;
    if (::RegEnumKeyExW(packages.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return false;
    const std::wstring package(name, length);
    if (!StartsWithNoCase(package, L"Microsoft.MicrosoftEdge_") ||
        !ContainsNoCase(package, L"_8wekyb3d8bbwe"))
      continue;
    const std::wstring root = Unquoted(ReadRegString(
        HKEY_CURRENT_USER, std::wstring(kEdgePackages) + L"\\" + package, L"PackageRootFolder"));
    if (root.empty()) continue;
    if (Fill(kBrowserEdge, WithTrailingSlash(root) + L"MicrosoftEdge.exe",
             L"AppX0jdgwsgpsq2tx1x8eptfkes6txmr5qtn", L"\"%s\"", record))
      return true;
  }
}

bool DetectBrowsers(std::vector<BrowserRecord>* browsers) {
  browsers->clear();
  DetectIe(browsers);
  DetectMakerBrowsers(browsers);
  BrowserRecord record;
  if (DetectChrome(&record)) browsers->push_back(record);
  DetectOpera(browsers);
  DetectSimple(kBrowserYandex, L"browser.exe", L"YandexHTML", L"\"%s\" -noautoupdate -- \"%%1\"",
               browsers);
  DetectFirefox(browsers);
  if (DetectEdge(&record)) browsers->push_back(record);
  DetectSimple(kBrowserAmigo, L"amigo.exe", L"Amigo", L"\"%s\" -- \"%%1\"", browsers);
  return !browsers->empty();
}

std::wstring HttpAssociationPath() { return ExecutableOfCommand(OpenCommandOf(L"http", nullptr)); }

std::wstring DefaultBrowserPath() {
  const WindowsVersion version = GetWindowsVersion();
  std::wstring progId, friendly, command;
  if (version.AtLeast(6, 0)) {
    progId = UserChoiceProgId();
    command = OpenCommandOf(progId, &friendly);
  }
  if (ExecutableOfCommand(command).empty()) {
    progId = L"http";
    command = OpenCommandOf(progId, &friendly);
  }
  // Edge is a packaged app: its association runs the app launcher.
  const bool windows10 = version.major >= 10 || (version.major == 6 && version.minor == 4);
  if (windows10 && ContainsNoCase(command, L"C:\\Windows\\system32\\LaunchWinApp.exe") &&
      ContainsNoCase(friendly, L"MicrosoftEdge"))
    return L"MicrosoftEdge";
  return ExecutableOfCommand(command);
}

std::wstring DefaultBrowserShortName() {
  std::vector<BrowserRecord> browsers;
  DetectBrowsers(&browsers);
  const std::wstring path = DefaultBrowserPath();
  if (path.empty()) return BrowserShortName(kUnknownBrowser, L"");
  if (browsers.empty()) return BrowserShortName(kUnknownBrowser, path);
  for (const BrowserRecord& record : browsers)
    if (EqualsNoCase(record.path, path)) return record.shortName;
  const std::wstring progId = UserChoiceProgId();
  if (!progId.empty())
    for (const BrowserRecord& record : browsers)
      if (EqualsNoCase(record.progId, progId)) return record.shortName;
  return BrowserShortName(kUnknownBrowser, path);
}

}  // namespace lum
