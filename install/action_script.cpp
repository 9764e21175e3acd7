#include "install/action_script.h"

#include <cstddef>

#include "base/install_log.h"
#include "base/text.h"
#include "system/registry_roots.h"

namespace lum {
namespace {

constexpr const char* kLog = "script";

bool IsTrailingBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

std::wstring DropTrailingBlanks(std::wstring text) {
  size_t end = text.size();
  while (end > 0 && IsTrailingBlank(text[end - 1])) --end;
  text.resize(end);
  return text;
}

struct FolderToken {
  const wchar_t* name;
  int id;
};

// Shell folder ids (CSIDL values) of the tokens that name a folder of each user.
constexpr FolderToken kPerUserTokens[] = {
    {L"desktop", 0},           {L"programs", 2},  {L"personal", 5},   {L"appdata", 26},
    {L"favorites", 6},         {L"startup", 7},   {L"recent", 8},     {L"sendto", 9},
    {L"startmenu", 11},        {L"desktopdirectory", 16},            {L"fonts", 20},
    {L"cookies", 33},          {L"history", 34},  {L"windows", 36},   {L"mypictures", 39},
};

constexpr FolderToken kMachineOnlyTokens[] = {
    {L"systemroot", kMachineFolderByName},
    {L"common_startmenu", 22},
    {L"common_programs", 23},
    {L"common_startup", 24},
    {L"common_desktopdirectory", 25},
    {L"common_documents", 46},
    {L"common_appdata", 35},
    {L"system", 37},
    {L"system(x86)", 37},
    {L"system(x64)", 37},
    {L"programfiles", 38},
    {L"programfiles(x86)", 38},
    {L"commonfiles", 43},
    {L"commonfiles(x86)", 43},
    {L"programfiles(x64)", kMachineFolderByName},
    {L"commonfiles(x64)", kMachineFolderByName},
};

template <size_t N>
int LookUp(const FolderToken (&table)[N], const std::wstring& token) {
  for (const FolderToken& entry : table) {
    if (EqualsNoCase(token, entry.name)) return entry.id;
  }
  return -1;
}

const char* KindName(FolderKind kind) {
  switch (kind) {
    case FolderKind::kPerUser: return "per-user";
    case FolderKind::kMachine: return "machine";
    case FolderKind::kInstallation: return "installation";
    case FolderKind::kExtraction: return "extraction";
  }
  return "?";
}

std::wstring Joined(const std::vector<std::wstring>& fields) {
  std::wstring text;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) text += L'|';
    text += fields[i];
  }
  return text;
}

// Copy sources and targets: a token that resolves nowhere leaves the relative
// path alone, taken from the current folder.
std::vector<std::wstring> CopyEnds(const std::wstring& token, const std::wstring& relative,
                                   IScriptBackend& backend) {
  std::vector<std::wstring> ends;
  for (const ResolvedFolder& folder : ResolveFolderToken(token, true, backend)) {
    ends.push_back(JoinPath(folder.path, relative));
  }
  if (ends.empty()) ends.push_back(relative);
  return ends;
}

template <typename Run>
void ForEachEntry(const IniTable::KeyMap& section, Run run) {
  for (const auto& entry : section) run(entry.first, entry.second);
}

}  // namespace

std::vector<std::wstring> SplitCommand(const std::wstring& value) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  while (true) {
    const size_t bar = value.find(L'|', start);
    if (bar == std::wstring::npos) {
      if (start < value.size()) fields.push_back(value.substr(start));
      break;
    }
    fields.push_back(DropTrailingBlanks(value.substr(start, bar - start)));
    start = bar + 1;
  }
  return fields;
}

ProcessCommand ParseProcessCommand(const std::vector<std::wstring>& fields) {
  ProcessCommand command;
  if (fields.size() < 2) return command;
  command.valid = true;
  command.program = fields[1];
  if (fields.size() == 3 && EqualsNoCase(fields[0], L"terminate_and_wait")) {
    command.wait = true;
    const int waitMs = ParseDecimal(fields[2]);
    command.waitMs = waitMs > 0 ? static_cast<unsigned>(waitMs) : 0;
  }
  return command;
}

bool FormatUninstallCommand(const std::wstring& installFolder,
                            const std::vector<std::wstring>& fields, std::wstring* program,
                            std::wstring* commandLine) {
  if (fields.size() < 2) return false;
  *program = installFolder + L"\\" + fields[0];
  *commandLine = L"\"" + *program + L"\" " + fields[1];
  return true;
}

int PerUserFolderId(const std::wstring& token) { return LookUp(kPerUserTokens, token); }

int MachineFolderId(const std::wstring& token) {
  const int id = LookUp(kPerUserTokens, token);
  return id != -1 ? id : LookUp(kMachineOnlyTokens, token);
}

std::vector<ResolvedFolder> ResolveFolderToken(const std::wstring& token, bool withExtraction,
                                               IScriptBackend& backend) {
  std::vector<ResolvedFolder> folders;
  const int userId = PerUserFolderId(token);
  if (userId >= 0) {
    for (const std::wstring& path : backend.FoldersForEveryUser(userId)) {
      if (!path.empty()) folders.push_back({path, FolderKind::kPerUser});
    }
    if (!folders.empty()) return folders;
  }
  if (MachineFolderId(token) != -1) {
    const std::wstring path = backend.MachineFolder(ToLowerAscii(token));
    if (!path.empty()) folders.push_back({path, FolderKind::kMachine});
    return folders;
  }
  if (EqualsNoCase(token, L"installation")) {
    const std::wstring path = backend.InstallationFolder();
    if (!path.empty()) folders.push_back({path, FolderKind::kInstallation});
  } else if (withExtraction && EqualsNoCase(token, L"extractins")) {
    const std::wstring path = backend.ExtractionFolder();
    if (!path.empty()) folders.push_back({path, FolderKind::kExtraction});
  }
  return folders;
}

bool RunProcessCommand(const std::vector<std::wstring>& fields, IScriptBackend& backend) {
  const ProcessCommand command = ParseProcessCommand(fields);
  if (!command.valid) return false;
  if (!backend.EndAllProcesses(command.program)) return false;
  if (command.wait) backend.Sleep(command.waitMs);
  return true;
}

bool RunRegistryCommand(const std::vector<std::wstring>& f, IScriptBackend& backend) {
  if (f.empty()) return false;
  const std::wstring& verb = f[0];
  bool ok = false;
  if (EqualsNoCase(verb, L"deletekey") && f.size() == 3) {
    ok = backend.DeleteKey(f[1], f[2]);
  } else if (EqualsNoCase(verb, L"deleteemptykey") && f.size() == 3) {
    ok = backend.DeleteEmptyKey(f[1], f[2]);
  } else if (EqualsNoCase(verb, L"deleteval") && f.size() == 4) {
    ok = backend.DeleteValue(f[1], f[2], f[3]);
  } else if (EqualsNoCase(verb, L"writevalue") && f.size() == 6) {
    if (EqualsNoCase(f[4], L"REG_DWORD")) {
      ok = backend.WriteDword(f[1], f[2], f[3], static_cast<uint32_t>(ParseDecimal(f[5])));
    } else if (EqualsNoCase(f[4], L"REG_SZ")) {
      ok = backend.WriteString(f[1], f[2], f[3], f[5]);
    } else {
      log::Note(kLog, L"registry type not written: " + f[4]);
    }
  } else {
    log::Note(kLog, L"registry command skipped: " + Joined(f));
  }
  return ok;
}

void RunRegistryEntry(const std::vector<std::wstring>& fields, IScriptBackend& backend) {
  // Every spelling of the current user's root ("HKCU", "HKEY_CURRENT_USER",
  // any case) means every user of the machine.
  if (fields.size() >= 3 && RootFromName(fields[1]) == RegRoot::kCurrentUser) {
    const std::vector<IScriptBackend::MappedKey> users = backend.MapCurrentUserKey(fields[2]);
    if (users.empty()) {
      // No profile's hive could be reached (a machine whose profiles cannot
      // be listed, or a run under an account that has none): the command
      // runs as written, against the hive of the account running it, so a
      // product switch it carries is not lost.
      log::Note(kLog, L"no user's hive reached; per-user command run as written: " + Joined(fields));
      RunRegistryCommand(fields, backend);
      return;
    }
    // Every user gets the command; the installer's own HKCU is not touched.
    // The fields after the path (value name, and for writevalue type and
    // data) go with each per-user command.
    for (const IScriptBackend::MappedKey& user : users) {
      std::vector<std::wstring> perUser = {fields[0], user.root, user.path};
      perUser.insert(perUser.end(), fields.begin() + 3, fields.end());
      RunRegistryCommand(perUser, backend);
    }
    return;
  }
  RunRegistryCommand(fields, backend);
}

bool RunFileCommand(const std::vector<std::wstring>& f, IScriptBackend& backend) {
  if (f.empty()) return false;
  const std::wstring& verb = f[0];
  const bool del = EqualsNoCase(verb, L"delfile"), deldir = EqualsNoCase(verb, L"deldir");
  if ((del || deldir) && f.size() == 3) {
    const std::vector<ResolvedFolder> folders = ResolveFolderToken(f[1], false, backend);
    if (folders.empty()) log::Note(kLog, L"folder token not resolved: " + f[1]);
    bool all = !folders.empty();
    for (const ResolvedFolder& folder : folders) {
      // Only the product's own folder may wait for a restart; user and
      // machine folders are cleaned now or left.
      const bool allowRestart = folder.kind == FolderKind::kInstallation;
      const std::wstring path = JoinPath(folder.path, f[2]);
      log::Note(kLog, Utf8ToWide(KindName(folder.kind)) + L" folder: " + path);
      all &= del ? backend.DeletePath(path, allowRestart) : backend.DeleteFolder(path, allowRestart);
    }
    return all;
  }
  const bool cpfile = EqualsNoCase(verb, L"cpfile"), cpdir = EqualsNoCase(verb, L"cpdir");
  if ((cpfile || cpdir) && f.size() == 5) {
    bool all = true;
    for (const std::wstring& source : CopyEnds(f[1], f[2], backend)) {
      for (const std::wstring& target : CopyEnds(f[3], f[4], backend)) {
        all &= cpfile ? backend.CopyFileItem(source, target, true) : backend.CopyTree(source, target);
      }
    }
    return all;
  }
  log::Note(kLog, L"file command skipped: " + Joined(f));
  return false;
}

bool RunFirewallCommand(const std::vector<std::wstring>& f, IScriptBackend& backend) {
  if (f.size() == 3 && EqualsNoCase(f[0], L"add")) {
    return backend.AuthorizeApplication(JoinPath(backend.InstallationFolder(), f[1]), f[2]);
  }
  if (f.size() == 2 && EqualsNoCase(f[0], L"remove")) {
    return backend.RevokeApplication(JoinPath(backend.InstallationFolder(), f[1]));
  }
  log::Note(kLog, L"firewall command skipped: " + Joined(f));
  return false;
}

bool RunRegistrySectionOf(const IniTable& script, const std::wstring& section,
                          IScriptBackend& backend) {
  IniTable::KeyMap entries;
  if (!script.Section(section, entries)) return false;
  ForEachEntry(entries, [&](const std::wstring&, const std::wstring& value) {
    RunRegistryEntry(SplitCommand(value), backend);
  });
  return true;
}

bool RunFirewallSectionOf(const IniTable& script, IScriptBackend& backend) {
  IniTable::KeyMap entries;
  if (!script.Section(kFirewallSection, entries)) return false;
  ForEachEntry(entries, [&](const std::wstring&, const std::wstring& value) {
    RunFirewallCommand(SplitCommand(value), backend);
  });
  return true;
}

void RunActionScript(const IniTable& script, IScriptBackend& backend) {
  backend.ClearDeferredRemoval();
  IniTable::KeyMap process, uninst, service, file;
  script.Section(kProcessSection, process);
  script.Section(kUninstProcessSection, uninst);
  script.Section(kServiceSection, service);
  script.Section(kFileSection, file);

  backend.CloseProductPrograms();
  ForEachEntry(process, [&](const std::wstring&, const std::wstring& value) {
    RunProcessCommand(SplitCommand(value), backend);
  });
  const std::wstring installFolder = backend.InstallationFolder();
  ForEachEntry(uninst, [&](const std::wstring&, const std::wstring& value) {
    std::wstring program, commandLine;
    if (FormatUninstallCommand(installFolder, SplitCommand(value), &program, &commandLine)) {
      backend.RunHiddenAndWait(program, commandLine);
    }
  });
  ForEachEntry(service, [&](const std::wstring& name, const std::wstring& program) {
    if (!name.empty()) backend.RemoveService(name, program);
  });
  backend.EndProcessesUnderInstallFolder(kEndProcessesUnderWaitMs);
  RunRegistrySectionOf(script, kRegSection, backend);
  RunRegistrySectionOf(script, kReg2Section, backend);
  ForEachEntry(file, [&](const std::wstring&, const std::wstring& value) {
    RunFileCommand(SplitCommand(value), backend);
  });
}

bool SectionExists(const IniTable& script, const std::wstring& section) {
  return script.HasSection(section);
}

}  // namespace lum
