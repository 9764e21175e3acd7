// A silent install cut off anywhere is repaired by simply running the
// installer again, be it a reinstall or the first install. The run is
// killed, the installer and every process it started, the moment a chosen
// line reaches its log; the next silent run must end with 0 and leave
// exactly what an uninterrupted run leaves: the install folder file by file,
// the product's registry keys in both views, the services' records and
// states, the shortcuts and the uninstall entry, and outside the install
// folder the runs' work folders, relocated copies, base-module folders and
// the restart-time list. The user's settings that a reinstall keeps must
// survive every cut.
#include <gtest/gtest.h>
#include <windows.h>

// These build on windows.h.
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwctype>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "system/com_ref_win.h"
#include "system/file_ops_win.h"
#include "system/product_location_win.h"
#include "system/registry_win.h"
#include "system/win_handle_win.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/service_support.h"
#include "tests/e2e/watched_run.h"

namespace lum {
namespace {

using e2e::InstallerPath;
using e2e::ReadBytes;
using e2e::RegDword;
using e2e::RegString;
using e2e::RunProgram;
using e2e::TempFolder;
using e2e::WriteBytes;

using State = std::map<std::wstring, std::wstring>;

std::wstring Hash(const std::string& bytes) {
  unsigned long long h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  wchar_t text[40];
  swprintf(text, 40, L"%zu bytes %016llx", bytes.size(), h);
  return text;
}

// Files that record runs rather than the installation: the log, and the
// stand-ins' records of their calls and starts.
bool RecordsRuns(const std::wstring& name) {
  return EndsWithNoCase(name, L".log") || EndsWithNoCase(name, L".calls") ||
         EndsWithNoCase(name, L".starts");
}

// Calls `visit(path, relative path)` for every file below `folder`.
void ForEachFile(const std::wstring& folder, const std::wstring& relative,
                 const std::function<void(const std::wstring&, const std::wstring&)>& visit) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    const std::wstring rel = relative.empty() ? name : relative + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ForEachFile(path, rel, visit);
    else
      visit(path, rel);
  } while (FindNextFileW(find.Get(), &data));
}

// Values that name the moment of the run, and the stand-ins' own records.
bool NamesTheMoment(const std::wstring& name) {
  for (const wchar_t* moment : {L"InstallTime", L"InstallDate", L"FirstInstallTime", L"LastUpdate",
                                L"Mid", L"ClientTime", L"Config"})
    if (EqualsNoCase(name, moment)) return true;
  return false;
}

std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    for (wchar_t& c : text)
      if (c == L'\0') c = L'|';
    return std::to_wstring(type) + L":" + text;
  }
  std::wstring hex = std::to_wstring(type) + L":";
  wchar_t two[4];
  for (DWORD i = 0; i < size; ++i) {
    swprintf(two, 4, L"%02x", data[i]);
    hex += two;
  }
  return hex;
}

void AddKey(HKEY root, const std::wstring& rootName, const std::wstring& key, REGSAM view,
            State* state) {
  HKEY raw = nullptr;
  const std::wstring label = rootName + L"\\" + key + (view == KEY_WOW64_32KEY ? L" (32)" : L" (64)");
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &raw) != ERROR_SUCCESS) {
    (*state)[L"key " + label] = L"missing";
    return;
  }
  (*state)[L"key " + label] = L"present";
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    std::vector<BYTE> data(65536);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(raw, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    if (NamesTheMoment(name)) continue;
    (*state)[L"value " + label + L" [" + name + L"]"] = ValueText(type, data, size);
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLength = 512;
    if (RegEnumKeyExW(raw, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    // The stand-ins' records of their calls and switches.
    if (!EqualsNoCase(name, L"StandIn")) subkeys.push_back(name);
  }
  RegCloseKey(raw);
  for (const std::wstring& sub : subkeys) AddKey(root, rootName, key + L"\\" + sub, view, state);
}

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring LinkText(const std::wstring& file) {
  ComRef<IShellLinkW> shell;
  ComRef<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              shell.PutVoid())) ||
      FAILED(shell->QueryInterface(IID_IPersistFile, persist.PutVoid())) ||
      FAILED(persist->Load(file.c_str(), STGM_READ)))
    return L"unreadable";
  wchar_t target[MAX_PATH * 2] = {}, arguments[MAX_PATH * 2] = {}, folder[MAX_PATH * 2] = {};
  shell->GetPath(target, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  shell->GetArguments(arguments, MAX_PATH * 2);
  shell->GetWorkingDirectory(folder, MAX_PATH * 2);
  return std::wstring(target) + L" | " + arguments + L" | " + folder;
}

void AddService(const wchar_t* name, State* state) {
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(manager ? OpenServiceW(manager.Get(), name, SERVICE_QUERY_CONFIG) : nullptr);
  DWORD needed = 0;
  std::vector<BYTE> buffer(8192);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!service || !QueryServiceConfigW(service.Get(), config, 8192, &needed)) {
    (*state)[std::wstring(L"service ") + name] = L"missing";
    return;
  }
  (*state)[std::wstring(L"service ") + name] =
      L"type " + std::to_wstring(config->dwServiceType) + L", start " +
      std::to_wstring(config->dwStartType) + L", " + (config->lpBinaryPathName ? config->lpBinaryPathName : L"") +
      L", " + (config->lpDisplayName ? config->lpDisplayName : L"");
  (*state)[std::wstring(L"service state ") + name] = std::to_wstring(e2e::ServiceState(name));
}

constexpr const wchar_t* kCurrentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
// The product's services: the protection service and the two drivers.
constexpr const wchar_t* kServices[] = {L"ZVActiveDefense", L"LumAvFlt", L"Lumnetmon"};

// Names made of a moment or a counter, with every run of digits as "#":
// two runs leave the same names apart from those.
std::wstring Shape(const std::wstring& text) {
  std::wstring shape;
  for (wchar_t c : text) {
    if (!std::iswdigit(c))
      shape += static_cast<wchar_t>(std::towlower(c));
    else if (shape.empty() || shape.back() != L'#')
      shape += L'#';
  }
  return shape;
}

std::vector<std::wstring> Strings(const std::wstring& multi) {
  std::vector<std::wstring> strings;
  for (size_t at = 0; at < multi.size();) {
    const size_t end = multi.find(L'\0', at);
    strings.push_back(multi.substr(at, end == std::wstring::npos ? end : end - at));
    if (end == std::wstring::npos) break;
    at = end + 1;
  }
  return strings;
}

// Where runs keep what is not the installation: their work folders and
// base-module folders in the Windows temporary folder, the relocated copies
// in folders named by the time under Program Files.
std::vector<std::wstring> RunFolders() {
  std::vector<std::wstring> folders;
  const std::wstring temp = e2e::WorkFolderParent();
  std::wstring programs = Folder(CSIDL_PROGRAM_FILESX86);
  if (programs.empty()) programs = Folder(CSIDL_PROGRAM_FILES);
  for (const std::wstring& parent : {temp, programs + L"\\"}) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((parent + L"*").c_str(), &data));
    if (!find) continue;
    do {
      const std::wstring name = data.cFileName;
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..")
        continue;
      const bool inTemp = parent == temp;
      const bool runs =
          inTemp ? StartsWithNoCase(name, L"Lum_install_") || name.find(L"_base") != std::wstring::npos
                 : name.find_first_not_of(L"0123456789_") == std::wstring::npos;
      if (runs) folders.push_back(parent + name);
    } while (FindNextFileW(find.Get(), &data));
  }
  return folders;
}

void Tally(State* state, const std::wstring& key) {
  std::wstring& count = (*state)[key];
  count = std::to_wstring(count.empty() ? 1 : std::stoi(count) + 1);
}

// Outside the install folder: every entry of the runs' folders, said to be
// deleted at the restart or left, and the restart-time list, each by shape
// and count (a list that grows from run to run counts more of a shape).
void AddOutside(const std::wstring& installDir, State* state) {
  const std::vector<std::wstring> list = Strings(e2e::PendingRenameValue());
  std::set<std::wstring> deletedAtRestart;
  for (size_t i = 0; i + 1 < list.size(); i += 2) {
    if (list[i].empty()) break;
    if (list[i + 1].empty()) deletedAtRestart.insert(ToLowerAscii(list[i].substr(4)));  // "\\??\\"
    Tally(state, L"restart-time " + Shape(list[i]) + L" > " + Shape(list[i + 1]));
  }
  auto note = [&](const std::wstring& path) {
    const bool scheduled = deletedAtRestart.count(ToLowerAscii(path)) != 0;
    Tally(state, L"outside " + Shape(path) + (scheduled ? L" (deleted at restart)" : L" (left)"));
  };
  for (const std::wstring& folder : RunFolders()) {
    note(folder);
    ForEachFile(folder, L"", [&](const std::wstring& path, const std::wstring&) { note(path); });
  }
  // Staged copies the placement makes beside their destination.
  for (const std::wstring& folder :
       {installDir, Folder(CSIDL_PROGRAM_FILES_COMMONX86) + L"\\AV\\Lum Bastion"})
    ForEachFile(folder, L"", [&](const std::wstring& path, const std::wstring& relative) {
      const std::wstring name = relative.substr(relative.find_last_of(L'\\') + 1);
      if (StartsWithNoCase(name, L"Lum") && EndsWithNoCase(name, L".tmp")) note(path);
    });
}

State MachineState(const std::wstring& installDir) {
  State state;
  ForEachFile(installDir, L"", [&](const std::wstring& path, const std::wstring& relative) {
    if (!RecordsRuns(relative)) state[L"file " + relative] = Hash(ReadBytes(path));
  });
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    AddKey(HKEY_LOCAL_MACHINE, L"HKLM", L"Software\\LumBastion", view, &state);
    AddKey(HKEY_LOCAL_MACHINE, L"HKLM", std::wstring(kCurrentVersion) + L"Uninstall\\LumBastion",
           view, &state);
    AddKey(HKEY_LOCAL_MACHINE, L"HKLM", std::wstring(kCurrentVersion) + L"App Paths\\ZVSafeMain.exe",
           view, &state);
    AddKey(HKEY_LOCAL_MACHINE, L"HKLM", std::wstring(kCurrentVersion) + L"Run", view, &state);
    AddKey(HKEY_LOCAL_MACHINE, L"HKLM", L"System\\CurrentControlSet\\Services\\ZVActiveDefense",
           view, &state);
  }
  for (const wchar_t* service : kServices) AddService(service, &state);
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                    CSIDL_DESKTOPDIRECTORY})
    ForEachFile(Folder(csidl), L"", [&](const std::wstring& path, const std::wstring&) {
      if (EndsWithNoCase(path, L".lnk")) state[L"shortcut " + path] = LinkText(path);
    });
  AddOutside(installDir, &state);
  return state;
}

// Every difference, in key order.
std::vector<std::wstring> Differences(const State& expected, const State& actual) {
  std::vector<std::wstring> found;
  auto e = expected.begin();
  auto a = actual.begin();
  while (e != expected.end() || a != actual.end()) {
    if (a == actual.end() || (e != expected.end() && e->first < a->first)) {
      found.push_back(e->first + L": missing (expected " + e->second + L")");
      ++e;
    } else if (e == expected.end() || a->first < e->first) {
      found.push_back(a->first + L": left over (" + a->second + L")");
      ++a;
    } else {
      if (e->second != a->second)
        found.push_back(e->first + L": " + a->second + L" (expected " + e->second + L")");
      ++e;
      ++a;
    }
  }
  return found;
}

constexpr const char* kEditedSettings = "[user]\r\nedited=1\r\n";

// The user's settings that a reinstall keeps.
bool PutUserSettings(const std::wstring& installDir) {
  RegKey tips, profile;
  return WriteBytes(installDir + L"\\safemon\\setting.ini", kEditedSettings) &&
         tips.Create(HKEY_CURRENT_USER, L"Software\\Lumdesktoplite\\Config", KEY_SET_VALUE) &&
         tips.WriteString(L"new_func_tips", L"1") &&
         profile.Create(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", KEY_SET_VALUE) &&
         profile.WriteDword(L"MaskFlags", 5);
}

// What of the user's settings was lost; "" when nothing.
std::wstring LostUserSettings(const std::wstring& installDir) {
  if (ReadBytes(installDir + L"\\safemon\\setting.ini") != kEditedSettings)
    return L"safemon\\setting.ini";
  if (RegString(HKEY_CURRENT_USER, L"Software\\Lumdesktoplite\\Config", L"new_func_tips") != L"1")
    return L"new_func_tips";
  if (RegDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\LumBastion\\UserProfile", L"MaskFlags") != 5)
    return L"MaskFlags";
  return std::wstring();
}

std::string ServiceLines(const std::wstring& log) {
  std::string lines;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find(L'\n', at);
    if (end == std::wstring::npos) end = log.size();
    const std::wstring line = log.substr(at, end - at);
    if (line.find(L"[service]") != std::wstring::npos ||
        line.find(L"[active-defense]") != std::wstring::npos)
      lines += WideToUtf8(line) + "\n";
    at = end + 1;
  }
  return lines;
}

enum class Cut { kKilled, kNotReached, kNotStarted, kNotKilled };

struct Point {
  const char* name;
  const wchar_t* line;  // the log line that cuts the run
  const wchar_t* also;  // and what else that line holds ("" for nothing)
};

// Starts a silent install and kills it, with every process it started, as
// soon as the point's line appears in its log.
Cut RunAndKillAt(const std::wstring& installer, const std::wstring& log, const Point& point) {
  e2e::WatchedRun run;
  if (!run.Start(installer, L"/s", log)) return Cut::kNotStarted;
  const e2e::WatchedRun::Seen seen = run.WaitForLine(point.line, point.also);
  const bool killed = run.Kill();
  if (seen != e2e::WatchedRun::Seen::kLine) return Cut::kNotReached;
  return killed ? Cut::kKilled : Cut::kNotKilled;
}

// Lines the killed run wrote after the point's line: a kill that really
// cut the run there leaves only the few written while the kill was on its way.
size_t LinesAfter(const std::wstring& log, const Point& point) {
  const std::wstring line = e2e::WatchedRun::FindLine(log, point.line, point.also);
  const size_t at = line.empty() ? std::wstring::npos : log.find(line);
  if (at == std::wstring::npos) return static_cast<size_t>(-1);
  size_t lines = 0;
  for (size_t next = log.find(L'\n', at); next != std::wstring::npos && next + 1 < log.size();
       next = log.find(L'\n', next + 1))
    ++lines;
  return lines;
}
constexpr size_t kLinesAfterAKill = 40;

// From the start of the run to its end; each line is written by a step
// that changes the machine, so a kill there leaves that step half done.
const Point kReinstallPoints[] = {
    {"after extraction", L"[install] extract payload (", L""},
    // The file is renamed aside and its new copy not yet made.
    {"during file placement", L"\\deepscan\\BAPI.dll -> ", L""},
    {"after the registry step", L"[register] write start-menu record", L""},
    {"during the driver pass", L"[drivers] module 2 ", L""},
    {"after the shortcuts", L"[register] write uninstall entry", L""},
    {"during the service bring-up", L"[active-defense] start service with", L""},
    {"before the firewall", L"[install] active defense is running", L""},
    {"before the completion step", L"[script] firewall section", L""},
};

// A first install: nothing of the product is there before the run.
const Point kFirstInstallPoints[] = {
    // Folders are made as the archive's items come out.
    {"during extraction", L"[files] create folder", L"\\temp_files\\config\\newui\\themes |"},
    // Half the files are in the install folder, half not yet.
    {"during file placement", L"[placement] move file in", L"\\Bastion\\Repair.exe |"},
    {"after the registry step", L"[register] write start-menu record", L""},
    {"during the service bring-up", L"[active-defense] start service with", L""},
};

struct Series {
  const char* name;
  const Point* points;
  size_t count;
  // Puts the machine as the series starts each point from; "" or what went wrong.
  std::function<std::wstring()> prepare;
  // What of the user's settings was lost after the repair; "" when nothing.
  std::function<std::wstring()> lost;
};

// Each point: prepare, kill a run at the point, run again; the machine must
// equal `reference`. A point not reached, not killed there, or whose log goes
// on well past it fails as well as a repair that ends elsewhere.
void RunSeries(const std::wstring& installer, const std::wstring& log, const std::wstring& installDir,
               const State& reference, const Series& series) {
  struct Row {
    std::string point, wrong;
  };
  std::vector<Row> rows;
  std::set<std::wstring> seen;
  // LUM_KILL_POINT="<point>" runs that point alone (to look into one).
  wchar_t only[128] = {};
  GetEnvironmentVariableW(L"LUM_KILL_POINT", only, 127);
  for (size_t i = 0; i < series.count; ++i) {
    const Point& point = series.points[i];
    if (only[0] && Utf8ToWide(point.name) != only) continue;
    std::wstring wrong = series.prepare();
    if (!wrong.empty()) {
      ADD_FAILURE() << series.name << ", " << point.name << ": " << WideToUtf8(wrong);
    } else {
      const Cut cut = RunAndKillAt(installer, log, point);
      const std::wstring cutLog = e2e::ReadText(log);
      if (cut != Cut::kKilled) {
        wrong = cut == Cut::kNotStarted   ? L"installer not started"
                : cut == Cut::kNotKilled ? L"the run was not killed at the point (it had ended, or "
                                           L"did not end with the kill's code)"
                                         : L"log line never written: " + std::wstring(point.line) +
                                               L" " + point.also;
        ADD_FAILURE() << series.name << ", " << point.name << ": " << WideToUtf8(wrong);
      } else if (LinesAfter(cutLog, point) > kLinesAfterAKill) {
        wrong = L"the killed run's log goes on " + std::to_wstring(LinesAfter(cutLog, point)) +
                L" lines after the point";
        ADD_FAILURE() << series.name << ", " << point.name << ": " << WideToUtf8(wrong);
      } else {
        const int code = RunProgram(installer, L"/s /log:" + log);
        if (code != 0) {
          wrong = L"repair run ended with " + std::to_wstring(code);
        } else {
          // What an earlier point left stays; each point names what it adds.
          const std::vector<std::wstring> now = Differences(reference, MachineState(installDir));
          for (const std::wstring& difference : now)
            if (seen.insert(difference).second && wrong.empty()) wrong = difference;
          if (wrong.empty() && !now.empty()) wrong = L"only what earlier points left: " + now[0];
          const std::wstring lost = series.lost ? series.lost() : std::wstring();
          if (wrong.empty() && !lost.empty()) wrong = L"user setting lost: " + lost;
        }
        if (!wrong.empty())
          ADD_FAILURE() << series.name << ", " << point.name << ": " << WideToUtf8(wrong)
                        << "\n--- killed run's log ends:\n"
                        << WideToUtf8(cutLog.substr(cutLog.size() > 1500 ? cutLog.size() - 1500 : 0))
                        << "\n--- the repair run's service steps:\n" << ServiceLines(e2e::ReadText(log));
      }
    }
    rows.push_back({point.name, WideToUtf8(wrong)});
  }

  std::printf("\n%s\n%-30s | %-6s | %s\n", series.name, "point", "result", "first difference");
  for (const Row& row : rows)
    std::printf("%-30s | %-6s | %s\n", row.point.c_str(), row.wrong.empty() ? "ok" : "not ok",
                row.wrong.empty() ? "-" : row.wrong.c_str());
  std::fflush(stdout);
}

// --- back to a machine without the product ---

bool ImageUnder(DWORD process, const std::wstring& folder) {
  UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = MAX_PATH * 2;
  return handle && QueryFullProcessImageNameW(handle.Get(), 0, path, &length) &&
         StartsWithNoCase(path, folder + L"\\");
}

void EndProgramsUnder(const std::wstring& folder) {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry = {sizeof(entry)};
  for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (!ImageUnder(entry.th32ProcessID, folder)) continue;
    UniqueHandle victim(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (victim && TerminateProcess(victim.Get(), 1)) WaitForSingleObject(victim.Get(), 10000);
  }
}

void RemoveService(const wchar_t* name) {
  UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueScHandle service(
      manager ? OpenServiceW(manager.Get(), name, SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS)
              : nullptr);
  if (!service) return;
  SERVICE_STATUS status = {};
  ControlService(service.Get(), SERVICE_CONTROL_STOP, &status);
  DeleteService(service.Get());
}

void DeleteFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DeleteFolder(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find.Get(), &data));
  }
  RemoveDirectoryW(folder.c_str());
}

// Removes every trace of the product and of earlier runs that the machine's
// state shows, and puts the restart-time list back as it was (`pending`).
void RemoveProduct(const std::wstring& installDir, const std::wstring& pending) {
  for (const wchar_t* service : kServices) RemoveService(service);
  EndProgramsUnder(installDir);
  for (int attempt = 0; attempt < 50 && FolderExists(installDir); ++attempt) {
    DeleteFolder(installDir);
    if (FolderExists(installDir)) Sleep(100);
  }
  DeleteFolder(Folder(CSIDL_PROGRAM_FILES_COMMONX86) + L"\\AV\\Lum Bastion");
  for (const std::wstring& folder : RunFolders()) DeleteFolder(folder);
  for (RegView view : {RegView::k32, RegView::k64}) {
    for (const wchar_t* key : {L"Software\\LumBastion", L"Software\\LumSafe"})
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, key, view);
    for (const wchar_t* key : {L"Uninstall\\LumBastion", L"App Paths\\ZVSafeMain.exe",
                               L"App Paths\\ZVSafeTray.exe", L"App Paths\\Lumsafe.exe"})
      RegKey::DeleteTree(HKEY_LOCAL_MACHINE, std::wstring(kCurrentVersion) + key, view);
    RegKey run;
    if (run.Open(HKEY_LOCAL_MACHINE, std::wstring(kCurrentVersion) + L"Run",
                 KEY_QUERY_VALUE | KEY_SET_VALUE, view)) {
      std::vector<std::wstring> ours;
      for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        wchar_t data[2048] = {};
        DWORD size = sizeof(data) - sizeof(wchar_t), type = 0;
        if (RegEnumValueW(run.Get(), i, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
          break;
        if (ContainsNoCase(data, installDir)) ours.push_back(name);
      }
      for (const std::wstring& name : ours) run.DeleteValue(name);
    }
  }
  for (const wchar_t* key : {L"Software\\LumBastion", L"Software\\Lumdesktoplite"})
    RegKey::DeleteTree(HKEY_CURRENT_USER, key);
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS})
    DeleteFolder(Folder(csidl) + L"\\Lum Security Center");
  for (int csidl : {CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_DESKTOPDIRECTORY})
    DeleteFileW((Folder(csidl) + L"\\Lum Bastion.lnk").c_str());
  RegKey manager;
  if (manager.Open(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                   KEY_SET_VALUE)) {
    if (pending.empty())
      RegDeleteValueW(manager.Get(), L"PendingFileRenameOperations");
    else
      RegSetValueExW(manager.Get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(pending.data()),
                     static_cast<DWORD>(pending.size() * sizeof(wchar_t)));
  }
}

TEST(KillAnywhereTest, AFirstInstallCutOffAnywhereIsRepairedByTheNextRun) {
  const std::wstring installer = InstallerPath();
  if (installer.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring installDir = DefaultInstallDir();
  const std::wstring log = TempFolder() + L"lum_kill_first_install.log";
  auto Log = [&] { return WideToUtf8(e2e::ReadText(log)); };

  // The machine as it is before the product ever came: each point starts
  // from it again, and removing the product must bring it back exactly.
  const std::wstring pending = e2e::PendingRenameValue();
  const State bare = MachineState(installDir);
  ASSERT_EQ(L"key HKLM\\Software\\LumBastion (32): missing",
            L"key HKLM\\Software\\LumBastion (32): " + bare.at(L"key HKLM\\Software\\LumBastion (32)"))
      << "the product is installed already";
  auto BackToBare = [&]() -> std::wstring {
    RemoveProduct(installDir, pending);
    const std::vector<std::wstring> left = Differences(bare, MachineState(installDir));
    return left.empty() ? std::wstring() : L"the product could not be removed: " + left[0];
  };

  // The reference: a first install that nothing interrupts.
  ASSERT_EQ(0, RunProgram(installer, L"/s /log:" + log)) << Log();
  ASSERT_NE(std::wstring::npos, e2e::ReadText(log).find(L"[install] first install into"));
  const State reference = MachineState(installDir);

  Series series = {"first install", kFirstInstallPoints,
                   sizeof(kFirstInstallPoints) / sizeof(kFirstInstallPoints[0]), BackToBare, nullptr};
  RunSeries(installer, log, installDir, reference, series);
  CoUninitialize();
}

TEST(KillAnywhereTest, ARunCutOffAnywhereIsRepairedByTheNextRun) {
  const std::wstring installer = InstallerPath();
  if (installer.empty()) GTEST_SKIP() << "LUM_INSTALLER is not set";
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring installDir = DefaultInstallDir();
  const std::wstring log = TempFolder() + L"lum_kill_anywhere.log";
  auto Log = [&] { return WideToUtf8(e2e::ReadText(log)); };

  // The reference: an install, the user's settings, and a reinstall that
  // nothing interrupts.
  ASSERT_EQ(0, RunProgram(installer, L"/s /log:" + log)) << Log();
  ASSERT_TRUE(PutUserSettings(installDir));
  ASSERT_EQ(0, RunProgram(installer, L"/s /log:" + log)) << Log();
  const State reference = MachineState(installDir);
  ASSERT_EQ(L"", LostUserSettings(installDir));

  Series series = {"reinstall", kReinstallPoints,
                   sizeof(kReinstallPoints) / sizeof(kReinstallPoints[0]),
                   [&]() -> std::wstring {
                     return PutUserSettings(installDir) ? std::wstring()
                                                        : L"user settings could not be put in place";
                   },
                   [&] { return LostUserSettings(installDir); }};
  RunSeries(installer, log, installDir, reference, series);
  CoUninitialize();
}

}  // namespace
}  // namespace lum
