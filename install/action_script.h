// The action script (resource FILE 503): install-time clean-up written as data.
//
// Each section holds entries "key=value"; the key only orders the entries
// (ascending ordinal order, so "cmd10" runs before "cmd2"), the value holds the
// fields of one command separated by '|'. This file parses values and
// dispatches verbs to an `IScriptBackend`, which does the real work (registry,
// files, processes, services, firewall). Parsing and dispatch are portable so
// that they are tested natively with a recording back end.
//
// Script work is silent: an unknown verb or a wrong field count skips the
// entry, and no command failure stops the script.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/ini_table.h"

namespace lum {

constexpr const wchar_t* kProcessSection = L"process";
constexpr const wchar_t* kUninstProcessSection = L"uninstprocess";
constexpr const wchar_t* kServiceSection = L"service";
constexpr const wchar_t* kRegSection = L"reg";
constexpr const wchar_t* kReg2Section = L"reg2";
constexpr const wchar_t* kFileSection = L"file";
constexpr const wchar_t* kFirewallSection = L"firewall";

// How long `RunActionScript` lets the programs under the install folder end.
constexpr unsigned kEndProcessesUnderWaitMs = 5000;

// Splits a command value at '|'. Every field but the last loses its trailing
// blanks, tabs, CRs and LFs; the last is kept as it is; an empty last piece
// after a final '|' is dropped (so "" gives no fields at all).
std::vector<std::wstring> SplitCommand(const std::wstring& value);

// One [process] entry: at least two fields; "terminate_and_wait" with exactly
// three fields waits `waitMs` (decimal, like _wtoi) after ending the program.
struct ProcessCommand {
  bool valid = false;
  std::wstring program;
  bool wait = false;
  unsigned waitMs = 0;
};
ProcessCommand ParseProcessCommand(const std::vector<std::wstring>& fields);

// One [uninstprocess] entry (at least two fields): the program path
// ("<folder>\<field 1>") and the command line ("\"<path>\" <field 2>").
// False when the entry has fewer than two fields.
bool FormatUninstallCommand(const std::wstring& installFolder,
                            const std::vector<std::wstring>& fields, std::wstring* program,
                            std::wstring* commandLine);

// Where a folder token of a file command resolved.
enum class FolderKind { kPerUser, kMachine, kInstallation, kExtraction };
struct ResolvedFolder {
  std::wstring path;
  FolderKind kind;
};

// Shell folder id of a per-user token ("desktop" 0 ... "mypictures" 39), or -1.
int PerUserFolderId(const std::wstring& token);
// Shell folder id of a machine token ("common_appdata" 35, "programfiles" 38,
// ...), or -1. "systemroot", "programfiles(x64)" and "commonfiles(x64)" have no
// id of their own (-2): the back end resolves them by name.
int MachineFolderId(const std::wstring& token);
constexpr int kMachineFolderByName = -2;

// The Windows half of the script: every action that touches the machine.
// Paths handed over are already resolved and joined.
class IScriptBackend {
 public:
  virtual ~IScriptBackend() = default;

  // --- run frame ---
  // Removes the deferred-removal marker and files of the install folder and
  // empties the leftover list.
  virtual void ClearDeferredRemoval() = 0;
  virtual void CloseProductPrograms() = 0;
  virtual void EndProcessesUnderInstallFolder(unsigned waitMs) = 0;

  // --- [process], [uninstprocess], [service] ---
  // Ends every process with this program file name; true when one ran.
  virtual bool EndAllProcesses(const std::wstring& program) = 0;
  virtual void Sleep(unsigned milliseconds) = 0;
  // Starts the program hidden and waits for it without a time limit; false
  // when it cannot be started.
  virtual bool RunHiddenAndWait(const std::wstring& program, const std::wstring& commandLine) = 0;
  virtual void RemoveService(const std::wstring& name, const std::wstring& program) = 0;

  // --- registry (root as written: "HKLM", "HKEY_USERS", ...) ---
  virtual bool DeleteKey(const std::wstring& root, const std::wstring& path) = 0;
  virtual bool DeleteEmptyKey(const std::wstring& root, const std::wstring& path) = 0;
  virtual bool DeleteValue(const std::wstring& root, const std::wstring& path,
                           const std::wstring& name) = 0;
  virtual bool WriteDword(const std::wstring& root, const std::wstring& path,
                          const std::wstring& name, uint32_t value) = 0;
  virtual bool WriteString(const std::wstring& root, const std::wstring& path,
                           const std::wstring& name, const std::wstring& data) = 0;
  // Every user's (root, path) for an HKCU key: empty when no user hive can
  // be reached, so the command runs as written.
  struct MappedKey {
    std::wstring root;
    std::wstring path;
  };
  virtual std::vector<MappedKey> MapCurrentUserKey(const std::wstring& path) = 0;

  // --- folder tokens ---
  virtual std::vector<std::wstring> FoldersForEveryUser(int folderId) = 0;
  // One machine folder by token (lower case); empty when it cannot be read.
  virtual std::wstring MachineFolder(const std::wstring& token) = 0;
  virtual std::wstring InstallationFolder() = 0;
  virtual std::wstring ExtractionFolder() = 0;

  // --- files ---
  virtual bool DeletePath(const std::wstring& path, bool allowRestart) = 0;
  // Deletes the folder tree when `path` is a directory; false otherwise.
  virtual bool DeleteFolder(const std::wstring& path, bool allowRestart) = 0;
  virtual bool CopyFileItem(const std::wstring& source, const std::wstring& target,
                            bool allowRestart) = 0;
  virtual bool CopyTree(const std::wstring& source, const std::wstring& target) = 0;

  // --- firewall ---
  virtual bool AuthorizeApplication(const std::wstring& imagePath,
                                    const std::wstring& displayName) = 0;
  virtual bool RevokeApplication(const std::wstring& imagePath) = 0;
};

// Resolves a folder token in the order per-user, machine, "installation",
// then (only when `withExtraction`) "extractins". Empty when none applies.
std::vector<ResolvedFolder> ResolveFolderToken(const std::wstring& token, bool withExtraction,
                                               IScriptBackend& backend);

// One command of each kind; unknown verbs and wrong field counts do nothing
// and answer false.
bool RunProcessCommand(const std::vector<std::wstring>& fields, IScriptBackend& backend);
bool RunRegistryCommand(const std::vector<std::wstring>& fields, IScriptBackend& backend);
bool RunFileCommand(const std::vector<std::wstring>& fields, IScriptBackend& backend);
bool RunFirewallCommand(const std::vector<std::wstring>& fields, IScriptBackend& backend);

// A registry entry with the per-user fan-out of commands on the current
// user's root (any spelling the root table knows); when no user's hive can
// be reached such a command is logged and not run.
void RunRegistryEntry(const std::vector<std::wstring>& fields, IScriptBackend& backend);

// Runs the registry commands of one section; false when it is missing.
bool RunRegistrySectionOf(const IniTable& script, const std::wstring& section,
                          IScriptBackend& backend);
// Applies [firewall]; false when the section is missing.
bool RunFirewallSectionOf(const IniTable& script, IScriptBackend& backend);
// The whole install-time run: deferred-removal clean-up, product programs,
// [process], [uninstprocess], [service], programs under the install folder,
// [reg], [reg2], [file].
void RunActionScript(const IniTable& script, IScriptBackend& backend);

bool SectionExists(const IniTable& script, const std::wstring& section);

}  // namespace lum
